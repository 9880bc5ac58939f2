#pragma once

#include "engine/ClientLauncher.h"
#include "engine/EngineHost.h"
#include "engine/FailureLog.h"
#include "engine/MessageList.h"
#include "engine/Notifier.h"

#include <QDateTime>
#include <QHash>
#include <QString>
#include <QTime>
#include <QtGlobal>
#include <functional>

class RegistryStore;
class Settings;
class TDialUp;
class Exception;
class TMailClient;
class TSeenMessages;
class TSummaryCache;
class TAccessTokens;

// The check cycle: from Check Now or the minute timer, make sure there is a
// connection, visit every enabled account with the mail client, hand each
// message's summary to the list, and close with the result. Every client
// event runs inside the client call that caused it; every request that
// follows a summary waits for Timer1, after that call has returned.
//
// A client failure ends that account's part of the check; the cycle goes on
// with the next account, and the failure is told once nothing waits on the
// client any more: in boxes that do not wait to be read when the user asked,
// once and without a box when the timer did. Questions wait until the cycle
// is over, so nothing that waits for the user holds the checks.
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
    // What earlier checks read of each message; none: every check reads
    // every header.
    TSummaryCache* Cache = nullptr;
    // The access tokens of OAuth 2.0 accounts; none: such an account cannot log in.
    TAccessTokens* Tokens = nullptr;
    // Whether the system reports no network connection at all; empty where
    // nothing tells (--check).
    std::function<bool()> Offline;
    // The clock of failures and of the servers' login delays.
    std::function<QDateTime()> Now = [] { return QDateTime::currentDateTime(); };
    // How long after a wake or the network's return the catch-up check waits
    // for the connection to settle.
    int CatchUpDelay = 5000;

    // Entry points: the commands and the timers.
    void actCheckNowExecute();
    void TimerMainTimer();
    void Timer1Timer();
    void actCancelExecute();
    void TimerHangUpTimer();
    // The system's network state changed; the machine woke from sleep; the
    // delay after either is over.
    void NetworkChanged();
    void SystemResumed();
    void CatchUpTimer();
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
    // The accounts whose last check failed, and why.
    const TFailureLog& StandingFailures() const { return Failures; }

private:
    enum class TCheckKind { User, Timed };
    // The step decided at the last summary, run by Timer1.
    enum class TStep { None, Continue, DeleteThenContinue };
    // A box a failure handler would have shown, told once the calls are over.
    struct TFailureBox
    {
        QString Text;
        QString Caption; // empty: the system's own
        TBoxOwner Owner = TBoxOwner::MainWindow;
        bool Plain = false; // under the application's title instead
    };
    // What the failure events of the account in progress said.
    struct TAccountFailure
    {
        QString Reason;
        QList<TFailureBox> Boxes;
        bool ConnectionLost = false;
    };
    // A failure of a check the user started, told when the check ends.
    struct THeldFailure
    {
        QString Account;
        QString Reason;
        TFailureBox Box;
    };
    // A question for the user, asked after the cycle.
    struct TQuestion
    {
        QString Text;
        QString Caption;
        std::function<void()> Yes;
        std::function<void()> No;
    };
    struct TLogin
    {
        QDateTime At;
        int Delay = 0; // seconds the server wants between logins
    };

    bool IsOnline();
    bool DialConnectoid(TCheckKind kind);
    void DueTimedCheck();
    void StartTimedCheck();
    void StartCheck(TCheckKind kind);
    QStringList AccountsToSkip();
    bool IsLocalAccount(const QString& name);
    bool LoginTooSoon(const QString& name) const;
    void RunCycle(const std::function<void()>& step);
    void AccountFailed(const Exception& error);
    void TellAccountFailure(const QString& account, const Exception& error);
    QString FailureReason(const Exception& error) const;
    TFailureBox FailureBox(const Exception& error) const;
    void ShowFailureBox(const QString& account, const TFailureBox& box);
    void TellHeldFailures();
    void PostQuestions();
    void AskQuestions();
    void CloseLeftConnection();
    void TellNoAccounts();
    void CheckNextAccount();
    void ConnectAccount(const QString& name);
    bool ReadAccount(const QString& name);
    void AskTrust(const QString& account, const QString& message, const QString& fingerprint);
    void SignInAgain(const QString& account);
    void AccountChecked();
    void NextAccount();
    void NextMessage();
    bool ListQuickly();
    void QuickAccount();
    const TSummaryFields* Cached(const QString& mailbox, int number);
    TSummaryFields QuickFields(const QString& mailbox, int number);
    void ShowProgress();
    void EndCanceled();
    void FinishCheck();
    void AnnounceRows();
    QString ActivityText() const;
    QString ResultText() const;
    void ApplyHangUpRule();
    void StopFlashing();
    QString AccountName() const;
    bool CheckInFlight() const;
    void StartMessageAction(TOperation operation, const MessageEntry& entry);
    void RunMessageAction(TOperation operation, const MessageEntry& entry);
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
    TFailureLog Failures;
    TAccountFailure Failure;
    QList<THeldFailure> HeldFailures;
    QList<TQuestion> Questions;
    bool questionsPosted = false;
    // Accounts this timed check leaves out, their rows kept: no network, or
    // the server's login delay not over.
    QStringList Skipped;
    bool SkippedOffline = false;
    QHash<QString, TLogin> Logins;
    // The account being checked may be listed from its unique ids.
    bool QuickCheck = true;
    bool quickAccount = false;
    bool networkWasOffline = false;
    // The message a delete or quick view acts on, as the check listed it.
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
