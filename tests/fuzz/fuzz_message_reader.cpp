// Feeds arbitrary bytes to the message reader as the lines of a message
// after RETR: the header reader, the multipart reader, the part reader and
// the decoders behind them, then makes the texts a person reads of it.
// Every file must land in the attachment folder, and no header text shown
// may hold a control, separator or bidirectional control character.
#include "pop3/BodyText.h"
#include "pop3/HeaderText.h"
#include "pop3/MailMessage.h"
#include "pop3/MessageReader.h"
#include "pop3/Uudecoder.h"
#include "tests/fuzz/ShownText.h"

#include <QDir>
#include <QFileInfo>
#include <QTemporaryDir>
#include <cstdlib>

namespace {

const QTemporaryDir& Root()
{
    static const QTemporaryDir root(QDir::tempPath() + "/pw-fuzz-XXXXXX");
    return root;
}

// Nothing but the attachment folder may appear beside it, and every
// attachment named must be a plain file in it.
void CheckFolder(const TMailMessage& message, const QString& folder)
{
    const QStringList beside = QDir(Root().path()).entryList(QDir::AllEntries | QDir::NoDotAndDotDot | QDir::System);
    if (beside.size() > 1 || (beside.size() == 1 && beside.first() != "attach"))
        std::abort();
    for (const QString& name : message.Attachments)
        if (name.contains('/') || !QFileInfo(folder + name).isFile() || QFileInfo(folder + name).isSymLink())
            std::abort();
}

void CheckReadable(const TMailMessage& message)
{
    ReadableBody(message);
    for (const QString& name : {QStringLiteral("From:"), QStringLiteral("Subject:")})
        if (!FitToShow(ReadableField(message.Head, name, QString())))
            std::abort();
}

} // namespace

extern "C" int LLVMFuzzerTestOneInput(const uint8_t* data, size_t size)
{
    const QByteArray input(reinterpret_cast<const char*>(data), static_cast<qsizetype>(size));
    qsizetype at = 0;
    // After the input the server's end line follows, as it always does.
    const TLineSource source = [&]() -> QByteArray {
        if (at >= input.size())
            return ".\r\n";
        const qsizetype end = input.indexOf('\n', at);
        const qsizetype next = end < 0 ? input.size() : end + 1;
        QByteArray line = input.mid(at, next - at);
        at = next;
        return end < 0 ? line + "\r\n" : line;
    };
    const QString folder = Root().path() + "/attach/";
    TMailMessage message;
    TUUProcessor decoder;
    decoder.ShowMessage = [](const QString&) {};
    TMessageReader reader(message, decoder);
    reader.Read(source, folder);
    if (!reader.AtEnd())
        std::abort();
    CheckFolder(message, folder);
    CheckReadable(message);
    QDir(folder).removeRecursively();
    return 0;
}
