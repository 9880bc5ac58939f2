#include "pop3/Pop3client.h"
#include "tests/support/TestDovecot.h"

#include <QFile>
#include <gtest/gtest.h>

// These tests run against the Dovecot that start-dovecot prepared: each test
// has a mailbox of its own, so they may run in any order.
namespace {

QByteArray MessageFile(const char* name)
{
    QFile file(QStringLiteral(PW_MESSAGES_DIR "/") + name);
    EXPECT_TRUE(file.open(QIODevice::ReadOnly)) << name;
    return file.readAll();
}

class pop3Dovecot : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_GT(DovecotPort(), 0) << "no Dovecot started for this run in " PW_POP3_SERVER_DIR;
        client.Host = "127.0.0.1";
        client.Port = DovecotPort();
        client.TimeOut = 10000;
        client.OnDisconnect = [this](QObject*) { events << "OnDisconnect"; };
        client.OnConnect = [this](QObject*) { events << "OnConnect"; };
    }

    void LogIn(const QString& user)
    {
        client.UserID = user;
        client.Password = "pw-" + user;
        client.Connect();
    }

    TPop3Client client;
    QStringList events;
};

TEST_F(pop3Dovecot, LogsInCountsAndSummarisesEachMessage)
{
    LogIn("summary");
    ASSERT_EQ(client.MessageCount, 3);

    struct Expected
    {
        const char* file;
        QString subject, from, messageId;
    };
    const Expected expected[] = {
        {"plain.eml", " Lunch on Friday", " Ann Example <ann@example.org>", "<lunch.1@example.org>\r\n"},
        {"utf8.eml", QString::fromUtf8(" Grüße aus Köln"), " =?UTF-8?Q?J=C3=B6rg?= <joerg@example.de>", "<koeln.2@example.de>\r\n"},
        // A folded Message-ID keeps what follows the one character skipped: the
        // LF. The later "subject:" is a Subject line too.
        {"folded.eml", " not a subject line", " Carol <carol@example.net>", "\n"},
    };
    for (int i = 0; i < 3; ++i) {
        client.RetrieveSummary(i + 1);
        const TSummary& summary = client.Summary;
        const QByteArray file = MessageFile(expected[i].file);
        EXPECT_EQ(summary.Subject, expected[i].subject);
        EXPECT_EQ(summary.From, expected[i].from);
        EXPECT_EQ(summary.MessageId, expected[i].messageId);
        EXPECT_EQ(summary.Bytes, file.size() + file.count('\n')) << "LIST counts CR LF line ends";
        const QStringList headerLines = QString::fromUtf8(file.left(file.indexOf("\n\n"))).split('\n');
        EXPECT_EQ(summary.Header, headerLines + QStringList({"", "."}));
    }
    client.Disconnect();
    EXPECT_FALSE(client.Connected);
    EXPECT_EQ(events, QStringList({"OnConnect", "OnDisconnect"}));
}

TEST_F(pop3Dovecot, DeletedMessageGoesWithQuit)
{
    int succeeded = 0;
    client.OnSuccess = [&](QObject*) { ++succeeded; };
    LogIn("delete");
    ASSERT_EQ(client.MessageCount, 2);
    client.DeleteMessage(1);
    EXPECT_EQ(succeeded, 1);
    EXPECT_THROW(client.DeleteMessage(1), Exception) << "Dovecot refuses a second DELE";
    client.Disconnect();

    LogIn("delete");
    EXPECT_EQ(client.MessageCount, 1);
    client.RetrieveSummary(1);
    EXPECT_EQ(client.Summary.MessageId, "<koeln.2@example.de>\r\n");
    client.Disconnect();
}

TEST_F(pop3Dovecot, DeletionWithoutQuitIsRolledBack)
{
    LogIn("rollback");
    client.DeleteMessage(1);
    client.RequestCloseSocket();
    LogIn("rollback");
    EXPECT_EQ(client.MessageCount, 1);
    client.Disconnect();
}

TEST_F(pop3Dovecot, WrongPasswordFailsAuthentication)
{
    int asked = 0;
    client.OnAuthenticationFailed = [&](bool& handled) { ++asked, handled = false; };
    client.UserID = "wrong";
    client.Password = "not-the-password";
    try {
        client.Connect();
        FAIL() << "logged in with a wrong password";
    } catch (const Exception& e) {
        EXPECT_EQ(e.Message, "Authentication failed");
    }
    EXPECT_EQ(asked, 1);
    EXPECT_FALSE(client.Connected);
    EXPECT_EQ(events, QStringList{"OnDisconnect"});
}

} // namespace
