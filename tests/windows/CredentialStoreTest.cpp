// Passwords and sign-ins in the Windows Credential Manager, read back as
// the Credential Manager's own window would list them.
#include "config/AccountPassword.h"
#include "config/Registry.h"
#include "config/ScramblePassword.h"
#include "config/SecretStore.h"
#include "config/UserStore.h"
#include "config/WinRegistryStore.h"
#include "tests/support/ScriptedDialUp.h"
// Last: <windows.h> makes HKEY_CURRENT_USER a macro, which the store's headers name.
#include "base/WinText.h"

#include <QUuid>
#include <gtest/gtest.h>

#include <wincred.h>

namespace {

// The secret's bytes, or "missing".
QByteArray Credential(const QString& target)
{
    CREDENTIALW* found = nullptr;
    if (!CredReadW(WideText(target), CRED_TYPE_GENERIC, 0, &found))
        return "missing";
    const QByteArray secret(reinterpret_cast<const char*>(found->CredentialBlob), found->CredentialBlobSize);
    CredFree(found);
    return secret;
}

class CredentialStoreTest : public testing::Test
{
protected:
    const QString base = "Software\\Tallowfen\\PostwatchTest\\" + QUuid::createUuid().toString(QUuid::WithoutBraces);
    WinRegistryStore store{base};

    ~CredentialStoreTest() override { RegDeleteTreeW(HKEY_CURRENT_USER, WideText(base)); }

    void storeAccount(const QString& account, const QString& password)
    {
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Accounts + "\\" + account, true);
        reg.WriteString("Server", "pop.example.org");
        reg.WriteString("Password", ScramblePassword(password));
    }

    bool hasPasswordValue(const QString& account)
    {
        TRegistry reg(store);
        return reg.OpenKeyReadOnly(StoreKeys::Accounts + "\\" + account) && reg.ValueExists("Password");
    }
};

}

// The user's own settings, in the registry, keep secrets under the plain
// names, as UTF-8; the sign-in is another secret (as long as a Microsoft
// refresh token may be), another profile's account of the same name another
// again.
TEST_F(CredentialStoreTest, SecretsAreWrittenReadAndRemovedUnderTheirNames)
{
    TScriptedDialUp dialUp;
    const auto usersOwn = OpenUserStore(dialUp);
    SecretStore secrets(UserStoreName(*usersOwn));
    ASSERT_TRUE(secrets.Answers());
    secrets.Write("Home", "pässwörd ☃ \"x\"");
    const QString token(2000, 't');
    secrets.Write("Home", token, SecretStore::SignIn);

    EXPECT_EQ(Credential("Postwatch: Home"), QString("pässwörd ☃ \"x\"").toUtf8());
    EXPECT_EQ(Credential("Postwatch sign-in: Home"), token.toUtf8());
    EXPECT_EQ(secrets.Read("HOME", false), "pässwörd ☃ \"x\"");
    EXPECT_EQ(SecretStore(store.Name()).Read("Home", false), "");

    secrets.Remove("Home");
    EXPECT_EQ(Credential("Postwatch: Home"), "missing");
    EXPECT_EQ(secrets.Read("Home", false), "");
    EXPECT_NO_THROW(secrets.Remove("Home"));
    EXPECT_EQ(secrets.Read("Home", false, SecretStore::SignIn), token);
    secrets.Remove("Home", SecretStore::SignIn);
}

// At start the passwords and sign-ins leave the registry for the Credential
// Manager; a password it refuses (longer than it keeps) stays scrambled in
// the registry and still logs in.
TEST_F(CredentialStoreTest, StartMovesPasswordsOutOfTheRegistry)
{
    const QString tooLong(3000, 'p');
    storeAccount("Home", "pw-home");
    storeAccount("Long", tooLong);
    {
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Accounts + "\\Home", false);
        reg.WriteString("OAuthRefreshToken", ScramblePassword("rt-home"));
    }

    const auto secrets = UseSecretStore(store, store.Name());

    ASSERT_TRUE(secrets);
    EXPECT_FALSE(hasPasswordValue("Home"));
    EXPECT_EQ(Credential("Postwatch (" + store.Name() + "): Home"), "pw-home");
    EXPECT_EQ(Credential("Postwatch sign-in (" + store.Name() + "): Home"), "rt-home");
    EXPECT_TRUE(hasPasswordValue("Long"));
    EXPECT_EQ(Credential("Postwatch (" + store.Name() + "): Long"), "missing");
    TRegistry reg(store);
    ASSERT_TRUE(reg.OpenKeyReadOnly(StoreKeys::Accounts + "\\Home"));
    EXPECT_EQ(ReadAccountPassword(reg, store, "Home", false), "pw-home");
    EXPECT_FALSE(reg.ValueExists("OAuthRefreshToken"));
    ASSERT_TRUE(reg.OpenKeyReadOnly(StoreKeys::Accounts + "\\Long"));
    EXPECT_EQ(ReadAccountPassword(reg, store, "Long", false), tooLong);
    secrets->Remove("Home");
    secrets->Remove("Home", SecretStore::SignIn);
}
