#include "engine/AccessTokens.h"

#include "base/Guard.h"

namespace {
// A token that runs out during the login is of no use.
constexpr int MarginSeconds = 60;
}

QString TAccessTokens::For(const QString& account)
{
    const QDateTime now = QDateTime::currentDateTimeUtc();
    const TSignInTarget target = TSignInTarget::Read(store, account);
    if (const std::optional<QString> token = KeptFor(account, target, now))
        return *token;
    return target.Account.Auth == authDesktop ? FromDesktop(account, target, now) : FromProvider(account, target, now);
}

std::optional<QString> TAccessTokens::KeptFor(const QString& account, const TSignInTarget& target, const QDateTime& now) const
{
    const auto found = kept.constFind(account);
    if (found != kept.cend() && now.addSecs(MarginSeconds) < found->Until && found->GivenFor.SameSignIn(target)
        && found->GivenFor.SignInId == target.SignInId)
        return found->Token;
    return std::nullopt;
}

QString TAccessTokens::FromProvider(const QString& account, const TSignInTarget& target, const QDateTime& now)
{
    const QString refreshToken = ReadRefreshToken(store, account);
    if (refreshToken.isEmpty())
        throw ESignInAgain(QStringLiteral("Sign in to ") + account + QStringLiteral(" first: no sign-in is kept for it."));
    const TTokens tokens = TOAuthSignIn(account, target.Account.Provider).Refresh(refreshToken);
    // The account may be edited while the provider answers; what it gave
    // serves the values it was asked for only.
    if (!TSignInTarget::Read(store, account).SameSignIn(target))
        throw Exception(account + QStringLiteral(" changed while its sign-in was renewed; check again."));
    if (!tokens.RefreshToken.isEmpty() && tokens.RefreshToken != refreshToken)
        KeepRefreshToken(account, tokens.RefreshToken);
    kept.insert(account, {tokens.AccessToken, now.addSecs(tokens.ExpiresIn), target});
    return tokens.AccessToken;
}

QString TAccessTokens::FromDesktop(const QString& account, const TSignInTarget& target, const QDateTime& now)
{
    const TDesktopToken token = Desktop.Token(target.DesktopAccount, account);
    kept.insert(account, {token.Token, now.addSecs(token.ExpiresIn), target});
    return token.Token;
}

void TAccessTokens::KeepRefreshToken(const QString& account, const QString& token)
{
    const QString refusal = StoreRefreshToken(store, account, token, false);
    if (!refusal.isEmpty() && !toldKeptInFile.contains(account)) {
        toldKeptInFile.insert(account);
        WriteErrorLine(KeptInFileLine(account, refusal));
    }
}
