#include "engine/RowFormat.h"

#include <QDateTime>
#include <QLocale>
#include <QRegularExpression>
#include <limits>

namespace {

// A quoted display name without its quotes and escapes.
QString Unquoted(const QString& name)
{
    if (name.size() < 2 || !name.startsWith(u'"') || !name.endsWith(u'"'))
        return name;
    QString plain;
    const QString inner = name.mid(1, name.size() - 2);
    for (qsizetype i = 0; i < inner.size(); ++i) {
        if (inner.at(i) == u'\\' && i + 1 < inner.size())
            ++i;
        plain += inner.at(i);
    }
    return plain.trimmed();
}

}

QString SenderName(const QString& from)
{
    const QString text = from.trimmed();
    const qsizetype open = text.lastIndexOf(u'<');
    if (open < 0 || !text.endsWith(u'>'))
        return text;
    const QString name = Unquoted(text.left(open).trimmed());
    if (!name.isEmpty())
        return name;
    const QString address = text.mid(open + 1, text.size() - open - 2).trimmed();
    return address.isEmpty() ? text : address;
}

QString SizeText(qint64 bytes)
{
    constexpr qint64 KB = 1024;
    if (bytes < KB)
        return bytes == 1 ? QStringLiteral("1 byte") : QStringLiteral("%1 bytes").arg(bytes);
    const QLocale locale;
    if (bytes < KB * KB)
        return locale.toString(qRound64(double(bytes) / KB)) + QStringLiteral(" KB");
    return locale.toString(double(bytes) / (KB * KB), 'f', 1) + QStringLiteral(" MB");
}

// A comment after the zone, "(CET)", only names it; the old zone names of
// RFC 822 that mean UTC are taken as +0000.
qint64 DateOrder(const QString& date)
{
    static const QRegularExpression comment(QStringLiteral("\\s*\\([^()]*\\)$"));
    static const QRegularExpression universal(QStringLiteral("\\s(?:GMT|UTC?|Z)$"));
    QString text = date.trimmed().remove(comment);
    text.replace(universal, QStringLiteral(" +0000"));
    const QDateTime time = QDateTime::fromString(text, Qt::RFC2822Date);
    return time.isValid() ? time.toMSecsSinceEpoch() : std::numeric_limits<qint64>::min();
}

QString HoursAndMinutes(const QTime& time)
{
    QString format = QLocale::system().timeFormat(QLocale::ShortFormat);
    format.remove(QRegularExpression(QStringLiteral("[:.]?s+")));
    return QLocale::system().toString(time, format.trimmed());
}
