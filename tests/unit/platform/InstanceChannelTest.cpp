#include "platform/InstanceChannel.h"

#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <QThread>
#include <QDir>
#include <QFile>

#include <cstring>

#include <sys/socket.h>
#include <sys/un.h>
#include <unistd.h>
#include <gtest/gtest.h>

namespace {
// Forward blocks until the running copy answers, so it runs in a child thread
// of the test while the listening side serves from this thread's event loop.
bool forwardFromAnotherThread(const QString& store, const QStringList& words)
{
    bool result = false;
    QThread* thread = QThread::create([&] { result = InstanceChannel(store).Forward(words); });
    thread->start();
    while (!thread->wait(10))
        QCoreApplication::processEvents();
    delete thread;
    QCoreApplication::processEvents();
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
    const QByteArray path = QFile::encodeName(QDir::tempPath() + "/" + InstanceChannel(store).ServerName());
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
