#include "platform/InstanceChannel.h"

#include <QCryptographicHash>
#include <QLocalServer>
#include <QLocalSocket>
#include <QLockFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QDir>
#include <QFile>

#include <csignal>
#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <sys/wait.h>
#include <unistd.h>
#include <gtest/gtest.h>

namespace {
// Forward blocks until the running copy answers, so it runs in a child thread
// of the test while the listening side serves from this thread's event loop.
void inAnotherThread(const std::function<void()>& work)
{
    QThread* thread = QThread::create(work);
    thread->start();
    while (!thread->wait(10))
        QCoreApplication::processEvents();
    delete thread;
    QCoreApplication::processEvents();
}

bool forwardFromAnotherThread(const QString& store, const QStringList& words)
{
    bool result = false;
    inAnotherThread([&] { result = InstanceChannel(store).Forward(words); });
    return result;
}
}

TEST(InstanceChannel, RunningCopyReceivesTheWordsOfALaterStart)
{
    QTemporaryDir dir;
    const QString store = dir.filePath("registry.reg");
    InstanceChannel running(store);
    ASSERT_EQ(running.ForwardOrListen({}), InstanceChannel::Listening);
    running.SetReady();
    QSignalSpy checks(&running, &InstanceChannel::CheckNowRequested);
    QSignalSpy shows(&running, &InstanceChannel::ShowRequested);

    EXPECT_TRUE(forwardFromAnotherThread(store, {"checknow"}));
    EXPECT_TRUE(checks.count() == 1 || checks.wait(1000));
    EXPECT_EQ(shows.count(), 0);

    EXPECT_TRUE(forwardFromAnotherThread(store, {"checknow", "show"}));
    EXPECT_TRUE(shows.count() == 1 || shows.wait(1000));
    EXPECT_EQ(checks.count(), 2);
}

TEST(InstanceChannel, OnlyOneCopyListensPerProfile)
{
    QTemporaryDir dir;
    const QString store = dir.filePath("registry.reg");
    InstanceChannel first(store);
    ASSERT_EQ(first.ForwardOrListen({}), InstanceChannel::Listening);

    EXPECT_FALSE(forwardFromAnotherThread(dir.filePath("other/registry.reg"), {"show"}))
        << "another profile has no running copy";
    QThread* thread = QThread::create(
        [&] { EXPECT_EQ(InstanceChannel(store).ForwardOrListen({}), InstanceChannel::Forwarded); });
    thread->start();
    while (!thread->wait(10))
        QCoreApplication::processEvents();
    delete thread;
}

TEST(InstanceChannel, NoRunningCopyMeansNothingIsForwarded)
{
    QTemporaryDir dir;
    EXPECT_FALSE(InstanceChannel(dir.filePath("registry.reg")).Forward({"checknow"}));
}

TEST(InstanceChannel, SocketLeftByACrashedCopyIsTakenOver)
{
    QTemporaryDir dir;
    const QString store = dir.filePath("registry.reg");
    const QByteArray path = QFile::encodeName(InstanceChannel(store).ServerName());
    int fd = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof(address.sun_path) - 1);
    ASSERT_EQ(::bind(fd, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    ::close(fd); // the file stays, nobody listens

    InstanceChannel restarted(store);
    EXPECT_EQ(restarted.ForwardOrListen({}), InstanceChannel::Listening);
    EXPECT_TRUE(forwardFromAnotherThread(store, {"show"}));
}

// The main window is wired to the channel only after the program has loaded
// its settings; a second start in that time must not go unanswered.
TEST(InstanceChannel, WordsThatArriveBeforeTheProgramIsReadyRunOnceItIs)
{
    QTemporaryDir dir;
    const QString store = dir.filePath("registry.reg");
    InstanceChannel running(store);
    ASSERT_EQ(running.ForwardOrListen({}), InstanceChannel::Listening);
    EXPECT_TRUE(forwardFromAnotherThread(store, {"show"}));
    EXPECT_TRUE(forwardFromAnotherThread(store, {"checknow", "show"}));
    QCoreApplication::processEvents();

    QStringList requests;
    QObject::connect(&running, &InstanceChannel::ShowRequested, [&] { requests << "show"; });
    QObject::connect(&running, &InstanceChannel::CheckNowRequested, [&] { requests << "checknow"; });
    running.SetReady();
    EXPECT_TRUE(QTest::qWaitFor([&] { return requests.size() == 3; }, 1000));
    EXPECT_EQ(requests, QStringList({"show", "checknow", "show"}));
}

// Where the channel used to be: a name in /tmp that any user can work out,
// listen on first and lock.
TEST(InstanceChannel, ASquatterOnTheSharedTemporaryFolderIsNeverAsked)
{
    QTemporaryDir dir;
    const QString store = dir.filePath("registry.reg");
    const QByteArray hash = QCryptographicHash::hash(store.toUtf8(), QCryptographicHash::Sha1).toHex().left(12);
    const QString oldName = QDir::temp().filePath(QStringLiteral("postwatch-%1-%2").arg(getuid()).arg(hash));
    QLocalServer squatter;
    QLocalServer::removeServer(oldName);
    ASSERT_TRUE(squatter.listen(oldName));
    QObject::connect(&squatter, &QLocalServer::newConnection, [&] {
        QLocalSocket* socket = squatter.nextPendingConnection();
        socket->write("ok\nPassword expired, log in at http://evil.example/\n");
        socket->disconnectFromServer();
    });
    QLockFile squatterLock(oldName + ".lock");
    ASSERT_TRUE(squatterLock.tryLock(0));

    std::optional<QByteArray> listing;
    bool forwarded = true;
    inAnotherThread([&] {
        const InstanceChannel later(store);
        listing = later.AskListing();
        forwarded = later.Forward({"checknow"});
    });
    EXPECT_FALSE(listing) << listing->constData();
    EXPECT_FALSE(forwarded) << "a start would have ended, handing its words to the squatter";

    InstanceChannel running(store);
    EXPECT_EQ(running.ForwardOrListen({}), InstanceChannel::Listening) << "the squatter's lock held the start";
}

// Another user answering on the channel's own path, as only root could
// arrange: the answer is not believed, and the socket is taken over.
TEST(InstanceChannel, AnAnswerFromAnotherUserIsNotBelieved)
{
    if (::getuid() != 0)
        GTEST_SKIP() << "only root can serve as another user";
    QTemporaryDir dir;
    const QString store = dir.filePath("registry.reg");
    const QByteArray path = QFile::encodeName(InstanceChannel(store).ServerName());
    sockaddr_un address{};
    address.sun_family = AF_UNIX;
    std::strncpy(address.sun_path, path.constData(), sizeof(address.sun_path) - 1);
    const int listener = ::socket(AF_UNIX, SOCK_STREAM, 0);
    ::unlink(path.constData());
    ASSERT_EQ(::bind(listener, reinterpret_cast<sockaddr*>(&address), sizeof(address)), 0);
    int ready[2];
    ASSERT_EQ(::pipe(ready), 0);
    const pid_t child = ::fork();
    if (child == 0) { // the kernel notes the user that listens
        if (::setuid(65534) != 0 || ::listen(listener, 4) != 0)
            ::_exit(1);
        (void)::write(ready[1], "r", 1);
        for (;;) {
            const int connection = ::accept(listener, nullptr, nullptr);
            (void)::write(connection, "ok\nforged\n", 10);
            ::close(connection);
        }
    }
    ::close(listener);
    ::close(ready[1]);
    char byte = 0;
    ASSERT_EQ(::read(ready[0], &byte, 1), 1) << "the other user never listened";

    EXPECT_FALSE(InstanceChannel(store).AskListing());
    EXPECT_EQ(InstanceChannel(store).ForwardOrListen({}), InstanceChannel::Listening);
    ::kill(child, SIGKILL);
    ::waitpid(child, nullptr, 0);
    ::close(ready[0]);
}
