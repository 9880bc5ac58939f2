#pragma once

#include "pop3/AttachFolder.h"
#include "pop3/TextLimit.h"

#include <QByteArray>
#include <QString>
#include <functional>
#include <memory>

struct TMailMessage;
class TUUProcessor;

// The next line of a message as received, line end included.
using TLineSource = std::function<QByteArray()>;
using TStatusReport = std::function<void(const QString& Text)>;

// A small MIME reader: it reads one message, as sent after a positive RETR,
// up to and including its end line. The first part of a multipart message
// is the text body; every further part becomes a file in the attachment
// folder, decoded from base64 or uuencode. Text beyond a limit is left out
// and the body ends with a line that says so.
class TMessageReader
{
public:
    TMessageReader(TMailMessage& message, TUUProcessor& decoder);

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
    bool OwnAttachment = false;

    TStatusReport OnStatus;

private:
    void Clear();
    QByteArray ReadLine();
    void ReadHeader();
    void TakeHeaderField(const QByteArray& line);
    void TakeOwnField(const QByteArray& line);
    bool StartsText();
    void KeepText(const QByteArray& line);
    void ReadMultipart();
    bool ReadPart();
    bool IsBoundaryLine(const QByteArray& line) const;
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
    // The head and body text a message keeps in memory; the rest of a
    // longer one is read away, its files still written in full.
    TTextLimit kept{16 * 1024 * 1024};
    // The own field a continuation line belongs to, if any.
    QByteArray* ownField = nullptr;
};
