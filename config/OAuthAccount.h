#pragma once

#include "base/Auth.h"
#include "base/Security.h"
#include "platform/OAuthSignIn.h"

#include <QList>

class RegistryStore;
class SecretStore;

// An account's OAuth 2.0 values in its key of the store.
struct TOAuthAccount
{
    QString Name;
    int Auth = authPassword;
    TOAuthProvider Provider;

    // Throws Exception when there is no such account.
    static TOAuthAccount Read(RegistryStore& store, const QString& name);
    void Write(RegistryStore& store) const;
};

// What a kept sign-in was given for: a token serves no other provider,
// client or mailbox.
struct TSignInTarget
{
    TOAuthAccount Account;
    QString Server;
    QString User;
    // Set when a refresh token is first kept in the account's key, so an
    // account deleted or replaced and made again is another sign-in.
    QString SignInId;
    QString DesktopAccount;

    // Throws Exception when there is no such account.
    static TSignInTarget Read(RegistryStore& store, const QString& name);
    // The same kind of sign-in, provider addresses, client id, scope, desktop
    // account, server and user name; the id is not compared.
    bool SameSignIn(const TSignInTarget& other) const;
};

// The refresh token kept for the account; empty when none is. It is kept as
// a password is: in the secret store where the store has one (a token still
// in the file is used wherever it is found), else scrambled in the account's
// key. A locked keyring is never unlocked for it: a check runs unasked.
QString ReadRefreshToken(RegistryStore& store, const QString& account);
// The one place that decides where a refresh token is kept; it replaces the
// one before. A token the provider issued is never dropped: where the secret
// store refuses it, it is kept in the file as without a store, and the
// store's refusal is returned (empty when it went where it belongs).
// mayPrompt as for SecretStore::Read.
QString StoreRefreshToken(RegistryStore& store, const QString& account, const QString& token, bool mayPrompt = true);
// Says in a line where a refused refresh token went.
QString KeptInFileLine(const QString& account, const QString& refusal);
// The refresh token kept for the account when it was given for target's
// sign-in; empty otherwise, so it never reaches another provider or mailbox.
QString RefreshTokenFor(RegistryStore& store, const QString& account, const TSignInTarget& target);
// A refresh token in the account's key goes into the secret store, and then
// out of the file; a store that fails leaves it in the file.
void MoveRefreshToken(RegistryStore& store, SecretStore& secrets, const QString& account);
// The kept token goes with the account; its value in the file goes with the key.
void RemoveRefreshToken(RegistryStore& store, const QString& account);

// The sign-in of an OAuth account in the browser. The refresh token is kept
// only when the whole flow succeeded; a failure leaves the account as it was.
TTokens SignInAccount(RegistryStore& store, const QString& name, const std::function<void(const QUrl&)>& openBrowser);

// Where a provider serves a mailbox over one protocol, and what a sign-in
// must allow there.
struct TPresetMailbox
{
    QString Server;
    QString Scope;
};

// A provider whose values a new account can start from.
struct TOAuthPreset
{
    QString Name;
    TOAuthProvider Provider; // its scope is the protocol's: see ProviderFor
    TPresetMailbox Pop3;
    TPresetMailbox Imap;
    int Security = secTls;
    // Google gives a desktop client a secret that is none; Microsoft a public client none at all.
    bool TakesClientSecret = false;

    const TPresetMailbox& MailboxFor(const QString& protocol) const;
    TOAuthProvider ProviderFor(const QString& protocol) const;
    int PortFor(const QString& protocol) const;
};
const QList<TOAuthPreset>& OAuthPresets();
