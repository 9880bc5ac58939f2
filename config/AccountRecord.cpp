#include "config/AccountRecord.h"

#include "config/AccountText.h"
#include "config/Registry.h"
#include "config/StoreKeys.h"

#include <QHostAddress>
#include <QUuid>

using namespace Qt::StringLiterals;

namespace {
const QString ServerValue = u"Server"_s;
const QString UsernameValue = u"Username"_s;
const QString PortValue = u"Port"_s;
const QString SelectedValue = u"Selected"_s;
const QString SecurityValue = u"Security"_s;
const QString QuickCheckValue = u"QuickCheck"_s;
const QString CertFingerprintValue = u"CertFingerprint"_s;
const QString AuthValue = u"Auth"_s;
const QString AuthorizeUrlValue = u"OAuthAuthorizeUrl"_s;
const QString TokenUrlValue = u"OAuthTokenUrl"_s;
const QString ClientIdValue = u"OAuthClientId"_s;
const QString ClientSecretValue = u"OAuthClientSecret"_s;
const QString ScopeValue = u"OAuthScope"_s;
const QString SignInIdValue = u"OAuthSignInId"_s;
const QString DesktopAccountValue = u"DesktopAccount"_s;
const QString ProtocolValue = u"Protocol"_s;
const QString FolderValue = u"Folder"_s;

int integer(const TRegistry& reg, const QString& name, int absent)
{
    return reg.ValueExists(name) ? reg.ReadInteger(name) : absent;
}

QString text(const TRegistry& reg, const QString& name, const QString& absent = {})
{
    return reg.ValueExists(name) ? reg.ReadString(name) : absent;
}

void writeUnless(TRegistry& reg, const QString& name, const QString& value, bool leftOut)
{
    if (leftOut)
        reg.DeleteValue(name);
    else
        reg.WriteString(name, value);
}

TOAuthProvider readProvider(const TRegistry& reg)
{
    return {QUrl(text(reg, AuthorizeUrlValue).trimmed()), QUrl(text(reg, TokenUrlValue).trimmed()),
            text(reg, ClientIdValue).trimmed(), text(reg, ClientSecretValue).trimmed(), text(reg, ScopeValue).trimmed()};
}

// A password sign-in keeps none of the provider's values, and one through
// the desktop none but the desktop's account.
void writeSignIn(TRegistry& reg, int auth, const TOAuthProvider& provider, const QString& desktopAccount)
{
    const bool oauth = auth == authOAuth2;
    if (SendsToken(auth))
        reg.WriteInteger(AuthValue, auth);
    else
        reg.DeleteValue(AuthValue);
    writeUnless(reg, DesktopAccountValue, desktopAccount, auth != authDesktop);
    writeUnless(reg, AuthorizeUrlValue, provider.AuthorizeUrl.toString(), !oauth);
    writeUnless(reg, TokenUrlValue, provider.TokenUrl.toString(), !oauth);
    writeUnless(reg, ClientIdValue, provider.ClientId, !oauth);
    writeUnless(reg, ClientSecretValue, provider.ClientSecret, !oauth);
    writeUnless(reg, ScopeValue, provider.Scope, !oauth);
}
}

QString TAccountRecord::KeyOf(const QString& name)
{
    return StoreKeys::Accounts + u'\\' + name;
}

std::optional<TAccountRecord> TAccountRecord::Read(RegistryStore& store, const QString& name)
{
    TRegistry reg(store);
    if (!reg.OpenKeyReadOnly(KeyOf(name)))
        return std::nullopt;
    return Read(reg, name);
}

TAccountRecord TAccountRecord::Read(const TRegistry& reg, const QString& name)
{
    TAccountRecord account;
    account.Name = name;
    account.Server = AccountText(reg.ReadString(ServerValue));
    account.Username = AccountText(reg.ReadString(UsernameValue));
    account.Port = reg.ReadInteger(PortValue);
    account.Selected = integer(reg, SelectedValue, 1) != 0;
    account.Security = static_cast<TSecurity>(integer(reg, SecurityValue, account.Security));
    account.QuickCheck = integer(reg, QuickCheckValue, 1) != 0;
    account.CertFingerprint = text(reg, CertFingerprintValue);
    account.Auth = integer(reg, AuthValue, authPassword);
    account.Provider = readProvider(reg);
    account.SignInId = text(reg, SignInIdValue).trimmed();
    account.DesktopAccount = text(reg, DesktopAccountValue).trimmed();
    account.Protocol = text(reg, ProtocolValue, DefaultProtocol);
    account.Folder = text(reg, FolderValue, DefaultFolder);
    return account;
}

void TAccountRecord::Write(RegistryStore& store) const
{
    TRegistry reg(store);
    reg.OpenKey(KeyOf(Name), true);
    Write(reg);
}

void TAccountRecord::Write(TRegistry& reg) const
{
    reg.WriteString(ServerValue, Server);
    reg.WriteString(UsernameValue, Username);
    reg.WriteInteger(PortValue, Port);
    reg.WriteBool(SelectedValue, Selected);
    reg.WriteInteger(SecurityValue, Security);
    reg.WriteInteger(QuickCheckValue, QuickCheck ? 1 : 0);
    writeUnless(reg, CertFingerprintValue, CertFingerprint, CertFingerprint.isEmpty());
    writeSignIn(reg, Auth, Provider, DesktopAccount);
    writeUnless(reg, SignInIdValue, SignInId, SignInId.isEmpty());
    writeUnless(reg, ProtocolValue, Protocol, Protocol == DefaultProtocol);
    writeUnless(reg, FolderValue, Folder, Folder == DefaultFolder);
}

void TAccountRecord::CompleteRequired(TRegistry& reg)
{
    const TAccountRecord defaults;
    if (!reg.ValueExists(ServerValue))
        reg.WriteString(ServerValue, defaults.Server);
    if (!reg.ValueExists(UsernameValue))
        reg.WriteString(UsernameValue, defaults.Username);
    if (!reg.ValueExists(PortValue))
        reg.WriteInteger(PortValue, defaults.Port);
    if (!reg.ValueExists(SelectedValue))
        reg.WriteBool(SelectedValue, defaults.Selected);
}

void TAccountRecord::TrustCertificate(RegistryStore& store, const QString& name, const QString& fingerprint)
{
    TRegistry reg(store);
    if (reg.OpenKey(KeyOf(name), false))
        reg.WriteString(CertFingerprintValue, fingerprint);
}

bool TAccountRecord::ReadSelected(RegistryStore& store, const QString& name)
{
    TRegistry reg(store);
    return reg.OpenKeyReadOnly(KeyOf(name)) && integer(reg, SelectedValue, 1) != 0;
}

void TAccountRecord::WriteSelected(RegistryStore& store, const QString& name, bool selected)
{
    TRegistry reg(store);
    if (reg.OpenKey(KeyOf(name), false))
        reg.WriteBool(SelectedValue, selected);
}

void TAccountRecord::GiveSignInId(TRegistry& reg)
{
    if (!reg.ValueExists(SignInIdValue))
        reg.WriteString(SignInIdValue, QUuid::createUuid().toString(QUuid::WithoutBraces));
}

bool TAccountRecord::IsImap(const QString& protocol)
{
    return protocol.compare(ImapProtocol, Qt::CaseInsensitive) == 0;
}

int DefaultPort(const QString& protocol, int security)
{
    if (TAccountRecord::IsImap(protocol))
        return security == secTls ? 993 : 143;
    return security == secTls ? 995 : 110;
}

bool TAccountRecord::IsLocal() const
{
    return Server.compare(u"localhost"_s, Qt::CaseInsensitive) == 0 || QHostAddress(Server).isLoopback();
}
