#include "ScriptServer.h"

#include "base/Guard.h"
#include "pop3/Linesock.h"

#include <QRegularExpression>
#include <QTcpServer>
#include <QTimer>
#include <gtest/gtest.h>

namespace {

class pop3LineSocket : public testing::Test
{
protected:
    pop3LineSocket()
    {
        socket.Host = "127.0.0.1";
        socket.Port = server.Port();
        socket.TimeOut = 5000;
    }

    // Status reports and timer ticks, in the order they happened.
    void RecordStatuses(int level = 16)
    {
        socket.ReportLevel = level;
        socket.OnStatus = [this](QObject*, const QString& status) { events << status; };
    }

    TScriptServer server;
    TLineSocket socket;
    QStringList events;
};

template <typename E, typename F>
QString FailureOf(F call)
{
    try {
        call();
    } catch (const E& e) {
        return e.Message;
    }
    return {};
}

quint16 ClosedPort()
{
    QTcpServer probe;
    probe.listen(QHostAddress::LocalHost);
    return probe.serverPort();
}

} // namespace

TEST(pop3SocketErrors, LooksUpTheTableAndNamesOtherCodes)
{
    TLineSocket socket;
    EXPECT_EQ(socket.LookUpErrorMessage(10061), "10061:Connection refused");
    EXPECT_EQ(socket.LookUpErrorMessage(11004), "11004:Valid name, no data record of requested type");
    EXPECT_EQ(socket.LookUpErrorMessage(12345), "Unknown Error No. 12345");
    EXPECT_EQ(socket.LookUpErrorMessage(0), "");
}

TEST(pop3SocketErrors, DescribesTheSocketLibraryInSixLines)
{
    TLineSocket socket;
    const QStringList prefixes{"Version= ", "High Version= ", "Description= ", "System= ", "Max Sockets= ", "Max Udp pack size= "};
    ASSERT_EQ(socket.WinsockInfo.size(), prefixes.size());
    for (int i = 0; i < prefixes.size(); ++i)
        EXPECT_TRUE(socket.WinsockInfo[i].startsWith(prefixes[i])) << socket.WinsockInfo[i].toStdString();
    EXPECT_TRUE(socket.WinsockInfo[0].contains(QRegularExpression("^Version= \\d+\\.\\d+$")));
}

TEST(pop3ThreadTimer, RunsOnlyWhenEnabledWithIntervalAndHandler)
{
    TThreadTimer timer;
    int ticks = 0;
    QObject* sender = nullptr;
    timer.SetInterval(5);
    timer.SetOnTimer([&](QObject* s) { ++ticks, sender = s; });
    EXPECT_TRUE(WaitUntil([&] { return ticks >= 2; }));
    EXPECT_EQ(sender, &timer);
    timer.SetEnabled(false);
    const int stopped = ticks;
    WaitUntil([] { return false; }, 50);
    EXPECT_EQ(ticks, stopped);
    EXPECT_EQ(FailureOf<Exception>([&] { timer.SetEnabled(true), timer.SetInterval(3000000000u); }), "No Timer");
}

TEST_F(pop3LineSocket, DottedAddressConnectsWithoutLookup)
{
    int resolved = 0;
    socket.OnHostResolved = [&](QObject*) { ++resolved; };
    RecordStatuses();
    socket.Connect();
    EXPECT_TRUE(socket.Connected);
    EXPECT_EQ(resolved, 0);
    EXPECT_EQ(socket.RemoteAddress, 0x7f000001u);
    EXPECT_EQ(events.count("Timer On"), 1) << "only the connect waits";
    EXPECT_EQ(FailureOf<ESockError>([&] { socket.Connect(); }), "Already connected");
}

TEST_F(pop3LineSocket, NameIsLookedUpAndReported)
{
    int resolved = 0;
    socket.Host = "localhost";
    socket.OnHostResolved = [&](QObject* sender) { resolved += sender == &socket; };
    socket.Connect();
    EXPECT_EQ(resolved, 1);
    EXPECT_EQ(socket.RemoteAddress, 0x7f000001u);
}

TEST(pop3LineSocketIPv6, ConnectsWithoutAnIPv4Address)
{
    TScriptServer server(QHostAddress::LocalHostIPv6);
    if (!server.Listening())
        GTEST_SKIP() << "no IPv6 loopback here";
    TLineSocket socket;
    socket.Host = "::1";
    socket.Port = server.Port();
    socket.Connect();
    EXPECT_TRUE(socket.Connected);
    EXPECT_EQ(socket.RemoteAddress, 0u);
    EXPECT_EQ(socket.ReadLn(), "+OK Script ready.\r\n");
}

// Each would reach whatever listens on this machine. The full-width digits
// are no literal address: the lookup turns them into 0.0.0.0, no network
// needed.
TEST(pop3LineSocketAddress, UnspecifiedAddressIsNoAddress)
{
    TScriptServer server(QHostAddress::Any);
    for (const QString& host : QStringList{"0.0.0.0", "::", "::ffff:0.0.0.0", QString::fromUtf8("０.０.０.０")}) {
        TLineSocket socket;
        socket.Host = host;
        socket.Port = server.Port();
        EXPECT_EQ(FailureOf<ESockError>([&] { socket.Connect(); }), "Null Remote Address") << host.toStdString();
    }
    EXPECT_FALSE(WaitUntil([&] { return server.Connections > 0; }, 100));
}

TEST_F(pop3LineSocket, InvalidHostHandlerIsAskedOnceAndMayCorrectHost)
{
    socket.Host = "no-such-host.invalid";
    EXPECT_EQ(FailureOf<ESockError>([&] { socket.Connect(); }), "Null Remote Address");

    int asked = 0;
    socket.OnInvalidHost = [&](bool& handled) { ++asked, handled = true; };
    EXPECT_EQ(FailureOf<ESockError>([&] { socket.Connect(); }), "Null Remote Address");
    EXPECT_EQ(asked, 1);

    socket.OnInvalidHost = [&](bool& handled) { ++asked, socket.Host = "127.0.0.1", handled = true; };
    socket.Connect();
    EXPECT_EQ(asked, 2);
    EXPECT_TRUE(socket.Connected);
}

TEST_F(pop3LineSocket, RefusedConnectionFailsWithItsErrorNumber)
{
    int failed = 0;
    socket.Port = ClosedPort();
    socket.OnConnectionFailed = [&](QObject*) { ++failed; };
    EXPECT_EQ(FailureOf<ESockError>([&] { socket.Connect(); }), "Connection Failed");
    EXPECT_EQ(failed, 1);
    EXPECT_EQ(socket.LookUpErrorMessage(socket.LastErrorNo), "10061:Connection refused");
    EXPECT_EQ(FailureOf<ESockError>([&] { socket.CheckSocketError(10035); }), "10061:Connection refused");
    EXPECT_FALSE(socket.Connected);
}

TEST_F(pop3LineSocket, ReadLnJoinsPiecesAndSplitsPackets)
{
    server.Greeting = "+OK hel";
    server.SendLater(30, "lo\r\nsecond\nthird\r\n");
    socket.Connect();
    EXPECT_EQ(socket.ReadLn(), "+OK hello\r\n");
    EXPECT_EQ(socket.ReadLn(), "second\n");
    EXPECT_EQ(socket.ReadLn(), "third\r\n");
}

TEST_F(pop3LineSocket, TransactionTakesTheReplyNumber)
{
    server.Greeting.clear();
    server.Replies = {{"HELO", "250 fine\r\n"}, {"NOOP", "+OK\r\n"}, {"BIG", "99999 no\r\n"}};
    RecordStatuses(1);
    socket.Connect();
    EXPECT_EQ(socket.Transaction("HELO"), "250 fine\r\n");
    EXPECT_EQ(socket.ReplyNumber, 250);
    EXPECT_EQ(socket.Transaction("NOOP"), "+OK\r\n");
    EXPECT_EQ(socket.ReplyNumber, 0);
    EXPECT_EQ(socket.LastReply, "+OK\r\n");
    EXPECT_EQ(events, QStringList({"250 fine\r\n", "+OK\r\n"})) << "level 1 shows reply lines only";
    EXPECT_TRUE(FailureOf<ESockError>([&] { socket.Transaction("BIG"); }).contains("out of range"));
    EXPECT_EQ(server.Commands, QList<QByteArray>({"HELO", "NOOP", "BIG"}));
}

TEST_F(pop3LineSocket, WritelnSendsTheTextUpToNulWithItsLineEnd)
{
    server.Greeting.clear();
    socket.Connect();
    socket.Writeln(QByteArray("USER ann\0PASS x", 15));
    EXPECT_TRUE(WaitUntil([&] { return !server.Commands.isEmpty(); }));
    EXPECT_EQ(server.Commands, QList<QByteArray>{"USER ann"});
}

// More than Qt is handed at once: every chunk must follow the first.
TEST_F(pop3LineSocket, SendsOfSeveralChunksDoNotStall)
{
    server.Greeting.clear();
    socket.Connect();
    const QByteArray mebibyte(1024 * 1024, 'x');
    socket.Writeln(mebibyte);
    socket.Write(mebibyte);
    socket.Writeln("NOOP");
    ASSERT_TRUE(WaitUntil([&] { return server.Commands.size() == 2; }));
    EXPECT_EQ(server.Commands[0], mebibyte.left(16382)) << "cut to leave room for the line end";
    EXPECT_EQ(server.Commands[1], mebibyte.left(16384) + "NOOP");
}

TEST_F(pop3LineSocket, PeerClosingMidLineEndsTheWaitAfterWhatArrived)
{
    int disconnects = 0;
    socket.OnDisconnect = [&](QObject*) { ++disconnects; };
    server.Greeting = "+OK first\r\n+OK par";
    QTimer::singleShot(30, &server, [&] { server.CloseClient(); });
    socket.Connect();
    EXPECT_EQ(socket.ReadLn(), "+OK first\r\n");
    EXPECT_EQ(FailureOf<ESockError>([&] { socket.ReadLn(); }), "Connection closed by server");
    EXPECT_FALSE(socket.Connected);
    EXPECT_EQ(disconnects, 1);

    server.Greeting = "+OK again\r\n";
    socket.Connect();
    EXPECT_EQ(socket.ReadLn(), "+OK again\r\n") << "a closed socket connects again";
}

TEST_F(pop3LineSocket, EverythingSentBeforeACloseIsRead)
{
    QByteArray lines;
    for (int i = 0; i < 2000; ++i)
        lines += QByteArray::number(i) + " a line of the reply\r\n";
    server.Greeting = lines;
    socket.Connect();
    ASSERT_TRUE(WaitUntil([&] { return server.ClientConnected(); }));
    server.CloseClient();
    ASSERT_TRUE(WaitUntil([&] { return !socket.Connected; }));
    for (int i = 0; i < 2000; ++i)
        ASSERT_EQ(socket.ReadLn(), QByteArray::number(i) + " a line of the reply\r\n") << "more than Qt reads at once, less than it holds";
    EXPECT_EQ(FailureOf<ESockError>([&] { socket.ReadLn(); }), "Connection closed by server");
}

TEST_F(pop3LineSocket, EndlessLineIsCutOffAndClosed)
{
    server.Greeting = QByteArray(64 * 1024, 'x');
    for (int i = 1; i < 48; ++i)
        server.SendLater(i, QByteArray(64 * 1024, 'x'));
    socket.Connect();
    EXPECT_EQ(FailureOf<ESockError>([&] { socket.ReadLn(); }), "The server sent a line longer than 1 MiB");
    EXPECT_FALSE(socket.Connected);
    EXPECT_TRUE(WaitUntil([&] { return server.Disconnections == 1; }));
}

TEST_F(pop3LineSocket, CancelEndsReadLnAndTheNextFailsAtOnce)
{
    server.Greeting.clear();
    socket.Connect();
    QTimer::singleShot(20, &server, [&] { socket.Cancel(); });
    EXPECT_EQ(FailureOf<EAbortError>([&] { socket.ReadLn(); }), "Socket readln aborted");
    EXPECT_EQ(FailureOf<EAbortError>([&] { socket.ReadLn(); }), "Socket readln aborted");
    EXPECT_TRUE(socket.Aborted);
}

TEST_F(pop3LineSocket, SilentServerTimesOutAndIsClosed)
{
    server.Greeting.clear();
    socket.TimeOut = 300;
    socket.Connect();
    EXPECT_EQ(FailureOf<ESockError>([&] { socket.ReadLn(); }), "Connection Timed out");
    EXPECT_FALSE(socket.Connected);
    EXPECT_TRUE(WaitUntil([&] { return server.Disconnections == 1; }));
}

TEST_F(pop3LineSocket, StalledSendingTimesOut)
{
    server.StopReading();
    socket.TimeOut = 300;
    socket.Connect();
    const QByteArray chunk(16000, 'x');
    QString failure;
    for (int i = 0; i < 20000 && failure.isEmpty(); ++i)
        failure = FailureOf<ESockError>([&] { socket.Write(chunk); });
    EXPECT_EQ(failure, "Connection Timed out");
    EXPECT_FALSE(socket.Connected);
}

// A timer started before the call must tick inside each kind of wait: the
// host lookup, the connect, reading and sending.
TEST_F(pop3LineSocket, TimersTickDuringEveryWait)
{
    RecordStatuses(8);
    bool writing = false;
    int writeTicks = 0;
    QTimer ticker;
    ticker.setInterval(0);
    QObject::connect(&ticker, &QTimer::timeout, [&] {
        if (events.last() != "tick")
            events << "tick";
        if (writing)
            ++writeTicks, server.ResumeReading();
    });
    socket.Host = "localhost";
    server.Greeting.clear();
    server.SendLater(30, "+OK late\r\n");
    ticker.start();
    socket.Connect();
    socket.ReadLn();
    server.StopReading();
    writing = true;
    for (int i = 0; i < 20000 && writeTicks == 0; ++i)
        socket.Write(QByteArray(16000, 'x'));
    const QString waits = events.filter(QRegularExpression("^(Resolve Host|Timer On|ReadLn|Sending Buffer|tick)$")).join(',');
    for (const char* wait : {"Resolve Host,Timer On,tick,Timer On,tick", "ReadLn,Timer On,tick", "Sending Buffer,Timer On,tick"})
        EXPECT_TRUE(waits.contains(wait)) << wait << " in " << waits.toStdString();
}

TEST_F(pop3LineSocket, StatusReportsGoUpToTheLevel)
{
    server.Greeting.clear();
    server.Replies = {{"NOOP", "+OK\r\n"}};
    for (int level : {0, 4}) {
        RecordStatuses(level);
        socket.Connect();
        socket.Transaction("NOOP");
        socket.Disconnect();
    }
    EXPECT_EQ(events, QStringList({"Sending Buffer", "+OK\r\n", "Request Close Socket"}));
}

TEST_F(pop3LineSocket, HandlerFailureInsideAWaitIsRaisedByTheWait)
{
    server.Greeting.clear();
    server.SendLater(20, "+OK\r\n");
    socket.Connect();
    socket.ReportLevel = 8;
    socket.OnStatus = [](QObject*, const QString& status) {
        if (status == "ReadToStream")
            throw Exception("handler failed");
    };
    EXPECT_EQ(FailureOf<Exception>([&] { socket.ReadLn(); }), "handler failed");
}

TEST_F(pop3LineSocket, HandlerFailureOutsideAWaitGoesToTheErrorReport)
{
    QStringList reported;
    SetErrorReport([&](const QString& message) { reported << message; });
    socket.OnDisconnect = [](QObject*) { throw Exception("handler failed"); };
    socket.Connect();
    // The client's connection can be complete before the server has taken it.
    ASSERT_TRUE(WaitUntil([&] { return server.ClientConnected(); }));
    server.CloseClient();
    EXPECT_TRUE(WaitUntil([&] { return !socket.Connected; }));
    SetErrorReport(nullptr);
    EXPECT_EQ(reported, QStringList{"handler failed"});
}
