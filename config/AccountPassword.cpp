#include "config/AccountPassword.h"

#include "base/Exception.h"
#include "base/Guard.h"
#include "config/OAuthAccount.h"
#include "config/Registry.h"
#include "config/ScramblePassword.h"
#include "config/SecretStore.h"
#include "config/StoreKeys.h"
#include "config/UserStore.h"

using namespace Qt::StringLiterals;

namespace {

const QString PasswordValue = u"Password"_s;

void movePassword(RegistryStore& store, SecretStore& secrets, const QString& account)
{
    TRegistry reg(store);
    if (!reg.OpenKey(StoreKeys::Accounts + u'\\' + account, false) || !reg.ValueExists(PasswordValue))
        return;
    const QString password = ScramblePassword(reg.ReadString(PasswordValue));
    if (!password.isEmpty())
        secrets.Write(account, password);
    reg.DeleteValue(PasswordValue);
    reg.CloseKey();
}

}

QString StoredPassword(const TRegistry& reg, RegistryStore& store, const QString& account, bool mayPrompt)
{
    if (reg.ValueExists(PasswordValue) || !store.Secrets)
        return ScramblePassword(reg.ReadString(PasswordValue));
    return store.Secrets->Read(account, mayPrompt);
}

QString ReadAccountPassword(const TRegistry& reg, RegistryStore& store, const QString& account, bool mayPrompt)
{
    const QString password = StoredPassword(reg, store, account, mayPrompt);
    if (password.isEmpty() && store.Secrets)
        throw Exception(u"The secret store holds no password for this account."_s);
    return password;
}

void RemoveAccountPassword(RegistryStore& store, const QString& account)
{
    if (store.Secrets)
        store.Secrets->Remove(account);
}

QStringList MovePasswordsToSecretStore(RegistryStore& store, SecretStore& secrets)
{
    TRegistry reg(store);
    if (!reg.OpenKey(StoreKeys::Accounts, false))
        return {};
    const QStringList accounts = reg.GetKeyNames();
    reg.CloseKey();
    QStringList failures;
    const auto move = [&failures](const QString& what, const QString& account, const std::function<void()>& step) {
        try {
            step();
        } catch (const Exception& e) {
            failures << u"The %1 of %2 stays in %3: %4"_s.arg(what, account, SettingsPlace(), e.Message);
        }
    };
    for (const QString& account : accounts) {
        move(u"password"_s, account, [&] { movePassword(store, secrets, account); });
        move(u"sign-in"_s, account, [&] { MoveRefreshToken(store, secrets, account); });
    }
    return failures;
}

namespace {
// A profile such as the demo's keeps its secrets in its own file and
// leaves the user's keyring alone.
bool keepsSecretsInFile(RegistryStore& store)
{
    TRegistry reg(store);
    const QString name = u"UseSecretStore"_s;
    return reg.OpenKeyReadOnly(StoreKeys::Program) && reg.ValueExists(name) && reg.ReadInteger(name) == 0;
}
}

std::unique_ptr<SecretStore> UseSecretStore(RegistryStore& store, const QString& profile)
{
    if (keepsSecretsInFile(store))
        return nullptr;
    auto secrets = std::make_unique<SecretStore>(profile);
    if (!secrets->Answers()) {
        WriteErrorLine(u"%1: passwords stay in %2, scrambled."_s.arg(SecretStore::NotAnswering(), SettingsPlace()));
        return nullptr;
    }
    for (const QString& failure : MovePasswordsToSecretStore(store, *secrets))
        WriteErrorLine(failure);
    store.Secrets = secrets.get();
    return secrets;
}
