#include "engine/Pop3Source.h"

#include "engine/AccessTokens.h"
#include "engine/EngineState.h"
#include "engine/FailureKind.h"
#include "engine/MessageFields.h"
#include "engine/MessageList.h"
#include "engine/QuickViewText.h"
#include "engine/SummaryCache.h"
#include "base/Exception.h"
#include "config/AccountPassword.h"
#include "config/AccountRecord.h"
#include "config/AccountText.h"
#include "config/Registry.h"
#include "pop3/Pop3client.h"

#include <QScopeGuard>

TPop3Source::TPop3Source(const QString& account, const TParts& parts, QObject* parent)
    : TMailSource(account, parent), parts(parts), client(parts.Client)
{
}

void TPop3Source::Open()
{
    Start(TTask::Open, [this] { ConnectAccount(); });
}

void TPop3Source::Refresh()
{
    Start(TTask::Refresh, [this] { ConnectAccount(); });
}

// Asked while its row is being listed, the delete belongs to the listing.
void TPop3Source::Delete(const TMessageKey& key)
{
    if (task == TTask::Refresh) {
        deleteListed = true;
        return;
    }
    target = key;
    Start(TTask::Delete, [this] { ConnectAccount(); });
}

void TPop3Source::Fetch(const TMessageKey& key)
{
    target = key;
    Start(TTask::Fetch, [this] { ConnectAccount(); });
}

// A session cancelled while it waited is left open, and the cancel makes
// its QUIT fail; after a failure the QUIT matters less than the failure.
// It closes all the same.
void TPop3Source::Close()
{
    if (!client.Connected)
        return;
    try {
        CallClient([this] { client.Disconnect(); });
    } catch (const Exception&) {
    }
}

void TPop3Source::Cancel()
{
    client.Cancel();
    canceled = true;
}

void TPop3Source::Start(TTask next, const std::function<void()>& work)
{
    Close();
    task = next;
    canceled = false;
    noted = {};
    deletedInSession.clear();
    BindEvents();
    Run(work);
}

// A failure is told by the outermost of this source's frames, once the
// client's calls below it have returned.
void TPop3Source::Run(const std::function<void()>& work)
{
    ++depth;
    try {
        work();
    } catch (const Exception& error) {
        if (--depth > 0)
            throw;
        Fail(FailureOf(error));
        return;
    }
    --depth;
}

// The client is shared by every POP3 account: its events are this source's
// while it works.
void TPop3Source::BindEvents()
{
    client.OnConnect = [this](QObject*) { Connected(); };
    client.OnRetrieveEnd = [this](QObject*) { SummaryRead(); };
    client.OnInvalidHost = [this](bool& Handled) {
        NoteFailure(QStringLiteral("Server not found"), {QStringLiteral("HostFailed")});
        Handled = true;
    };
    client.OnAuthenticationNeeded = client.OnAuthenticationFailed = [this](bool& Handled) {
        Handled = false;
        noted.Kind = TFailureKind::WrongPassword;
        NoteFailure(QStringLiteral("Login refused"),
                    {QStringLiteral("Username or Password for ") + Account() + QStringLiteral("not valid."),
                     QStringLiteral("Login error"), TBoxOwner::None});
    };
    client.OnConnectionFailed = [this](QObject*) {
        NoteFailure(QStringLiteral("Failed to connect"),
                    {QStringLiteral("Failed to connect to ") + Account(), QStringLiteral("Connection Failed"),
                     TBoxOwner::None});
    };
    client.OnConnectionRequired = [this](bool& Handled) {
        Handled = false;
        noted.Reason = QStringLiteral("Connection lost");
        noted.ConnectionLost = true;
    };
    client.OnFailure = [this](QObject*) {
        noted.Boxes << TFailureBox{QStringLiteral("Operation Failed"), QString(), TBoxOwner::MainWindow, true};
    };
}

void TPop3Source::NoteFailure(const QString& reason, const TFailureBox& box)
{
    noted.Reason = reason;
    noted.Boxes << box;
}

// An account whose key is gone (deleted meanwhile) does nothing more.
void TPop3Source::ConnectAccount()
{
    if (!ReadAccount()) {
        task = TTask::None;
        return;
    }
    CallClient([this] { client.Connect(); });
}

// Blanks pasted around the server or user name are no part of them (the
// record drops them); one inside the server's name is told in words, not
// as a lookup that failed.
bool TPop3Source::ReadAccount()
{
    const std::optional<TAccountRecord> account = TAccountRecord::Read(parts.Store, Account());
    if (!account)
        return false;
    client.Host = account->Server;
    if (const QString problem = AccountServerProblem(client.Host); !problem.isEmpty())
        throw Exception(problem);
    client.UserID = account->Username;
    client.AccountName = Account();
    client.Auth = account->Auth;
    ReadCredentials(client.Auth);
    client.Port = account->Port;
    quickCheck = account->QuickCheck;
    client.Security = account->Security;
    client.CertFingerprint = account->CertFingerprint;
    return true;
}

// A token's refresh waits for the provider, and the secret store for its
// answer, as a client call waits for the server; only a request the user
// made may bring up the keyring's unlock prompt.
void TPop3Source::ReadCredentials(int auth)
{
    client.AccessToken.clear();
    client.Password.clear();
    if (SendsToken(auth) && parts.Tokens) {
        parts.State.Wait([&] { client.AccessToken = parts.Tokens->For(Account()); });
    } else if (!SendsToken(auth)) {
        TRegistry reg(parts.Store);
        reg.OpenKeyReadOnly(TAccountRecord::KeyOf(Account()));
        parts.State.Wait(
            [&] { client.Password = ReadAccountPassword(reg, parts.Store, Account(), parts.State.UserStarted); });
    }
}

void TPop3Source::Connected()
{
    // A refused STAT fires this event after the client has logged out, and
    // Connect raises the refusal next: there is nothing to count.
    if (!client.Connected)
        return;
    emit Opened(client.LoginDelay);
    if (task == TTask::Delete)
        return FinishDelete();
    if (task == TTask::Fetch)
        return FinishFetch();
    if (task == TTask::Refresh)
        ListAll();
}

void TPop3Source::ListAll()
{
    emit Listing(client.MessageCount);
    if (client.MessageCount > 0 && ListQuickly())
        return QuickListing();
    if (client.MessageCount > 0) {
        MessageNumber = 1;
        ShowProgress();
        CallClient([this] { client.RetrieveSummary(1); });
        return;
    }
    CallClient([this] { client.Disconnect(); });
    EndListing();
}

void TPop3Source::CallClient(const std::function<void()>& call)
{
    parts.State.Wait(call);
}

void TPop3Source::Fail(const TSourceFailure& failure)
{
    TSourceFailure told = failure;
    if (noted.Kind == TFailureKind::WrongPassword && told.Kind == TFailureKind::Protocol)
        told.Kind = TFailureKind::WrongPassword;
    told.Reason = noted.Reason;
    told.Boxes = noted.Boxes;
    told.ConnectionLost = noted.ConnectionLost;
    told.Server = client.Host;
    task = TTask::None;
    emit Failed(told);
}

// Numbers belong to one session: another program may have removed messages
// since the listing, and MessageNumber n may now be another message.
bool TPop3Source::NumberOnServer() const
{
    return target.Number >= 1 && target.Number <= client.MessageCount;
}

// A unique id answers in one line; without one the header is compared.
bool TPop3Source::StillListed()
{
    if (!NumberOnServer())
        return false;
    if (!target.UniqueId.isEmpty()) {
        QString id;
        CallClient([&] { id = client.UniqueId(target.Number); });
        return id == target.UniqueId;
    }
    CallClient([this] { client.RetrieveSummary(target.Number); });
    return HeaderDigest(client.Summary.Header) == target.Digest;
}

void TPop3Source::Refuse()
{
    CallClient([this] { client.Disconnect(); });
    task = TTask::None;
    emit Missing(target);
}

// The QUIT makes the deletion final, and with it the numbers that follow.
void TPop3Source::FinishDelete()
{
    if (!StillListed())
        return Refuse();
    CallClient([this] { client.DeleteMessage(target.Number); });
    CallClient([this] { client.Disconnect(); });
    task = TTask::None;
    emit Deleted(target);
}

// Another message under the listed MessageNumber is refused once its header is
// in, before any of its parts is written.
void TPop3Source::FinishFetch()
{
    if (!NumberOnServer() || (!target.UniqueId.isEmpty() && !StillListed()))
        return Refuse();
    client.AcceptHeader = [this](const TExStringList& head) {
        return !target.UniqueId.isEmpty() || HeaderDigest(head) == target.Digest;
    };
    const auto forget = qScopeGuard([this] { client.AcceptHeader = nullptr; });
    try {
        CallClient([this] { client.RetrieveMessage(target.Number); });
    } catch (const EMessageRefused&) {
        return Refuse();
    }
    emit Fetched(QuickViewOf(client.MailMessage, Account()));
    CallClient([this] { client.Disconnect(); });
    task = TTask::None;
}
