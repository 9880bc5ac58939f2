#pragma once

#include "base/CleanText.h"

#include <QList>
#include <QString>

// A mail account the desktop keeps signed in, with what an account of ours
// needs to reach its IMAP server.
struct TDesktopAccount
{
    QString Id;       // the desktop's own, what an account of ours keeps
    QString Provider; // "Google", "Microsoft 365"
    QString Address;  // the mail address, else the name the desktop shows
    QString Server;
    int Port = 993;
    int Security = 0; // a TSecurity
    QString User;
    bool NeedsSignIn = false; // signed out: only the user, in the desktop, can help

    // "Google: ann@gmail.com"
    QString Label() const
    {
        const QString label = CleanedText(Provider.isEmpty() ? Address : Provider + QStringLiteral(": ") + Address);
        return NeedsSignIn ? label + QStringLiteral(" (signed out)") : label;
    }
};

// A fresh access token the desktop handed out, good for ExpiresIn seconds.
struct TDesktopToken
{
    QString Token;
    int ExpiresIn = 0;
};

// The desktop's online accounts (GNOME Online Accounts on the session bus),
// which sign in to Google and Microsoft themselves and hand programs access
// tokens. Every request waits at most TimeOut, so a service that never
// answers costs seconds, not a hang. Failures raise Exception in a user's
// words; on Windows there is no such service.
class DesktopAccounts
{
public:
    int TimeOut = 5000;

    // Whether the service is there to ask (running, or started on demand).
    bool Offered() const;
    // The mail accounts that can hand out a token for IMAP, signed out ones
    // among them.
    QList<TDesktopAccount> MailAccounts() const;
    // A token for the desktop account id, for our account named account.
    // Throws ESignInAgain where only a sign-in in the desktop helps: the
    // account gone, its mail turned off, signed out.
    TDesktopToken Token(const QString& id, const QString& account) const;
};
