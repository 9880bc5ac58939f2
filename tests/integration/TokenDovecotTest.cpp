#include "pop3/Pop3client.h"
#include "tests/support/TokenCheckServer.h"

#include <QFile>
#include <QProcess>
#include <QScopeGuard>
#include <QTemporaryDir>
#include <gtest/gtest.h>

namespace {

QByteArray Server(const QStringList& arguments)
{
    QProcess process;
    process.start(QStringLiteral(POSTWATCH_SOURCE_DIR "/tools/pop3-server"), arguments);
    process.closeWriteChannel();
    EXPECT_TRUE(process.waitForFinished(60000));
    EXPECT_EQ(process.exitCode(), 0) << process.readAllStandardError().toStdString();
    return process.readAllStandardOutput();
}

// A Dovecot of the test's own, whose token check asks the test's stand-in:
// "oauth" logs in with a token, "pass" with its password. A short token goes
// in the AUTH command, a 2 KB one after the server's "+".
TEST(tokenDovecot, ActiveTokenListsTheMailboxRevokedOneAsksForASignIn)
{
    const QTemporaryDir dir(QStringLiteral("/tmp/postwatch-token-XXXXXX"));
    const QString messages = QStringLiteral(POSTWATCH_SOURCE_DIR "/tests/integration/messages/");
    TTokenIntrospection introspection;
    Server({"add-user", dir.path(), "oauth", "unused"});
    Server({"deliver", dir.path(), "oauth", messages + "plain.eml", messages + "utf8.eml"});
    Server({"add-user", dir.path(), "pass", "pw-pass"});
    Server({"oauth2", dir.path(), introspection.Url()});
    TPop3Client client;
    client.Port = Server({"start", dir.path()}).trimmed().toInt();
    const auto stop = qScopeGuard([&] { Server({"stop", dir.path()}); });
    client.Host = "127.0.0.1";
    client.TimeOut = 10000;
    client.UserID = "oauth";
    client.Auth = authOAuth2;
    client.AccountName = "Work";
    client.OnAuthenticationFailed = [](bool&) { ADD_FAILURE() << "asked about a password"; };

    for (const QByteArray& token : {QByteArray("ya29.short"), "eyJ" + QByteArray("ab-_.~+/").repeated(256)}) {
        introspection.Active[token] = "oauth";
        client.AccessToken = QString::fromLatin1(token);
        client.Connect();
        EXPECT_EQ(client.MessageCount, 2);
        client.RetrieveSummary(1);
        EXPECT_EQ(client.Summary.Subject, " Lunch on Friday");
        client.Disconnect();
        EXPECT_EQ(introspection.Asked.value(introspection.Asked.size() - 1), token);
    }
    QFile log(dir.filePath("dovecot.log"));
    EXPECT_TRUE(log.open(QIODevice::ReadOnly));
    EXPECT_EQ(log.readAll().count("Login: user=<oauth>, method=XOAUTH2"), 2);

    client.AccessToken = "ya29.revoked";
    try {
        client.Connect();
        ADD_FAILURE() << "logged in with a revoked token";
    } catch (const ETokenRefused& e) {
        EXPECT_EQ(e.Message, "Sign in to Work again");
    }
    EXPECT_EQ(introspection.Asked.last(), "ya29.revoked");
    EXPECT_FALSE(client.Connected);

    client.Auth = authPassword;
    client.UserID = "pass";
    client.Password = "pw-pass";
    client.Connect();
    EXPECT_TRUE(client.Connected);
}

} // namespace
