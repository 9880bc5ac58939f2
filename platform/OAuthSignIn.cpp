#include "platform/OAuthSignIn.h"

#include "platform/LoopbackRedirect.h"
#include "platform/Pkce.h"

#include <QHostAddress>

// The code and the tokens travel to these addresses; in the clear only on
// this machine.
bool IsSafeOAuthAddress(const QUrl& url)
{
    if (!url.isValid() || url.host().isEmpty())
        return false;
    if (url.scheme() == u"https")
        return true;
    return url.scheme() == u"http" && QHostAddress(url.host()).isLoopback();
}

TOAuthSignIn::TOAuthSignIn(QString account, TOAuthProvider provider)
    : account(std::move(account)), provider(std::move(provider))
{
}

QString TOAuthSignIn::ProblemOf(const QString& account, const TOAuthProvider& provider)
{
    if (provider.ClientId.isEmpty())
        return account + QStringLiteral(" names no OAuth client id (OAuthClientId).");
    if (!IsSafeOAuthAddress(provider.AuthorizeUrl))
        return QStringLiteral("The sign-in address of ") + account +
               QStringLiteral(" (OAuthAuthorizeUrl) is not an https:// address.");
    if (!IsSafeOAuthAddress(provider.TokenUrl))
        return QStringLiteral("The token address of ") + account +
               QStringLiteral(" (OAuthTokenUrl) is not an https:// address.");
    return {};
}

void TOAuthSignIn::checkProvider() const
{
    if (const QString problem = ProblemOf(account, provider); !problem.isEmpty())
        throw Exception(problem);
}

TTokens TOAuthSignIn::SignIn() const
{
    checkProvider();
    const TPkce pkce = TPkce::Make();
    const QByteArray state = RandomUrlText(24);
    TLoopbackRedirect redirect(account, state);
    redirect.Listen();
    const QUrl redirectUri = redirect.RedirectUri();
    if (OpenBrowser)
        OpenBrowser(authorizationUrl(redirectUri, state, pkce.Challenge));
    const auto fields = redirect.Wait(TimeOut);
    if (!fields)
        throw Exception(timedOut(redirect.Refused));
    if (const QString error = fields->value(QStringLiteral("error")).simplified().left(100); !error.isEmpty()) {
        const QString description = fields->value(QStringLiteral("error_description")).simplified().left(300);
        throw Exception(QStringLiteral("The provider refused the sign-in to ") + account + QStringLiteral(": ") +
                        error + (description.isEmpty() ? QString() : QStringLiteral(" (") + description + u')'));
    }
    const QString code = fields->value(QStringLiteral("code"));
    if (code.isEmpty())
        throw Exception(QStringLiteral("The provider sent the browser back without a sign-in code for ") + account +
                        u'.');
    const TTokens tokens = endpoint().Post(withClient({{QStringLiteral("grant_type"), QStringLiteral("authorization_code")},
                                                       {QStringLiteral("code"), code},
                                                       {QStringLiteral("redirect_uri"), redirectUri.toString()},
                                                       {QStringLiteral("code_verifier"), QString::fromLatin1(pkce.Verifier)}}));
    if (tokens.RefreshToken.isEmpty())
        throw Exception(QStringLiteral("The provider signed ") + account +
                        QStringLiteral(" in but gave no refresh token, so the sign-in could not be kept."));
    return tokens;
}

TTokens TOAuthSignIn::Refresh(const QString& refreshToken) const
{
    checkProvider();
    try {
        return endpoint().Post(withClient({{QStringLiteral("grant_type"), QStringLiteral("refresh_token")},
                                           {QStringLiteral("refresh_token"), refreshToken}}));
    } catch (const EProviderRefusal& refusal) {
        if (refusal.Error != u"invalid_grant")
            throw;
        throw ESignInAgain(QStringLiteral("Sign in to ") + account +
                           QStringLiteral(" again: the provider no longer takes its kept sign-in."));
    }
}

QUrl TOAuthSignIn::authorizationUrl(const QUrl& redirectUri, const QByteArray& state, const QByteArray& challenge) const
{
    FormFields fields{{QStringLiteral("response_type"), QStringLiteral("code")},
                      {QStringLiteral("client_id"), provider.ClientId},
                      {QStringLiteral("redirect_uri"), redirectUri.toString()}};
    if (!provider.Scope.isEmpty())
        fields.append({QStringLiteral("scope"), provider.Scope});
    fields.append({{QStringLiteral("state"), QString::fromLatin1(state)},
                   {QStringLiteral("code_challenge"), QString::fromLatin1(challenge)},
                   {QStringLiteral("code_challenge_method"), QStringLiteral("S256")}});
    QUrl url = provider.AuthorizeUrl;
    const QString given = url.query(QUrl::FullyEncoded);
    url.setQuery((given.isEmpty() ? QString() : given + u'&') + QString::fromLatin1(FormEncoded(fields)),
                 QUrl::StrictMode);
    return url;
}

FormFields TOAuthSignIn::withClient(FormFields form) const
{
    form.append({QStringLiteral("client_id"), provider.ClientId});
    if (!provider.ClientSecret.isEmpty())
        form.append({QStringLiteral("client_secret"), provider.ClientSecret});
    return form;
}

QString TOAuthSignIn::timedOut(const QString& refused) const
{
    const QString wait = TimeOut % 60000 == 0 ? QStringLiteral("%1 minutes").arg(TimeOut / 60000)
                                              : QStringLiteral("%1 seconds").arg(TimeOut / 1000.0);
    return QStringLiteral("The browser did not come back with the sign-in to ") + account +
           QStringLiteral(" within ") + wait +
           (refused.isEmpty() ? QString() : QStringLiteral("; Postwatch turned away ") + refused) + u'.';
}

TTokenEndpoint TOAuthSignIn::endpoint() const
{
    TTokenEndpoint endpoint(provider.TokenUrl, account);
    endpoint.TimeOut = TokenTimeOut;
    return endpoint;
}
