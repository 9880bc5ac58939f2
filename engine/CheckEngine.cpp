#include "engine/CheckEngine.h"

#include "base/Guard.h"
#include "engine/AccessTokens.h"
#include "engine/HeaderLookup.h"
#include "engine/MessageList.h"
#include "engine/SeenMessages.h"
#include "engine/SummaryCache.h"
#include "config/AccountPassword.h"
#include "config/AccountText.h"
#include "config/OAuthAccount.h"
#include "config/Registry.h"
#include "config/Settings.h"
#include "config/StoreKeys.h"
#include "platform/DialUp.h"
#include "pop3/BodyText.h"
#include "pop3/HeaderText.h"
#include "pop3/Pop3client.h"

#include <QCoreApplication>
#include <QHostAddress>
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
    if (!IsOnline() && Options.ConnType() != LanConn && !DialConnectoid(TCheckKind::User))
        return;
    StartCheck(TCheckKind::User);
}

void TCheckEngine::TimerMainTimer()
{
    ++MinutesElapsed;
    if (Options.Interval() > MinutesElapsed)
        return;
    MinutesElapsed = 0;
    DueTimedCheck();
}

// A due check waits for a client call that is still waiting.
void TCheckEngine::DueTimedCheck()
{
    if (!Options.CheckingEnabled())
        return;
    if (ClientCallWaiting()) {
        deferred.TimedCheck = true;
        return;
    }
    StartTimedCheck();
}

// Waiting for a connection someone else makes is silent; the next due tick
// tries again. A check still under way is the one this tick asked for:
// starting it over would never let a long one finish.
void TCheckEngine::StartTimedCheck()
{
    if (CheckInFlight())
        return;
    if (!IsOnline() && Options.ConnType() == WaitConn)
        return;
    if (!IsOnline() && Options.ConnType() != LanConn && !DialConnectoid(TCheckKind::Timed))
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

// Offline is no failure: the return of the network brings a check soon.
void TCheckEngine::NetworkChanged()
{
    const bool offline = Offline && Offline();
    if (std::exchange(networkWasOffline, offline) && !offline)
        Host.ArmCatchUp(CatchUpDelay);
}

// The minute count went on while the machine slept; what matters now is
// the mail that came meanwhile, as soon as the network is back.
void TCheckEngine::SystemResumed()
{
    if (Offline && Offline())
        networkWasOffline = true;
    else
        Host.ArmCatchUp(CatchUpDelay);
}

void TCheckEngine::CatchUpTimer()
{
    if (Offline && Offline()) {
        networkWasOffline = true;
        return;
    }
    MinutesElapsed = 0;
    Host.RestartMinuteTimer();
    DueTimedCheck();
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
    // A timed check may run while the question waits: the entry, not the
    // row number, says which message the user meant.
    const MessageEntry entry = List.Entry(row);
    if (!Host.AskYesNo(QStringLiteral("Are you sure you want to delete this message?"),
                       QStringLiteral("Delete Message"), TBoxOwner::MainWindow))
        return;
    if (EngineBusy || CheckInFlight()) {
        Host.Beep();
        return;
    }
    EngineBusy = true;
    StartMessageAction(opDelete, entry);
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
    StartMessageAction(opView, List.Entry(row));
}

bool TCheckEngine::CheckInFlight() const
{
    return ClientCallWaiting() || PendingStep != TStep::None;
}

// A failure ends the action with the engine free, and is told once the
// calls are over; a question about it waits until then too.
void TCheckEngine::StartMessageAction(TOperation operation, const MessageEntry& entry)
{
    StopFlashing();
    UserStarted = true;
    Failure = {};
    try {
        RunMessageAction(operation, entry);
    } catch (const Exception& error) {
        CloseLeftConnection();
        EngineBusy = false;
        if (!dynamic_cast<const EAbortError*>(&error))
            TellAccountFailure(entry.Account, error);
    }
    PostQuestions();
}

void TCheckEngine::RunMessageAction(TOperation operation, const MessageEntry& entry)
{
    CloseLeftConnection();
    Operation = operation;
    ActionEntry = entry;
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

// A unique id answers in one line; without one the header is compared.
bool TCheckEngine::StillListedMessage()
{
    if (!NumberOnServer())
        return false;
    if (!ActionEntry.UniqueId.isEmpty()) {
        QString id;
        ClientCall([&] { id = Client.UniqueId(MessageNumber); });
        return id == ActionEntry.UniqueId;
    }
    ClientCall([this] { Client.RetrieveSummary(MessageNumber); });
    return ActionEntry.IsMessage(Client.Summary.Header);
}

void TCheckEngine::RefuseMovedMessage(const QString& caption)
{
    ClientCall([this] { Client.Disconnect(); });
    EngineBusy = false;
    Host.TellFailure(ActionEntry.Account,
                     QStringLiteral("This message is no longer on the server as listed. Check for mail again."),
                     caption, TBoxOwner::MainWindow);
}

// The QUIT makes the deletion final, and with it the numbers that follow.
void TCheckEngine::FinishDelete()
{
    if (!StillListedMessage()) {
        RefuseMovedMessage(QStringLiteral("Delete Message"));
        return;
    }
    ClientCall([this] { Client.DeleteMessage(MessageNumber); });
    List.RemoveDeleted(List.IndexOf(ActionEntry));
    ClientCall([this] { Client.Disconnect(); });
    EngineBusy = false;
}

// Another message under the listed number is refused once its header is
// in, before any of its parts is written.
void TCheckEngine::FinishView()
{
    if (!NumberOnServer() || (!ActionEntry.UniqueId.isEmpty() && !StillListedMessage())) {
        RefuseMovedMessage(QStringLiteral("Quick View"));
        return;
    }
    Client.AcceptHeader = [this](const TExStringList& head) {
        return !ActionEntry.UniqueId.isEmpty() || ActionEntry.IsMessage(head);
    };
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
// arrives meanwhile waits for it the same way: one dial at a time. A timed
// dial that fails is told once, like an account's failure.
bool TCheckEngine::DialConnectoid(TCheckKind kind)
{
    const QString connectoid = Options.Connectoid();
    quint32 handle = 0;
    bool dialled = false;
    ClientCall([&] { dialled = DialUp.Dial(connectoid, handle); });
    if (dialled) {
        DialConnection = handle;
        Failures.Clear(connectoid);
        return true;
    }
    DialConnection = 0;
    const QString reason = QStringLiteral("Failed to connect");
    if (kind == TCheckKind::User)
        Host.Tell(reason, QStringLiteral("Error"), TBoxOwner::MainWindow);
    else if (Failures.Note(connectoid, reason, Now()))
        Host.AnnounceFailure(connectoid + QStringLiteral(": ") + reason, QString());
    Host.ShowStandingFailures(Failures.Lines());
    return false;
}

// A step still waiting on Timer1 belongs to the cycle being started over.
// A timed check that would leave out every account changes nothing.
void TCheckEngine::StartCheck(TCheckKind kind)
{
    const QStringList skipped = kind == TCheckKind::Timed ? AccountsToSkip() : QStringList();
    const QStringList names = Options.SelectedAccounts();
    if (!names.isEmpty() && skipped.size() == names.size()) {
        if (SkippedOffline)
            Host.SetStatusText(0, QStringLiteral("Offline"));
        return;
    }
    ++checksStarted;
    Host.StopTimer1();
    PendingStep = TStep::None;
    Skipped = skipped;
    List.SetAsideExcept(Skipped);
    HeldFailures.clear();
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

// Without a network a timed check leaves out the servers elsewhere; a
// server that asks for a pause between logins gets it from timed checks.
QStringList TCheckEngine::AccountsToSkip()
{
    const bool offline = Options.ConnType() == LanConn && Offline && Offline();
    SkippedOffline = false;
    QStringList skipped;
    for (const QString& name : Options.SelectedAccounts()) {
        if (offline && !IsLocalAccount(name)) {
            skipped << name;
            SkippedOffline = true;
        } else if (LoginTooSoon(name)) {
            skipped << name;
        }
    }
    return skipped;
}

bool TCheckEngine::IsLocalAccount(const QString& name)
{
    TRegistry reg(Store);
    if (!reg.OpenKeyReadOnly(StoreKeys::Accounts + u'\\' + name))
        return false;
    const QString server = AccountText(reg.ReadString(QStringLiteral("Server")));
    return server.compare(QLatin1String("localhost"), Qt::CaseInsensitive) == 0 || QHostAddress(server).isLoopback();
}

bool TCheckEngine::LoginTooSoon(const QString& name) const
{
    const TLogin login = Logins.value(name);
    if (login.Delay <= 0 || !login.At.isValid())
        return false;
    const qint64 since = login.At.secsTo(Now());
    return since >= 0 && since < login.Delay;
}

// The user's cancel reaches a waiting request as the client's abort; it ends
// the check as a cancel. Any other failure ends the account's part only.
void TCheckEngine::RunCycle(const std::function<void()>& step)
{
    try {
        step();
    } catch (const Exception& error) {
        if (ClientCallWaiting())
            throw;
        if (CancelRequested && dynamic_cast<const EAbortError*>(&error))
            EndCanceled();
        else
            AccountFailed(error);
    }
}

void TCheckEngine::AccountFailed(const Exception& error)
{
    const QString account = AccountName();
    if (Tokens && dynamic_cast<const ETokenRefused*>(&error))
        Tokens->Forget(account);
    CloseLeftConnection();
    List.Restore(account);
    const bool news = Failures.Note(account, FailureReason(error), Now());
    if (UserStarted)
        TellAccountFailure(account, error);
    else if (news)
        Host.AnnounceFailure(Failures.Line(account), error.Message.simplified());
    RunCycle([this] { NextAccount(); });
}

// The box the failure events would have shown, with the failure's own
// words; a refused certificate, a lost connection or a refused sign-in
// becomes a question.
void TCheckEngine::TellAccountFailure(const QString& account, const Exception& error)
{
    const auto* certificate = dynamic_cast<const ECertificateError*>(&error);
    if (certificate && Host.CanAsk() && !certificate->Fingerprint.isEmpty())
        return AskTrust(account, certificate->Message, certificate->Fingerprint);
    if ((dynamic_cast<const ETokenRefused*>(&error) || dynamic_cast<const ESignInAgain*>(&error)) && Host.CanAsk())
        return Questions.append({QStringLiteral("%1 no longer accepts the sign-in of %2.\n\nSign in to %2 again now?")
                                     .arg(Client.Host, account),
                                 QStringLiteral("Sign In"), [this, account] { SignInAgain(account); }, {}});
    if (Failure.ConnectionLost && Host.CanAsk() && Operation == opCheck)
        return Questions.append({QStringLiteral("Connection required for this operation. Connect now?"),
                                 QStringLiteral("Connection Required"), [this] { actCheckNowExecute(); }, {}});
    if (Operation == opCheck)
        HeldFailures.append({account, FailureReason(error), FailureBox(error)});
    else
        ShowFailureBox(account, FailureBox(error));
}

// One box a failure: boxes that do not wait would pile up otherwise.
TCheckEngine::TFailureBox TCheckEngine::FailureBox(const Exception& error) const
{
    if (Failure.Boxes.isEmpty())
        return {error.Message, QString(), TBoxOwner::MainWindow, true};
    TFailureBox box = Failure.Boxes.last();
    box.Text += QStringLiteral("\n\n") + error.Message.trimmed();
    return box;
}

void TCheckEngine::ShowFailureBox(const QString& account, const TFailureBox& box)
{
    if (box.Plain)
        Host.ShowFailure(account, box.Text);
    else
        Host.TellFailure(account, box.Text, box.Caption, box.Owner);
}

// The failures of one check are one box, a line each: boxes of their own
// would open on top of each other.
void TCheckEngine::TellHeldFailures()
{
    const QList<THeldFailure> held = std::exchange(HeldFailures, {});
    if (held.size() == 1)
        return ShowFailureBox(held.first().Account, held.first().Box);
    if (held.isEmpty())
        return;
    QStringList accounts;
    QStringList lines;
    for (const THeldFailure& failure : held) {
        accounts << failure.Account;
        lines << failure.Account + QStringLiteral(": ") + failure.Reason;
    }
    Host.TellFailures(accounts, QStringLiteral("Postwatch could not check %1 accounts:\n\n").arg(held.size())
                                    + lines.join(u'\n'));
}

// The browser's sign-in waits for the user; then the check runs again.
void TCheckEngine::SignInAgain(const QString& account)
{
    try {
        SignInAccount(Store, account, [this](const QUrl& url) { Host.OpenUrl(url); });
    } catch (const Exception& error) {
        Host.TellFailure(account, error.Message, QStringLiteral("Sign In"), TBoxOwner::MainWindow);
        return;
    }
    if (Tokens)
        Tokens->Forget(account);
    actCheckNowExecute();
}

QString TCheckEngine::FailureReason(const Exception& error) const
{
    if (!Failure.Reason.isEmpty())
        return Failure.Reason;
    if (dynamic_cast<const ECertificateError*>(&error))
        return QStringLiteral("Certificate not trusted");
    if (dynamic_cast<const ETokenRefused*>(&error) || dynamic_cast<const ESignInAgain*>(&error))
        return QStringLiteral("Sign in again");
    if (error.Message.contains(QLatin1String("timed out"), Qt::CaseInsensitive))
        return QStringLiteral("No answer in time");
    return error.Message.simplified();
}

// Asked from the event loop once the calls are over, each after the last
// one's answer; what a Yes starts is a check or action of its own.
void TCheckEngine::PostQuestions()
{
    if (!Questions.isEmpty() && !std::exchange(questionsPosted, true))
        Host.Post([this] { AskQuestions(); });
}

void TCheckEngine::AskQuestions()
{
    questionsPosted = false;
    while (!Questions.isEmpty()) {
        const TQuestion question = Questions.takeFirst();
        if (Host.AskYesNo(question.Text, question.Caption, TBoxOwner::MainWindow)) {
            if (question.Yes)
                question.Yes();
        } else if (question.No) {
            question.No();
        }
    }
}

// A check that was cancelled while it waited leaves its connection open,
// and the cancel makes its QUIT fail; after a failure the QUIT matters less
// than the failure. It closes all the same.
void TCheckEngine::CloseLeftConnection()
{
    if (!Client.Connected)
        return;
    try {
        ClientCall([this] { Client.Disconnect(); });
    } catch (const Exception&) {
    }
}

// A timed check tells nobody in a box: the status bar says it.
void TCheckEngine::TellNoAccounts()
{
    const QString text = QStringLiteral("There are no accounts to check");
    if (!UserStarted) {
        Host.SetStatusText(0, text);
        return;
    }
    if (noAccountsShown)
        return;
    noAccountsShown = true;
    const auto closed = qScopeGuard([this] { noAccountsShown = false; });
    Host.ShowMessage(text);
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
    while (AccountIndex < names.size() && Skipped.contains(names.at(AccountIndex)))
        ++AccountIndex;
    if (AccountIndex >= names.size())
        return FinishCheck();
    const QString name = names.value(AccountIndex);
    DeletedInSession.clear();
    Failure = {};
    Host.SetStatusText(0, QStringLiteral("Checking ") + name + QStringLiteral(" for mail"));
    ConnectAccount(name);
}

// An account whose key is gone (deleted meanwhile) ends the cycle quietly.
void TCheckEngine::ConnectAccount(const QString& name)
{
    if (!ReadAccount(name))
        return;
    ClientCall([this] { Client.Connect(); });
}

// An account written before secure connections existed has neither value
// and connects in the clear, as it always did. Blanks pasted around the
// server or user name are no part of them; one inside the server's name is
// told in words, not as a lookup that failed.
bool TCheckEngine::ReadAccount(const QString& name)
{
    TRegistry reg(Store);
    if (!reg.OpenKeyReadOnly(StoreKeys::Accounts + u'\\' + name))
        return false;
    Client.Host = AccountText(reg.ReadString(QStringLiteral("Server")));
    if (const QString problem = AccountServerProblem(Client.Host); !problem.isEmpty())
        throw Exception(problem);
    Client.UserID = AccountText(reg.ReadString(QStringLiteral("Username")));
    Client.AccountName = name;
    const QString auth = QStringLiteral("Auth");
    Client.Auth = reg.ValueExists(auth) ? reg.ReadInteger(auth) : int(authPassword);
    Client.AccessToken.clear();
    Client.Password.clear();
    // A token's refresh waits for the provider, and the secret store for
    // its answer, as a client call waits for the server; only a check the
    // user started may bring up the keyring's unlock prompt.
    if (Client.Auth == authOAuth2 && Tokens)
        ClientCall([&] { Client.AccessToken = Tokens->For(name); });
    else if (Client.Auth != authOAuth2)
        ClientCall([&] { Client.Password = ReadAccountPassword(reg, Store, name, UserStarted); });
    Client.Port = reg.ReadInteger(QStringLiteral("Port"));
    const QString security = QStringLiteral("Security");
    const QString fingerprint = QStringLiteral("CertFingerprint");
    const QString quick = QStringLiteral("QuickCheck");
    QuickCheck = !reg.ValueExists(quick) || reg.ReadInteger(quick) != 0;
    Client.Security = reg.ValueExists(security) ? reg.ReadInteger(security) : int(secNone);
    Client.CertFingerprint = reg.ValueExists(fingerprint) ? reg.ReadString(fingerprint) : QString();
    return true;
}

// Yes stores the fingerprint and does again what met the certificate; No
// leaves a check as cancelled, an action as if never asked for.
void TCheckEngine::AskTrust(const QString& account, const QString& message, const QString& fingerprint)
{
    const TOperation operation = Operation;
    const MessageEntry entry = ActionEntry;
    auto again = [this, account, fingerprint, operation, entry] {
        TRegistry reg(Store);
        if (reg.OpenKey(StoreKeys::Accounts + u'\\' + account, false))
            reg.WriteString(QStringLiteral("CertFingerprint"), fingerprint);
        if (operation == opCheck) {
            actCheckNowExecute();
        } else if (!EngineBusy && !CheckInFlight()) {
            EngineBusy = operation == opDelete;
            StartMessageAction(operation, entry);
        }
    };
    auto declined = [this, operation] {
        if (operation == opCheck)
            Host.SetStatusText(0, QStringLiteral("Canceled"));
    };
    Questions.append({message + QStringLiteral("\n\nTrust this certificate for ") + account + u'?',
                      QStringLiteral("Certificate"), again, declined});
}

void TCheckEngine::Pop1Connect()
{
    // A refused STAT fires this event after the client has logged out, and
    // Connect raises the refusal next: there is nothing to count.
    if (!Client.Connected)
        return;
    Logins[AccountName()] = {Now(), Client.LoginDelay};
    if (Operation == opDelete)
        return FinishDelete();
    if (Operation == opView)
        return FinishView();
    if (Operation != opCheck)
        return;
    List.StartListing(AccountName(), Now());
    if (Client.MessageCount > 0 && ListQuickly())
        return QuickAccount();
    if (Client.MessageCount > 0) {
        MessageNumber = 1;
        ShowProgress();
        ClientCall([this] { Client.RetrieveSummary(1); });
        return;
    }
    ClientCall([this] { Client.Disconnect(); });
    AccountChecked();
    NextAccount();
}

// One UIDL and one LIST tell which messages an earlier check read already.
// A listing that cannot be trusted leaves this session to the full check,
// and says so; a server without UIDL just has the full check.
bool TCheckEngine::ListQuickly()
{
    if (!Cache || !QuickCheck)
        return false;
    bool listed = false;
    ClientCall([&] { listed = Client.ListMailbox(); });
    if (!listed && Client.ListingProblem != QLatin1String("the server offers no UIDL"))
        WriteErrorLine(AccountName() + QStringLiteral(": ") + Client.ListingProblem
                       + QStringLiteral("; every message is read in full"));
    return listed;
}

// Every message in number order: one read before is its row at once, a new
// one is read with TOP (many at a time where the server pipelines). The
// blocked ones are deleted once all are read: their replies would otherwise
// wait behind the TOPs in flight, and their numbers hold until QUIT.
void TCheckEngine::QuickAccount()
{
    const QString account = AccountName();
    const QString mailbox = TSummaryCache::Mailbox(account, Client.Host, Client.UserID);
    quickAccount = true;
    const auto done = qScopeGuard([this] { quickAccount = false; });
    Client.SummariesAhead.clear();
    for (int number = 1; number <= Client.MessageCount; ++number)
        if (!Cached(mailbox, number))
            Client.SummariesAhead << number;
    List.Reserve(Client.MessageCount);
    QList<int> blocked;
    for (MessageNumber = 1; MessageNumber <= Client.MessageCount; ++MessageNumber) {
        const TSummaryFields fields = QuickFields(mailbox, MessageNumber);
        const QString& id = Client.UniqueIds.at(MessageNumber - 1);
        if (List.AddFields(fields, Client.Sizes.at(MessageNumber - 1), id, account, MessageNumber)
            == TSummaryResult::Delete)
            blocked << MessageNumber;
        ShowProgress();
        if (CancelRequested)
            return EndCanceled();
    }
    for (const int number : std::as_const(blocked)) {
        ClientCall([&] { Client.DeleteMessage(number); });
        DeletedInSession << number;
    }
    ClientCall([this] { Client.Disconnect(); });
    List.Renumber(account, DeletedInSession);
    Cache->Keep(mailbox, Client.UniqueIds);
    AccountChecked();
    NextAccount();
}

// A cached row stands for its message where the listing gives the size it
// had; one kept before sizes were, only where it would not delete the
// message. A server may give a new message an old one's unique id, and
// nobody chose to delete that one.
const TSummaryFields* TCheckEngine::Cached(const QString& mailbox, int number)
{
    const TSummaryCache::TEntry* known = Cache->Find(mailbox, Client.UniqueIds.at(number - 1));
    if (!known)
        return nullptr;
    const qint64 bytes = Client.Sizes.at(number - 1);
    const bool trusted = known->Bytes < 0 ? !List.Deletes(known->Fields, bytes) : known->Bytes == bytes;
    return trusted ? &known->Fields : nullptr;
}

TSummaryFields TCheckEngine::QuickFields(const QString& mailbox, int number)
{
    if (const TSummaryFields* known = Cached(mailbox, number))
        return *known;
    ClientCall([&] { Client.RetrieveSummary(number); });
    const TSummaryFields fields = FieldsOf(Client.Summary);
    Cache->Remember(mailbox, Client.UniqueIds.at(number - 1), fields, Client.Sizes.at(number - 1));
    return fields;
}

// A long first check is visibly alive; rows known already come without a
// wait, so the window gets its turn now and then.
void TCheckEngine::ShowProgress()
{
    constexpr int Every = 10;
    if (MessageNumber % Every != 0 && MessageNumber != Client.MessageCount && MessageNumber != 1)
        return;
    Host.SetStatusText(0, QStringLiteral("Checking %1: %2 of %3").arg(AccountName()).arg(MessageNumber).arg(Client.MessageCount));
    if (quickAccount)
        QCoreApplication::processEvents();
}

void TCheckEngine::Pop1RetrieveEnd()
{
    if (Operation != opCheck || quickAccount)
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
        ShowProgress();
        ClientCall([this] { Client.RetrieveSummary(MessageNumber); });
        return;
    }
    if (Client.Connected) {
        ClientCall([this] { Client.Disconnect(); });
        List.Renumber(AccountName(), DeletedInSession);
    }
    AccountChecked();
    NextAccount();
}

// Checked to its end: its failure, if it had one, is over, and so are the
// boxes that still tell of it.
void TCheckEngine::AccountChecked()
{
    const QString account = AccountName();
    CheckedAccounts << account;
    if (Failures.Clear(account))
        Host.ShowStandingFailures(Failures.Lines());
    Host.WithdrawFailures(account);
}

void TCheckEngine::NextAccount()
{
    MessageNumber = 1;
    ++AccountIndex;
    if (AccountIndex < Options.SelectedAccounts().size())
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

// Questions wait for the event loop: this may run inside the last
// account's calls. The failure box comes after the notification, which
// may bring the main window to the front over it.
void TCheckEngine::FinishCheck()
{
    List.AnnounceHeldRows();
    ApplyHangUpRule();
    Failures.Keep(Options.SelectedAccounts());
    Host.SetStatusText(0, ActivityText());
    EngineBusy = false;
    Host.SetStatusText(1, QStringLiteral("Checked at: ") + LongTimeText(QTime::currentTime()));
    Host.ShowStandingFailures(Failures.Lines());
    if (Cache)
        Cache->Save();
    Host.SetStatusText(2, ResultText());
    AnnounceRows();
    TellHeldFailures();
    PostQuestions();
}

void TCheckEngine::AnnounceRows()
{
    const TNoticeRows rows = Seen && Options.NotifyNewOnly() ? Seen->Announce(List, CheckedAccounts) : AllRows(List);
    if (List.Count() == 0)
        Host.WithdrawNotice();
    else if (!rows.isEmpty())
        Notifier.NotifyByPriority(rows);
}

// What panel 0 says when a check ends: a failure that stands names its
// account, its reason and since when; the tray's hint has all of them.
QString TCheckEngine::ActivityText() const
{
    if (CancelRequested)
        return QStringLiteral("Canceled");
    if (SkippedOffline)
        return QStringLiteral("Offline");
    if (const QStringList lines = Failures.Lines(); !lines.isEmpty())
        return lines.size() == 1 ? lines.first() : lines.first() + QStringLiteral(" (+%1 more)").arg(lines.size() - 1);
    return QStringLiteral("Done");
}

// What panel 2 says when a check ends: how many rows the list holds, and
// which accounts may have more than it shows.
QString TCheckEngine::ResultText() const
{
    QStringList failed;
    for (const TFailureLog::TFailure& failure : Failures.All())
        failed << failure.Account;
    const QString count = QString::number(List.Count()) + QStringLiteral(" new messages");
    if (failed.isEmpty())
        return List.Count() == 0 ? QStringLiteral("No new messages") : count;
    // The failure first: a narrow panel cuts the end.
    const QString failure = QStringLiteral("Check failed for ") + failed.join(QStringLiteral(", "));
    return List.Count() == 0 ? failure : failure + QStringLiteral("; ") + count;
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

// The failure events run inside the client's calls: they only note what
// the account's failure is to tell, and the engine tells it after.
// Handled lets the client look the name up once more.
void TCheckEngine::Pop1InvalidHost(bool& Handled)
{
    Failure.Reason = QStringLiteral("Server not found");
    Failure.Boxes << TFailureBox{QStringLiteral("HostFailed"), QString(), TBoxOwner::MainWindow};
    Handled = true;
}

void TCheckEngine::Pop1AuthenticationFailed(bool& Handled)
{
    Handled = false;
    Failure.Reason = QStringLiteral("Login refused");
    Failure.Boxes << TFailureBox{QStringLiteral("Username or Password for ") + AccountName() + QStringLiteral("not valid."),
                                 QStringLiteral("Login error"), TBoxOwner::None};
}

void TCheckEngine::Pop1ConnectionFailed()
{
    Failure.Reason = QStringLiteral("Failed to connect");
    Failure.Boxes << TFailureBox{QStringLiteral("Failed to connect to ") + AccountName(),
                                 QStringLiteral("Connection Failed"), TBoxOwner::None};
}

// Asked after the cycle, when nothing waits on the client.
void TCheckEngine::Pop1ConnectionRequired(bool& Handled)
{
    Handled = false;
    Failure.Reason = QStringLiteral("Connection lost");
    Failure.ConnectionLost = true;
}

void TCheckEngine::Pop1Failure()
{
    Failure.Boxes << TFailureBox{QStringLiteral("Operation Failed"), QString(), TBoxOwner::MainWindow, true};
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
