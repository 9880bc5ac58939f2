#include "ScriptServer.h"

#include "pop3/Pop3client.h"

#include <QTimer>
#include <gtest/gtest.h>

namespace {

// Field names in any case, the later line winning.
const QByteArray Header = "+OK\r\n"
                          "SUBJECT: Old\r\n"
                          "from: Ann <ann@example.org>\r\n"
                          "Message-ID: <0@example.org>\r\n"
                          "subject: Hello\r\n"
                          "Message-Id: <1@example.org>\r\n"
                          "..\r\n"
                          "\r\n"
                          ".\r\n";

class pop3Client : public testing::Test
{
protected:
    pop3Client()
    {
        client.Host = "127.0.0.1";
        client.Port = server.Port();
        client.TimeOut = 5000;
        client.UserID = "ann";
        client.Password = "s3cret";
        client.OnConnect = [this](QObject*) { events << "OnConnect"; };
        client.OnDisconnect = [this](QObject*) { events << "OnDisconnect"; };
        client.OnRetrieveStart = [this](QObject*) { events << "OnRetrieveStart"; };
        client.OnRetrieveEnd = [this](QObject*) { events << "OnRetrieveEnd"; };
        client.OnSuccess = [this](QObject*) { events << (client.Busy ? "OnSuccess busy" : "OnSuccess"); };
        client.OnFailure = [this](QObject*) { events << (client.Busy ? "OnFailure busy" : "OnFailure"); };
        server.Replies["TOP 1 0"] = Header;
        server.Replies["LIST"] = "+OK 1 2048\r\n";
    }

    // The failure's text, and the events and commands up to it.
    template <typename E = Exception, typename F>
    QString FailureOf(F call)
    {
        try {
            call();
        } catch (const E& e) {
            events << "raised";
            return e.Message;
        }
        return {};
    }

    TScriptServer server;
    TPop3Client client;
    QStringList events;
};

using Commands = QList<QByteArray>;

TEST_F(pop3Client, ConnectLogsInAndCounts)
{
    for (const auto& [stat, count] : {std::pair{"+OK 4 655\r\n", 4}, {"+OK 0 0\r\n", 0}, {"+OK\r\n", 0}}) {
        server.Replies["STAT"] = stat;
        client.MessageCount = -1;
        client.Connect();
        EXPECT_EQ(client.MessageCount, count) << stat;
        EXPECT_FALSE(client.Busy);
        client.Disconnect();
    }
    EXPECT_EQ(server.Commands.mid(0, 5), Commands({"USER ann", "PASS s3cret", "CAPA", "STAT", "QUIT"}));
    EXPECT_EQ(events.mid(0, 2), QStringList({"OnConnect", "OnDisconnect"}));
    EXPECT_EQ(client.Port, server.Port());
    EXPECT_EQ(TPop3Client().Port, 110);
}

TEST_F(pop3Client, GreetingMustBePositive)
{
    server.Greeting = "x+OKx any text\r\n";
    client.Connect();
    client.Disconnect();
    server.Greeting = "-ERR Go away.\r\n";
    EXPECT_EQ(FailureOf([&] { client.Connect(); }), "-ERR Go away.\r\n");
    EXPECT_EQ(server.Commands.mid(5), Commands{"QUIT"});
    EXPECT_FALSE(client.Connected);
    EXPECT_FALSE(client.Busy);
}

TEST_F(pop3Client, RepliesInPiecesAndTogetherAreReadAsLines)
{
    server.Script = [&](const QByteArray& command) {
        if (command.startsWith("USER"))
            server.Send("+OK\r\n+OK Logged"), server.SendLater(20, " in.\r\n");
        return command.startsWith("USER") || command.startsWith("PASS");
    };
    client.Connect();
    EXPECT_EQ(client.MessageCount, 2);
    EXPECT_EQ(client.LastReply, "+OK 2 320\r\n");
}

TEST_F(pop3Client, MissingCredentialsAreAskedForOnce)
{
    client.Password.clear();
    EXPECT_EQ(FailureOf([&] { client.Connect(); }), "Authentication failed");

    int asked = 0;
    client.OnAuthenticationNeeded = [&](bool& handled) { ++asked, handled = false; };
    EXPECT_EQ(FailureOf([&] { client.Connect(); }), "Authentication failed");
    EXPECT_EQ(server.Connections, 0) << "no connection without credentials";

    client.OnAuthenticationNeeded = [&](bool& handled) { ++asked, events << "OnAuthenticationNeeded", handled = true; };
    client.Connect();
    EXPECT_EQ(asked, 2) << "asked once, then goes on with what is there";
    EXPECT_EQ(server.Commands.mid(0, 2), Commands({"USER ann", "PASS "}));
    EXPECT_EQ(events, QStringList({"raised", "raised", "OnAuthenticationNeeded", "OnConnect"}));
}

TEST_F(pop3Client, RejectedLoginAsksTheHandlerOnce)
{
    server.Replies["PASS"] = "-ERR [AUTH] Authentication failed.\r\n";
    int asked = 0;
    client.OnAuthenticationFailed = [&](bool& handled) { ++asked, handled = true; };
    client.ReportLevel = 16;
    client.OnStatus = [&](QObject*, const QString& status) { EXPECT_FALSE(status.contains("s3cret")) << status.toStdString(); };
    const QString failure = FailureOf([&] { client.Connect(); });
    EXPECT_EQ(failure, "Authentication failed");
    EXPECT_EQ(asked, 1);
    EXPECT_EQ(server.Commands, Commands({"USER ann", "PASS s3cret", "USER ann", "PASS s3cret", "QUIT"}));
    EXPECT_EQ(events, QStringList({"OnDisconnect", "raised"})) << "no OnConnect";

    client.OnAuthenticationFailed = [&](bool& handled) { client.Password = "right", handled = true; };
    server.Script = [&](const QByteArray& command) {
        return command == "PASS right" && (server.Send("+OK Logged in.\r\n"), true);
    };
    client.Connect();
    EXPECT_TRUE(client.Connected);
}

// The server's pace: LOGIN-DELAY from CAPA after the login, bounded to a
// day; a login refused for another reason than the password is the
// server's own words, and no question about the password.
TEST_F(pop3Client, CapabilitiesGiveTheLoginDelayAndACodedRefusalIsTheServers)
{
    for (const auto& [capa, delay] : {std::pair{"+OK\r\nTOP\r\nLOGIN-DELAY 300\r\nUIDL\r\n.\r\n", 300},
                                      {"+OK\r\nLOGIN-DELAY 999999999 USER\r\n.\r\n", 86400}, {"-ERR\r\n", 0}}) {
        server.Replies["CAPA"] = capa;
        client.Connect();
        EXPECT_EQ(client.LoginDelay, delay) << capa;
        client.Disconnect();
    }
    EXPECT_TRUE(client.Capabilities.isEmpty());
    server.Replies["CAPA"] = "+OK\r\nTOP\r\nUIDL\r\n.\r\n";
    client.Connect();
    EXPECT_EQ(client.Capabilities, QStringList({"TOP", "UIDL"}));
    client.Disconnect();

    server.Replies["PASS"] = "-ERR [LOGIN-DELAY] Wait 5 minutes between logins.\r\n";
    client.OnAuthenticationFailed = [&](bool&) { events << "asked about the password"; };
    EXPECT_EQ(FailureOf([&] { client.Connect(); }), "-ERR [LOGIN-DELAY] Wait 5 minutes between logins.\r\n");
    EXPECT_FALSE(events.contains("asked about the password"));
}

// A CAPA reply that never ends is given up in words, not read for good;
// the server here stops after 8 MiB, far past what a real one sends.
TEST_F(pop3Client, AnEndlessCapabilityListIsGivenUp)
{
    qsizetype sent = 0;
    QTimer feed;
    QObject::connect(&feed, &QTimer::timeout, [&] {
        if (sent > 8 * 1024 * 1024 || !server.ClientConnected()) {
            feed.stop();
            return server.CloseClient();
        }
        const QByteArray lines = QByteArray("X-FILLER capability\r\n").repeated(1000);
        server.Send(lines);
        sent += lines.size();
    });
    server.Script = [&](const QByteArray& command) {
        if (command != "CAPA")
            return false;
        server.Send("+OK\r\n");
        feed.start(0);
        return true;
    };
    EXPECT_EQ(FailureOf<ESockError>([&] { client.Connect(); }), "The server's reply is too long");
    EXPECT_FALSE(client.Connected);
}

// One UIDL and one LIST for the whole mailbox; a listing that cannot be
// trusted is refused with a reason and leaves the session in step.
TEST_F(pop3Client, TheMailboxListingIsTrustedOnlyWhenItIsSound)
{
    server.Replies["CAPA"] = "+OK\r\nUIDL\r\n.\r\n";
    server.Replies["STAT"] = "+OK 3 600\r\n";
    server.Replies["LIST"] = "+OK\r\n1 100\r\n2 200\r\n3 300\r\n.\r\n";
    server.Replies["UIDL 2"] = "+OK 2 b\r\n";
    server.Replies["UIDL"] = "+OK\r\n1 a\r\n2 b\r\n3 c\r\n.\r\n";
    client.Connect();
    ASSERT_TRUE(client.ListMailbox()) << client.ListingProblem.toStdString();
    EXPECT_EQ(client.UniqueIds, QStringList({"a", "b", "c"}));
    EXPECT_EQ(client.Sizes, QList<qint64>({100, 200, 300}));
    client.Disconnect();
    for (const QByteArray& listing : {QByteArray("1 a\r\n2 a\r\n3 c\r\n"), "1 a\r\n2 " + QByteArray(71, 'x') + "\r\n3 c\r\n",
                                      QByteArray("1 a\r\n2 b\x01\r\n3 c\r\n"), QByteArray("1 a\r\n2 b\r\n"),
                                      QByteArray("1 a\r\n2 b\r\n9 c\r\n")}) {
        server.Replies["UIDL"] = "+OK\r\n" + listing + ".\r\n";
        client.Connect();
        EXPECT_FALSE(client.ListMailbox()) << listing.toStdString();
        EXPECT_FALSE(client.ListingProblem.isEmpty());
        EXPECT_EQ(client.UniqueId(2), "b") << "still in step";
        client.Disconnect();
    }
}

// With PIPELINING a window of TOPs goes out before the first reply comes
// back; replies that stop coming end with the time-out.
TEST_F(pop3Client, PipelinedTopsGoOutTogetherAndTimeOutAsOne)
{
    server.Replies["CAPA"] = "+OK\r\nUIDL\r\nPIPELINING\r\n.\r\n";
    server.Replies["STAT"] = "+OK 3 600\r\n";
    server.Replies["UIDL"] = "+OK\r\n1 a\r\n2 b\r\n3 c\r\n.\r\n";
    server.Replies["LIST"] = "+OK\r\n1 100\r\n2 200\r\n3 300\r\n.\r\n";
    int tops = 0;
    bool answer = true;
    server.Script = [&](const QByteArray& command) {
        if (!command.startsWith("TOP"))
            return false;
        if (++tops == 3 && answer)
            for (int n = 1; n <= 3; ++n)
                server.Send("+OK\r\nSubject: " + QByteArray::number(n) + "\r\n\r\n.\r\n");
        return true;
    };
    client.Connect();
    ASSERT_TRUE(client.ListMailbox());
    client.SummariesAhead = {1, 2, 3};
    QStringList subjects;
    for (int n = 1; n <= 3; ++n) {
        client.RetrieveSummary(n);
        subjects << client.Summary.Subject + QStringLiteral("/%1").arg(client.Summary.Bytes);
    }
    EXPECT_EQ(subjects, QStringList({" 1/100", " 2/200", " 3/300"}));
    EXPECT_FALSE(server.Commands.contains("LIST 1"));
    client.Disconnect();

    answer = false;
    tops = 0;
    client.TimeOut = 300;
    client.Connect();
    ASSERT_TRUE(client.ListMailbox());
    client.SummariesAhead = {1, 2, 3};
    EXPECT_EQ(FailureOf<ESockError>([&] { client.RetrieveSummary(1); }), "Connection Timed out");
    EXPECT_EQ(tops, 3);
    EXPECT_FALSE(client.Connected);
}

TEST_F(pop3Client, RejectedStatStillReportsTheLogin)
{
    server.Replies["STAT"] = "-ERR Mailbox locked.\r\n";
    EXPECT_EQ(FailureOf([&] { client.Connect(); }), "-ERR Mailbox locked.\r\n");
    EXPECT_EQ(server.Commands.last(), "QUIT");
    EXPECT_EQ(events, QStringList({"OnDisconnect", "OnConnect", "raised"}));
}

TEST_F(pop3Client, DisconnectClosesHoweverQuitEnds)
{
    client.Connect();
    server.Replies["QUIT"] = "-ERR Not now.\r\n";
    EXPECT_EQ(FailureOf([&] { client.Disconnect(); }), "-ERR Not now.\r\n");
    EXPECT_FALSE(client.Connected);
    EXPECT_EQ(events, QStringList({"OnConnect", "OnDisconnect", "raised"}));
}

TEST_F(pop3Client, SummaryTakesTheFieldsAtTheirPositions)
{
    client.Connect();
    client.ReportLevel = 1;
    client.RetrieveSummary(1);
    EXPECT_EQ(client.Summary.Subject, " Hello");
    EXPECT_EQ(client.Summary.From, " Ann <ann@example.org>");
    EXPECT_EQ(client.Summary.MessageId, "<1@example.org>\r\n");
    EXPECT_EQ(client.Summary.Bytes, 2048);
    EXPECT_EQ(client.Summary.Header.size(), 8);
    EXPECT_EQ(client.Summary.Header.mid(5), QStringList({"..", "", "."}));
    EXPECT_EQ(client.Status, "Summary Retrieved");
    EXPECT_EQ(server.Commands.mid(4), Commands({"TOP 1 0", "LIST 1"}));
    EXPECT_EQ(events, QStringList({"OnConnect", "OnRetrieveStart", "OnRetrieveEnd"}));
    EXPECT_FALSE(client.Busy);

    server.Replies["TOP 2 0"] = "+OK\r\nSubject:\r\nFrom: a\r\nFrom: b\n.\r\n";
    client.RetrieveSummary(2);
    EXPECT_EQ(client.Summary.Subject, "");
    EXPECT_EQ(client.Summary.From, " b") << "a later line wins; a bare LF is a line end";
    EXPECT_EQ(client.Summary.MessageId, "");
}

TEST_F(pop3Client, FailedSummaryRaisesWithoutItsEndEvent)
{
    client.Connect();
    client.RetrieveSummary(1);
    server.Replies["TOP 9 0"] = "-ERR There's no message 9.\r\n";
    EXPECT_EQ(FailureOf([&] { client.RetrieveSummary(9); }), "-ERR There's no message 9.\r\n");
    EXPECT_EQ(client.Summary.Subject, " Hello") << "a refused TOP leaves the summary";
    server.Replies["LIST"] = "-ERR no such message\r\n";
    EXPECT_FALSE(FailureOf<EConvertError>([&] { client.RetrieveSummary(1); }).isEmpty());
    EXPECT_EQ(events.mid(3), QStringList({"OnRetrieveStart", "raised", "OnRetrieveStart", "raised"}));
    EXPECT_FALSE(client.Busy);
}

// Many short lines reach the line limit, fewer long ones the size limit,
// one endless line its own: the summary is cut, the rest read away, and the
// session goes on. A long header within the limits arrives whole.
TEST_F(pop3Client, AnOversizedSummaryHeaderIsCutAndTheSessionGoesOn)
{
    const QByteArray shortLine = "X-Filler: 1\r\n";
    server.Replies["TOP 2 0"] = "+OK\r\n" + shortLine.repeated(10000) + ".\r\n";
    client.Connect();
    client.RetrieveSummary(2);
    EXPECT_EQ(client.Summary.Header.size(), 10001);
    EXPECT_FALSE(client.Summary.Cut);

    const QByteArray longLine = "X-Filler: " + QByteArray(1000, 'f') + "\r\n";
    const QByteArray endless = "Subject: " + QByteArray(10 * 1024 * 1024, 's') + "\r\n";
    for (const QByteArray& lines : {shortLine.repeated(70000), longLine.repeated(9000), endless}) {
        server.Replies["TOP 1 0"] = "+OK\r\n" + lines + "From: late@example.org\r\n.\r\n";
        client.RetrieveSummary(1);
        EXPECT_TRUE(client.Summary.Cut);
        EXPECT_LE(client.Summary.Header.join(QString()).size(), 1024 * 1024);
        ASSERT_TRUE(client.Connected);
        client.RetrieveSummary(2);
        EXPECT_EQ(client.Summary.Header.size(), 10001) << "in step with the server";
    }
    EXPECT_EQ(server.Connections, 1);
}

TEST_F(pop3Client, NestedCallsDuringAnOperationDoNothing)
{
    client.Connect();
    client.RetrieveSummary(1);
    server.Replies["TOP 2 0"] = "";
    server.Script = [&](const QByteArray& command) {
        if (command == "TOP 2 0")
            server.SendLater(50, "+OK\r\nSubject: Two\r\n.\r\n");
        return false;
    };
    QTimer::singleShot(10, [&] { client.RetrieveSummary(1), client.DeleteMessage(1); });
    client.OnRetrieveEnd = [&](QObject*) { client.RetrieveSummary(1), client.DeleteMessage(1); };
    client.RetrieveSummary(2);
    EXPECT_EQ(client.Summary.Subject, " Two");
    EXPECT_EQ(server.Commands.mid(4), Commands({"TOP 1 0", "LIST 1", "TOP 2 0", "LIST 2"}));
}

TEST_F(pop3Client, DeleteNeedsExactlyPlusOk)
{
    client.Connect();
    server.Replies["DELE"] = "+OK\r\n";
    EXPECT_EQ(FailureOf([&] { client.DeleteMessage(1); }), "+OK\r\n");
    server.Replies["DELE"] = "+OK Marked to be deleted.\r\n";
    client.DeleteMessage(2);
    EXPECT_EQ(events, QStringList({"OnConnect", "OnFailure busy", "raised", "OnSuccess"}));
    EXPECT_EQ(server.Commands.mid(4), Commands({"DELE 1", "DELE 2"}));
}

TEST_F(pop3Client, OperationsNeedAConnection)
{
    EXPECT_EQ(FailureOf([&] { client.RetrieveSummary(1); }), "Not Connected");
    server.Replies["DELE"] = "+OK Marked to be deleted.\r\n";
    client.OnConnectionRequired = [&](bool& handled) { client.Connect(), handled = true; };
    client.DeleteMessage(1);
    EXPECT_EQ(events, QStringList({"raised", "OnConnect", "OnSuccess"}));
}

TEST_F(pop3Client, SilentServerTimesOutAndCloses)
{
    client.TimeOut = 300;
    server.Greeting.clear();
    EXPECT_EQ(FailureOf<ESockError>([&] { client.Connect(); }), "Connection Timed out");
    EXPECT_TRUE(WaitUntil([&] { return server.Disconnections == 1; }));

    server.Greeting = "+OK\r\n";
    server.Replies["TOP 1 0"] = "";
    client.Connect();
    EXPECT_EQ(FailureOf<ESockError>([&] { client.RetrieveSummary(1); }), "Connection Timed out");
    EXPECT_FALSE(client.Connected);
    EXPECT_FALSE(client.Busy);
    server.ResumeReading();
    EXPECT_TRUE(WaitUntil([&] { return server.Disconnections == 1; })) << "the canceled connection is closed";
}

// Never on in the clear: a refused STLS, plain text slipped in behind its
// +OK, or a security setting nobody knows ends the session before the
// credentials.
TEST_F(pop3Client, StartTlsRefusedOrTamperedSendsNoCredentials)
{
    client.Security = secStartTls;
    EXPECT_EQ(FailureOf<ESockError>([&] { client.Connect(); }), "The server does not offer STARTTLS");
    server.Replies["STLS"] = "+OK Begin TLS negotiation\r\n+OK Logged in.\r\n";
    EXPECT_EQ(FailureOf<ESockError>([&] { client.Connect(); }),
              "The server sent data before the secure connection was set up");
    client.Security = 7;
    EXPECT_EQ(FailureOf<ESockError>([&] { client.Connect(); }),
              "The security setting 7 is not 0 (none), 1 (STARTTLS) or 2 (SSL/TLS)");
    EXPECT_EQ(server.Commands, Commands({"STLS", "QUIT", "STLS"}));
    EXPECT_FALSE(client.Connected);
    EXPECT_FALSE(client.Busy);
}

TEST_F(pop3Client, UnansweredHandshakeTimesOutOrIsCanceled)
{
    client.Security = secTls;
    server.Greeting.clear();
    server.StopReading();
    client.TimeOut = 300;
    EXPECT_EQ(FailureOf<ESockError>([&] { client.Connect(); }), "Connection Timed out");
    client.TimeOut = 5000;
    QTimer::singleShot(50, [&] { client.Cancel(); });
    EXPECT_EQ(FailureOf<EAbortError>([&] { client.Connect(); }), "Secure connection canceled");
    EXPECT_FALSE(client.Connected);
    EXPECT_FALSE(client.Busy);
    server.ResumeReading();
    EXPECT_TRUE(WaitUntil([&] { return server.Disconnections == 1; })) << "the canceled connection is closed";
}

TEST_F(pop3Client, CancelEndsTheOperationAndLateDataCloseTheConnection)
{
    client.Connect();
    server.Replies["TOP 1 0"] = "";
    server.Script = [&](const QByteArray& command) {
        if (command == "TOP 1 0")
            QTimer::singleShot(10, [&] { client.Cancel(); }), server.SendLater(50, Header);
        return false;
    };
    EXPECT_EQ(FailureOf<EAbortError>([&] { client.RetrieveSummary(1); }), "Socket readln aborted");
    EXPECT_FALSE(client.Busy);
    EXPECT_TRUE(WaitUntil([&] { return server.Disconnections == 1; }));
    EXPECT_FALSE(client.Connected);
}

TEST_F(pop3Client, ServerClosingMidSummaryIsReported)
{
    client.Connect();
    server.Replies["TOP 1 0"] = "+OK\r\nSubject: cut";
    server.Script = [&](const QByteArray& command) {
        if (command == "TOP 1 0")
            QTimer::singleShot(10, [&] { server.CloseClient(); });
        return false;
    };
    EXPECT_EQ(FailureOf<ESockError>([&] { client.RetrieveSummary(1); }), "Connection closed by server");
    EXPECT_EQ(events, QStringList({"OnConnect", "OnRetrieveStart", "OnDisconnect", "raised"}));
}

TEST_F(pop3Client, NamedHostReportsItsEventsInOrder)
{
    client.Host = "localhost";
    client.UserID.clear();
    client.OnAuthenticationNeeded = [&](bool& handled) { client.UserID = "ann", handled = true, events << "OnAuthenticationNeeded"; };
    client.OnHostResolved = [&](QObject*) { events << "OnHostResolved"; };
    client.Connect();
    EXPECT_EQ(events, QStringList({"OnAuthenticationNeeded", "OnHostResolved", "OnConnect"}));
}

} // namespace
