#include "pop3/Charset.h"

#include <QStringDecoder>

std::optional<QString> CharsetDecoded(const QByteArray& charset, const QByteArray& bytes)
{
    QStringDecoder decoder(charset.constData(), QStringDecoder::Flag::Stateless);
    if (!decoder.isValid())
        return std::nullopt;
    const QString text = decoder(bytes);
    return decoder.hasError() ? std::nullopt : std::optional(text);
}
