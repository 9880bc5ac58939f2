#include "platform/FormEncoding.h"

#include <QUrl>

namespace {
QString decoded(QByteArray part)
{
    return QUrl::fromPercentEncoding(part.replace('+', ' '));
}
}

QByteArray FormEncoded(const FormFields& fields)
{
    QByteArrayList pairs;
    for (const auto& [name, value] : fields)
        pairs << QUrl::toPercentEncoding(name) + '=' + QUrl::toPercentEncoding(value);
    return pairs.join('&');
}

std::optional<QMap<QString, QString>> FormDecoded(const QByteArray& text)
{
    QMap<QString, QString> fields;
    for (const QByteArray& pair : text.split('&')) {
        if (pair.isEmpty())
            continue;
        const qsizetype equals = pair.indexOf('=');
        const QString name = decoded(pair.left(equals));
        if (fields.contains(name))
            return std::nullopt;
        fields.insert(name, equals < 0 ? QString() : decoded(pair.mid(equals + 1)));
    }
    return fields;
}
