#include "engine/ImapSource.h"

#include "engine/AccessTokens.h"
#include "engine/EngineState.h"
#include "engine/FailureKind.h"
#include "base/Exception.h"
#include "config/AccountPassword.h"
#include "config/AccountRecord.h"
#include "config/AccountText.h"
#include "config/Registry.h"

TImapSource::TImapSource(const QString& account, const TParts& parts, QObject* parent)
    : TMailSource(account, parent), parts(parts)
{
    retryTimer.setSingleShot(true);
    connect(&retryTimer, &QTimer::timeout, this, [this] { Retry(); });
    connect(&client, &TImapClient::Opened, this, [this] { SessionOpened(); });
    connect(&client, &TImapClient::Searched, this, [this](const QList<quint32>& uids) { Searched(uids); });
    connect(&client, &TImapClient::HeadersFetched, this,
            [this](const QList<TImapMessage>& messages) { HeadersFetched(messages); });
    connect(&client, &TImapClient::MessageFetched, this,
            [this](quint32 uid, const QByteArray& bytes) { FetchedMessage(uid, bytes); });
    connect(&client, &TImapClient::Gone, this, [this](quint32 uid) { Gone(uid); });
    connect(&client, &TImapClient::MarkedSeen, this, [this](quint32 uid) {
        known.remove(uid);
        emit MarkedRead(current->Key);
        Done();
    });
    connect(&client, &TImapClient::Deleted, this, [this](quint32 uid, TImapDeletion how) {
        known.remove(uid);
        if (how == TImapDeletion::MarkedDeleted)
            emit DeletedAtExpunge(current->Key);
        emit Deleted(current->Key);
        Done();
    });
    connect(&client, &TImapClient::Changed, this, [this] { Ask({TJob::Update}); });
    connect(&client, &TImapClient::Failed, this, [this](const TImapError& error) { ClientFailed(error); });
}

TWatchState TImapSource::Watching() const
{
    return {live, retryingSince};
}

void TImapSource::Open()
{
    Ask({TJob::Open});
}

void TImapSource::Refresh()
{
    Ask({TJob::Refresh});
}

void TImapSource::Delete(const TMessageKey& key)
{
    Ask({TJob::Delete, key});
}

void TImapSource::Fetch(const TMessageKey& key)
{
    Ask({TJob::Fetch, key});
}

void TImapSource::MarkRead(const TMessageKey& key)
{
    Ask({TJob::MarkRead, key});
}

// A watching source keeps its connection when its asker is done; its end
// is the source's end.
void TImapSource::Close()
{
    if (parts.Watch || current)
        return;
    queue.clear();
    if (client.IsOpen())
        client.Logout();
}

void TImapSource::Cancel()
{
    if (current)
        client.Cancel();
}

void TImapSource::Revive()
{
    if (!live && !retryingSince.isValid())
        return;
    if (!current)
        client.Cancel();
    retryPause = 0;
    Retry();
}

// Changes told while an update waits are in that update.
void TImapSource::Ask(const TRequest& request)
{
    const bool updateWaits = std::any_of(queue.begin(), queue.end(), [](const TRequest& queued) {
        return queued.Job == TJob::Update;
    });
    if (request.Job == TJob::Update && updateWaits)
        return;
    queue.push_back(request);
    if (!current)
        Next();
}

void TImapSource::Next()
{
    if (queue.empty())
        return Rest();
    current = queue.front();
    queue.pop_front();
    if (client.IsOpen())
        Run();
    else
        OpenSession();
}

// A key of another UIDVALIDITY names a message this folder no longer has.
void TImapSource::Run()
{
    const quint32 uid = UidOf(current->Key);
    const bool onMessage = current->Job == TJob::Delete || current->Job == TJob::Fetch || current->Job == TJob::MarkRead;
    if (onMessage && uid == 0)
        return Gone(0);
    switch (current->Job) {
    case TJob::Open: return Done();
    case TJob::Refresh:
    case TJob::Update: return client.SearchUnseen();
    case TJob::Delete: return client.Delete(uid);
    case TJob::Fetch: return client.FetchMessage(uid);
    case TJob::MarkRead: return client.MarkSeen(uid);
    }
}

void TImapSource::Done()
{
    current.reset();
    Next();
}

// Between requests the connection waits for news where the server tells
// it; elsewhere the timer's checks ask, each on a connection of its own.
void TImapSource::Rest()
{
    if (!client.IsOpen())
        return;
    if (parts.Watch && client.CanIdle()) {
        client.Idle();
        retryPause = 0;
        retryingSince = {};
        return SetLive(true);
    }
    client.Logout();
    SetLive(false);
}

void TImapSource::OpenSession()
{
    std::optional<TImapLogin> login;
    try {
        login = ReadLogin();
    } catch (const Exception& error) {
        return FailWith(FailureOf(error));
    }
    if (!login) {
        queue.clear();
        current.reset();
        return;
    }
    client.TimeOut = parts.TimeOut();
    client.IdleRenewal = parts.IdleRenewal;
    client.Open(*login);
}

// An account whose key is gone does nothing more. The secret store and a
// token's refresh are waited for as the POP3 side waits for them.
std::optional<TImapLogin> TImapSource::ReadLogin()
{
    const std::optional<TAccountRecord> account = TAccountRecord::Read(parts.Store, Account());
    if (!account)
        return std::nullopt;
    if (const QString problem = AccountServerProblem(account->Server); !problem.isEmpty())
        throw Exception(problem);
    TImapLogin login{account->Server, account->Port, account->Security, account->CertFingerprint,
                     account->Username};
    login.Folder = account->Folder;
    if (SendsToken(account->Auth)) {
        if (!parts.Tokens)
            throw Exception(QStringLiteral("%1 signs in with its provider, which this run cannot do.").arg(Account()));
        parts.State.Wait([&] { login.Token = parts.Tokens->For(Account()); });
    } else {
        TRegistry reg(parts.Store);
        reg.OpenKeyReadOnly(TAccountRecord::KeyOf(Account()));
        parts.State.Wait([&] {
            login.Password = ReadAccountPassword(reg, parts.Store, Account(), parts.State.UserStarted);
        });
    }
    // Another server, user or folder under the same name is another mailbox.
    if (server != login.Host || user != login.User || folder != login.Folder)
        known.clear();
    server = login.Host;
    user = login.User;
    folder = login.Folder;
    return login;
}

// A folder made anew (another UIDVALIDITY) has none of the messages known.
void TImapSource::SessionOpened()
{
    if (client.UidValidity() != validity)
        known.clear();
    validity = client.UidValidity();
    emit Opened(0);
    Run();
}

// Ids are "UIDVALIDITY.UID": a message of a folder made anew is never
// taken for the one that had its UID before.
QString TImapSource::IdOf(quint32 uid) const
{
    return QStringLiteral("%1.%2").arg(validity).arg(uid);
}

quint32 TImapSource::UidOf(const TMessageKey& key) const
{
    const QStringList parts = key.UniqueId.split(u'.');
    return parts.size() == 2 && parts.first().toUInt() == validity ? parts.last().toUInt() : 0;
}

void TImapSource::Gone(quint32 uid)
{
    known.remove(uid);
    if (current && current->Job != TJob::Refresh && current->Job != TJob::Update)
        emit Missing(current->Key);
    Done();
}

void TImapSource::ClientFailed(const TImapError& error)
{
    static const QHash<TImapErrorKind, TFailureKind> kinds{
        {TImapErrorKind::Network, TFailureKind::Network},
        {TImapErrorKind::Certificate, TFailureKind::Certificate},
        {TImapErrorKind::WrongPassword, TFailureKind::WrongPassword},
        {TImapErrorKind::TokenRefused, TFailureKind::SignInRefused},
        {TImapErrorKind::Protocol, TFailureKind::Protocol},
        {TImapErrorKind::Canceled, TFailureKind::Canceled},
    };
    FailWith({.Kind = kinds.value(error.Kind), .Message = error.Message, .Fingerprint = error.Fingerprint});
}

// A request's failure is its asker's to tell; a watching connection's is
// told once, and it is opened again while the failure is the network's or
// the server's, not one only the user can mend.
void TImapSource::FailWith(const TSourceFailure& failure)
{
    TSourceFailure told = failure;
    told.Server = server;
    const bool asked = current && current->Job != TJob::Update;
    queue.clear();
    current.reset();
    SetLive(false);
    if (asked)
        return emit Failed(told);
    Dropped(told);
}

void TImapSource::Dropped(const TSourceFailure& failure)
{
    const bool retrying = retryingSince.isValid();
    if (!retrying)
        retryingSince = parts.Now();
    if (failure.Kind == TFailureKind::Network || failure.Kind == TFailureKind::Protocol) {
        retryPause = retryPause == 0 ? parts.FirstRetry : std::min(retryPause * 2, parts.LastRetry);
        retryTimer.start(retryPause);
    } else {
        retryingSince = {};
    }
    emit WatchChanged();
    if (!retrying)
        emit Failed(failure);
}

void TImapSource::Retry()
{
    retryTimer.stop();
    if (!current)
        Ask({TJob::Update});
}

void TImapSource::SetLive(bool now)
{
    if (live == now)
        return;
    live = now;
    emit WatchChanged();
}
