// The Windows side of the hotkey, dial-up, wake and sound services, as far
// as the test can drive them: posted messages stand in for key presses and
// power broadcasts.

#include "platform/DialUp.h"
#include "platform/GlobalHotkey.h"
#include "platform/NetworkWatch.h"
#include "platform/SleepWatch.h"
#include "platform/SoundPlayer.h"

#include <QCoreApplication>
#include <QDataStream>
#include <QFile>
#include <QSignalSpy>
#include <QTemporaryDir>
#include <gtest/gtest.h>

#include <windows.h>
#include <mmsystem.h>

namespace {

void PostToThread(UINT message, WPARAM wParam)
{
    PostThreadMessageW(GetCurrentThreadId(), message, wParam, 0);
    QCoreApplication::processEvents();
}

// Whether the combination is taken: a second registration is refused.
bool Held(UINT modifiers, UINT key)
{
    constexpr int ProbeId = 0xB000;
    if (!RegisterHotKey(nullptr, ProbeId, modifiers | MOD_NOREPEAT, key))
        return true;
    UnregisterHotKey(nullptr, ProbeId);
    return false;
}

// The program's hotkey message as Windows posts it for a thread hotkey.
bool PressReaches(GlobalHotkey& hotkey)
{
    QSignalSpy pressed(&hotkey, &GlobalHotkey::Pressed);
    PostToThread(WM_HOTKEY, 1);
    return pressed.count() == 1;
}

TEST(WindowsHotkey, RegisterReplacesTheCombinationAndUnregisterReleasesIt)
{
    GlobalHotkey hotkey;
    hotkey.Register(4, 2);
    EXPECT_TRUE(Held(MOD_CONTROL, VK_F5));
    EXPECT_TRUE(PressReaches(hotkey));

    hotkey.Register(11, 1);
    EXPECT_FALSE(Held(MOD_CONTROL, VK_F5)) << "the earlier combination is released";
    EXPECT_TRUE(Held(MOD_ALT, VK_F12));
    EXPECT_TRUE(PressReaches(hotkey));

    hotkey.Unregister();
    EXPECT_FALSE(Held(MOD_ALT, VK_F12));
    EXPECT_FALSE(PressReaches(hotkey));
}

TEST(WindowsHotkey, ACombinationHeldElsewhereGivesNoHotkey)
{
    constexpr int OtherId = 0xB001;
    ASSERT_TRUE(RegisterHotKey(nullptr, OtherId, MOD_SHIFT, VK_F5));
    GlobalHotkey hotkey;
    hotkey.Register(4, 3);
    EXPECT_FALSE(PressReaches(hotkey));
    UnregisterHotKey(nullptr, OtherId);
}

// The entries are written here and removed again; any the machine has are
// left alone.
TEST(WindowsDialUp, OnlineHereAndTheEntriesAreTheRemoteAccessProfiles)
{
    const QStringList written {QStringLiteral("B\u00fcro Modem"), QStringLiteral("Work VPN")};
    const QString profiles = QStringLiteral("RemoteAccess\\Profile\\");
    for (const QString& name : written) {
        HKEY key = nullptr;
        const QString path = profiles + name;
        ASSERT_EQ(RegCreateKeyExW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>(path.utf16()), 0, nullptr, 0,
                                  KEY_WRITE, nullptr, &key, nullptr),
                  ERROR_SUCCESS);
        RegCloseKey(key);
    }
    const std::unique_ptr<TDialUp> dialUp = SystemDialUp();
    const QStringList listed = dialUp->Connectoids();
    for (const QString& name : written) {
        EXPECT_TRUE(listed.contains(name)) << name.toStdString();
        RegDeleteKeyW(HKEY_CURRENT_USER, reinterpret_cast<const wchar_t*>((profiles + name).utf16()));
    }
    EXPECT_TRUE(dialUp->IsOnline());
    EXPECT_FALSE(TNetworkWatch().Offline());
}

TEST(WindowsSleep, OnlyAResumeTellsOfWaking)
{
    TSleepWatch watch;
    QSignalSpy resumed(&watch, &TSleepWatch::Resumed);
    PostToThread(WM_POWERBROADCAST, PBT_APMSUSPEND);
    PostToThread(WM_POWERBROADCAST, PBT_APMPOWERSTATUSCHANGE);
    EXPECT_EQ(resumed.count(), 0);
    PostToThread(WM_POWERBROADCAST, PBT_APMRESUMEAUTOMATIC);
    EXPECT_EQ(resumed.count(), 1);
    PostToThread(WM_POWERBROADCAST, PBT_APMRESUMESUSPEND);
    EXPECT_EQ(resumed.count(), 2);
}

// Three seconds of silence, 8-bit mono at 8 kHz.
void WriteSilentWav(const QString& path)
{
    constexpr quint32 Rate = 8000, Bytes = 3 * Rate;
    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    QDataStream out(&file);
    out.setByteOrder(QDataStream::LittleEndian);
    out.writeRawData("RIFF", 4);
    out << quint32(36 + Bytes);
    out.writeRawData("WAVEfmt ", 8);
    out << quint32(16) << quint16(1) << quint16(1) << Rate << Rate << quint16(1) << quint16(8);
    out.writeRawData("data", 4);
    out << Bytes;
    out.writeRawData(QByteArray(Bytes, char(0x80)).constData(), Bytes);
}

// A sound that plays on makes PlaySound with SND_NOSTOP refuse another.
TEST(WindowsSound, AWavPlaysOnAfterPlayReturnsAndMissingFilesAreSilence)
{
    QTemporaryDir dir;
    const QString wav = dir.filePath(QStringLiteral("chime.WAV"));
    WriteSilentWav(wav);
    SoundPlayer player;
    player.Play(dir.filePath(QStringLiteral("missing.wav")));
    player.Play(dir.filePath(QStringLiteral("missing.ogg")));
    player.Play(wav);
    EXPECT_FALSE(PlaySoundW(reinterpret_cast<const wchar_t*>(wav.utf16()), nullptr,
                            SND_FILENAME | SND_ASYNC | SND_NOSTOP | SND_NODEFAULT));
    PlaySoundW(nullptr, nullptr, 0);
}

}
