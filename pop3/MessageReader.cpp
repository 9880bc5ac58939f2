#include "pop3/MessageReader.h"

#include "base/Words.h"
#include "pop3/FileStreamError.h"
#include "pop3/MailMessage.h"
#include "pop3/Uudecoder.h"

namespace {

constexpr qsizetype FieldLength = 256;
constexpr qint64 CopyChunk = 64 * 1024;
constexpr qsizetype TextPartLimit = 16 * 1024 * 1024;

// The last line of a body whose text did not all fit in memory.
const char* const CutNote = "[The message is too long: the rest of its text is left out.]";

// The line without its LF and the CR before it, if any.
QByteArray WithoutLineEnd(const QByteArray& line)
{
    qsizetype size = line.size();
    if (size > 0 && line[size - 1] == '\n')
        --size;
    if (size > 0 && line[size - 1] == '\r')
        --size;
    return line.left(size);
}

// Up to 256 characters of the line from a byte position on.
QString Field(const QByteArray& line, qsizetype position)
{
    return WireText(line.mid(position)).left(FieldLength);
}

// A quoted boundary ends at its closing quote; a bare one at the first
// character that a bare boundary cannot hold.
QByteArray BoundaryValue(const QByteArray& rest)
{
    if (rest.startsWith('"')) {
        const qsizetype close = rest.indexOf('"', 1);
        return rest.mid(1, close < 0 ? -1 : close - 1).left(FieldLength);
    }
    qsizetype end = 0;
    while (end < rest.size() && end < FieldLength && rest[end] != ';' && rest[end] != ' ' && rest[end] != '\t')
        ++end;
    return rest.left(end);
}

// The text between the line's first and second double quote.
QByteArray Quoted(const QByteArray& line)
{
    const qsizetype open = line.indexOf('"');
    const qsizetype close = open < 0 ? -1 : line.indexOf('"', open + 1);
    return close < 0 ? QByteArray() : line.mid(open + 1, close - open - 1);
}

// A line beginning with a dot came with one more from the server.
QByteArray Unstuffed(const QByteArray& line)
{
    return line.startsWith("..") ? line.mid(1) : line;
}

} // namespace

TMessageReader::TMessageReader(TMailMessage& message, TUUProcessor& decoder) : message(message), decoder(decoder) {}

void TMessageReader::Read(const TLineSource& lines, const QString& attachFilePath)
{
    source = lines;
    folder = std::make_unique<TAttachFolder>(attachFilePath);
    atEnd = false;
    multipart = false;
    PartMode = 2;
    Clear();
    ReadHeader();
    // Without a boundary no part could ever be told from the next.
    if (ContentType.toLower().contains("multipart") && !Boundary.isEmpty()) {
        multipart = true;
        ReadMultipart();
    } else if (TransferEncoding.toUpper().contains("BASE64")) {
        PartMode = 0;
        ReadPart();
        LoadBody();
    } else {
        ReadPart();
    }
    SkipToEnd();
    if (kept.Reached())
        message.Body.append(QString::fromLatin1(CutNote));
    if (kept.Reached() || message.Text.Cut)
        message.Notes.append(QString::fromLatin1(CutNote));
}

void TMessageReader::Clear()
{
    kept.Reset();
    message.Head.clear();
    message.Body.clear();
    message.Attachments.clear();
    message.From.clear();
    message.Subject.clear();
    message.MessageId.clear();
    message.Text = {};
    message.Notes.clear();
    ContentType.clear();
    Boundary.clear();
    TransferEncoding.clear();
    PartFileName.clear();
}

// Nothing past the message's end line is ever read.
QByteArray TMessageReader::ReadLine()
{
    const QByteArray line = source();
    atEnd = WithoutLineEnd(line) == ".";
    return line;
}

void TMessageReader::SkipToEnd()
{
    while (!atEnd)
        ReadLine();
}

// Header lines are looked at one by one, continuation lines too, and
// nothing is unfolded.
void TMessageReader::ReadHeader()
{
    OwnContentType.clear();
    OwnTransferEncoding.clear();
    OwnAttachment = false;
    ownField = nullptr;
    while (!atEnd) {
        const QByteArray line = WithoutLineEnd(ReadLine());
        if (atEnd)
            break;
        if (PartMode == 2)
            kept.Keep(message.Head, WireText(line));
        if (line.isEmpty())
            break;
        TakeHeaderField(line);
        TakeOwnField(line);
    }
    if (PartMode == 2)
        PartMode = 1;
}

// Subject keeps the blank after its colon; the other fields skip it.
void TMessageReader::TakeHeaderField(const QByteArray& line)
{
    const QByteArray word = Word(line, 1).toUpper();
    if (word == "SUBJECT:")
        message.Subject = Field(line, 8);
    else if (word == "FROM:")
        message.From = Field(line, 6);
    else if (word == "CONTENT-TYPE:")
        ContentType = line.mid(14, FieldLength);
    else if (word == "MESSAGE-ID:")
        message.MessageId = Field(line, 12);

    const QByteArray upper = line.toUpper();
    const qsizetype boundary = upper.indexOf("BOUNDARY=");
    if (boundary >= 0)
        Boundary = BoundaryValue(line.mid(boundary + 9));
    if (upper.contains("CONTENT-TRANSFER-ENCODING"))
        TransferEncoding = line.mid(27, FieldLength);
    if (upper.contains("NAME"))
        PartFileName = Quoted(line);
}

// Values folded onto continuation lines are joined, as a charset parameter
// often is.
void TMessageReader::TakeOwnField(const QByteArray& line)
{
    if ((line.startsWith(' ') || line.startsWith('\t')) && ownField) {
        *ownField = (*ownField + line).left(FieldLength);
        return;
    }
    ownField = nullptr;
    const qsizetype colon = line.indexOf(':');
    if (colon < 0)
        return;
    const QByteArray name = line.left(colon).trimmed().toLower();
    const QByteArray value = line.mid(colon + 1).trimmed();
    if (name == "content-type")
        ownField = &OwnContentType;
    else if (name == "content-transfer-encoding")
        ownField = &OwnTransferEncoding;
    else if (name == "content-disposition")
        OwnAttachment = value.toLower().startsWith("attachment");
    if (ownField)
        *ownField = value.left(FieldLength);
}

// A part without a type of its own is plain text.
bool TMessageReader::StartsText()
{
    const QByteArray type = OwnContentType.toLower();
    const bool text = type.isEmpty() || type.startsWith("text/plain") || type.startsWith("text/html");
    if (message.Text.Found || OwnAttachment || !text)
        return false;
    message.Text.Found = true;
    message.Text.ContentType = OwnContentType;
    message.Text.TransferEncoding = OwnTransferEncoding;
    return true;
}

void TMessageReader::KeepText(const QByteArray& line)
{
    const QByteArray text = WithoutLineEnd(Unstuffed(line)) + '\n';
    message.Text.Cut = message.Text.Cut || message.Text.Bytes.size() + text.size() > TextPartLimit;
    if (!message.Text.Cut)
        message.Text.Bytes += text;
}

// Part state carries over from part to part: a part without its own
// encoding or name takes the previous one's.
void TMessageReader::ReadMultipart()
{
    while (!atEnd && !IsBoundaryLine(ReadLine())) {
    }
    bool closed = false;
    while (!atEnd && !closed) {
        ReadHeader();
        if (!atEnd)
            closed = ReadPart();
    }
}

// Returns whether this MIME part ended with the closing boundary.
bool TMessageReader::ReadPart()
{
    std::unique_ptr<QFile> scratch;
    if (PartMode == 0) {
        scratch = folder->CreateScratch();
        const QString note = "\r\nFile \"" + WireText(PartFileName) + "\" extracted";
        if (kept.Keep(message.Body, note) && multipart)
            message.Notes.append(note);
    }
    const bool text = StartsText();
    Report(QStringLiteral("Extracting file"));
    QByteArray line;
    while (!atEnd) {
        line = ReadLine();
        if (atEnd || IsBoundaryLine(line))
            break;
        if (text)
            KeepText(line);
        if (PartMode > 0)
            kept.Keep(message.Body, WireText(WithoutLineEnd(line)));
        else if (scratch->write(Unstuffed(line)) < 0)
            EFileStreamError::CannotWrite(*scratch);
    }
    if (scratch)
        StoreFile(*scratch);
    PartMode = 0;
    return IsBoundaryLine(line) && WithoutLineEnd(line).endsWith("--");
}

// Only a multipart message has boundaries; elsewhere a stray boundary
// parameter must not cut the body short.
bool TMessageReader::IsBoundaryLine(const QByteArray& line) const
{
    return multipart && !Boundary.isEmpty() && line.contains(Boundary);
}

void TMessageReader::StoreFile(QFile& scratch)
{
    if (!scratch.flush())
        EFileStreamError::CannotWrite(scratch);
    scratch.close();
    if (PartFileName.isEmpty())
        PartFileName = "text.tmp";
    QString name = TAttachFolder::SafeFileName(WireText(PartFileName));
    const std::unique_ptr<QFile> target = folder->CreateNumbered(name);
    message.Attachments.append(name);
    if (TransferEncoding.toLower().contains("base64") || TransferEncoding.contains("X-UUENCODE"))
        Decode(scratch, *target);
    else
        Copy(scratch, *target);
    if (!target->flush())
        EFileStreamError::CannotWrite(*target);
}

void TMessageReader::Decode(QFile& scratch, QFile& target)
{
    if (!scratch.open(QIODevice::ReadOnly))
        EFileStreamError::CannotOpen(scratch);
    decoder.Method = TransferEncoding.contains("X-UUENCODE") ? uuCode : uuMime;
    decoder.InputStream = &scratch;
    decoder.OutputStream = &target;
    Report(QStringLiteral("Decoding file"));
    try {
        if (scratch.size() > 0)
            decoder.Decode();
    } catch (...) {
        decoder.InputStream = decoder.OutputStream = nullptr;
        throw;
    }
    decoder.InputStream = decoder.OutputStream = nullptr;
    scratch.close();
}

// A file stored as transmitted; the scratch file goes.
void TMessageReader::Copy(QFile& scratch, QFile& target)
{
    if (!scratch.open(QIODevice::ReadOnly))
        EFileStreamError::CannotOpen(scratch);
    while (!scratch.atEnd())
        if (target.write(scratch.read(CopyChunk)) < 0)
            EFileStreamError::CannotWrite(target);
    scratch.remove();
}

// A single-part base64 message: its decoded text is the body.
void TMessageReader::LoadBody()
{
    QFile decoded(folder->Path() + message.Attachments.first());
    if (!decoded.open(QIODevice::ReadOnly))
        EFileStreamError::CannotOpen(decoded);
    message.Body.clear();
    while (!decoded.atEnd() && kept.Keep(message.Body, WireText(WithoutLineEnd(decoded.readLine())))) {
    }
}

void TMessageReader::Report(const QString& text)
{
    if (OnStatus)
        OnStatus(text);
}
