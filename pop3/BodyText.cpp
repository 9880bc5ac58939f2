#include "pop3/BodyText.h"

#include "base/Words.h"
#include "pop3/Charset.h"

#include <QRegularExpression>

namespace {

QByteArray Charset(const QByteArray& contentType)
{
    static const QRegularExpression parameter(QStringLiteral(R"re(;\s*charset\s*=\s*"?([^";\s]+))re"),
                                              QRegularExpression::CaseInsensitiveOption);
    return parameter.match(QString::fromLatin1(contentType)).captured(1).toLatin1();
}

QString CharsetText(const QByteArray& bytes, const QByteArray& charset)
{
    const std::optional<QString> text = CharsetDecoded(charset, bytes);
    return text ? *text : WireText(bytes);
}

QString CrLfLines(const QString& text)
{
    QStringList lines = text.split(u'\n');
    if (lines.last().isEmpty())
        lines.removeLast();
    QString joined;
    for (QString& line : lines) {
        if (line.endsWith(u'\r'))
            line.chop(1);
        joined += line + QStringLiteral("\r\n");
    }
    return joined;
}

QString CrLfJoined(const QStringList& lines)
{
    QString joined;
    for (const QString& line : lines)
        joined += line + QStringLiteral("\r\n");
    return joined;
}

}

// A soft line break ("=" at the end, blanks after it allowed) joins two
// lines; an "=" without two hex digits stays as it is.
QByteArray QuotedPrintableDecoded(const QByteArray& text)
{
    QByteArray bytes;
    bytes.reserve(text.size());
    for (qsizetype i = 0; i < text.size(); ++i) {
        if (text[i] != '=') {
            bytes += text[i];
            continue;
        }
        qsizetype end = i + 1;
        while (end < text.size() && (text[end] == ' ' || text[end] == '\t' || text[end] == '\r'))
            ++end;
        if (end < text.size() && text[end] == '\n') {
            i = end;
            continue;
        }
        const int high = i + 2 < text.size() ? HexDigit(text[i + 1]) : -1;
        const int low = high < 0 ? -1 : HexDigit(text[i + 2]);
        if (low < 0) {
            bytes += '=';
            continue;
        }
        bytes += char(high * 16 + low);
        i += 2;
    }
    return bytes;
}

TReadableBody ReadableBody(const TMailMessage& message)
{
    const TTextPart& part = message.Text;
    if (!part.Found)
        return {CrLfJoined(message.Body), false, QString()};
    const QByteArray encoding = part.TransferEncoding.trimmed().toLower();
    QByteArray bytes = part.Bytes;
    if (encoding == "quoted-printable")
        bytes = QuotedPrintableDecoded(bytes);
    else if (encoding == "base64")
        bytes = QByteArray::fromBase64(bytes);
    return {CrLfLines(CharsetText(bytes, Charset(part.ContentType))),
            part.ContentType.trimmed().toLower().startsWith("text/html"), CrLfJoined(message.Notes)};
}
