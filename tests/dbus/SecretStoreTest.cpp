// The accounts' passwords in the desktop's secret store: a fresh GNOME
// Keyring on a private session bus (with-keyring), or no store at all, or
// one that never answers. secret-tool reads the keyring as a person's
// keyring application would.
#include "config/AccountList.h"
#include "config/AccountPassword.h"
#include "config/FileStore.h"
#include "config/OAuthAccount.h"
#include "config/SecretStore.h"
#include "dialogs/Accountdlg.h"
#include "engine/AccessTokens.h"
#include "tests/support/OAuthProvider.h"
#include "tests/support/TestDovecot.h"
#include "tests/unit/engine/EngineFixture.h"

#include <QDBusArgument>
#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusMetaType>
#include <QDBusObjectPath>
#include <QDBusVirtualObject>
#include <QDir>
#include <QLineEdit>
#include <QProcess>
#include <QPushButton>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QString FileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

QString SecretTool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(QStringLiteral("secret-tool"), arguments);
    tool.waitForFinished(20000);
    return QString::fromUtf8(tool.readAllStandardOutput() + tool.readAllStandardError());
}

struct CheckRun {
    int ExitCode = -1;
    QString Output;
    QString Errors;
};

CheckRun RunCheck(const QString& profile, const QProcessEnvironment& user = {})
{
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert(user);
    environment.insert("POSTWATCH_PROFILE", profile);
    environment.remove("DISPLAY");
    QProcess process;
    process.setProcessEnvironment(environment);
    process.start(QStringLiteral(POSTWATCH_BINARY_DIR "/app/postwatch"), {"--check"});
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

void StoreDovecotAccount(RegistryStore& store, const QString& user)
{
    StoreAccount(store, "Home", "127.0.0.1", DovecotPort(), user, "pw-" + user);
    TRegistry reg(store);
    reg.OpenKey(StoreKeys::Program, true);
    reg.WriteInteger("ConnType", 0);
}

void LockKeyring()
{
    const QString service = "org.freedesktop.secrets";
    const QString path = "/org/freedesktop/secrets";
    const QString interface = "org.freedesktop.Secret.Service";
    const QDBusMessage alias = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(service, path, interface, "ReadAlias") << QStringLiteral("default"));
    ASSERT_EQ(alias.type(), QDBusMessage::ReplyMessage) << alias.errorMessage().toStdString();
    const QList<QDBusObjectPath> collections{qdbus_cast<QDBusObjectPath>(alias.arguments().at(0))};
    const QDBusMessage locked = QDBusConnection::sessionBus().call(
        QDBusMessage::createMethodCall(service, path, interface, "Lock") << QVariant::fromValue(collections));
    ASSERT_EQ(locked.type(), QDBusMessage::ReplyMessage) << locked.errorMessage().toStdString();
}

// Claims the Secret Service's name and lets every call to it wait forever.
class SilentService : public QDBusVirtualObject
{
public:
    QString introspect(const QString&) const override { return {}; }
    bool handleMessage(const QDBusMessage&, const QDBusConnection&) override { return true; }
};

}

// Two accounts move, one with a password outside ASCII; the keyring shows
// each under a name a person recognizes, and another profile's account of
// the same name is another secret.
TEST(KeyringTest, StartMovesEveryPasswordIntoTheKeyringAndTheFileHoldsNone)
{
    QTemporaryDir profile;
    FileStore store(profile.filePath("registry.reg"));
    StoreAccount(store, "Home", "pop.example.org", 995, "ann", "pw-home");
    StoreAccount(store, "Work", "pop.example.com", 995, "ann", "pässwörd ☃ \"x\"");

    const auto secrets = UseSecretStore(store, store.Path());

    ASSERT_TRUE(secrets);
    EXPECT_EQ(store.Secrets, secrets.get());
    EXPECT_FALSE(FileText(store.Path()).contains("Password", Qt::CaseInsensitive)) << FileText(store.Path()).toStdString();
    EXPECT_EQ(SecretTool({"lookup", "server", "Postwatch: Home", "user", store.Path()}), "pw-home");
    EXPECT_EQ(SecretTool({"lookup", "server", "Postwatch: Work", "user", store.Path()}), "pässwörd ☃ \"x\"");
    EXPECT_TRUE(SecretTool({"search", "--all", "user", store.Path()}).contains("label = Postwatch: Home"));
    EXPECT_EQ(SecretStore(profile.filePath("other.reg")).Read("Home", false), "");
}

// A sign-in kept in the file while no store answered moves as passwords do.
TEST(KeyringTest, StartMovesARefreshTokenFromTheFileIntoTheKeyring)
{
    QTemporaryDir profile;
    FileStore store(profile.filePath("registry.reg"));
    StoreAccount(store, "Home", "pop.example.org", 995, "ann", "pw-home");
    StoreRefreshToken(store, "Home", "rt-from-the-file");

    const auto secrets = UseSecretStore(store, store.Path());

    ASSERT_TRUE(secrets);
    EXPECT_FALSE(FileText(store.Path()).contains("RefreshToken")) << FileText(store.Path()).toStdString();
    EXPECT_EQ(SecretTool({"lookup", "server", "Postwatch sign-in: Home", "user", store.Path()}), "rt-from-the-file");
}

// The dialog shows the secret and stores the new one, the file gets none;
// a name corrected by its blanks takes the secret along, and a delete
// removes it.
TEST(KeyringTest, TheAccountDialogWritesTheSecretAndRenameAndDeleteTakeItAlong)
{
    QTemporaryDir profile;
    FileStore store(profile.filePath("registry.reg"));
    SecretStore secrets(store.Path());
    store.Secrets = &secrets;
    StoreAccount(store, "Home ", "pop.example.org", 995, "ann", "old");
    ASSERT_EQ(MovePasswordsToSecretStore(store, secrets), QStringList());

    TAccountForm form(store, "Home ");
    EXPECT_EQ(form.editPassword->text(), "old");
    form.editAccName->setText("Home");
    form.editPassword->setText("new");
    form.btnOK->click();

    EXPECT_EQ(secrets.Read("Home", false), "new");
    EXPECT_EQ(secrets.Read("Home ", false), "") << "the old name's secret stays behind";
    EXPECT_FALSE(FileText(store.Path()).contains("Password", Qt::CaseInsensitive));
    AccountList accounts(store);
    accounts.Fill();
    accounts.Delete("Home");
    EXPECT_EQ(secrets.Read("Home", false), "");
}

// A refresh token kept in the file before there was a store is still used,
// and the next one replaces it in the keyring, beside the password and not
// over it; deleting the account removes both.
TEST(KeyringTest, TheRefreshTokenMovesToTheKeyringUnderItsOwnLabel)
{
    QTemporaryDir profile;
    FileStore store(profile.filePath("registry.reg"));
    StoreAccount(store, "Home", "pop.example.org", 995, "ann", "pw-home");
    StoreRefreshToken(store, "Home", "rt-from-the-file");
    const auto secrets = UseSecretStore(store, store.Path());
    ASSERT_TRUE(secrets);
    EXPECT_EQ(ReadRefreshToken(store, "Home"), "rt-from-the-file");

    StoreRefreshToken(store, "Home", "rt-rotated");

    EXPECT_EQ(ReadRefreshToken(store, "Home"), "rt-rotated");
    EXPECT_FALSE(FileText(store.Path()).contains("RefreshToken")) << FileText(store.Path()).toStdString();
    EXPECT_EQ(SecretTool({"lookup", "server", "Postwatch sign-in: Home", "user", store.Path()}), "rt-rotated");
    EXPECT_EQ(secrets->Read("Home", false), "pw-home");
    AccountList accounts(store);
    accounts.Fill();
    accounts.Delete("Home");
    EXPECT_EQ(secrets->Read("Home", false, SecretStore::SignIn), "");
}

TEST(KeyringCheck, ACheckMovesThePasswordAndLogsInWithTheSecret)
{
    ASSERT_GT(DovecotPort(), 0) << "no Dovecot started for this run";
    QTemporaryDir profile;
    {
        FileStore store(profile.filePath("registry.reg"));
        StoreDovecotAccount(store, "secret-store");
    }

    const CheckRun run = RunCheck(profile.path());

    EXPECT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
    EXPECT_EQ(run.Errors, "");
    EXPECT_TRUE(run.Output.contains("Lunch on Friday")) << run.Output.toStdString();
    EXPECT_FALSE(FileText(profile.filePath("registry.reg")).contains("Password", Qt::CaseInsensitive));
}

// A profile such as the demo's keeps its passwords in its own file: the
// check logs in with them and leaves the keyring, and every folder of the
// user's own, alone.
TEST(KeyringCheck, AProfileThatKeepsItsSecretsLeavesTheKeyringAndTheUsersFoldersAlone)
{
    ASSERT_GT(DovecotPort(), 0) << "no Dovecot started for this run";
    QTemporaryDir profile;
    QTemporaryDir home;
    {
        FileStore store(profile.filePath("registry.reg"));
        StoreDovecotAccount(store, "secret-store");
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Program, true);
        reg.WriteInteger("UseSecretStore", 0);
    }
    QProcessEnvironment user;
    user.insert("HOME", home.path());
    for (const char* folder : {"XDG_CONFIG_HOME", "XDG_CACHE_HOME", "XDG_DATA_HOME", "XDG_STATE_HOME"})
        user.insert(folder, home.filePath(folder));

    const CheckRun run = RunCheck(profile.path(), user);

    EXPECT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
    EXPECT_EQ(run.Errors, "") << "nothing to say of a store it does not use";
    EXPECT_TRUE(run.Output.contains("Lunch on Friday")) << run.Output.toStdString();
    EXPECT_TRUE(FileText(profile.filePath("registry.reg")).contains("\"Password\"="));
    EXPECT_EQ(SecretTool({"search", "--all", "user", profile.filePath("registry.reg")}), "");
    EXPECT_TRUE(QDir(home.path()).isEmpty(QDir::AllEntries | QDir::Hidden | QDir::NoDotAndDotDot));
}

class LockedKeyring : public EngineTest
{
};

// QtKeychain would bring up the unlock prompt: the timer's check must not.
TEST_F(LockedKeyring, ATimedCheckFailsTheAccountWithoutAsking)
{
    SecretStore secrets("/profile/of/LockedKeyring");
    store.Secrets = &secrets;
    AddAccount("Home", {FakeMessage(" Ann", " Lunch")});
    ASSERT_EQ(MovePasswordsToSecretStore(store, secrets), QStringList());
    LockKeyring();
    Load();
    settings.SetInterval(1);

    Tick();

    EXPECT_FALSE(client.Log.join(' ').contains("PASS")) << client.Log.join(' ').toStdString();
    ASSERT_EQ(host.Announced.size(), 1);
    EXPECT_TRUE(host.Announced[0].contains("The keyring is locked")) << host.Announced[0].toStdString();
    EXPECT_TRUE(host.Boxes.isEmpty());
}

// The provider retired the old refresh token when it gave the new one, which
// the locked keyring refuses: the new one waits in the file, said once, and
// serves the next refresh.
TEST_F(LockedKeyring, ARotatedRefreshTokenWaitsInTheFileAndServesTheNextRefresh)
{
    TestProvider provider({"--refresh-token", "rt-first"});
    StoreAccount(store, "Home", "127.0.0.1", 995, "ann", "");
    TOAuthAccount{"Home", authOAuth2, provider.Provider()}.Write(store);
    StoreRefreshToken(store, "Home", "rt-first");
    SecretStore secrets("/profile/of/LockedKeyring");
    store.Secrets = &secrets;
    LockKeyring();
    TAccessTokens tokens(store);

    testing::internal::CaptureStderr();
    EXPECT_TRUE(provider.IsActive(tokens.For("Home")));
    const QString rotated = ReadRefreshToken(store, "Home");
    tokens.Forget("Home");
    EXPECT_TRUE(provider.IsActive(tokens.For("Home")));
    const QString told = QString::fromStdString(testing::internal::GetCapturedStderr());

    EXPECT_NE(rotated, "rt-first");
    EXPECT_NE(ReadRefreshToken(store, "Home"), rotated);
    EXPECT_EQ(told.count("did not take the new sign-in of Home (The keyring is locked.)"), 1) << told.toStdString();
}

TEST(NoSecretStore, PasswordsStayInTheFileAndACheckLogsIn)
{
    ASSERT_GT(DovecotPort(), 0) << "no Dovecot started for this run";
    QTemporaryDir profile;
    {
        FileStore store(profile.filePath("registry.reg"));
        StoreDovecotAccount(store, "secret-none");
    }

    const CheckRun run = RunCheck(profile.path());

    EXPECT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
    EXPECT_EQ(run.Errors, "postwatch: No secret store answers on the session bus: passwords stay in the settings file, scrambled.\n");
    EXPECT_TRUE(run.Output.contains("Lunch on Friday")) << run.Output.toStdString();
    EXPECT_TRUE(FileText(profile.filePath("registry.reg")).contains("\"Password\"="));
}

TEST(SilentSecretStore, AStoreThatNeverAnswersIsNoStoreAndAReadFailsInWords)
{
    SilentService service;
    QDBusConnection bus = QDBusConnection::sessionBus();
    ASSERT_TRUE(bus.registerService("org.freedesktop.secrets"));
    ASSERT_TRUE(bus.registerVirtualObject("/org/freedesktop/secrets", &service, QDBusConnection::SubPath));
    SecretStore secrets("/profile/of/SilentSecretStore");
    secrets.TimeOut = 300;

    EXPECT_FALSE(secrets.Answers());
    try {
        secrets.Read("Home", true);
        ADD_FAILURE() << "a read without an answer succeeded";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "The secret store did not answer.");
    }
    bus.unregisterObject("/org/freedesktop/secrets", QDBusConnection::UnregisterTree);
}
