#include "pop3/MessageReader.h"

#include "base/Words.h"
#include "pop3/FileStreamError.h"
#include "pop3/MailMessage.h"
#include "pop3/Uudecoder.h"

#include <QDateTime>
#include <QDir>
#include <QFileInfo>
#include <QScopeGuard>
#include <algorithm>

namespace {

constexpr qsizetype FieldLength = 256;
constexpr qint64 CopyChunk = 64 * 1024;
constexpr qsizetype TextPartLimit = 16 * 1024 * 1024;
// A hostile sender must neither fill the folder nor keep the reader busy
// for minutes: parts past this many files are read away unwritten.
constexpr qsizetype MaxFiles = 1000;
// A multipart deeper than this is read as one part, delimiters and all.
constexpr qsizetype MaxNesting = 20;
constexpr int KeptDays = 7;

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

// As RFC 2046 writes a delimiter line: "--" and the boundary, "--" after it
// on the closing one, then at most blanks.
bool Delimits(QByteArrayView text, const QByteArray& boundary, bool& close)
{
    if (!text.startsWith("--") || !text.sliced(2).startsWith(boundary))
        return false;
    QByteArrayView rest = text.sliced(2 + boundary.size());
    close = rest.startsWith("--");
    if (close)
        rest = rest.sliced(2);
    return std::all_of(rest.begin(), rest.end(), [](char c) { return c == ' ' || c == '\t'; });
}

// A line beginning with a dot came with one more from the server.
QByteArray Unstuffed(const QByteArray& line)
{
    return line.startsWith("..") ? line.mid(1) : line;
}

} // namespace

// TAttachFolder's naming and making of files: the same on every system, so
// kept out of AttachFolder.cpp, which has a Windows twin.
namespace {

// Leaves room for the numbering within the file system's 255-byte limit.
constexpr qsizetype MaxNameBytes = 200;
// Past this, what follows the first dot is no extension worth keeping.
constexpr qsizetype MaxExtensionBytes = 40;

constexpr QFileDevice::Permissions OwnerOnly = QFileDevice::ReadOwner | QFileDevice::WriteOwner;

qsizetype Utf8Size(const QString& text)
{
    return text.toUtf8().size();
}

QString LastComponent(const QString& name)
{
    const qsizetype slash = qMax(name.lastIndexOf('/'), name.lastIndexOf('\\'));
    return name.mid(slash + 1);
}

// Format characters go too: a right-to-left override would make
// "photo<RLO>gpj.exe" read as a picture's name.
QString WithoutControls(const QString& name)
{
    QString kept;
    for (const QChar c : name)
        if (c.category() != QChar::Other_Control && c.category() != QChar::Other_Format)
            kept += c;
    return kept;
}

QString WithoutLeadingDots(const QString& name)
{
    qsizetype dots = 0;
    while (dots < name.size() && name[dots] == '.')
        ++dots;
    return name.mid(dots);
}

// Shortens the text before the first dot, so the extension survives.
QString Fitted(const QString& name)
{
    if (Utf8Size(name) <= MaxNameBytes)
        return name;
    const qsizetype dot = name.indexOf('.');
    QString extension = dot < 0 ? QString() : name.mid(dot);
    if (Utf8Size(extension) > MaxExtensionBytes)
        extension.clear();
    QString stem = name.left(qMin(name.size() - extension.size(), MaxNameBytes));
    while (!stem.isEmpty() && Utf8Size(stem) + Utf8Size(extension) > MaxNameBytes)
        stem.chop(1);
    if (!stem.isEmpty() && stem.back().isHighSurrogate())
        stem.chop(1);
    return stem + extension;
}

// a.txt gives a_1.txt; a.tar.gz gives a_1.tar.gz; README gives README_1.
QString Numbered(const QString& name, int counter)
{
    const qsizetype dot = name.indexOf('.');
    const QString suffix = QStringLiteral("_%1").arg(counter);
    return dot < 0 ? name + suffix : name.left(dot) + suffix + name.mid(dot);
}

} // namespace

QString TAttachFolder::SafeFileName(const QString& name)
{
    const QString safe = Fitted(WithoutLeadingDots(WithoutControls(LastComponent(name))));
    return safe.isEmpty() ? QStringLiteral("text.tmp") : safe;
}

// The folder is made on demand, readable by its owner alone.
void TAttachFolder::Prepare()
{
    const QString folder = QDir::cleanPath(path);
    if (QFileInfo(folder).isDir())
        return;
    QString partial = folder.startsWith('/') ? QStringLiteral("/") : QString();
    for (const QString& part : folder.split('/', Qt::SkipEmptyParts)) {
        partial += part + '/';
        if (!QFileInfo(partial).isDir())
            QDir().mkdir(partial, OwnerOnly | QFileDevice::ExeOwner);
    }
    if (!QFileInfo(folder).isDir())
        throw EFileStreamError(QStringLiteral("Cannot create the attachment folder \"%1\"").arg(path));
}

std::unique_ptr<QFile> TAttachFolder::CreateScratch()
{
    Prepare();
    // Removing first means a link planted under this name is dropped, not followed.
    QFile::remove(path + "Temp.mme");
    auto file = std::make_unique<QFile>(path + "Temp.mme");
    if (!CreateNew(*file))
        EFileStreamError::CannotCreate(*file);
    return file;
}

void TAttachFolder::RemoveScratch()
{
    QFile::remove(path + "Temp.mme");
}

std::unique_ptr<QFile> TAttachFolder::CreateNumbered(QString& name)
{
    Prepare();
    int& next = nextNumbers[name];
    for (;; ++next) {
        const QString candidate = next == 0 ? name : Numbered(name, next);
        auto file = std::make_unique<QFile>(path + candidate);
        if (CreateNew(*file)) {
            ++next;
            name = candidate;
            return file;
        }
        if (!Occupied(candidate))
            EFileStreamError::CannotCreate(*file);
    }
}

// Exclusive creation fails on any existing name, a link included.
bool TAttachFolder::CreateNew(QFile& file)
{
    return file.open(QIODevice::WriteOnly | QIODevice::NewOnly, OwnerOnly);
}

bool TAttachFolder::Occupied(const QString& name) const
{
    const QFileInfo info(path + name);
    return info.exists() || info.isSymLink();
}

TMessageReader::TMessageReader(TMailMessage& message, TUUProcessor& decoder) : message(message), decoder(decoder) {}

void TMessageReader::Read(const TLineSource& lines, const QString& attachFilePath)
{
    source = lines;
    folder = std::make_unique<TAttachFolder>(attachFilePath);
    folder->RemoveOlderThan(QDateTime::currentDateTime().addDays(-KeptDays));
    const auto scratchGone = qScopeGuard([this] { folder->RemoveScratch(); });
    atEnd = false;
    multipart = false;
    boundaries.clear();
    PartMode = 2;
    decoder.EndLineMissing = false;
    Clear();
    ReadHeader();
    if (AcceptHeader && !AcceptHeader(message.Head))
        throw EMessageRefused(QStringLiteral("This is not the message expected; nothing of it was saved."));
    ReadBody();
    SkipToEnd();
    if (kept.Reached())
        message.Body.append(QString::fromLatin1(CutNote));
    if (kept.Reached() || message.Text.Cut)
        message.Notes.append(QString::fromLatin1(CutNote));
}

// Without a boundary no part could ever be told from the next.
void TMessageReader::ReadBody()
{
    if (ContentType.toLower().contains("multipart") && !Boundary.isEmpty()) {
        multipart = true;
        boundaries.append(Boundary);
        ReadMultipart();
    } else if (TransferEncoding.toUpper().contains("BASE64")) {
        PartMode = 0;
        ReadPart();
        LoadBody();
    } else {
        ReadPart();
    }
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
    OwnBoundary.clear();
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
        Boundary = OwnBoundary = BoundaryValue(line.mid(boundary + 9));
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
// encoding or name takes the previous one's. What comes before a
// multipart's first delimiter and after its closing one is no part.
void TMessageReader::ReadMultipart()
{
    TDelimiter delimiter = ReadToDelimiter({});
    while (delimiter.Level >= 0) {
        boundaries.resize(delimiter.Level + 1);
        if (delimiter.Close) {
            boundaries.removeLast();
            delimiter = boundaries.isEmpty() ? TDelimiter() : ReadToDelimiter({});
            continue;
        }
        ReadHeader();
        if (atEnd)
            return;
        if (OpensMultipart()) {
            boundaries.append(OwnBoundary);
            delimiter = ReadToDelimiter({});
        } else {
            delimiter = ReadPart();
        }
    }
}

bool TMessageReader::OpensMultipart() const
{
    return OwnContentType.toLower().startsWith("multipart/") && !OwnBoundary.isEmpty() &&
           boundaries.size() < MaxNesting;
}

// Returns the delimiter that ended this MIME part. A file part past the
// limit is read away, and the text says so.
TMessageReader::TDelimiter TMessageReader::ReadPart()
{
    const bool leftOut = PartMode == 0 && message.Attachments.size() >= MaxFiles;
    const std::unique_ptr<QFile> scratch = PartMode == 0 && !leftOut ? folder->CreateScratch() : nullptr;
    const bool text = !leftOut && StartsText();
    Report(QStringLiteral("Extracting file"));
    const TDelimiter delimiter = ReadToDelimiter([&](const QByteArray& line) {
        if (text)
            KeepText(line);
        if (PartMode > 0)
            kept.Keep(message.Body, WireText(WithoutLineEnd(line)));
        else if (scratch && scratch->write(Unstuffed(line)) < 0)
            EFileStreamError::CannotWrite(*scratch);
    });
    if (scratch)
        StoreFile(*scratch);
    else if (leftOut)
        Note(QStringLiteral("\r\nFile \"%1\" left out: at most %2 files of a message are saved")
                 .arg(TAttachFolder::SafeFileName(WireText(PartFileName)))
                 .arg(MaxFiles));
    PartMode = 0;
    return delimiter;
}

// Hands each line before the delimiter to take, if any.
TMessageReader::TDelimiter TMessageReader::ReadToDelimiter(const std::function<void(const QByteArray& line)>& take)
{
    while (!atEnd) {
        const QByteArray line = ReadLine();
        if (atEnd)
            break;
        const TDelimiter delimiter = DelimiterOf(line);
        if (delimiter.Level >= 0)
            return delimiter;
        if (take)
            take(line);
    }
    return {};
}

// Where two multiparts share a boundary, the inner one's parts end at it.
TMessageReader::TDelimiter TMessageReader::DelimiterOf(const QByteArray& line) const
{
    if (!line.startsWith("--"))
        return {};
    TDelimiter delimiter;
    const QByteArray text = WithoutLineEnd(line);
    for (qsizetype level = boundaries.size() - 1; level >= 0; --level) {
        if (Delimits(text, boundaries[level], delimiter.Close)) {
            delimiter.Level = level;
            return delimiter;
        }
    }
    return {};
}

// A note goes into the body, and for a multipart message also beside the
// text a person reads.
void TMessageReader::Note(const QString& note)
{
    if (kept.Keep(message.Body, note) && multipart)
        message.Notes.append(note);
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
    Note("\r\nFile \"" + name + "\" extracted");
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
