#include "imap/ImapClient.h"
#include "pop3/Certificate.h"
#include "tests/support/TestDovecot.h"

#include "../unit/pop3/ScriptServer.h"

#include <QProcess>
#include <QSignalSpy>
#include <gtest/gtest.h>

// Each test has a mailbox of its own, made when it starts, so they may run in
// any order beside the other tests on the run's Dovecot.
namespace {

bool ServerTool(const QStringList& arguments)
{
    QProcess tool;
    tool.start(POSTWATCH_SOURCE_DIR "/tools/pop3-server", arguments);
    return tool.waitForFinished(30000) && tool.exitCode() == 0;
}

bool Deliver(const QString& user, const char* how, const QString& file)
{
    return ServerTool({how, PW_POP3_SERVER_DIR, user, QStringLiteral(PW_MESSAGES_DIR "/") + file});
}

class imapDovecot : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_GT(DovecotImapPort(), 0) << "no Dovecot with IMAP started for this run in " PW_POP3_SERVER_DIR;
        user = QStringLiteral("imap-") + QString::fromLatin1(testing::UnitTest::GetInstance()->current_test_info()->name()).toLower();
        ASSERT_TRUE(ServerTool({"add-user", PW_POP3_SERVER_DIR, user, "pw-" + user}));
        login = {"127.0.0.1", DovecotImapPort(), secNone, {}, user, "pw-" + user};
        client.TimeOut = 10000;
        QObject::connect(&client, &TImapClient::Failed, [this](const TImapError& error) { failures.append(error); });
    }

    bool Open()
    {
        QSignalSpy opened(&client, &TImapClient::Opened);
        client.Open(login);
        return WaitUntil([&] { return opened.count() > 0 || !failures.isEmpty(); }, 15000) && opened.count() == 1;
    }

    // What a request's signal carried, once it came.
    template <typename Signal>
    QList<QVariant> Await(Signal signal, const std::function<void()>& request)
    {
        QSignalSpy spy(&client, signal);
        request();
        EXPECT_TRUE(WaitUntil([&] { return spy.count() > 0 || !failures.isEmpty(); }, 15000));
        EXPECT_TRUE(failures.isEmpty()) << failures.value(0).Message.toStdString();
        return spy.value(0);
    }

    QList<quint32> Unseen()
    {
        return Await(&TImapClient::Searched, [this] { client.SearchUnseen(); }).value(0).value<QList<quint32>>();
    }

    QString user;
    TImapLogin login;
    TImapClient client;
    QList<TImapError> failures;
};

} // namespace

TEST_F(imapDovecot, ListsUnseenAndMarksNothingReadButMarkSeen)
{
    ASSERT_TRUE(Deliver(user, "deliver", "plain.eml"));
    ASSERT_TRUE(Deliver(user, "deliver-seen", "folded.eml"));
    ASSERT_TRUE(Deliver(user, "deliver", "utf8.eml"));
    ASSERT_TRUE(Open()) << failures.value(0).Message.toStdString();
    EXPECT_NE(client.UidValidity(), 0u);
    const QList<quint32> unseen = Unseen();
    ASSERT_EQ(unseen.size(), 2) << "read mail is left out";

    const auto headers = Await(&TImapClient::HeadersFetched, [&] { client.FetchHeaders(unseen, {"Subject", "From"}); })
                             .value(0)
                             .value<QList<TImapMessage>>();
    ASSERT_EQ(headers.size(), 2);
    EXPECT_EQ(headers[0].Uid, unseen[0]);
    EXPECT_TRUE(headers[0].Header.contains("Subject: Lunch on Friday\r\n"));
    EXPECT_TRUE(headers[0].Header.endsWith("\r\n\r\n"));
    EXPECT_FALSE(headers[0].Header.contains("Message-ID"));
    EXPECT_GT(headers[0].Size, headers[0].Header.size());

    const QByteArray message = Await(&TImapClient::MessageFetched, [&] { client.FetchMessage(unseen[0]); }).value(1).toByteArray();
    EXPECT_TRUE(message.contains("Lunch on Friday"));
    EXPECT_EQ(message.size(), headers[0].Size);
    EXPECT_EQ(Unseen(), unseen) << "neither the headers nor the message were marked read";

    EXPECT_EQ(Await(&TImapClient::MarkedSeen, [&] { client.MarkSeen(unseen[0]); }).value(0).value<quint32>(), unseen[0]);
    EXPECT_EQ(Unseen(), QList<quint32>({unseen[1]}));
    const QList<QVariant> deleted = Await(&TImapClient::Deleted, [&] { client.Delete(unseen[1]); });
    EXPECT_EQ(deleted.value(1).value<TImapDeletion>(), TImapDeletion::Expunged);
    EXPECT_EQ(Await(&TImapClient::Gone, [&] { client.Delete(unseen[1]); }).value(0).value<quint32>(), unseen[1]);
    EXPECT_TRUE(Unseen().isEmpty());
    Await(&TImapClient::Closed, [&] { client.Logout(); });
}

TEST_F(imapDovecot, IdleTellsOfADeliveryWithinSeconds)
{
    ASSERT_TRUE(Open()) << failures.value(0).Message.toStdString();
    ASSERT_TRUE(client.CanIdle());
    QSignalSpy changed(&client, &TImapClient::Changed);
    client.Idle();
    ASSERT_TRUE(Deliver(user, "deliver", "plain.eml"));
    EXPECT_TRUE(WaitUntil([&] { return changed.count() > 0; }, 5000));
    EXPECT_EQ(Unseen().size(), 1);
}

TEST_F(imapDovecot, SecuresBothWaysWithThePinnedCertificateOnly)
{
    ASSERT_GT(DovecotImapTlsPort(), 0);
    login.CertFingerprint = Fingerprint(DovecotCertificate());
    login.Host = "localhost";
    for (const auto& [security, port] : {std::pair{secStartTls, DovecotImapPort()}, std::pair{secTls, DovecotImapTlsPort()}}) {
        login.Security = security;
        login.Port = port;
        EXPECT_TRUE(Open()) << failures.value(0).Message.toStdString();
        client.Cancel();
    }
    login.CertFingerprint = QString(64, u'0');
    EXPECT_FALSE(Open());
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0].Kind, TImapErrorKind::Certificate);
    EXPECT_EQ(failures[0].Fingerprint, Fingerprint(DovecotCertificate()));
}

TEST_F(imapDovecot, WrongPasswordIsTold)
{
    login.Password = "not-" + login.Password;
    EXPECT_FALSE(Open());
    ASSERT_EQ(failures.size(), 1);
    EXPECT_EQ(failures[0].Kind, TImapErrorKind::WrongPassword);
    EXPECT_FALSE(failures[0].Message.contains(login.Password));
}
