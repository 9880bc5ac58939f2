#pragma once

#include "base/Exception.h"
#include "platform/TokenEndpoint.h"

#include <QUrl>

#include <functional>

// What an account names of its OAuth 2.0 provider.
struct TOAuthProvider
{
    QUrl AuthorizeUrl;
    QUrl TokenUrl;
    QString ClientId;
    QString ClientSecret; // some providers give desktop programs one; it is no secret there
    QString Scope;
};

// Whether the flow may send a code or token there: https, or http to loopback.
bool IsSafeOAuthAddress(const QUrl& url);

// The kept sign-in no longer serves: only the user, in the browser, can help.
class ESignInAgain : public Exception
{
public:
    using Exception::Exception;
};

// The authorization code flow with PKCE (S256) and a state for one account:
// the browser shows the provider's sign-in page and comes back to a loopback
// listener with the code, which is exchanged for tokens. Also the refresh
// that turns a kept refresh token into a fresh access token. Nothing is
// stored here; every failure is an Exception naming the account.
class TOAuthSignIn
{
public:
    TOAuthSignIn(QString account, TOAuthProvider provider);

    // Shows the authorization address to the user; the flow then waits.
    std::function<void(const QUrl&)> OpenBrowser;
    int TimeOut = 5 * 60 * 1000; // how long the browser has to come back
    int TokenTimeOut = 30000;

    // The tokens, a refresh token among them.
    TTokens SignIn() const;
    // Throws ESignInAgain when the provider no longer takes the refresh token.
    TTokens Refresh(const QString& refreshToken) const;

    // Why these values cannot sign in, in a user's words; empty when they can.
    static QString ProblemOf(const QString& account, const TOAuthProvider& provider);

private:
    QUrl authorizationUrl(const QUrl& redirectUri, const QByteArray& state, const QByteArray& challenge) const;
    FormFields withClient(FormFields form) const;
    QString timedOut(const QString& refused) const;
    TTokenEndpoint endpoint() const;
    void checkProvider() const;

    QString account;
    TOAuthProvider provider;
};
