#pragma once

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QString>

// A folder's name as IMAP writes it: modified UTF-7 (RFC 3501 5.1.3).
QByteArray FolderName(const QString& name);

// A compact set of ids: "1:5,9" for 1 2 3 4 5 9.
QByteArray UidSet(QList<quint32> uids);

// A command in the pieces it is sent in: a synchronising literal ends a
// piece, and the next goes after the server's continuation.
struct TCommandParts
{
    QByteArrayList Parts = {QByteArray()};

    TCommandParts& operator<<(const QByteArray& bytes);
    // A quoted string where it can be one (7-bit), else a literal,
    // non-synchronising where the server takes that. The caller refuses CR,
    // LF and NUL first.
    TCommandParts& String(const QByteArray& text, bool literalPlus);
};

// Whether a sign-in text can go to the server at all.
bool HoldsLineBreak(const QString& text);
