// The whole sign-in as a user meets it: `postwatch --sign-in` with the
// tests' browser first on the PATH, the refresh token in a fresh GNOME
// Keyring, then `postwatch --check` against a Dovecot of the test's own
// whose token check asks the stand-in provider.
#include "config/FileStore.h"
#include "config/OAuthAccount.h"
#include "config/Registry.h"
#include "config/StoreKeys.h"
#include "tests/support/OAuthProvider.h"
#include "tests/support/TestAccounts.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

struct ProgramRun {
    int ExitCode = -1;
    QString Output;
    QString Errors;
};

ProgramRun RunProgram(const QString& program, const QStringList& arguments, const QProcessEnvironment& environment = {})
{
    QProcess process;
    if (!environment.isEmpty())
        process.setProcessEnvironment(environment);
    process.start(program, arguments);
    process.closeWriteChannel();
    if (!process.waitForFinished(60000))
        return {};
    return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
            QString::fromUtf8(process.readAllStandardError())};
}

ProgramRun Server(const QStringList& arguments)
{
    const ProgramRun run = RunProgram(QStringLiteral(POSTWATCH_SOURCE_DIR "/tools/pop3-server"), arguments);
    EXPECT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
    return run;
}

QString FileText(const QString& path)
{
    QFile file(path);
    return file.open(QIODevice::ReadOnly) ? QString::fromUtf8(file.readAll()) : QString();
}

class SignInEndToEnd : public ::testing::Test
{
protected:
    ProgramRun Postwatch(const QString& option)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("POSTWATCH_PROFILE", profile.path());
        environment.insert("PATH", FakeBrowserFolder + ':' + environment.value("PATH"));
        environment.remove("DISPLAY");
        return RunProgram(QStringLiteral(POSTWATCH_BINARY_DIR "/app/postwatch"), {option, "Home"}, environment);
    }

    QString KeptInKeyring() const
    {
        return RunProgram("secret-tool", {"lookup", "server", "Postwatch sign-in: Home", "user", storePath()}).Output;
    }

    QString storePath() const { return profile.filePath("registry.reg"); }

    QTemporaryDir profile;
};

}

TEST_F(SignInEndToEnd, ACheckLogsInWithNothingTypedUntilTheProviderRevokesTheSignIn)
{
    const QTemporaryDir dir(QStringLiteral("/tmp/postwatch-signin-XXXXXX"));
    TestProvider provider({"--user", "oauth"});
    Server({"add-user", dir.path(), "oauth", "unused"});
    Server({"deliver", dir.path(), "oauth", POSTWATCH_SOURCE_DIR "/tests/integration/messages/plain.eml"});
    Server({"oauth2", dir.path(), provider.Url("/introspect").toString()});
    const int port = Server({"start", dir.path()}).Output.trimmed().toInt();
    const auto stop = qScopeGuard([&] { Server({"stop", dir.path()}); });
    ASSERT_GT(port, 0);
    {
        FileStore store(storePath());
        StoreAccount(store, "Home", "127.0.0.1", port, "oauth", "");
        TOAuthAccount{"Home", authOAuth2, provider.Provider()}.Write(store);
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Program, true);
        reg.WriteInteger("ConnType", 0);
    }

    const ProgramRun signIn = Postwatch("--sign-in");
    ASSERT_EQ(signIn.ExitCode, 0) << signIn.Errors.toStdString();
    const QString first = KeptInKeyring();
    EXPECT_TRUE(first.startsWith("rt-")) << first.toStdString();
    EXPECT_FALSE(FileText(storePath()).contains("RefreshToken")) << FileText(storePath()).toStdString();

    const ProgramRun check = Postwatch("--check");
    EXPECT_EQ(check.ExitCode, 0) << check.Errors.toStdString();
    EXPECT_TRUE(check.Output.contains("Lunch on Friday")) << check.Output.toStdString();
    EXPECT_TRUE(FileText(dir.filePath("dovecot.log")).contains("Login: user=<oauth>, method=XOAUTH2"));
    const QString rotated = KeptInKeyring();
    EXPECT_NE(rotated, first) << "the provider's new refresh token is the one kept";

    ASSERT_TRUE(provider.Revoke(rotated));
    const ProgramRun revoked = Postwatch("--check");
    EXPECT_EQ(revoked.ExitCode, 1);
    EXPECT_TRUE(revoked.Errors.contains("Sign in to Home again")) << revoked.Errors.toStdString();
}
