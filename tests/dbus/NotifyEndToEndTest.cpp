// A running Postwatch told by a second start to check, against the run's
// Dovecot, with a notification server of our own on the private session bus:
// the check ends in exactly one bubble.

#include "FakeNotificationServer.h"
#include "config/FileStore.h"
#include "config/Registry.h"
#include "config/StoreKeys.h"
#include "platform/InstanceChannel.h"
#include "tests/support/TestAccounts.h"
#include "tests/support/TestDovecot.h"

#include <QDir>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <QUrl>
#include <gtest/gtest.h>

namespace {

const QString Program = QStringLiteral(POSTWATCH_BINARY_DIR "/app/postwatch");

class NotifyEndToEnd : public testing::Test
{
protected:
    void SetUp() override
    {
        ASSERT_GT(DovecotPort(), 0) << "no Dovecot started for this run";
        ASSERT_TRUE(server.Start());
        FileStore store(profile.filePath("registry.reg"));
        StoreAccount(store, "Home", "127.0.0.1", DovecotPort(), "notify", "pw-notify");
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Program, true);
        reg.WriteInteger("ConnType", 0);
        reg.WriteBool("StartVisible", false);
        for (const char* name : {"HighNotify", "NormNotify", "LowNotify"})
            reg.WriteInteger(name, 18); // flash the icon, and the desktop bubble
        reg.CloseKey();

        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("POSTWATCH_PROFILE", profile.path());
        environment.insert("XDG_CACHE_HOME", userCache.path());
        running.setProcessEnvironment(environment);
        running.start(Program, {});
        ASSERT_TRUE(running.waitForStarted());
        const InstanceChannel channel(profile.filePath("registry.reg"));
        ASSERT_TRUE(QTest::qWaitFor([&] { return channel.Forward({}); }, 20000)) << "the first copy never listened";
    }
    void TearDown() override
    {
        running.kill();
        running.waitForFinished();
    }

    QTemporaryDir profile;
    QTemporaryDir userCache;
    FakeServer server{{QStringLiteral("body"), QStringLiteral("actions")}};
    QProcess running;
};

TEST_F(NotifyEndToEnd, CheckNowFromASecondStartEndsInOneBubble)
{
    QProcess second;
    second.setProcessEnvironment(running.processEnvironment());
    second.start(Program, {"checknow"});
    ASSERT_TRUE(second.waitForFinished(20000));
    EXPECT_EQ(second.exitCode(), 0);

    ASSERT_TRUE(QTest::qWaitFor([this] { return !server.Calls.isEmpty(); }, 30000)) << "no bubble";
    QTest::qWait(1000);
    ASSERT_EQ(server.Calls.size(), 1) << "one bubble, though no tray flashes here either";
    EXPECT_EQ(server.Calls[0].Summary, "2 new messages");
    EXPECT_EQ(server.Calls[0].AppName, "Postwatch");
    EXPECT_EQ(server.Calls[0].Hints.value("urgency").toInt(), 2) << "one message is High";
    EXPECT_EQ(server.Calls[0].AppIcon, QUrl::fromLocalFile(profile.filePath("cache/postwatch.svg")).toString());
    EXPECT_TRUE(QDir(userCache.path()).isEmpty()) << "a profile of its own leaves the user's cache alone";
}

}
