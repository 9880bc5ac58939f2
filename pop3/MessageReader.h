#pragma once

#include "base/Exception.h"
#include "pop3/AttachFolder.h"
#include "pop3/MailMessage.h"
#include "pop3/TextLimit.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QString>
#include <functional>
#include <memory>

class TUUProcessor;

// The next line of a message as received, line end included.
using TLineSource = std::function<QByteArray()>;
using TStatusReport = std::function<void(const QString& Text)>;
// Whether to go on with a message whose header lines (the empty line that
// ends them included) have arrived.
using THeaderCheck = std::function<bool(const TExStringList& Head)>;

// A message refused once its header arrived: none of its parts was written.
class EMessageRefused : public Exception
{
public:
    using Exception::Exception;
};

// A small MIME reader: it reads one message, as sent after a positive RETR,
// up to and including its end line. The first part of a multipart message
// is the text body; every further part becomes a file in the attachment
// folder, decoded from base64 or uuencode. Multiparts inside parts are read
// part by part, to a depth. Text beyond a limit is left out and the body
// ends with a line that says so; parts beyond a number of files are read
// away, and the text names them as left out.
class TMessageReader
{
public:
    TMessageReader(TMailMessage& message, TUUProcessor& decoder);

    // Files older than a week in the folder go first, and the scratch file
    // goes when the message is done.
    void Read(const TLineSource& source, const QString& attachFilePath);
    // Reads on to the end line, keeping nothing; after a failure this
    // leaves the connection ready for the next command.
    void SkipToEnd();
    bool AtEnd() const { return atEnd; }

    // What the headers read so far said, the last line of each kind winning.
    QByteArray ContentType;
    QByteArray Boundary;
    QByteArray TransferEncoding;
    QByteArray PartFileName;
    // 2: the message header, 1: the text part, 0: a file part.
    int PartMode = 2;
    // What the header read last said itself, without carrying over from an
    // earlier part: what tells the text a person reads.
    QByteArray OwnContentType;
    QByteArray OwnTransferEncoding;
    QByteArray OwnBoundary;
    bool OwnAttachment = false;

    TStatusReport OnStatus;
    // Asked once the message header is read; a refusal raises
    // EMessageRefused, the rest of the message left unread.
    THeaderCheck AcceptHeader;

private:
    // A delimiter line of one of the multiparts being read; Level is its
    // place in boundaries, -1 where the line is none.
    struct TDelimiter
    {
        qsizetype Level = -1;
        bool Close = false;
    };

    void Clear();
    QByteArray ReadLine();
    void ReadHeader();
    void ReadBody();
    void TakeHeaderField(const QByteArray& line);
    void TakeOwnField(const QByteArray& line);
    bool StartsText();
    void KeepText(const QByteArray& line);
    void ReadMultipart();
    bool OpensMultipart() const;
    TDelimiter ReadPart();
    TDelimiter ReadToDelimiter(const std::function<void(const QByteArray& line)>& take);
    TDelimiter DelimiterOf(const QByteArray& line) const;
    void Note(const QString& note);
    void StoreFile(QFile& scratch);
    void Decode(QFile& scratch, QFile& target);
    void Copy(QFile& scratch, QFile& target);
    void LoadBody();
    void Report(const QString& text);

    TMailMessage& message;
    TUUProcessor& decoder;
    TLineSource source;
    std::unique_ptr<TAttachFolder> folder;
    bool atEnd = false;
    bool multipart = false;
    // The boundaries of the multiparts the reader is inside, outermost first.
    QByteArrayList boundaries;
    // The head and body text a message keeps in memory; the rest of a
    // longer one is read away, its files still written in full.
    TTextLimit kept{16 * 1024 * 1024};
    // The own field a continuation line belongs to, if any.
    QByteArray* ownField = nullptr;
};
