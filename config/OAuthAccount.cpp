#include "config/OAuthAccount.h"

#include "base/Guard.h"
#include "config/AccountRecord.h"
#include "config/Registry.h"
#include "config/ScramblePassword.h"
#include "config/SecretStore.h"
#include "config/UserStore.h"

using namespace Qt::StringLiterals;

namespace {
const QString RefreshTokenValue = u"OAuthRefreshToken"_s;

TAccountRecord existingAccount(RegistryStore& store, const QString& name)
{
    std::optional<TAccountRecord> account = TAccountRecord::Read(store, name);
    if (!account)
        throw Exception(u"There is no account named "_s + name + u'.');
    return *account;
}
}

TOAuthAccount TOAuthAccount::Read(RegistryStore& store, const QString& name)
{
    const TAccountRecord account = existingAccount(store, name);
    return {name, account.Auth, account.Provider};
}

void TOAuthAccount::Write(RegistryStore& store) const
{
    TAccountRecord account;
    account.Name = Name;
    if (const std::optional<TAccountRecord> stored = TAccountRecord::Read(store, Name))
        account = *stored;
    account.Auth = Auth;
    account.Provider = Provider;
    account.Write(store);
}

TSignInTarget TSignInTarget::Read(RegistryStore& store, const QString& name)
{
    const TAccountRecord account = existingAccount(store, name);
    return {{name, account.Auth, account.Provider}, account.Server, account.Username, account.SignInId,
            account.DesktopAccount};
}

bool TSignInTarget::SameSignIn(const TSignInTarget& other) const
{
    const TOAuthProvider& provider = Account.Provider;
    return Account.Auth == other.Account.Auth && provider.AuthorizeUrl == other.Account.Provider.AuthorizeUrl
        && provider.TokenUrl == other.Account.Provider.TokenUrl && provider.ClientId == other.Account.Provider.ClientId
        && provider.Scope.simplified() == other.Account.Provider.Scope.simplified()
        && DesktopAccount == other.DesktopAccount && Server == other.Server && User == other.User;
}

QString ReadRefreshToken(RegistryStore& store, const QString& account)
{
    TRegistry reg(store);
    if (!reg.OpenKeyReadOnly(TAccountRecord::KeyOf(account)))
        return {};
    if (reg.ValueExists(RefreshTokenValue))
        return ScramblePassword(reg.ReadString(RefreshTokenValue));
    return store.Secrets ? store.Secrets->Read(account, false, SecretStore::SignIn) : QString();
}

QString StoreRefreshToken(RegistryStore& store, const QString& account, const QString& token, bool mayPrompt)
{
    TRegistry reg(store);
    if (!reg.OpenKey(TAccountRecord::KeyOf(account), false))
        throw Exception(u"The account "_s + account + u" went away before its sign-in could be kept."_s);
    TAccountRecord::GiveSignInId(reg);
    if (!store.Secrets) {
        reg.WriteString(RefreshTokenValue, ScramblePassword(token));
        return {};
    }
    try {
        store.Secrets->Write(account, token, SecretStore::SignIn, mayPrompt);
    } catch (const Exception& e) {
        reg.WriteString(RefreshTokenValue, ScramblePassword(token));
        return e.Message;
    }
    if (reg.ValueExists(RefreshTokenValue))
        reg.DeleteValue(RefreshTokenValue);
    return {};
}

QString KeptInFileLine(const QString& account, const QString& refusal)
{
    return u"The secret store did not take the new sign-in of %1 (%2); it is kept scrambled in %3 "
           "until the store answers at a later start."_s.arg(account, refusal, SettingsPlace());
}

QString RefreshTokenFor(RegistryStore& store, const QString& account, const TSignInTarget& target)
{
    if (!TRegistry(store).KeyExists(TAccountRecord::KeyOf(account)) || !TSignInTarget::Read(store, account).SameSignIn(target))
        return {};
    return ReadRefreshToken(store, account);
}

void MoveRefreshToken(RegistryStore& store, SecretStore& secrets, const QString& account)
{
    TRegistry reg(store);
    if (!reg.OpenKey(TAccountRecord::KeyOf(account), false) || !reg.ValueExists(RefreshTokenValue))
        return;
    const QString token = ScramblePassword(reg.ReadString(RefreshTokenValue));
    if (!token.isEmpty())
        secrets.Write(account, token, SecretStore::SignIn);
    reg.DeleteValue(RefreshTokenValue);
}

void RemoveRefreshToken(RegistryStore& store, const QString& account)
{
    if (store.Secrets)
        store.Secrets->Remove(account, SecretStore::SignIn);
}

TTokens SignInAccount(RegistryStore& store, const QString& name, const std::function<void(const QUrl&)>& openBrowser)
{
    const TOAuthAccount account = TOAuthAccount::Read(store, name);
    if (account.Auth == authDesktop)
        throw Exception(name + u" signs in through the desktop: sign in there, in the desktop's Online Accounts."_s);
    if (account.Auth != authOAuth2)
        throw Exception(name + u" logs in with a password, not with OAuth 2.0 (its Auth value is not 1)."_s);
    TOAuthSignIn flow(name, account.Provider);
    flow.OpenBrowser = openBrowser;
    const TTokens tokens = flow.SignIn();
    if (const QString refusal = StoreRefreshToken(store, name, tokens.RefreshToken); !refusal.isEmpty())
        WriteErrorLine(KeptInFileLine(name, refusal));
    return tokens;
}

const TPresetMailbox& TOAuthPreset::MailboxFor(const QString& protocol) const
{
    return TAccountRecord::IsImap(protocol) ? Imap : Pop3;
}

TOAuthProvider TOAuthPreset::ProviderFor(const QString& protocol) const
{
    TOAuthProvider provider = Provider;
    provider.Scope = MailboxFor(protocol).Scope;
    return provider;
}

int TOAuthPreset::PortFor(const QString& protocol) const
{
    return DefaultPort(protocol, Security);
}

// Client ids are the builder's, given when the program is configured.
// Google's one scope serves POP3 and IMAP; Microsoft grants each protocol
// on its own.
const QList<TOAuthPreset>& OAuthPresets()
{
    static const QString googleScope = u"https://mail.google.com/"_s;
    static const QList<TOAuthPreset> presets{
        {u"Google"_s,
         {QUrl(u"https://accounts.google.com/o/oauth2/v2/auth"_s), QUrl(u"https://oauth2.googleapis.com/token"_s),
          QStringLiteral(POSTWATCH_GOOGLE_CLIENT_ID), QStringLiteral(POSTWATCH_GOOGLE_CLIENT_SECRET), QString()},
         {u"pop.gmail.com"_s, googleScope},
         {u"imap.gmail.com"_s, googleScope},
         secTls,
         true},
        {u"Microsoft"_s,
         {QUrl(u"https://login.microsoftonline.com/common/oauth2/v2.0/authorize"_s),
          QUrl(u"https://login.microsoftonline.com/common/oauth2/v2.0/token"_s),
          QStringLiteral(POSTWATCH_MICROSOFT_CLIENT_ID), QString(), QString()},
         {u"outlook.office365.com"_s, u"https://outlook.office.com/POP.AccessAsUser.All offline_access"_s},
         {u"outlook.office365.com"_s, u"https://outlook.office.com/IMAP.AccessAsUser.All offline_access"_s}},
    };
    return presets;
}
