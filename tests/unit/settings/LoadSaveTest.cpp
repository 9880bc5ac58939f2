#include "SettingsFixture.h"

#include "config/FileStore.h"
#include "config/StoreError.h"

#include <QFile>
#include <QTemporaryDir>
#include <QVariant>
#include <algorithm>

using namespace Qt::StringLiterals;

namespace {
struct StoredOption {
    QString Name;
    RegType Type;
    QVariant Value; // uint for DWORD values, QString for strings
};

// The options in the order the store must list them after the first start,
// with their defaults.
const QList<StoredOption> Defaults = {
    {u"CheckingEnabled"_s, RegType::DWord, 1u},  {u"Interval"_s, RegType::DWord, 10u},
    {u"Timeout"_s, RegType::DWord, 30u},         {u"LoadOnStartup"_s, RegType::DWord, 0u},
    {u"StartVisible"_s, RegType::DWord, 1u},     {u"HotkeyEnabled"_s, RegType::DWord, 0u},
    {u"Hotkey"_s, RegType::DWord, 0u},           {u"Modifier"_s, RegType::DWord, 0u},
    {u"ClientToUse"_s, RegType::String, u"Default"_s},
    {u"ConnType"_s, RegType::DWord, 1u},
    {u"Connectoid"_s, RegType::String, u"Default"_s},
    {u"HangUpWhenDone"_s, RegType::DWord, 0u},   {u"HangUpWait"_s, RegType::DWord, 0u},
    {u"HangUpDelay"_s, RegType::DWord, 60u},     {u"NormNotify"_s, RegType::DWord, 3u},
    {u"HighNotify"_s, RegType::DWord, 3u},       {u"LowNotify"_s, RegType::DWord, 3u},
    {u"NormSoundfile"_s, RegType::String, u""_s}, {u"HighSoundfile"_s, RegType::String, u""_s},
    {u"LowSoundfile"_s, RegType::String, u""_s}, {u"NotifyNewOnly"_s, RegType::DWord, 0u},
    {u"QuietHours"_s, RegType::String, u""_s},   {u"QuietBreakThrough"_s, RegType::DWord, 1u},
    {u"BlockBlankFrom"_s, RegType::DWord, 0u},   {u"BlockBlankTo"_s, RegType::DWord, 0u},
    {u"BlockBlankSubject"_s, RegType::DWord, 0u}, {u"BlockZeroLength"_s, RegType::DWord, 0u},
    {u"SaveBlocked"_s, RegType::DWord, 0u},
};

QVariant dataOf(const RegValue& value)
{
    return value.Type == RegType::String ? QVariant(value.Text) : QVariant(value.Number);
}

void expectStored(const RegKey& key, const QList<StoredOption>& expected)
{
    ASSERT_EQ(key.Values().size(), size_t(expected.size()));
    for (qsizetype i = 0; i < expected.size(); ++i) {
        const RegValue& value = key.Values()[i];
        SCOPED_TRACE(expected[i].Name.toStdString());
        EXPECT_EQ(value.Name, expected[i].Name);
        EXPECT_EQ(value.Type, expected[i].Type);
        EXPECT_EQ(dataOf(value), expected[i].Value);
    }
}
}

using FirstStart = SettingsFixture;

TEST_F(FirstStart, WritesAllOptionsWithTheirDefaultsAndTypesInTableOrder)
{
    start();
    const RegKey* key = store.Tree().Find(RootKey::HKEY_CURRENT_USER, ProgramKey);
    ASSERT_TRUE(key);
    expectStored(*key, Defaults);
    EXPECT_FALSE(store.Tree().Find(RootKey::HKEY_CURRENT_USER, AccountsKey));
    EXPECT_TRUE(store.Tree().Find(RootKey::HKEY_CURRENT_USER, BlockedKey));
    EXPECT_TRUE(settings.Accounts().Items().isEmpty());
    EXPECT_TRUE(settings.SelectedAccounts().isEmpty());
}

TEST(FirstStartOnFile, LeavesAllOptionsInTheFileForTheNextStart)
{
    QTemporaryDir dir;
    ASSERT_TRUE(dir.isValid());
    const QString path = dir.filePath(u"registry.reg"_s);
    {
        FileStore store(path);
        Settings settings(store);
        settings.FillLists();
        settings.LoadSettings();
    }
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::ReadOnly));
    const QByteArray text = file.readAll();
    EXPECT_TRUE(text.contains("\"Interval\"=dword:0000000a")) << text.constData();
    EXPECT_TRUE(text.contains("\"ClientToUse\"=\"Default\"")) << text.constData();

    FileStore next(path);
    next.Refresh();
    const RegKey* key = next.Tree().Find(RootKey::HKEY_CURRENT_USER, u"Software\\Tallowfen\\Postwatch\\2.0"_s);
    ASSERT_TRUE(key);
    expectStored(*key, Defaults);
}

using SaveAndLoad = SettingsFixture;

TEST_F(SaveAndLoad, SaveWritesEveryOptionAndALaterLoadGetsThemBack)
{
    addKey(u"Software\\Clients\\Mail\\Evolution"_s, RootKey::HKEY_LOCAL_MACHINE);
    addKey(u"RemoteAccess\\Profile\\Home DSL"_s);
    start();
    settings.SetCheckingEnabled(false);
    settings.SetInterval(25);
    settings.SetTimeout(45);
    settings.SetLoadOnStartup(true);
    settings.SetStartVisible(false);
    settings.SetHotkeyEnabled(true);
    settings.SetHotkey(4);
    settings.SetModifier(2);
    settings.SetClientToUse(u"evolution"_s);
    settings.SetConnType(InitConn);
    settings.SetConnectoid(u"home dsl"_s);
    settings.SetHangUpWhenDone(true);
    settings.SetHangUpWait(true);
    settings.SetHangUpDelay(135);
    settings.SetNormNotify(NotifyPlaySound);
    settings.SetHighNotify(NotifyLaunchClient | NotifyShowList);
    settings.SetLowNotify({});
    settings.SetNormSoundfile(u"/snd/norm.wav"_s);
    settings.SetHighSoundfile(u"/snd/high.wav"_s);
    settings.SetLowSoundfile(u"/snd/low.wav"_s);
    settings.SetNotifyNewOnly(true);
    settings.SetQuietHours(u"22:00-07:00"_s);
    settings.SetQuietBreakThrough(false);
    settings.SetBlockBlankFrom(true);
    settings.SetBlockBlankTo(true);
    settings.SetBlockBlankSubject(true);
    settings.SetBlockZeroLength(true);
    settings.SetSaveBlocked(true);
    store.Tree().Remove(RootKey::HKEY_CURRENT_USER, ProgramKey); // so the values are created in save order
    settings.SaveSettings();

    const QList<StoredOption> saved = {
        {u"CheckingEnabled"_s, RegType::DWord, 0u},  {u"Interval"_s, RegType::DWord, 25u},
        {u"Timeout"_s, RegType::DWord, 45u},         {u"LoadOnStartup"_s, RegType::DWord, 1u},
        {u"StartVisible"_s, RegType::DWord, 0u},     {u"HotkeyEnabled"_s, RegType::DWord, 1u},
        {u"Hotkey"_s, RegType::DWord, 4u},           {u"Modifier"_s, RegType::DWord, 2u},
        {u"ClientToUse"_s, RegType::String, u"Evolution"_s},
        {u"ConnType"_s, RegType::DWord, 2u},
        {u"Connectoid"_s, RegType::String, u"Home DSL"_s},
        {u"HangUpWhenDone"_s, RegType::DWord, 1u},   {u"HangUpWait"_s, RegType::DWord, 1u},
        {u"HangUpDelay"_s, RegType::DWord, 135u},    {u"NormNotify"_s, RegType::DWord, 8u},
        {u"HighNotify"_s, RegType::DWord, 5u},       {u"LowNotify"_s, RegType::DWord, 0u},
        {u"NormSoundfile"_s, RegType::String, u"/snd/norm.wav"_s},
        {u"HighSoundfile"_s, RegType::String, u"/snd/high.wav"_s},
        {u"LowSoundfile"_s, RegType::String, u"/snd/low.wav"_s},
        {u"NotifyNewOnly"_s, RegType::DWord, 1u},
        {u"QuietHours"_s, RegType::String, u"22:00-07:00"_s},
        {u"QuietBreakThrough"_s, RegType::DWord, 0u},
        {u"BlockBlankFrom"_s, RegType::DWord, 1u},   {u"BlockBlankTo"_s, RegType::DWord, 1u},
        {u"BlockBlankSubject"_s, RegType::DWord, 1u}, {u"BlockZeroLength"_s, RegType::DWord, 1u},
        {u"SaveBlocked"_s, RegType::DWord, 1u},
    };
    expectStored(*store.Tree().Find(RootKey::HKEY_CURRENT_USER, ProgramKey), saved);

    Settings again(store);
    again.FillLists();
    again.LoadSettings();
    again.SaveSettings();
    expectStored(*store.Tree().Find(RootKey::HKEY_CURRENT_USER, ProgramKey), saved);
}

using LoadRules = SettingsFixture;

TEST_F(LoadRules, IntervalOutside1To999KeepsThePreviousValue)
{
    putInteger(u"Interval"_s, 0);
    start();
    EXPECT_EQ(settings.Interval(), 10) << "the default stays";
    settings.SaveSettings();
    EXPECT_EQ(storedNumber(u"Interval"_s), 10u) << "the ignored value is not saved back";
    putInteger(u"Interval"_s, 20);
    settings.LoadSettings();
    EXPECT_EQ(settings.Interval(), 20);
    for (int ignored : {1000, 0, -1}) {
        putInteger(u"Interval"_s, ignored);
        settings.LoadSettings();
        EXPECT_EQ(settings.Interval(), 20) << ignored;
    }
    for (int taken : {1, 999}) {
        putInteger(u"Interval"_s, taken);
        settings.LoadSettings();
        EXPECT_EQ(settings.Interval(), taken);
    }
}

TEST_F(LoadRules, TimeoutIsClampedInto1To999)
{
    const std::pair<int, int> cases[] = {{0, 1}, {5000, 999}, {-7, 1}, {1, 1}, {999, 999}, {45, 45}};
    for (auto [storedValue, loaded] : cases) {
        putInteger(u"Timeout"_s, storedValue);
        settings.LoadSettings();
        EXPECT_EQ(settings.Timeout(), loaded) << storedValue;
    }
}

TEST_F(LoadRules, HotkeyAndModifierOutOfRangeChooseNoItemAndStayNoneThroughASave)
{
    putInteger(u"Hotkey"_s, 12);
    putInteger(u"Modifier"_s, 4);
    start();
    EXPECT_EQ(settings.Hotkey(), Settings::NoItem);
    EXPECT_EQ(settings.Modifier(), Settings::NoItem);
    settings.SaveSettings();
    settings.LoadSettings();
    EXPECT_EQ(settings.Hotkey(), Settings::NoItem);
    EXPECT_EQ(settings.Modifier(), Settings::NoItem);

    putInteger(u"Hotkey"_s, 11);
    putInteger(u"Modifier"_s, 3);
    settings.LoadSettings();
    EXPECT_EQ(settings.Hotkey(), 11);
    EXPECT_EQ(settings.Modifier(), 3);
}

TEST_F(LoadRules, ConnTypeOutOfRangeKeepsTheMode)
{
    putInteger(u"ConnType"_s, 3);
    start();
    EXPECT_EQ(settings.ConnType(), WaitConn) << "the default stays";
    settings.SaveSettings();
    EXPECT_EQ(storedNumber(u"ConnType"_s), 1u) << "the ignored value is not saved back";

    putInteger(u"ConnType"_s, 2);
    settings.LoadSettings();
    putInteger(u"ConnType"_s, -1);
    settings.LoadSettings();
    EXPECT_EQ(settings.ConnType(), InitConn);
    settings.SaveSettings();
    EXPECT_EQ(storedNumber(u"ConnType"_s), 2u);
}

TEST_F(LoadRules, HangUpDelayIsSplitIntoMinutesAndSeconds)
{
    const std::tuple<int, int, int> cases[] = {{60, 1, 0}, {75, 1, 15}, {59, 0, 59}, {-75, -1, -15}};
    for (auto [seconds, minutes, rest] : cases) {
        putInteger(u"HangUpDelay"_s, seconds);
        settings.LoadSettings();
        EXPECT_EQ(settings.HangUpDelayMin(), minutes) << seconds;
        EXPECT_EQ(settings.HangUpDelaySec(), rest) << seconds;
        settings.SaveSettings();
        EXPECT_EQ(int(storedNumber(u"HangUpDelay"_s)), seconds);
    }

    settings.SetHangUpDelayMin(0);
    settings.SetHangUpDelaySec(90);
    settings.SaveSettings();
    EXPECT_EQ(storedNumber(u"HangUpDelay"_s), 90u);

    settings.SetHangUpDelayMin(std::numeric_limits<int>::max());
    EXPECT_EQ(settings.HangUpDelay(), std::numeric_limits<int>::max()) << "a sum too large saturates";
}

// Said on one line, whatever the text holds, and once for the same text;
// a save leaves it for the user to mend.
TEST_F(LoadRules, QuietHoursThatAreNotTwoDifferentTimesAreNoneSaidOnceAndKept)
{
    putString(u"QuietHours"_s, u"22:00-22:00\n07:00"_s);
    testing::internal::CaptureStderr();
    start();
    settings.LoadSettings();
    const std::string said = testing::internal::GetCapturedStderr();
    EXPECT_EQ(std::count(said.begin(), said.end(), '\n'), 1) << said;
    EXPECT_NE(said.find("22:00-22:00 07:00"), std::string::npos) << said;
    EXPECT_FALSE(settings.QuietHoursRule());
    settings.SaveSettings();
    EXPECT_EQ(storedText(u"QuietHours"_s), u"22:00-22:00\n07:00"_s);
}

TEST_F(LoadRules, EachNotifyBitSetsItsOwnFlag)
{
    putInteger(u"NormNotify"_s, 9);
    putInteger(u"HighNotify"_s, 6);
    putInteger(u"LowNotify"_s, 0xF4);
    start();
    EXPECT_EQ(settings.NormNotify(), NotifyShowList | NotifyPlaySound);
    EXPECT_EQ(settings.HighNotify(), NotifyFlashIcon | NotifyLaunchClient);
    EXPECT_EQ(settings.LowNotify(), NotifyLaunchClient | NotifyDesktop) << "bits beyond the five flags have no box";

    NotifyFlags norm = settings.NormNotify();
    norm.setFlag(NotifyShowList, false);
    norm.setFlag(NotifyPlaySound, false);
    settings.SetNormNotify(norm);
    settings.SaveSettings();
    EXPECT_EQ(storedNumber(u"NormNotify"_s), 0u);
    EXPECT_EQ(storedNumber(u"HighNotify"_s), 6u);
    EXPECT_EQ(storedNumber(u"LowNotify"_s), 0x14u);
}

TEST_F(LoadRules, SoundFilesAndPlainFlagsAreTakenAsTheyAre)
{
    putString(u"HighSoundfile"_s, u"  /home/ann/Ding Dong.WAV "_s);
    putInteger(u"StartVisible"_s, 7);
    putInteger(u"SaveBlocked"_s, 1);
    start();
    EXPECT_EQ(settings.HighSoundfile(), u"  /home/ann/Ding Dong.WAV "_s);
    EXPECT_TRUE(settings.StartVisible()) << "any non-zero number is true";
    EXPECT_TRUE(settings.SaveBlocked());
}

using StoreErrors = SettingsFixture;

TEST_F(StoreErrors, AValueOfAnotherTypeEndsTheLoadWithAnErrorNamingIt)
{
    putString(u"Interval"_s, u"10"_s);
    try {
        start();
        FAIL() << "LoadSettings took a string as a number";
    } catch (const EStoreError& e) {
        EXPECT_TRUE(e.Message.contains(u"\"Interval\""_s)) << e.what();
        EXPECT_TRUE(e.Message.contains(u"REG_SZ"_s)) << e.what();
        EXPECT_TRUE(e.Message.contains(u"REG_DWORD"_s)) << e.what();
    }
    EXPECT_EQ(storedText(u"Interval"_s), u"10"_s) << "the stored value is kept";
    EXPECT_TRUE(stored(u"CheckingEnabled"_s)) << "options before it were handled";
    EXPECT_FALSE(stored(u"Timeout"_s)) << "the load ended at the bad value";
}

TEST_F(StoreErrors, TextAndBooleanOptionsCheckTheirTypesToo)
{
    putInteger(u"ClientToUse"_s, 1);
    EXPECT_THROW(start(), EStoreError);
    putString(u"ClientToUse"_s, u"Default"_s);
    putString(u"SaveBlocked"_s, u"true"_s);
    EXPECT_THROW(settings.LoadSettings(), EStoreError);
    EXPECT_EQ(storedText(u"SaveBlocked"_s), u"true"_s);
}
