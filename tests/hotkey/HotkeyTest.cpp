// The global hotkey on a private virtual X display (the test runs under
// xvfb-run), pressed by xdotool as a user would.

#include "config/FileStore.h"
#include "config/Registry.h"
#include "config/StoreKeys.h"
#include "platform/GlobalHotkey.h"
#include "platform/InstanceChannel.h"

#include <QGuiApplication>
#include <QProcess>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <QTest>
#include <gtest/gtest.h>

namespace {

void Press(const QString& keys)
{
    ASSERT_EQ(QProcess::execute("xdotool", {"key", keys}), 0);
}

// Whether the keys reach the hotkey: its signal within a moment.
bool Reaches(QSignalSpy& pressed, const QString& keys)
{
    pressed.clear();
    Press(keys);
    return pressed.wait(1500);
}

TEST(Hotkey, ControlF5IsGrabbedWhateverNumLockAndReleasedAgain)
{
    ASSERT_EQ(QGuiApplication::platformName(), "xcb") << "run under xvfb-run with QT_QPA_PLATFORM=xcb";
    GlobalHotkey hotkey;
    QSignalSpy pressed(&hotkey, &GlobalHotkey::Pressed);
    hotkey.Register(4, 2);
    EXPECT_TRUE(Reaches(pressed, "ctrl+F5"));
    EXPECT_FALSE(Reaches(pressed, "F5"));
    EXPECT_FALSE(Reaches(pressed, "ctrl+F6"));
    Press("Num_Lock");
    EXPECT_TRUE(Reaches(pressed, "ctrl+F5")) << "with NumLock on";
    Press("Num_Lock");

    hotkey.Register(11, 1);
    EXPECT_FALSE(Reaches(pressed, "ctrl+F5")) << "the earlier grab is released";
    EXPECT_TRUE(Reaches(pressed, "alt+F12"));
    hotkey.Unregister();
    EXPECT_FALSE(Reaches(pressed, "alt+F12"));
}

bool MainWindowShown()
{
    QProcess search;
    search.start("xdotool", {"search", "--onlyvisible", "--name", "^Postwatch$"});
    search.waitForFinished();
    return !search.readAllStandardOutput().trimmed().isEmpty();
}

// The stored hotkey of a hidden program shows its main window.
TEST(Hotkey, TheStoredHotkeyShowsTheHiddenMainWindow)
{
    QTemporaryDir profile;
    {
        FileStore store(profile.filePath("registry.reg"));
        TRegistry reg(store);
        reg.OpenKey(StoreKeys::Program, true);
        reg.WriteBool("HotkeyEnabled", true);
        reg.WriteInteger("Hotkey", 4);
        reg.WriteInteger("Modifier", 2);
        reg.WriteBool("StartVisible", false);
    }
    QProcess program;
    QProcessEnvironment environment = QProcessEnvironment::systemEnvironment();
    environment.insert("POSTWATCH_PROFILE", profile.path());
    program.setProcessEnvironment(environment);
    program.start(POSTWATCH_BINARY_DIR "/app/postwatch", {});
    ASSERT_TRUE(program.waitForStarted());
    const InstanceChannel channel(profile.filePath("registry.reg"));
    ASSERT_TRUE(QTest::qWaitFor([&] { return channel.Forward({}); }, 20000));
    ASSERT_TRUE(QTest::qWaitFor([] { return !MainWindowShown(); }, 5000)) << "the logo window hides";

    Press("ctrl+F5");
    EXPECT_TRUE(QTest::qWaitFor(MainWindowShown, 5000));
    program.kill();
    program.waitForFinished();
}

}
