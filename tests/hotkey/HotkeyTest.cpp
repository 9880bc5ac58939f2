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
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>

namespace {

// Another program on the same display, to see which grabs the server holds
// and to hold one itself.
class OtherClient
{
public:
    OtherClient() : connection(xcb_connect(nullptr, nullptr))
    {
        root = xcb_setup_roots_iterator(xcb_get_setup(connection)).data->root;
    }
    ~OtherClient() { xcb_disconnect(connection); }

    // Grabs the key unless another client holds it.
    bool Grab(xcb_keysym_t keysym, quint16 modifiers)
    {
        xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
        xcb_keycode_t* codes = xcb_key_symbols_get_keycode(symbols, keysym);
        xcb_generic_error_t* error = xcb_request_check(
            connection, xcb_grab_key_checked(connection, 1, root, modifiers, codes[0], XCB_GRAB_MODE_ASYNC,
                                             XCB_GRAB_MODE_ASYNC));
        std::free(codes);
        xcb_key_symbols_free(symbols);
        std::free(error);
        return !error;
    }
    bool IsFree(xcb_keysym_t keysym, quint16 modifiers)
    {
        const bool free = Grab(keysym, modifiers);
        xcb_ungrab_key(connection, XCB_GRAB_ANY, root, XCB_MOD_MASK_ANY);
        xcb_flush(connection);
        return free;
    }

private:
    xcb_connection_t* connection;
    xcb_window_t root;
};

constexpr xcb_keysym_t F5 = 0xffc2, F12 = 0xffc9;

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
    OtherClient other;
    EXPECT_TRUE(other.IsFree(F5, XCB_MOD_MASK_CONTROL)) << "the earlier grab is released";
    EXPECT_FALSE(other.IsFree(F12, XCB_MOD_MASK_1 | XCB_MOD_MASK_LOCK));
    EXPECT_TRUE(Reaches(pressed, "alt+F12"));
    hotkey.Unregister();
    EXPECT_TRUE(other.IsFree(F12, XCB_MOD_MASK_1 | XCB_MOD_MASK_2));
    EXPECT_FALSE(Reaches(pressed, "alt+F12"));
}

// A combination another program holds gives no hotkey, and no word of it.
TEST(Hotkey, AHeldCombinationIsNoHotkeySilently)
{
    OtherClient other;
    ASSERT_TRUE(other.Grab(F5, XCB_MOD_MASK_SHIFT));
    static int warnings = 0;
    const QtMessageHandler previous = qInstallMessageHandler([](QtMsgType, const QMessageLogContext&, const QString&) { ++warnings; });
    GlobalHotkey hotkey;
    QSignalSpy pressed(&hotkey, &GlobalHotkey::Pressed);
    hotkey.Register(4, 3);
    EXPECT_FALSE(Reaches(pressed, "shift+F5"));
    qInstallMessageHandler(previous);
    EXPECT_EQ(warnings, 0);
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
