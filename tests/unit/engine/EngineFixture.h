#pragma once

#include "FakeMailClient.h"
#include "engine/CheckEngine.h"
#include "engine/EngineHost.h"
#include "engine/MessageList.h"
#include "engine/SeenMessages.h"
#include "engine/SummaryCache.h"
#include "base/Guard.h"
#include "config/RegistryStore.h"
#include "config/Settings.h"
#include "tests/support/ScriptedDialUp.h"
#include "tests/support/TestAccounts.h"

#include <QLocale>
#include <QRegularExpression>
#include <gtest/gtest.h>

#include <deque>
#include <ostream>
#include <vector>

inline void PrintTo(const QString& text, std::ostream* out)
{
    *out << '"' << text.toStdString() << '"';
}

inline void PrintTo(const QStringList& texts, std::ostream* out)
{
    *out << '{' << texts.join(QStringLiteral(", ")).toStdString() << '}';
}

// A host that records what the engine shows and answers its questions from
// a script (No when the script has run out).
class TRecordingHost : public TEngineHost
{
public:
    QString Panels[3];
    QStringList PanelHistory; // "0: Checking Home for mail", ...
    // "caption | text | owner", owner "main" or "none"; ShowMessage's
    // caption is "<title>".
    QStringList Boxes;
    std::deque<bool> Answers;
    bool Timer1Armed = false;
    int FlashingStopped = 0;
    int HangUpTimerStopped = 0;
    bool HangUpTimerOn = false;
    bool HasTray = true;
    bool ServerPlaysSound = false;
    // What the user was shown or heard, in order: "show", "flash", "launch",
    // "hide", "play FILE", "open FILE", "start COMMAND", "notice SUMMARY".
    QStringList Told;
    QList<DesktopNotice> Notices;
    std::vector<std::function<void()>> Posted;
    // Runs while a message box waits for its OK, where the event loop runs.
    std::function<void()> WhileBoxOpen;

    void SetStatusText(int panel, const QString& text) override
    {
        Panels[panel] = text;
        PanelHistory << QStringLiteral("%1: %2").arg(panel).arg(text);
    }
    bool AskYesNo(const QString& text, const QString& caption, TBoxOwner owner) override
    {
        Boxes << Box(caption, text, owner) + QStringLiteral(" | Yes/No");
        if (Answers.empty())
            return false;
        const bool yes = Answers.front();
        Answers.pop_front();
        return yes;
    }
    void Tell(const QString& text, const QString& caption, TBoxOwner owner) override
    {
        Boxes << Box(caption, text, owner);
    }
    void ShowMessage(const QString& text) override
    {
        Boxes << Box(QStringLiteral("<title>"), text, TBoxOwner::MainWindow);
        if (WhileBoxOpen)
            WhileBoxOpen();
    }
    void TellFailure(const QString& account, const QString& text, const QString& caption, TBoxOwner owner) override
    {
        Boxes << Box(caption, text, owner);
        FailureBoxes << account;
    }
    // Where the program's error report went before: with the guard's.
    void ShowFailure(const QString& account, const QString& text) override
    {
        ReportError(text);
        FailureBoxes << account;
    }
    void TellFailures(const QStringList& accounts, const QString& text) override
    {
        Boxes << Box(QStringLiteral("<title>"), text, TBoxOwner::MainWindow);
        FailureBoxes << accounts;
    }
    void WithdrawFailures(const QString& account) override { FailureBoxes.removeAll(account); }
    void AnnounceFailure(const QString& line, const QString& detail) override
    {
        Announced << line + QStringLiteral(" (") + detail + u')';
    }
    void ShowStandingFailures(const QStringList& lines) override { Standing = lines; }
    void ShowWatching(const QStringList& lines) override { Watching = lines; }
    void ShowQuiet(const QString& line) override { QuietLine = line; }
    void WithdrawNotice() override { ++NoticesWithdrawn; }
    bool MarksRead(const QString& account) override { return ReadMarkAccounts.contains(account); }
    // The accounts whose servers keep read marks, as bubbles are told.
    QStringList ReadMarkAccounts;
    void ArmCatchUp(int milliseconds) override { CatchUpDelay = milliseconds; }
    void RestartMinuteTimer() override { ++MinuteRestarts; }
    // The accounts of the failure boxes still open; the timed failures
    // told; the tray's hint lines.
    QStringList FailureBoxes;
    QStringList Announced;
    QStringList Standing;
    QStringList Watching;
    QString QuietLine;
    int NoticesWithdrawn = 0;
    int CatchUpDelay = -1; // -1: not armed
    int MinuteRestarts = 0;
    void StopFlashing() override { ++FlashingStopped; }
    bool StartFlashing() override
    {
        if (HasTray)
            Told << QStringLiteral("flash");
        return HasTray;
    }
    void ShowMainWindow() override { Told << QStringLiteral("show"); }
    void Beep() override { Told << QStringLiteral("beep"); }
    void ShowQuickView(const TQuickViewText& text) override
    {
        Told << QStringLiteral("view ") + text.Subject.trimmed();
        Viewed = text;
    }
    TQuickViewText Viewed;
    void HideMainWindow() override { Told << QStringLiteral("hide"); }
    void LaunchClient() override
    {
        Told << QStringLiteral("launch");
        if (OnLaunch)
            OnLaunch();
    }
    // The main window's Launch Client command, where a test wires it.
    std::function<void()> OnLaunch;
    void StartProgram(const QString& command) override { Told << QStringLiteral("start ") + command; }
    void PlaySound(const QString& file) override { Told << QStringLiteral("play ") + file; }
    void OpenFile(const QString& file) override { Told << QStringLiteral("open ") + file; }
    void OpenUrl(const QUrl& url) override { Told << QStringLiteral("browse ") + url.toString(); }
    void ShowNotice(const DesktopNotice& notice) override
    {
        Told << QStringLiteral("notice ") + notice.Summary;
        Notices << notice;
    }
    bool NoticePlaysSound() override { return ServerPlaysSound; }
    void StartHangUpTimer() override { HangUpTimerOn = true; }
    void ArmTimer1() override { Timer1Armed = true; }
    void StopTimer1() override { Timer1Armed = false; }
    void StopHangUpTimer() override
    {
        ++HangUpTimerStopped;
        HangUpTimerOn = false;
    }
    void Post(std::function<void()> work) override { Posted.push_back(std::move(work)); }

    // The event loop's turn: runs what was posted, each through the guard.
    void RunPosted()
    {
        auto work = std::exchange(Posted, {});
        for (auto& w : work)
            Guarded(w);
    }

private:
    static QString Box(const QString& caption, const QString& text, TBoxOwner owner)
    {
        return caption + QStringLiteral(" | ") + text
               + (owner == TBoxOwner::MainWindow ? QStringLiteral(" | main") : QStringLiteral(" | none"));
    }
};

// The engine on a fake client, an in-memory store and a recording host.
// Entry points run as Qt runs them: through the guard, whose reports are
// collected in Errors.
class EngineTest : public testing::Test
{
protected:
    void SetUp() override
    {
        SetErrorReport([this](const QString& message) { Errors << message; });
        Rebuild();
    }

    // The engine made afresh on the parts, as a start of the program makes it.
    void Rebuild()
    {
        engine.reset();
        TEngineParts parts{settings, store, dialUp, list, host, host, host, &host, client};
        parts.Cache = Cache;
        parts.Seen = Seen;
        parts.Offline = Offline;
        parts.Now = [this] { return Clock; };
        parts.MakeSource = MakeSource;
        engine = std::make_unique<TCheckEngine>(parts);
    }
    void TearDown() override { SetErrorReport({}); }

    // An account on the fake server named after it, with its messages.
    void AddAccount(const QString& name, QList<TFakeMailClient::Message> messages, bool selected = true)
    {
        const QString host = name.toLower() + QStringLiteral(".example.org");
        StoreAccount(store, name, host, 110, name.toLower(), QStringLiteral("pw-") + name, selected);
        client.Servers[host] = {name.toLower(), QStringLiteral("pw-") + name, std::move(messages)};
    }

    TFakeMailClient::Mailbox& Mailbox(const QString& name) { return client.Servers.at(name.toLower() + ".example.org"); }

    // Loads the settings as the program does, with the options a test sets
    // afterwards; LAN mode unless a test says otherwise.
    void Load()
    {
        settings.FillLists();
        settings.LoadSettings();
        settings.SetConnType(LanConn);
    }

    void Run(void (TCheckEngine::*entry)()) { Guarded([this, entry] { (engine.get()->*entry)(); }); }
    void CheckNow() { Run(&TCheckEngine::actCheckNowExecute); }
    void Cancel() { Run(&TCheckEngine::actCancelExecute); }
    void Tick() { Run(&TCheckEngine::TimerMainTimer); }

    // Lets Timer1 fire as long as the engine arms it.
    void RunSteps()
    {
        while (std::exchange(host.Timer1Armed, false))
            Run(&TCheckEngine::Timer1Timer);
    }

    QStringList Rows() const
    {
        QStringList rows;
        for (int row = 0; row < list.Count(); ++row)
            rows << QStringLiteral("%1 %2 #%3").arg(list.Entry(row).Account, list.Entry(row).ReadableSubject.trimmed())
                        .arg(list.Entry(row).Number);
        return rows;
    }

    MemoryStore store;
    Settings settings{store};
    TFakeMailClient client;
    TScriptedDialUp dialUp;
    TMessageList list{settings};
    TRecordingHost host;
    // What Rebuild gives the engine besides the fixture's own parts.
    TSummaryCache* Cache = nullptr;
    TSeenMessages* Seen = nullptr;
    std::function<bool()> Offline;
    TMailSources::TMake MakeSource;
    std::unique_ptr<TCheckEngine> engine;
    QStringList Errors;
    // The engine's clock: failures since 10:40.
    QDateTime Clock{QDate(2026, 12, 10), QTime(10, 40)};
    // A time of day in the user's locale, hours and minutes: "10:40", or
    // "10:40 AM" in the United States. Where the locale's short time has
    // seconds, the ":00" goes, as the program leaves seconds out.
    static QString At(int hour, int minute)
    {
        return QLocale::system().toString(QTime(hour, minute), QLocale::ShortFormat)
            .remove(QRegularExpression(QStringLiteral("[:.]00\\b")));
    }
};
