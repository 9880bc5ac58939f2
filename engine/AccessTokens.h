#pragma once

#include "config/OAuthAccount.h"
#include "platform/DesktopAccounts.h"

#include <QDateTime>
#include <QHash>
#include <QSet>
#include <QString>

#include <optional>

class RegistryStore;

// The access tokens of the OAuth 2.0 accounts. They live in memory only; a
// token that has expired, or is about to, is refreshed with the account's
// kept refresh token, and a new refresh token the provider hands out with it
// is kept in the old one's place. A token serves only the sign-in it was
// given for: an account edited, or deleted and made again, gets a new one.
// An account signed in through the desktop gets its token from the desktop,
// kept as long as ours.
class TAccessTokens
{
public:
    explicit TAccessTokens(RegistryStore& store) : store(store) {}

    // A token good for a login now. Throws ESignInAgain when only a new
    // sign-in can help, Exception for every other failure.
    QString For(const QString& account);
    // The server refused the token: the next login asks for another.
    void Forget(const QString& account) { kept.remove(account); }

    DesktopAccounts Desktop;

private:
    struct TKept {
        QString Token;
        QDateTime Until;
        TSignInTarget GivenFor;
    };

    std::optional<QString> KeptFor(const QString& account, const TSignInTarget& target, const QDateTime& now) const;
    QString FromProvider(const QString& account, const TSignInTarget& target, const QDateTime& now);
    QString FromDesktop(const QString& account, const TSignInTarget& target, const QDateTime& now);

    // A check runs unasked, so a locked keyring is not unlocked for it; the
    // token then waits in the file, which is said once an account.
    void KeepRefreshToken(const QString& account, const QString& token);

    RegistryStore& store;
    QHash<QString, TKept> kept;
    QSet<QString> toldKeptInFile;
};
