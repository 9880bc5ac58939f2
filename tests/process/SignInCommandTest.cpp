// `postwatch --sign-in` as a process on a profile of its own, against the
// stand-in provider, with the tests' browser first on the PATH.
#include "config/FileStore.h"
#include "config/OAuthAccount.h"
#include "tests/support/OAuthProvider.h"
#include "tests/support/TestAccounts.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {
struct SignInRun {
    int ExitCode = -1;
    QString Output;
    QString Errors;
};

class SignInCommand : public ::testing::Test
{
protected:
    QString storePath() const { return profile.filePath("registry.reg"); }

    void AddAccount(const TOAuthProvider& provider, int auth = authOAuth2)
    {
        FileStore store(storePath());
        StoreAccount(store, "Home", "127.0.0.1", 995, "ann", "");
        TOAuthAccount{"Home", auth, provider}.Write(store);
    }

    SignInRun Run(const QString& account)
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("POSTWATCH_PROFILE", profile.path());
        environment.insert("PATH", FakeBrowserFolder + ':' + environment.value("PATH"));
        environment.insert("FAKE_BROWSER_LOG", profile.filePath("browser"));
        QProcess process;
        process.setProcessEnvironment(environment);
        process.start(QStringLiteral(POSTWATCH_BINARY_DIR "/app/postwatch"), {"--sign-in", account});
        if (!process.waitForFinished(60000))
            return {};
        return {process.exitCode(), QString::fromUtf8(process.readAllStandardOutput()),
                QString::fromUtf8(process.readAllStandardError())};
    }

    QByteArray StoreFile() const
    {
        QFile file(storePath());
        return file.open(QIODevice::ReadOnly) ? file.readAll() : QByteArray();
    }

    QTemporaryDir profile;
};
}

TEST_F(SignInCommand, KeepsTheRefreshTokenScrambledAndSaysSo)
{
    TestProvider provider({"--client-secret", "not secret"});
    AddAccount(provider.Provider("not secret"));

    const SignInRun run = Run("Home");
    ASSERT_EQ(run.ExitCode, 0) << run.Errors.toStdString();
    EXPECT_EQ(run.Output, "Signed in to Home\n");
    EXPECT_TRUE(run.Errors.contains(provider.Url("/authorize?response_type=code&client_id=postwatch-test").toString()))
        << run.Errors.toStdString();

    FileStore store(storePath());
    const QString kept = ReadRefreshToken(store, "Home");
    EXPECT_TRUE(kept.startsWith("rt-")) << kept.toStdString();
    EXPECT_FALSE(StoreFile().contains(kept.toLatin1())) << "kept scrambled";
    EXPECT_TRUE(provider.IsActive(TOAuthSignIn("Home", provider.Provider("not secret")).Refresh(kept).AccessToken));
}

// A failed sign-in keeps the sign-in there was; its words reach the terminal cleaned.
TEST_F(SignInCommand, AFailureSaysWhyAndLeavesTheAccountAsItWas)
{
    TestProvider provider({"--authorize", "error-redirect"});
    AddAccount(provider.Provider());
    {
        FileStore store(storePath());
        StoreRefreshToken(store, "Home", "rt-before");
    }
    const QByteArray before = StoreFile();

    const SignInRun refused = Run("Home");
    EXPECT_EQ(refused.ExitCode, 1);
    EXPECT_TRUE(refused.Errors.contains("The provider refused the sign-in to Home: access_denied (The user said no  [2J)\n"))
        << refused.Errors.toStdString();
    EXPECT_EQ(StoreFile(), before);

    const SignInRun unknown = Run("Work");
    EXPECT_EQ(unknown.ExitCode, 1);
    EXPECT_TRUE(unknown.Errors.endsWith("\nThere is no account named Work.\n")) << unknown.Errors.toStdString();

    AddAccount(provider.Provider(), authPassword);
    const SignInRun password = Run("Home");
    EXPECT_EQ(password.ExitCode, 1);
    EXPECT_TRUE(password.Errors.contains("Home logs in with a password")) << password.Errors.toStdString();
}
