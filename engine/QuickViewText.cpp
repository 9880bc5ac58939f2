#include "engine/QuickViewText.h"

#include "engine/MessageFields.h"
#include "engine/MessageList.h"
#include "pop3/BodyText.h"
#include "pop3/MessageReader.h"
#include "pop3/Uudecoder.h"

TQuickViewText QuickViewOf(const TMailMessage& message, const QString& account)
{
    const TReadableBody body = ReadableBody(message);
    const TSummaryFields fields = HeaderFields(message.Head, message.From, message.Subject);
    return {Shown(fields.ReadableFrom), Shown(fields.ReadableSubject), fields.Date, account, body.Text, body.Html,
            body.Notes};
}

// The reader takes a message as RETR sends it: lines dot-stuffed, and a
// line of one dot at its end.
void ReadWholeMessage(const QByteArray& bytes, const QString& attachFolder, TMailMessage& message)
{
    TUUProcessor decoder;
    TMessageReader reader(message, decoder);
    qsizetype at = 0;
    bool ended = false;
    reader.Read(
        [&]() -> QByteArray {
            if (at >= bytes.size()) {
                ended = true;
                return QByteArrayLiteral(".\r\n");
            }
            if (ended)
                throw Exception(QStringLiteral("The message ended early"));
            const qsizetype end = bytes.indexOf('\n', at);
            const qsizetype next = end < 0 ? bytes.size() : end + 1;
            QByteArray line = bytes.mid(at, next - at);
            at = next;
            if (!line.endsWith('\n'))
                line += "\r\n";
            return line.startsWith('.') ? '.' + line : line;
        },
        attachFolder);
    decoder.TellEndLineMissing();
}
