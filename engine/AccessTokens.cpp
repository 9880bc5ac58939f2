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
    if (const auto found = kept.constFind(account); found != kept.cend() && now.addSecs(MarginSeconds) < found->Until
        && found->GivenFor.SameSignIn(target) && found->GivenFor.SignInId == target.SignInId)
        return found->Token;

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

void TAccessTokens::KeepRefreshToken(const QString& account, const QString& token)
{
    const QString refusal = StoreRefreshToken(store, account, token, false);
    if (!refusal.isEmpty() && !toldKeptInFile.contains(account)) {
        toldKeptInFile.insert(account);
        WriteErrorLine(KeptInFileLine(account, refusal));
    }
}
