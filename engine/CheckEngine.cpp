#include "engine/CheckEngine.h"

#include "engine/HeaderLookup.h"
#include "engine/MessageList.h"
#include "engine/SeenMessages.h"
#include "config/Registry.h"
#include "config/ScramblePassword.h"
#include "config/Settings.h"
#include "config/StoreKeys.h"
#include "platform/DialUp.h"
#include "pop3/BodyText.h"
#include "pop3/HeaderText.h"
#include "pop3/Pop3client.h"

#include <QLocale>
#include <QRegularExpression>
#include <QScopeGuard>
#include <QTime>
#include <utility>

TCheckEngine::TCheckEngine(TMailClient& client, Settings& settings, RegistryStore& store, TDialUp& dialUp,
                           TMessageList& list, TEngineHost& host)
    : Client(client), Options(settings), Store(store), DialUp(dialUp), List(list), Host(host),
      Notifier(settings, host), Launcher(settings, store, host)
{
    Client.OnConnect = [this](QObject*) { Pop1Connect(); };
    Client.OnRetrieveEnd = [this](QObject*) { Pop1RetrieveEnd(); };
    Client.OnInvalidHost = [this](bool& handled) { Pop1InvalidHost(handled); };
    Client.OnAuthenticationNeeded = [this](bool& handled) { Pop1AuthenticationFailed(handled); };
    Client.OnAuthenticationFailed = [this](bool& handled) { Pop1AuthenticationFailed(handled); };
    Client.OnConnectionFailed = [this](QObject*) { Pop1ConnectionFailed(); };
    Client.OnConnectionRequired = [this](bool& handled) { Pop1ConnectionRequired(handled); };
    Client.OnFailure = [this](QObject*) { Pop1Failure(); };
}

// --- entry points ---------------------------------------------------------

void TCheckEngine::actCheckNowExecute()
{
    if (EngineBusy)
        return;
    if (ClientCallWaiting()) {
        deferred.CheckNow = true;
        return;
    }
    Host.StopHangUpTimer();
    if (!IsOnline() && Options.ConnType() == WaitConn
        && !Host.AskYesNo(QStringLiteral("Connect Now?"), QStringLiteral("Not Connected"), TBoxOwner::MainWindow))
        return;
    if (!IsOnline() && Options.ConnType() != LanConn && !DialConnectoid())
        return;
    StartCheck(TCheckKind::User);
}

void TCheckEngine::TimerMainTimer()
{
    ++MinutesElapsed;
    if (Options.Interval() > MinutesElapsed)
        return;
    MinutesElapsed = 0;
    if (!Options.CheckingEnabled())
        return;
    if (ClientCallWaiting()) {
        deferred.TimedCheck = true;
        return;
    }
    StartTimedCheck();
}

// Waiting for a connection someone else makes is silent; the next due tick
// tries again.
void TCheckEngine::StartTimedCheck()
{
    if (!IsOnline() && Options.ConnType() == WaitConn)
        return;
    if (!IsOnline() && Options.ConnType() != LanConn && !DialConnectoid())
        return;
    StartCheck(TCheckKind::Timed);
}

void TCheckEngine::Timer1Timer()
{
    if (ClientCallWaiting()) {
        deferred.Step = true;
        return;
    }
    const TStep step = std::exchange(PendingStep, TStep::None);
    if (step == TStep::None)
        return;
    // After Cancel no request may follow: the client would refuse it with
    // an abort instead of ending the check.
    if (CancelRequested) {
        EndCanceled();
        return;
    }
    RunCycle([this, step] {
        if (step == TStep::DeleteThenContinue) {
            ClientCall([this] { Client.DeleteMessage(MessageNumber); });
            DeletedInSession.append(MessageNumber);
        }
        NextMessage();
    });
}

void TCheckEngine::actCancelExecute()
{
    Client.Cancel();
    CancelRequested = true;
    EngineBusy = false;
    StopFlashing();
    Host.StopHangUpTimer();
}

void TCheckEngine::TimerHangUpTimer()
{
    ++HangUpSeconds;
    if (Options.HangUpDelay() > HangUpSeconds)
        return;
    HangUpSeconds = 0;
    Host.StopHangUpTimer();
    DialUp.HangUp(DialConnection);
}

void TCheckEngine::LaunchMailClient()
{
    if (EngineBusy)
        return;
    Host.StopHangUpTimer();
    StopFlashing();
    Launcher.Launch();
}

// A check between two messages owns the connection and the numbers, and a
// delete that failed stays busy until Cancel: both refuse with a beep.
void TCheckEngine::actDeleteExecute(int row)
{
    if (EngineBusy || CheckInFlight()) {
        Host.Beep();
        return;
    }
    Host.StopHangUpTimer();
    if (row < 0 || row >= List.Count())
        return;
    if (!Host.AskYesNo(QStringLiteral("Are you sure you want to delete this message?"),
                       QStringLiteral("Delete Message"), TBoxOwner::MainWindow))
        return;
    EngineBusy = true;
    StartMessageAction(opDelete, row);
}

void TCheckEngine::actViewExecute(int row)
{
    Host.StopHangUpTimer();
    if (row < 0 || row >= List.Count())
        return;
    if (CheckInFlight()) {
        Host.Beep();
        return;
    }
    StartMessageAction(opView, row);
}

bool TCheckEngine::CheckInFlight() const
{
    return ClientCallWaiting() || PendingStep != TStep::None;
}

// A stalled check's connection is closed first: the action needs a session
// of its own.
void TCheckEngine::StartMessageAction(TOperation operation, int row)
{
    StopFlashing();
    CloseLeftConnection();
    UserStarted = true;
    Operation = operation;
    ActionRow = row;
    ActionEntry = List.Entry(row);
    MessageNumber = ActionEntry.Number;
    AccountIndex = static_cast<int>(Options.SelectedAccounts().indexOf(ActionEntry.Account));
    ConnectAccount(ActionEntry.Account);
}

// Numbers belong to one session: another program may have removed messages
// since the check, and number n may now be another message.
bool TCheckEngine::NumberOnServer() const
{
    return MessageNumber >= 1 && MessageNumber <= Client.MessageCount;
}

bool TCheckEngine::StillListedMessage()
{
    if (!NumberOnServer())
        return false;
    ClientCall([this] { Client.RetrieveSummary(MessageNumber); });
    return SameHeader(ActionEntry.Header, Client.Summary.Header);
}

void TCheckEngine::RefuseMovedMessage(const QString& caption)
{
    ClientCall([this] { Client.Disconnect(); });
    EngineBusy = false;
    Host.Tell(QStringLiteral("This message is no longer on the server as listed. Check for mail again."), caption,
              TBoxOwner::MainWindow);
}

// The QUIT makes the deletion final, and with it the numbers that follow.
void TCheckEngine::FinishDelete()
{
    if (!StillListedMessage()) {
        RefuseMovedMessage(QStringLiteral("Delete Message"));
        return;
    }
    ClientCall([this] { Client.DeleteMessage(MessageNumber); });
    List.RemoveDeleted(ActionRow);
    ClientCall([this] { Client.Disconnect(); });
    EngineBusy = false;
}

// Another message under the listed number is refused once its header is
// in, before any of its parts is written.
void TCheckEngine::FinishView()
{
    if (!NumberOnServer()) {
        RefuseMovedMessage(QStringLiteral("Quick View"));
        return;
    }
    Client.AcceptHeader = [this](const TExStringList& head) { return SameHeader(ActionEntry.Header, head); };
    const auto forget = qScopeGuard([this] { Client.AcceptHeader = nullptr; });
    try {
        ClientCall([this] { Client.RetrieveMessage(MessageNumber); });
    } catch (const EMessageRefused&) {
        RefuseMovedMessage(QStringLiteral("Quick View"));
        return;
    }
    const TMailMessage& message = Client.MailMessage;
    const TReadableBody body = ReadableBody(message);
    Host.ShowQuickView({Shown(ReadableField(message.Head, QStringLiteral("From:"), message.From)),
                        Shown(ReadableField(message.Head, QStringLiteral("Subject:"), message.Subject)),
                        HeaderDate(message.Head), ActionEntry.Account, body.Text, body.Html, body.Notes});
    ClientCall([this] { Client.Disconnect(); });
}

// --- the cycle ------------------------------------------------------------

bool TCheckEngine::IsOnline()
{
    return DialUp.IsOnline();
}

// The dial waits in a nested event loop like a client call, and what
// arrives meanwhile waits for it the same way: one dial at a time.
bool TCheckEngine::DialConnectoid()
{
    quint32 handle = 0;
    bool dialled = false;
    ClientCall([&] { dialled = DialUp.Dial(Options.Connectoid(), handle); });
    if (dialled) {
        DialConnection = handle;
        return true;
    }
    Host.Tell(QStringLiteral("Failed to connect"), QStringLiteral("Error"), TBoxOwner::MainWindow);
    DialConnection = 0;
    return false;
}

// A step still waiting on Timer1 belongs to the cycle being started over.
void TCheckEngine::StartCheck(TCheckKind kind)
{
    ++checksStarted;
    Host.StopTimer1();
    PendingStep = TStep::None;
    List.Clear();
    CheckedAccounts.clear();
    AccountIndex = 0;
    CancelRequested = false;
    Operation = opCheck;
    UserStarted = kind == TCheckKind::User;
    if (UserStarted) {
        EngineBusy = true;
        StopFlashing();
    }
    RunCycle([this] { CheckNextAccount(); });
}

// The user's cancel reaches a waiting request as the client's abort; it ends
// the check as a cancel, not as a failure.
void TCheckEngine::RunCycle(const std::function<void()>& step)
{
    try {
        step();
    } catch (const EAbortError&) {
        if (!CancelRequested || ClientCallWaiting())
            throw;
        EndCanceled();
    }
}

// A check that stalled and was cancelled leaves its connection open, and the
// cancel makes its QUIT fail; it closes all the same.
void TCheckEngine::CloseLeftConnection()
{
    if (!Client.Connected)
        return;
    try {
        ClientCall([this] { Client.Disconnect(); });
    } catch (const EAbortError&) {
    }
}

// Every due tick would stack another box on one nobody has answered yet.
void TCheckEngine::TellNoAccounts()
{
    if (noAccountsShown)
        return;
    noAccountsShown = true;
    const auto closed = qScopeGuard([this] { noAccountsShown = false; });
    Host.ShowMessage(QStringLiteral("There are no accounts to check"));
}

void TCheckEngine::CheckNextAccount()
{
    CloseLeftConnection();
    const QStringList names = Options.SelectedAccounts();
    if (names.isEmpty()) {
        EngineBusy = false;
        TellNoAccounts();
        return;
    }
    const QString name = names.value(AccountIndex);
    DeletedInSession.clear();
    Host.SetStatusText(0, QStringLiteral("Checking ") + name + QStringLiteral(" for mail"));
    ConnectAccount(name);
}

// An account whose key is gone (deleted meanwhile) ends the cycle quietly.
void TCheckEngine::ConnectAccount(const QString& name)
{
    if (!ReadAccount(name))
        return;
    try {
        ClientCall([this] { Client.Connect(); });
    } catch (const ECertificateError& error) {
        if (!UserStarted || !Host.CanAsk() || error.Fingerprint.isEmpty())
            throw;
        if (!TrustCertificate(name, error))
            return DeclineCertificate();
        ClientCall([this] { Client.Connect(); });
    }
}

// An account written before secure connections existed has neither value
// and connects in the clear, as it always did.
bool TCheckEngine::ReadAccount(const QString& name)
{
    TRegistry reg(Store);
    if (!reg.OpenKeyReadOnly(StoreKeys::Accounts + u'\\' + name))
        return false;
    Client.Host = reg.ReadString(QStringLiteral("Server"));
    Client.UserID = reg.ReadString(QStringLiteral("Username"));
    Client.Password = ScramblePassword(reg.ReadString(QStringLiteral("Password")));
    Client.Port = reg.ReadInteger(QStringLiteral("Port"));
    const QString security = QStringLiteral("Security");
    const QString fingerprint = QStringLiteral("CertFingerprint");
    Client.Security = reg.ValueExists(security) ? reg.ReadInteger(security) : int(secNone);
    Client.CertFingerprint = reg.ValueExists(fingerprint) ? reg.ReadString(fingerprint) : QString();
    return true;
}

bool TCheckEngine::TrustCertificate(const QString& account, const ECertificateError& error)
{
    if (!Host.AskYesNo(error.Message + QStringLiteral("\n\nTrust this certificate for ") + account + u'?',
                       QStringLiteral("Certificate"), TBoxOwner::MainWindow))
        return false;
    TRegistry reg(Store);
    if (reg.OpenKey(StoreKeys::Accounts + u'\\' + account, false))
        reg.WriteString(QStringLiteral("CertFingerprint"), error.Fingerprint);
    Client.CertFingerprint = error.Fingerprint;
    return true;
}

// The user saw why and chose not to go on: a check ends as cancelled, a
// message action as if never asked for.
void TCheckEngine::DeclineCertificate()
{
    EngineBusy = false;
    if (Operation != opCheck)
        return;
    CancelRequested = true;
    throw EAbortError(QStringLiteral("Certificate not trusted"));
}

void TCheckEngine::Pop1Connect()
{
    // A refused STAT fires this event after the client has logged out, and
    // Connect raises the refusal next: there is nothing to count. A
    // reconnect from inside a waiting request goes on with that request's
    // message instead of starting the account over; the lost session's
    // deletions were never made final.
    if (callDepth > 1)
        DeletedInSession.clear();
    if (!Client.Connected || callDepth > 1)
        return;
    if (Operation == opDelete)
        return FinishDelete();
    if (Operation == opView)
        return FinishView();
    if (Operation != opCheck)
        return;
    if (Client.MessageCount > 0) {
        MessageNumber = 1;
        ClientCall([this] { Client.RetrieveSummary(1); });
        return;
    }
    ClientCall([this] { Client.Disconnect(); });
    CheckedAccounts << AccountName();
    ++AccountIndex;
    if (AccountIndex < Options.SelectedAccounts().size())
        CheckNextAccount();
    else
        FinishCheck();
}

void TCheckEngine::Pop1RetrieveEnd()
{
    if (Operation != opCheck)
        return;
    const TSummaryResult result = List.AddSummary(Client.Summary, AccountName(), MessageNumber);
    if (CancelRequested) {
        EndCanceled();
        return;
    }
    PendingStep = result == TSummaryResult::Delete ? TStep::DeleteThenContinue : TStep::Continue;
    Host.ArmTimer1();
}

// Kept and blocked messages advance alike, so every number is summarised
// once and a row's number is the server's.
void TCheckEngine::NextMessage()
{
    ++MessageNumber;
    if (MessageNumber <= Client.MessageCount) {
        ClientCall([this] { Client.RetrieveSummary(MessageNumber); });
        return;
    }
    if (Client.Connected) {
        ClientCall([this] { Client.Disconnect(); });
        List.Renumber(AccountName(), DeletedInSession);
    }
    CheckedAccounts << AccountName();
    MessageNumber = 1;
    ++AccountIndex;
    if (AccountIndex <= Options.SelectedAccounts().size() - 1)
        CheckNextAccount();
    else
        FinishCheck();
}

void TCheckEngine::EndCanceled()
{
    CloseLeftConnection();
    FinishCheck();
}

// The locale's long time format, seconds included, without the time zone
// that Qt's long format adds on Linux.
QString TCheckEngine::LongTimeText(const QTime& time)
{
    QString format = QLocale::system().timeFormat(QLocale::LongFormat);
    format.remove(QRegularExpression(QStringLiteral("\\s*t+")));
    return QLocale::system().toString(time, format.trimmed());
}

void TCheckEngine::FinishCheck()
{
    ApplyHangUpRule();
    Host.SetStatusText(0, CancelRequested ? QStringLiteral("Canceled") : QStringLiteral("Done"));
    EngineBusy = false;
    Host.SetStatusText(1, QStringLiteral("Checked at: ") + LongTimeText(QTime::currentTime()));
    const TNoticeRows rows = Seen && Options.NotifyNewOnly() ? Seen->Announce(List, CheckedAccounts) : AllRows(List);
    if (List.Count() == 0) {
        Host.SetStatusText(2, QStringLiteral("No new messages"));
        return;
    }
    Host.SetStatusText(2, QString::number(List.Count()) + QStringLiteral(" new messages"));
    if (!rows.isEmpty())
        Notifier.NotifyByPriority(rows);
}

// A connection this program dialled is hung up when the check ends, or after
// a delay that leaves time to read the mail it found.
void TCheckEngine::ApplyHangUpRule()
{
    if (!Options.HangUpWhenDone() || DialConnection == 0)
        return;
    if (Options.HangUpWait() && List.Count() > 0)
        Host.StartHangUpTimer();
    else
        DialUp.HangUp(DialConnection);
}

void TCheckEngine::StopFlashing()
{
    Host.StopFlashing();
}

// A row's account disabled since the check still names the failures of a
// delete or quick view.
QString TCheckEngine::AccountName() const
{
    if (Operation == opDelete || Operation == opView)
        return ActionEntry.Account;
    return Options.SelectedAccounts().value(AccountIndex);
}

// --- failures -------------------------------------------------------------

void TCheckEngine::Pop1InvalidHost(bool& Handled)
{
    Host.Tell(QStringLiteral("HostFailed"), QString(), TBoxOwner::MainWindow);
    Handled = true;
}

// Handled lets the client try again, and the cancel ends that try at once.
void TCheckEngine::Pop1AuthenticationFailed(bool& Handled)
{
    Handled = true;
    Host.Tell(QStringLiteral("Username or Password for ") + AccountName() + QStringLiteral("not valid."),
              QStringLiteral("Login error"), TBoxOwner::None);
    Client.Cancel();
}

void TCheckEngine::Pop1ConnectionFailed()
{
    Host.Tell(QStringLiteral("Failed to connect to ") + AccountName(), QStringLiteral("Connection Failed"),
              TBoxOwner::None);
}

void TCheckEngine::Pop1ConnectionRequired(bool& Handled)
{
    Handled = true;
    if (Host.AskYesNo(QStringLiteral("Connection required for this operation. Connect now?"),
                      QStringLiteral("Connection Required"), TBoxOwner::MainWindow))
        ClientCall([this] { Client.Connect(); });
    else
        Client.Cancel();
}

void TCheckEngine::Pop1Failure()
{
    Host.ShowMessage(QStringLiteral("Operation Failed"));
}

// --- overlap --------------------------------------------------------------

// While a client call waits, the event loop runs timers and commands; none
// of them may start a request over it. They wait for the call to return.
template <typename Call> void TCheckEngine::ClientCall(Call call)
{
    ++callDepth;
    const auto returned = qScopeGuard([this] {
        if (--callDepth == 0 && (deferred.CheckNow || deferred.TimedCheck || deferred.Step) && !deferredPosted) {
            deferredPosted = true;
            Host.Post([this] { RunDeferred(); });
        }
    });
    call();
}

// A user's check starts the cycle afresh, so a timed check deferred with it
// is done by it.
void TCheckEngine::RunDeferred()
{
    deferredPosted = false;
    if (ClientCallWaiting())
        return;
    const unsigned started = checksStarted;
    if (std::exchange(deferred.CheckNow, false))
        actCheckNowExecute();
    if (std::exchange(deferred.TimedCheck, false) && checksStarted == started)
        StartTimedCheck();
    if (std::exchange(deferred.Step, false))
        Timer1Timer();
}
