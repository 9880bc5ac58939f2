#include "SettingsFixture.h"

#include <QList>

using namespace Qt::StringLiterals;

// Records every change notification, and for the hotkey what the holder
// shows at that moment.
class ChangeSignals : public SettingsFixture
{
protected:
    struct HotkeySeen {
        bool Enabled;
        int Key;
        int Modifier;
        bool operator==(const HotkeySeen&) const = default;
    };

    QList<int> timeouts;
    QList<HotkeySeen> hotkeys;
    QList<bool> startups;

    void SetUp() override
    {
        QObject::connect(&settings, &Settings::TimeoutChanged, [this](int ms) { timeouts << ms; });
        QObject::connect(&settings, &Settings::HotkeyChanged, [this] {
            hotkeys << HotkeySeen{settings.HotkeyEnabled(), settings.Hotkey(), settings.Modifier()};
        });
        QObject::connect(&settings, &Settings::LoadOnStartupChanged, [this](bool on) { startups << on; });
    }

    void clear()
    {
        timeouts.clear();
        hotkeys.clear();
        startups.clear();
    }
};

TEST_F(ChangeSignals, FirstStartAppliesTimeoutAndHotkeyOnce)
{
    start();
    EXPECT_EQ(timeouts, QList<int>({30000}));
    EXPECT_EQ(hotkeys, QList<HotkeySeen>({{false, 0, 0}}));
    EXPECT_TRUE(startups.isEmpty()) << "false and unchanged: no Startup entry to touch";
}

TEST_F(ChangeSignals, EveryLoadAppliesTheLoadedValuesEvenWhenUnchanged)
{
    putInteger(u"Timeout"_s, 45);
    putInteger(u"HotkeyEnabled"_s, 1);
    putInteger(u"Hotkey"_s, 4);
    putInteger(u"Modifier"_s, 2);
    start();
    settings.LoadSettings();
    EXPECT_EQ(timeouts, QList<int>({45000, 45000}));
    EXPECT_EQ(hotkeys, QList<HotkeySeen>({{true, 4, 2}, {true, 4, 2}})) << "once per load, with all three read";
}

TEST_F(ChangeSignals, LoadOnStartupFiresAtEveryLoadThatFindsItTrueAndWhenItTurnsFalse)
{
    putInteger(u"LoadOnStartup"_s, 1);
    start();
    settings.LoadSettings();
    putInteger(u"LoadOnStartup"_s, 0);
    settings.LoadSettings();
    settings.LoadSettings();
    EXPECT_EQ(startups, QList<bool>({true, true, false}));
}

TEST_F(ChangeSignals, SettersFireOnlyOnChange)
{
    start();
    clear();
    settings.SetTimeout(45);
    settings.SetTimeout(45);
    settings.SetTimeout(0);
    EXPECT_EQ(timeouts, QList<int>({45000, 1000}));

    settings.SetHotkeyEnabled(true);
    settings.SetHotkey(4);
    settings.SetHotkey(4);
    settings.SetModifier(2);
    settings.SetHotkey(20);
    EXPECT_EQ(hotkeys, QList<HotkeySeen>({{true, 0, 0}, {true, 4, 0}, {true, 4, 2}, {true, Settings::NoItem, 2}}));

    settings.SetLoadOnStartup(true);
    settings.SetLoadOnStartup(true);
    settings.SetLoadOnStartup(false);
    EXPECT_EQ(startups, QList<bool>({true, false}));
}
