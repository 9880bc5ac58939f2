#pragma once

#include "engine/CheckCycle.h"
#include "engine/ClientLauncher.h"
#include "engine/Connectivity.h"
#include "engine/EngineState.h"
#include "engine/EngineHost.h"
#include "engine/FailureReport.h"
#include "engine/MailSources.h"
#include "engine/MessageActions.h"
#include "engine/QuietGate.h"
#include "engine/QuietTime.h"
#include "engine/NoticeActions.h"

#include <QDateTime>
#include <functional>

class RegistryStore;
class Settings;
class TAccessTokens;
class TDialUp;
class TMailClient;
class TMessageList;
class TSeenMessages;
class TSummaryCache;

// What the engine works with: the window program gives all of it, --check
// what a run without a window has.
struct TEngineParts
{
    Settings& Options;
    RegistryStore& Store;
    TDialUp& DialUp;
    TMessageList& List;
    TUserQuestions& User;
    TStatusDisplay& Status;
    TEngineTimers& Timers;
    // None: nobody is told of new mail, nothing is shown (--check).
    TDesktopActions* Desktop = nullptr;
    // The client every POP3 account's source uses in turn.
    TMailClient& Pop3Client;
    TSummaryCache* Cache = nullptr;
    // None: every message counts as new.
    TSeenMessages* Seen = nullptr;
    // None: an account that signs in with OAuth 2.0 cannot log in.
    TAccessTokens* Tokens = nullptr;
    // Whether the system reports no network connection at all; empty where
    // nothing tells.
    std::function<bool()> Offline = {};
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };
    // Whether sources that can be told of new mail stay connected for it;
    // a run that lists once and ends does not.
    bool WatchLive = true;
    // None: each account's source is made by its protocol.
    TMailSources::TMake MakeSource = {};
};

// The check engine: the commands and timers of the main window (and of
// --check) reach the cycle, the message actions and the connection here.
class TCheckEngine
{
public:
    explicit TCheckEngine(const TEngineParts& parts);

    // Entry points: the commands and the timers.
    void actCheckNowExecute();
    void TimerMainTimer();
    void Timer1Timer() { State.Timer1Timer(); }
    void actCancelExecute();
    void TimerHangUpTimer() { Net.TimerHangUpTimer(); }
    // The system's network state changed; the machine woke from sleep; the
    // delay after either is over.
    void NetworkChanged();
    void SystemResumed();
    void CatchUpTimer();
    // Launch Client, from its command or a notification.
    void LaunchMailClient();
    // Delete, Mark as Read and Quick View of the list's row (-1: none
    // selected).
    void actDeleteExecute(int row) { Actions.actDeleteExecute(row); }
    void actMarkReadExecute(int row) { Actions.actMarkReadExecute(row); }
    void actViewExecute(int row) { Actions.actViewExecute(row); }
    // Whether the row's account keeps a read mark on its server; asks no
    // server.
    bool CanMarkRead(int row) const { return Actions.CanMarkRead(row); }
    // Do Not Disturb from the tray, and the desktop's own as its
    // notification server says.
    void DoNotDisturb(TQuietTime::TDoNotDisturb choice);
    void SetDesktopDoNotDisturb(bool on);
    // Quiet may be over: what it kept back is told, and the tray's hint
    // follows. The minute timer runs it too, so the clock's own changes
    // count.
    void QuietChanged();
    TQuietTime::TDoNotDisturb DoNotDisturbChoice() const { return Quiet.DoNotDisturbChoice(parts.Now()); }
    bool MarksRead(const QString& account) const { return Actions.MarksRead(account); }
    // A desktop notice's button, on the messages the notice told of.
    void NoticeActionInvoked(DesktopNotice::Action action, const QList<DesktopNotice::Message>& messages)
    {
        Notices.Run(action, messages);
    }

    // A check the user started, or a delete, is under way.
    bool EngineBusy() const { return State.EngineBusy; }
    // The accounts whose last check failed, and why.
    const TFailureLog& StandingFailures() const { return Report.Log(); }
    // The accounts watched live, and those reconnecting.
    TWatchedAccounts Watched() const { return Sources.Watched(); }
    TConnectivity& Connection() { return Net; }
    TCheckCycle& CheckCycle() { return Cycle; }

private:
    void RunDeferred(TEngineState::TRequest request);

    TEngineParts parts;
    TEngineState State;
    TFailureReport Report;
    TConnectivity Net;
    TMailSources Sources;
    TQuietTime Quiet;
    TQuietGate Gate;
    TCheckCycle Cycle;
    TMessageActions Actions;
    TNoticeActions Notices;
    std::optional<TClientLauncher> Launcher;
};
