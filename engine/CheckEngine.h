#pragma once

#include "engine/ClientLauncher.h"
#include "engine/EngineHost.h"
#include "engine/MessageList.h"
#include "engine/Notifier.h"

#include <QString>
#include <QTime>
#include <QtGlobal>
#include <functional>

class RegistryStore;
class Settings;
class TDialUp;
class ECertificateError;
class TMailClient;
class TSeenMessages;

// The check cycle: from Check Now or the minute timer, make sure there is a
// connection, visit every enabled account with the mail client, hand each
// message's summary to the list, and close with the result. Every client
// event runs inside the client call that caused it; every request that
// follows a summary waits for Timer1, after that call has returned.
//
// Nothing here catches a client failure: it ends the cycle where it stands
// (Stalled) and leaves the entry point that Qt called, whose guard reports it.
class TCheckEngine
{
public:
    enum TOperation { opNone = 0, opCheck = 1, opDelete = 2, opView = 3 };

    TCheckEngine(TMailClient& client, Settings& settings, RegistryStore& store, TDialUp& dialUp, TMessageList& list,
                 TEngineHost& host);

    bool EngineBusy = false;
    TOperation Operation = opNone;
    int AccountIndex = 0;
    int MessageNumber = 0;
    bool CancelRequested = false;
    int MinutesElapsed = 0;
    quint32 DialConnection = 0;
    // TimerHangUp's ticks toward a delayed hang-up; kept when the countdown
    // is stopped, so a later one goes on from there.
    int HangUpSeconds = 0;
    // What earlier checks announced, for announcing new messages only;
    // none where nothing is remembered (--check).
    TSeenMessages* Seen = nullptr;

    // Entry points: the commands and the timers.
    void actCheckNowExecute();
    void TimerMainTimer();
    void Timer1Timer();
    void actCancelExecute();
    void TimerHangUpTimer();
    // Launch Client, from its command or a notification.
    void LaunchMailClient();
    // Delete and Quick View of the list's row (-1: none selected). They
    // reconnect to the row's account and finish in Pop1Connect.
    void actDeleteExecute(int row);
    void actViewExecute(int row);

    // The client's events, bound by the constructor.
    void Pop1Connect();
    void Pop1RetrieveEnd();
    void Pop1InvalidHost(bool& Handled);
    void Pop1AuthenticationFailed(bool& Handled);
    void Pop1ConnectionFailed();
    void Pop1ConnectionRequired(bool& Handled);
    void Pop1Failure();

    // A client call or a dial of this engine has not returned yet.
    bool ClientCallWaiting() const { return callDepth > 0; }

private:
    enum class TCheckKind { User, Timed };
    // The step decided at the last summary, run by Timer1.
    enum class TStep { None, Continue, DeleteThenContinue };

    bool IsOnline();
    bool DialConnectoid();
    void StartTimedCheck();
    void StartCheck(TCheckKind kind);
    void RunCycle(const std::function<void()>& step);
    void CloseLeftConnection();
    void TellNoAccounts();
    void CheckNextAccount();
    void ConnectAccount(const QString& name);
    bool ReadAccount(const QString& name);
    bool TrustCertificate(const QString& account, const ECertificateError& error);
    void DeclineCertificate();
    void NextMessage();
    void EndCanceled();
    void FinishCheck();
    void ApplyHangUpRule();
    void StopFlashing();
    QString AccountName() const;
    bool CheckInFlight() const;
    void StartMessageAction(TOperation operation, int row);
    bool NumberOnServer() const;
    bool StillListedMessage();
    void RefuseMovedMessage(const QString& caption);
    void FinishDelete();
    void FinishView();
    static QString LongTimeText(const QTime& time);

    template <typename Call> void ClientCall(Call call);
    void RunDeferred();

    TMailClient& Client;
    Settings& Options;
    RegistryStore& Store;
    TDialUp& DialUp;
    TMessageList& List;
    TEngineHost& Host;
    TNotifier Notifier;
    TClientLauncher Launcher;

    TStep PendingStep = TStep::None;
    // Blocked messages deleted in this account's session: the numbers of
    // its later rows move up when its QUIT makes that final.
    QList<int> DeletedInSession;
    // The accounts this check has gone through to their last message.
    QStringList CheckedAccounts;
    // The user asked for what runs now, and is there to answer a question.
    bool UserStarted = false;
    // The row a delete or quick view acts on, as the check listed it.
    int ActionRow = -1;
    MessageEntry ActionEntry;
    int callDepth = 0;
    unsigned checksStarted = 0;
    // Requests that came while a client call was waiting.
    struct
    {
        bool CheckNow = false;
        bool TimedCheck = false;
        bool Step = false;
    } deferred;
    bool deferredPosted = false;
    bool noAccountsShown = false;
};
