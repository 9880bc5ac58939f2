// What a finished check tells the user, the delayed hang-up, and Launch
// Client, on a fake client and a recording host.

#include "EngineFixture.h"

#include "config/AccountRecord.h"
#include "config/AccountVoice.h"
#include "config/Registry.h"
#include "engine/ClientLauncher.h"
#include "engine/Notifier.h"
#include "engine/RowFormat.h"
#include "engine/SeenMessages.h"

#include <QFile>
#include <QTemporaryDir>
#include <optional>

namespace {

class Notify : public EngineTest
{
protected:
    // A check of one account with one message of each given priority.
    void CheckWith(const QList<int>& priorities)
    {
        QList<TFakeMailClient::Message> messages;
        for (int digit : priorities)
            messages << FakeMessage(QStringLiteral(" Sender %1").arg(messages.size() + 1),
                                    QStringLiteral(" Subject %1").arg(messages.size() + 1), digit);
        AddAccount("Home", messages);
        Load();
        settings.SetHighNotify({});
        settings.SetNormNotify({});
        settings.SetLowNotify({});
    }
    void Finish()
    {
        CheckNow();
        RunSteps();
    }
};

constexpr int High = 1, Normal = 3, Low = 5; // X-Priority digits

TEST_F(Notify, TheHighestPriorityPresentChoosesTheSetAndFallsBackToLowerClasses)
{
    CheckWith({High});
    settings.SetNormNotify(NotifyShowList | NotifyFlashIcon);
    settings.SetLowNotify(NotifyPlaySound);
    settings.SetLowSoundfile("/sounds/low.wav");
    Finish();
    EXPECT_EQ(host.Told, (QStringList{"show", "flash"})) << "Normal's set, and no sound";

    settings.SetNormNotify({});
    Finish();
    EXPECT_EQ(host.Told.mid(2), QStringList{"play /sounds/low.wav"}) << "down to Low, with Low's sound";
}

TEST_F(Notify, SoundFilesPlayOpenOrAreIgnoredByTheirNames)
{
    CheckWith({Low, Normal});
    settings.SetNormNotify(NotifyPlaySound);
    for (const char* file : {"/s/ding.wav", "x.wav", "a.WAV", "x.wa", "/usr/share/sounds/message.oga", "tune.mp3"}) {
        settings.SetNormSoundfile(file);
        Finish();
    }
    EXPECT_EQ(host.Told, (QStringList{"play /s/ding.wav", "play x.wav", "open a.WAV", "play /usr/share/sounds/message.oga",
                                      "open tune.mp3"}));
}

// Launch Client runs last of the three: the mail program is what the user
// sees, with the window hidden again and the icon still.
TEST_F(Notify, ShowFlashAndLaunchEndWithTheWindowHiddenAndTheFlashingStopped)
{
    CheckWith({Normal});
    settings.SetNormNotify(NotifyShowList | NotifyFlashIcon | NotifyLaunchClient);
    TRegistry reg(store, RootKey::HKEY_LOCAL_MACHINE);
    reg.OpenKey(StoreKeys::MailClients, true);
    reg.WriteString(QString(), "Mail");
    reg.OpenKey(StoreKeys::MailClients + "Mail\\Protocols\\mailto\\Shell\\Open\\Command", true);
    reg.WriteString(QString(), "\"/opt/Mail App/mail\" --compose %1");
    reg.CloseKey();
    host.OnLaunch = [this] { engine->LaunchMailClient(); };
    CheckNow();
    const int stoppedBefore = host.FlashingStopped;
    RunSteps();
    EXPECT_EQ(host.Told, (QStringList{"show", "flash", "launch", "start \"/opt/Mail App/mail\"", "hide"}));
    EXPECT_EQ(host.FlashingStopped, stoppedBefore + 1);
}

// Without the program's key there is nothing to start: the default one
// missing means no mail program at all, a chosen one missing is named.
TEST_F(Notify, LaunchClientNeedsBothKeysAndQuotesCutThePath)
{
    AddAccount("Home", {});
    Load();
    engine->LaunchMailClient();
    settings.Clients().SetItems({"Mail"});
    settings.SetClientToUse("Mail");
    engine->LaunchMailClient();
    ASSERT_EQ(host.Boxes.size(), 2);
    EXPECT_TRUE(host.Boxes[0].startsWith("Error | No mail program is set up for mailto links.")) << host.Boxes[0].toStdString();
    EXPECT_TRUE(host.Boxes[1].startsWith("Error | The mail program \"Mail\" chosen on the General Options tab"))
        << host.Boxes[1].toStdString();
    EXPECT_TRUE(host.Told.isEmpty());

    EXPECT_EQ(ClientCommand("\"/opt/Mail App/mail\" -compose"), "/opt/Mail App/mail");
    EXPECT_EQ(ClientCommand("thunderbird -compose"), "thunderbird -compose");
    EXPECT_EQ(ClientCommand("mail\"x\""), "mail");
}

TEST_F(Notify, NoRowsNothingToldAndTheDialledConnectionHungUpAtOnce)
{
    CheckWith({});
    settings.SetNormNotify(NotifyShowList | NotifyPlaySound);
    settings.SetHangUpWhenDone(true);
    settings.SetHangUpWait(true);
    engine->Connection().DialConnection = 7;
    Finish();
    EXPECT_EQ(host.Panels[2], "No new messages");
    EXPECT_TRUE(host.Told.isEmpty());
    EXPECT_EQ(dialUp.HungUp, QList<quint32>{7});
}

TEST_F(Notify, AWaitingHangUpComesOnTheDelaysTickAndCheckNowStopsIt)
{
    CheckWith({Normal, Normal});
    settings.SetHangUpWhenDone(true);
    settings.SetHangUpWait(true);
    settings.SetHangUpDelay(65);
    engine->Connection().DialConnection = 7;
    Finish();
    ASSERT_TRUE(host.HangUpTimerOn);
    for (int tick = 1; tick < 65; ++tick)
        engine->TimerHangUpTimer();
    EXPECT_TRUE(dialUp.HungUp.isEmpty());
    engine->TimerHangUpTimer();
    EXPECT_EQ(dialUp.HungUp, QList<quint32>{7});
    EXPECT_FALSE(host.HangUpTimerOn);

    Finish();
    ASSERT_TRUE(host.HangUpTimerOn);
    CheckNow();
    EXPECT_FALSE(host.HangUpTimerOn);
}

TEST_F(Notify, ACanceledCheckNotifiesForTheRowsItListed)
{
    CheckWith({Normal, High, Normal});
    settings.SetHighNotify(NotifyShowList);
    CheckNow();
    RunSteps();
    host.Told.clear();
    client.Waiting = [this](const QString& sent) {
        if (sent == "TOP 3 0")
            Cancel();
    };
    Finish();
    EXPECT_EQ(host.Panels[0], "Canceled");
    EXPECT_EQ(host.Panels[2], "2 new messages");
    EXPECT_EQ(host.Told, QStringList{"show"});
}

// The bubble: the status text, the most urgent first, five lines at most;
// it also stands in for flashing where there is no tray, and carries the
// sound where the server plays it.
TEST_F(Notify, TheDesktopNoticeSaysWhatCameAndStandsInForAMissingTray)
{
    CheckWith({Low, Normal, High, Normal, Normal, Normal, Normal});
    settings.SetHighNotify(NotifyDesktop | NotifyPlaySound);
    settings.SetHighSoundfile("/s/high.wav");
    host.ServerPlaysSound = true;
    Finish();
    ASSERT_EQ(host.Notices.size(), 1);
    const DesktopNotice& notice = host.Notices[0];
    EXPECT_EQ(notice.Summary, "7 new messages");
    EXPECT_EQ(notice.Lines, (QStringList{"Sender 3: Subject 3", "Sender 2: Subject 2", "Sender 4: Subject 4",
                                         "Sender 5: Subject 5", "Sender 6: Subject 6"}));
    EXPECT_EQ(notice.Level, DesktopNotice::Critical);
    EXPECT_EQ(NoticeLine(" \"Jonas Weber\" <jonas@example.net>", " Photos"), "Jonas Weber: Photos");
    EXPECT_EQ(NoticeLine(" <board@example.org>", " Minutes"), "<board@example.org>: Minutes");
    EXPECT_EQ(NoticeLine(" Lena Becker <lena@example.org>", " "), "Lena Becker") << "no subject, no dangling colon";
    EXPECT_EQ(NoticeLine(" Ann", QString(100, 'x')).size(), 80);
    EXPECT_EQ(NoticeLine(" Ann", QString(73, 'x') + QString::fromUtf8("😀").repeated(10)),
              "Ann: " + QString(73, 'x') + QChar(0x2026))
        << "an emoji is not cut in half";
    EXPECT_EQ(notice.SoundFile, "/s/high.wav");
    EXPECT_EQ(host.Told, QStringList{"notice 7 new messages"}) << "the server plays the sound, not us";

    settings.SetHighNotify(NotifyFlashIcon);
    host.HasTray = false;
    host.Told.clear();
    Finish();
    EXPECT_EQ(host.Told, QStringList{"notice 7 new messages"});
    EXPECT_TRUE(host.Notices.last().SoundFile.isEmpty());
}

// While it is quiet the list and the status bar say what came, and High
// breaks through; when the quiet ends, one notice tells of the rows kept
// back that are still listed.
TEST_F(Notify, WhileQuietOnlyHighIsToldAndTheEndTellsWhatCameOnce)
{
    CheckWith({Normal, Low});
    settings.SetNormNotify(NotifyShowList | NotifyDesktop | NotifyPlaySound);
    settings.SetNormSoundfile("/s/n.wav");
    settings.SetQuietHours("10:30-11:00"); // the clock says 10:40
    Finish();
    EXPECT_EQ(host.Panels[2], "2 new messages");
    EXPECT_TRUE(host.Told.isEmpty());
    Tick();
    EXPECT_EQ(host.QuietLine, "Quiet hours until " + HoursAndMinutes(QTime(11, 0)));

    Mailbox("Home").Messages.removeLast();
    Mailbox("Home").Messages << FakeMessage(" Bea", " Urgent", High);
    Finish();
    EXPECT_EQ(host.Told, (QStringList{"show", "play /s/n.wav", "notice 1 new messages"}));
    EXPECT_EQ(host.Notices.last().Lines, QStringList{"Bea: Urgent"});

    host.Told.clear();
    Clock.setTime(QTime(11, 0));
    Tick();
    EXPECT_EQ(host.Told, (QStringList{"show", "play /s/n.wav", "notice 1 new messages"}));
    EXPECT_EQ(host.Notices.last().Lines, QStringList{"Sender 1: Subject 1"}) << "the Low one is gone, Bea was told";
    EXPECT_EQ(host.QuietLine, "");
    Tick();
    EXPECT_EQ(host.Told.size(), 3) << "once";
}

TEST_F(Notify, DoNotDisturbKeepsNewsBackUntilTheTraysOffAndTheDesktopsToo)
{
    using TChoice = TQuietTime::TDoNotDisturb;
    CheckWith({Normal});
    settings.SetNormNotify(NotifyFlashIcon);
    engine->DoNotDisturb(TChoice::ForOneHour);
    EXPECT_EQ(host.QuietLine, "Do not disturb until " + HoursAndMinutes(QTime(11, 40)));
    Finish();
    engine->SetDesktopDoNotDisturb(true);
    Finish();
    engine->DoNotDisturb(TChoice::Off);
    EXPECT_TRUE(host.Told.isEmpty()) << "the desktop still says do not disturb";
    engine->SetDesktopDoNotDisturb(false);
    EXPECT_EQ(host.Told, QStringList{"flash"}) << "one notice for both checks";
}

// Announcing new messages only: what was seen lives in a file that a new
// engine reads again, and only an account checked to its end replaces it.
class NotifyNewOnly : public Notify
{
protected:
    void SetUp() override
    {
        Notify::SetUp();
        Restart();
    }
    void Restart()
    {
        seen.emplace(path);
        Seen = &*seen;
        Rebuild();
    }
    void Announce(int priority = Normal)
    {
        CheckWith({priority, priority});
        settings.SetNormNotify(NotifyDesktop);
        settings.SetHighNotify(NotifyDesktop);
    }

    QTemporaryDir folder;
    const QString path = folder.filePath("seen-messages");
    std::optional<TSeenMessages> seen;
};

TEST_F(NotifyNewOnly, OffEveryCheckAnnouncesOnOnlyNewMessagesEvenAfterARestart)
{
    Announce();
    Finish();
    Finish();
    EXPECT_EQ(host.Notices.size(), 2);
    EXPECT_FALSE(QFile::exists(path)) << "nothing remembered while the option is off";

    settings.SetNotifyNewOnly(true);
    Finish();
    Finish();
    ASSERT_EQ(host.Notices.size(), 3);
    EXPECT_EQ(host.Panels[2], "2 new messages");

    Mailbox("Home").Messages << FakeMessage(" Bea", " Third", High);
    Restart();
    Finish();
    ASSERT_EQ(host.Notices.size(), 4);
    EXPECT_EQ(host.Notices.last().Summary, "1 new messages");
    EXPECT_EQ(host.Notices.last().Lines, QStringList{"Bea: Third"});
    EXPECT_EQ(host.Panels[2], "3 new messages");
}

// What quiet kept back is still told after a restart, and then only once.
TEST_F(NotifyNewOnly, MailKeptBackByQuietIsToldAfterARestartOnce)
{
    Announce();
    settings.SetNotifyNewOnly(true);
    settings.SetQuietHours("10:30-11:00"); // the clock says 10:40
    Finish();
    EXPECT_TRUE(host.Notices.isEmpty());
    Restart();
    Finish();
    EXPECT_TRUE(host.Notices.isEmpty()) << "still quiet";
    Clock.setTime(QTime(11, 0));
    Tick();
    ASSERT_EQ(host.Notices.size(), 1);
    EXPECT_EQ(host.Notices.last().Summary, "2 new messages");
    Restart();
    Finish();
    EXPECT_EQ(host.Notices.size(), 1) << "told, so remembered";
}

TEST_F(NotifyNewOnly, WhatItRemembersIsClosedToOtherUsers)
{
    Announce();
    settings.SetNotifyNewOnly(true);
    Finish();
    ASSERT_TRUE(QFile::exists(path));
    EXPECT_EQ(QFile(path).permissions() & (QFile::ReadGroup | QFile::ReadOther), 0);
}

TEST_F(NotifyNewOnly, ACanceledAccountKeepsWhatItHadAndAnUnreadableFileCountsAsEmpty)
{
    Announce();
    settings.SetNotifyNewOnly(true);
    Finish();
    client.Waiting = [this](const QString& sent) {
        if (sent == "TOP 2 0")
            Cancel();
    };
    Finish();
    EXPECT_EQ(host.Panels[0], "Canceled");
    client.Waiting = {};
    Finish();
    EXPECT_EQ(host.Notices.size(), 1) << "the second message was seen before the canceled check";

    QFile file(path);
    ASSERT_TRUE(file.open(QIODevice::WriteOnly));
    file.write("{\"Home\": [1, 2");
    file.close();
    Restart();
    Finish();
    ASSERT_EQ(host.Notices.size(), 2);
    EXPECT_EQ(host.Notices.last().Summary, "2 new messages");
}

// An account may tell its mail in ways of its own. Of the accounts with
// mail of the highest priority, the first in the account order speaks.
class NotifyPerAccount : public Notify
{
protected:
    void SetUp() override
    {
        Notify::SetUp();
        AddAccount("Home", {});
        AddAccount("Work", {});
        Load();
        settings.SetHighNotify(NotifyFlashIcon);
        settings.SetNormNotify(NotifyShowList);
        settings.SetLowNotify({});
        TRegistry reg(store);
        reg.OpenKey(TAccountRecord::KeyOf("Work"), false);
        TAccountVoice::Write(reg, TAccountVoice{{}, {NotifyPlaySound, "/s/work.wav"}, {NotifyDesktop, {}}});
    }
    QStringList ToldFor(const QList<int>& home, const QList<int>& work)
    {
        for (const auto& [account, priorities] : {std::pair{"Home", home}, {"Work", work}}) {
            Mailbox(account).Messages.clear();
            for (int digit : priorities)
                Mailbox(account).Messages << FakeMessage(" Ann", " Hello", digit);
        }
        host.Told.clear();
        Finish();
        return host.Told;
    }
};

TEST_F(NotifyPerAccount, AnAccountsOwnWaysPlayItsSoundAndFallBackWithinThem)
{
    EXPECT_EQ(ToldFor({}, {Normal}), QStringList{"play /s/work.wav"}) << "no list shown, as Work chose";
    EXPECT_EQ(ToldFor({Normal}, {}), QStringList{"show"});
    EXPECT_EQ(ToldFor({Low}, {Normal}), QStringList{"play /s/work.wav"}) << "the highest priority decides";
    EXPECT_EQ(ToldFor({Normal}, {High}), QStringList{"play /s/work.wav"})
        << "Work's High has none: its own Normal, not the general High";
    EXPECT_EQ(ToldFor({}, {Low}), QStringList{"notice 1 new messages"});
    EXPECT_EQ(ToldFor({Normal}, {Normal}), QStringList{"show"}) << "Home comes first";
}

// The account order decides, whatever order the rows come in.
TEST_F(NotifyPerAccount, AmongEqualPrioritiesTheAccountOrderDecidesNotTheRowOrder)
{
    MessageEntry work, home, gone;
    for (auto [entry, account] : {std::pair{&work, "Work"}, {&home, "Home"}, {&gone, "Gone"}}) {
        entry->Priority = "Normal";
        entry->Account = account;
    }
    TNotifier notifier(settings, host);
    notifier.NotifyByPriority({&gone, &work, &home});
    EXPECT_EQ(host.Told, QStringList{"show"});
    host.Told.clear();
    notifier.NotifyByPriority({&gone, &work});
    EXPECT_EQ(host.Told, QStringList{"play /s/work.wav"}) << "an account no longer listed comes last";
}

TEST_F(NotifyPerAccount, WaysThatCannotBeReadLeaveTheGeneralOnesAndSaySoOnce)
{
    TRegistry reg(store);
    reg.OpenKey(TAccountRecord::KeyOf("Work"), false);
    reg.WriteString("NormNotify", "loud");
    testing::internal::CaptureStderr();
    EXPECT_EQ(ToldFor({}, {Normal}), QStringList{"show"});
    EXPECT_EQ(ToldFor({}, {Normal}), QStringList{"show"});
    const QString said = QString::fromStdString(testing::internal::GetCapturedStderr());
    EXPECT_EQ(host.Panels[0], "Done");
    EXPECT_TRUE(Errors.isEmpty());
    EXPECT_EQ(said.count("postwatch: Work: its own notification settings cannot be read"), 1) << said.toStdString();
    EXPECT_TRUE(said.contains("\"NormNotify\"")) << said.toStdString();
}

}
