#pragma once

#include "base/Auth.h"
#include "platform/OAuthSignIn.h"

#include <QList>

class RegistryStore;

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

// The refresh token kept for the account; empty when none is.
QString ReadRefreshToken(RegistryStore& store, const QString& account);
// The one place that decides where a refresh token is kept; it replaces the one before.
void StoreRefreshToken(RegistryStore& store, const QString& account, const QString& token);

// The sign-in of an OAuth account in the browser. The refresh token is kept
// only when the whole flow succeeded; a failure leaves the account as it was.
TTokens SignInAccount(RegistryStore& store, const QString& name, const std::function<void(const QUrl&)>& openBrowser);

// A provider whose values a new account can start from.
struct TOAuthPreset
{
    QString Name;
    TOAuthProvider Provider;
    QString Server;
    int Port = 995;
    int Security = 2; // SSL/TLS from the first byte
};
const QList<TOAuthPreset>& OAuthPresets();
