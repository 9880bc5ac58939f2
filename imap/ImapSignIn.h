#pragma once

#include "base/Exception.h"
#include "imap/ImapClient.h"
#include "imap/ImapWords.h"

// Why an account cannot sign in before anything is sent.
class EImapSignIn : public Exception
{
public:
    EImapSignIn(TImapErrorKind kind, const QString& message) : Exception(message), Kind(kind) {}

    TImapErrorKind Kind;
};

// The command that signs in as the server's capabilities allow, and what
// answers its continuations in turn.
struct TSignIn
{
    TCommandParts Command = {};
    QByteArrayList Answers = {};
    bool ByToken = false;
};

// A token signs in by XOAUTH2 or OAUTHBEARER, a password by AUTHENTICATE
// PLAIN where offered, else LOGIN. Raises EImapSignIn.
TSignIn SignInFor(const TImapLogin& login, const QStringList& capabilities);
