#include "config/FileStore.h"
#include "config/Registry.h"
#include "platform/InstanceChannel.h"

#include <QElapsedTimer>
#include <QFile>
#include <QFileInfo>

#include <functional>
#include <QProcess>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {
const QString ProgramKey = "Software\\Tallowfen\\Postwatch\\2.0";
const QByteArray SavedRect = QByteArray::fromHex("10000000200000004002000058010000");

// Starts the real program on a profile of its own, without a display.
class Copy : public QProcess
{
public:
    Copy(const QString& profile, const QStringList& arguments, const QString& configHome = {})
    {
        QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
        environment.insert("POSTWATCH_PROFILE", profile);
        if (!configHome.isEmpty())
            environment.insert("XDG_CONFIG_HOME", configHome);
        environment.insert("QT_QPA_PLATFORM", "offscreen");
        setProcessEnvironment(environment);
        setProcessChannelMode(QProcess::ForwardedErrorChannel);
        start(QStringLiteral(POSTWATCH_BINARY_DIR "/app/postwatch"), arguments);
    }
    ~Copy() override
    {
        if (state() != NotRunning) {
            kill();
            waitForFinished();
        }
    }
};

bool waitUntil(const std::function<bool()>& condition)
{
    QElapsedTimer clock;
    clock.start();
    while (clock.elapsed() < 20000) {
        if (condition())
            return true;
        QTest::qWait(50);
    }
    return false;
}

// The channel answers as soon as it listens, even from a wait inside the
// start-up; a listing comes only once the program has started.
bool waitUntilStarted(const QString& store)
{
    return waitUntil([&] {
        const std::optional<QByteArray> listing = InstanceChannel(store).AskListing();
        return listing && !listing->isEmpty();
    });
}

QByteArray storedRect(const QString& storePath)
{
    FileStore store(storePath);
    TRegistry reg(store);
    if (!reg.OpenKey(ProgramKey, false) || !reg.ValueExists("WndRect"))
        return {};
    return reg.ReadBinaryData("WndRect");
}
}

TEST(SecondStart, CheckNowReachesTheRunningCopyAndEnds)
{
    QTemporaryDir profile;
    const QString storePath = profile.filePath("registry.reg");
    {
        FileStore store(storePath);
        TRegistry reg(store);
        reg.OpenKey(ProgramKey, true);
        reg.WriteBinaryData("WndRect", SavedRect);
    }

    Copy first(profile.path(), {});
    ASSERT_TRUE(first.waitForStarted());
    ASSERT_TRUE(waitUntilStarted(storePath)) << "the first copy never listened";

    Copy second(profile.path(), {"/CheckNow"});
    ASSERT_TRUE(second.waitForFinished(20000)) << "the second start ran on instead of forwarding";
    EXPECT_EQ(second.exitStatus(), QProcess::NormalExit);
    EXPECT_EQ(second.exitCode(), 0);
    EXPECT_EQ(first.state(), QProcess::Running);

    EXPECT_EQ(storedRect(storePath), SavedRect) << "the forwarding copy must not store a window rectangle";
}

TEST(SecondStart, WithoutARunningCopyTheProgramStartsAndStoresItsDefaults)
{
    QTemporaryDir profile;
    const QString storePath = profile.filePath("registry.reg");
    Copy only(profile.path(), {"/CheckNow"});
    ASSERT_TRUE(only.waitForStarted());
    ASSERT_TRUE(waitUntilStarted(storePath));

    FileStore store(storePath);
    TRegistry reg(store);
    ASSERT_TRUE(waitUntil([&] { return reg.OpenKey(ProgramKey, false) && reg.GetValueNames().size() == 28; }))
        << "the first start leaves all options in the store";
    EXPECT_EQ(QFile::permissions(storePath), QFile::ReadOwner | QFile::WriteOwner | QFile::ReadUser | QFile::WriteUser);
}

// "Load On Startup" leaves a desktop entry in the autostart folder that
// starts this very program; off, there is none. The copy runs on the usual
// profile, which POSTWATCH_PROFILE names here.
TEST(SecondStart, LoadOnStartupLeavesAnAutostartEntryNamingTheProgram)
{
    for (const bool on : {true, false}) {
        QTemporaryDir configHome;
        const QString profile = configHome.filePath("Postwatch");
        const QString storePath = profile + "/registry.reg";
        {
            FileStore store(storePath);
            TRegistry reg(store);
            reg.OpenKey(ProgramKey, true);
            reg.WriteBool("LoadOnStartup", on);
            reg.WriteBool("StartVisible", false);
        }
        Copy copy(profile, {}, configHome.path());
        ASSERT_TRUE(copy.waitForStarted());
        ASSERT_TRUE(waitUntilStarted(storePath));
        QFile entry(configHome.filePath("autostart/Postwatch.desktop"));
        EXPECT_EQ(entry.exists(), on);
        if (on) {
            ASSERT_TRUE(entry.open(QIODevice::ReadOnly));
            const QString program = QFileInfo(POSTWATCH_BINARY_DIR "/app/postwatch").canonicalFilePath();
            EXPECT_TRUE(QString::fromUtf8(entry.readAll()).contains("\nExec=\"" + program + "\"\n"));
        }
    }
}
