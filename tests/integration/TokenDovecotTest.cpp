#include "pop3/Pop3client.h"
#include "tests/support/TokenIntrospection.h"

#include <QFile>
#include <QProcess>
#include <QTemporaryDir>
#include <gtest/gtest.h>

// A Dovecot of the test's own, whose token check asks the test's stand-in:
// "oauth" logs in with a token, "pass" with its password.
namespace {

const QString Messages = QStringLiteral(POSTWATCH_SOURCE_DIR "/tests/integration/messages/");

class tokenDovecot : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_TRUE(dir.isValid());
        Server({"add-user", dir.path(), "oauth", "not-for-login"});
        Server({"deliver", dir.path(), "oauth", Messages + "plain.eml", Messages + "utf8.eml"});
        Server({"add-user", dir.path(), "pass", "pw-pass"});
        Server({"oauth2", dir.path(), introspection.Url()});
        const int port = Server({"start", dir.path()}).trimmed().toInt();
        ASSERT_GT(port, 0);
        client.Host = "127.0.0.1";
        client.Port = port;
        client.TimeOut = 10000;
        client.UserID = "oauth";
        client.Auth = authOAuth2;
        client.AccountName = "Work";
    }

    void TearDown() override { Server({"stop", dir.path()}); }

    QByteArray Server(const QStringList& arguments)
    {
        QProcess process;
        process.start(QStringLiteral(POSTWATCH_SOURCE_DIR "/tools/pop3-server"), arguments);
        process.closeWriteChannel();
        EXPECT_TRUE(process.waitForFinished(60000));
        EXPECT_EQ(process.exitCode(), 0) << arguments.join(' ').toStdString() << ": "
                                         << process.readAllStandardError().toStdString();
        return process.readAllStandardOutput();
    }

    QByteArray Log() const
    {
        QFile log(dir.filePath("dovecot.log"));
        return log.open(QIODevice::ReadOnly) ? log.readAll() : QByteArray();
    }

    QTemporaryDir dir{QStringLiteral("/tmp/postwatch-token-XXXXXX")};
    TTokenIntrospection introspection;
    TPop3Client client;
};

// A short token goes in the AUTH command, a 2 KB one after the server's "+".
TEST_F(tokenDovecot, ActiveTokenLogsInAndListsTheMailbox)
{
    for (const QByteArray& token : {QByteArray("ya29.short-token"), "eyJ" + QByteArray("ab-_.~+/").repeated(256)}) {
        introspection.Active[token] = "oauth";
        client.AccessToken = QString::fromLatin1(token);
        client.Connect();
        EXPECT_EQ(client.MessageCount, 2);
        client.RetrieveSummary(1);
        EXPECT_EQ(client.Summary.Subject, " Lunch on Friday");
        client.Disconnect();
        EXPECT_EQ(introspection.Asked.value(introspection.Asked.size() - 1), token);
    }
    EXPECT_EQ(Log().count("Login: user=<oauth>, method=XOAUTH2"), 2);
}

TEST_F(tokenDovecot, InactiveTokenIsRefusedWhilePasswordsStillWork)
{
    int asked = 0;
    client.OnAuthenticationFailed = [&](bool&) { ++asked; };
    client.AccessToken = "ya29.revoked";
    try {
        client.Connect();
        FAIL() << "logged in with a revoked token";
    } catch (const ETokenRefused& e) {
        EXPECT_EQ(e.Message, "Sign in to Work again");
    }
    EXPECT_EQ(introspection.Asked, QList<QByteArray>{"ya29.revoked"});
    EXPECT_FALSE(client.Connected);
    EXPECT_EQ(asked, 0);

    client.Auth = authPassword;
    client.UserID = "pass";
    client.Password = "pw-pass";
    client.Connect();
    EXPECT_TRUE(client.Connected);
    client.Disconnect();
}

} // namespace
