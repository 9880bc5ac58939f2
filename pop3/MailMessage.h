#pragma once

#include <QString>
#include <QStringList>

using TExStringList = QStringList;

// The part a person reads as a message's text: the first text part that is
// not an attachment, as it came.
struct TTextPart
{
    bool Found = false;
    // The part's own header values, parameters included.
    QByteArray ContentType;
    QByteArray TransferEncoding;
    // Its lines with the server's dots taken off, each ended by LF.
    QByteArray Bytes;
    // Bytes holds only the beginning of a longer text.
    bool Cut = false;
};

// One whole message; filled by message retrieval.
struct TMailMessage
{
    TExStringList Head;
    QStringList Body;
    QStringList Attachments;
    QString From;
    QString Subject;
    QString MessageId;
    TTextPart Text;
    // The lines of Body that are not the text: the files the other parts
    // became, and that text was left out.
    QStringList Notes;
};
