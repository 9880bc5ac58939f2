// The system bus's news as the program hears it, on a private bus of the
// test: NetworkManager's state and logind's wake from sleep.

#include "platform/NetworkWatch.h"
#include "platform/SleepWatch.h"
#include "tests/unit/engine/EngineFixture.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QSignalSpy>
#include <QTest>
#include <gtest/gtest.h>

namespace {

const QString Manager = QStringLiteral("org.freedesktop.NetworkManager");
const QString ManagerPath = QStringLiteral("/org/freedesktop/NetworkManager");

// NetworkManager's State property and its StateChanged signal, from a
// connection of its own.
class FakeNetworkManager : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.NetworkManager")
    Q_PROPERTY(uint State READ State)

public:
    explicit FakeNetworkManager(uint state)
        : state(state), bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("nm")))
    {
        bus.registerObject(ManagerPath, this, QDBusConnection::ExportAllProperties);
        bus.registerService(Manager);
    }
    ~FakeNetworkManager() override
    {
        bus.unregisterService(Manager);
        QDBusConnection::disconnectFromBus(QStringLiteral("nm"));
    }

    uint State() const { return state; }
    void Change(uint next)
    {
        state = next;
        bus.send(QDBusMessage::createSignal(ManagerPath, Manager, QStringLiteral("StateChanged")) << next);
    }

private:
    uint state;
    QDBusConnection bus;
};

TEST(SystemWatch, OfflineIsNoConnectionAtAllAsNetworkManagerSaysIt)
{
    {
        TNetworkWatch watch(QDBusConnection::sessionBus());
        EXPECT_FALSE(watch.Offline()) << "nobody reports: not offline";
    }
    FakeNetworkManager manager(20);
    TNetworkWatch watch(QDBusConnection::sessionBus());
    QSignalSpy changed(&watch, &TNetworkWatch::Changed);
    ASSERT_TRUE(changed.wait(5000)) << "the state read at start";
    EXPECT_TRUE(watch.Offline());
    manager.Change(60);
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_FALSE(watch.Offline()) << "a limited connection is a connection";
    manager.Change(10);
    ASSERT_TRUE(changed.wait(5000));
    EXPECT_TRUE(watch.Offline()) << "asleep";
}

class WakeFromSleep : public EngineTest
{
};

TEST_F(WakeFromSleep, LogindsPrepareForSleepFalseLeadsToACheck)
{
    AddAccount("Home", {FakeMessage(" Ann", " One")});
    Load();
    settings.SetInterval(10);
    TSleepWatch watch(QDBusConnection::sessionBus());
    QObject::connect(&watch, &TSleepWatch::Resumed, [this] { engine->SystemResumed(); });

    QDBusConnection logind = QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("logind"));
    ASSERT_TRUE(logind.registerService(QStringLiteral("org.freedesktop.login1")));
    auto prepare = [&](bool sleeping) {
        logind.send(QDBusMessage::createSignal(QStringLiteral("/org/freedesktop/login1"),
                                               QStringLiteral("org.freedesktop.login1.Manager"),
                                               QStringLiteral("PrepareForSleep"))
                    << sleeping);
    };
    prepare(true);
    QTest::qWait(200);
    EXPECT_EQ(host.CatchUpDelay, -1) << "going to sleep is no news";
    prepare(false);
    ASSERT_TRUE(QTest::qWaitFor([this] { return host.CatchUpDelay >= 0; }, 5000));
    Run(&TCheckEngine::CatchUpTimer);
    RunSteps();
    EXPECT_EQ(Rows(), QStringList{"Home One #1"});
    logind.unregisterService(QStringLiteral("org.freedesktop.login1"));
    QDBusConnection::disconnectFromBus(QStringLiteral("logind"));
}

} // namespace

#include "SystemWatchTest.moc"
