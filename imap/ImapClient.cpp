#include "imap/ImapClient.h"

#include "base/CleanText.h"
#include "imap/ImapConnection.h"
#include "imap/ImapFetch.h"
#include "imap/ImapSignIn.h"
#include "imap/ImapWords.h"

#include <QMetaObject>
#include <QSet>
#include <QTimer>
#include <cctype>
#include <deque>
#include <functional>
#include <map>

namespace {

enum class TPhase { Closed, Connecting, Greeting, StartingTls, SigningIn, Open, LoggingOut };

struct TRequest
{
    enum class TKind { Search, FetchHeaders, FetchMessage, MarkSeen, Delete, Idle, Logout };

    TKind Kind = TKind::Search;
    QList<quint32> Uids = {};
    QByteArrayList Fields = {};
};

using TOnTagged = std::function<void(const TImapResponse&)>;

// The command awaiting its tagged answer.
struct TCommand
{
    QByteArray Tag = {};
    QByteArray Name = {};
    QByteArrayList PartsLeft = {};
    QByteArrayList Answers = {};
    TOnTagged OnTagged = {};
    // IDLE's continuation: the server idles.
    std::function<void()> OnIdling = {};
};

// A header field name goes into the command as an atom.
QByteArray FieldAtom(const QByteArray& field)
{
    QByteArray atom;
    for (char c : field)
        if (std::isalnum(static_cast<unsigned char>(c)) || c == '-')
            atom.append(c);
    return atom.toUpper();
}

QByteArray HeaderSection(const QByteArrayList& fields)
{
    QByteArrayList atoms;
    for (const QByteArray& field : fields)
        if (const QByteArray atom = FieldAtom(field); !atom.isEmpty())
            atoms.append(atom);
    return atoms.isEmpty() ? QByteArray("BODY.PEEK[HEADER]") : "BODY.PEEK[HEADER.FIELDS (" + atoms.join(' ') + ")]";
}

QString ServerText(const TImapResponse& response)
{
    return CleanedLine(QString::fromUtf8(response.Text));
}

} // namespace

struct TImapClient::TSession
{
    explicit TSession(TImapClient& client);

    TImapClient& client;
    TImapConnection connection;
    TImapLogin login;
    TPhase phase = TPhase::Closed;
    QStringList capabilities;
    bool capabilitiesFresh = false;
    bool preauthenticated = false;
    quint32 uidValidity = 0;
    qint64 exists = -1;
    std::deque<TRequest> queue;
    bool busy = false;
    std::optional<TCommand> command;
    int tagNumber = 0;
    // The last command answered, to name in a refusal.
    QByteArray answered;
    QTimer renewal;
    bool wantIdle = false;
    bool idling = false;
    bool changedMeanwhile = false;
    // What the command under way gathers from untagged responses.
    QList<quint32> found;
    QSet<quint32> asked;
    std::map<quint32, TImapMessage> headers;
    std::optional<QByteArray> message;
    QByteArray trash;

    void Open(const TImapLogin& account);
    void Enqueue(TRequest request);
    void Cancel();
    void Reset();
    void Fail(TImapErrorKind kind, const QString& message);
    void ConnectionFailed(const TImapError& error);

    // The way in.
    void Ready();
    void Greeted(const TImapResponse& greeting);
    void Secure();
    void SignIn();
    void SignedIn();
    void WithCapabilities(const std::function<void()>& next);
    void Examine(const std::function<void()>& next);
    void Select(const std::function<void()>& next);

    // Commands and what comes back.
    void Run(const TCommandParts& parts, TOnTagged onTagged, QByteArrayList answers = {});
    void RunOk(const QByteArray& text, const std::function<void()>& next);
    void Received(const TImapResponse& response);
    void Tagged(const TImapResponse& response);
    void Continued();
    void Untagged(const TImapResponse& response);
    void StatusCode(const TImapResponse& response);
    void Exists(quint32 count);
    void Fetched(const TImapResponse& response);
    void Listed(const TImapResponse& response);
    void Noticed();
    void Refused(const TImapResponse& reply);

    // Requests.
    void Pump();
    void Start(const TRequest& request);
    void Finish(const std::function<void()>& tell);
    void Search();
    void FetchHeaders(const TRequest& request);
    void FetchMessage(quint32 uid);
    void MarkSeen(quint32 uid);
    void Delete(quint32 uid);
    void DeleteFound(quint32 uid);
    void MoveOrMark(quint32 uid);
    void IfPresent(quint32 uid, const std::function<void()>& present);
    void StartIdle();
    void EndIdle();
    void Logout();
};

TImapClient::TSession::TSession(TImapClient& client) : client(client)
{
    renewal.setSingleShot(true);
    QObject::connect(&renewal, &QTimer::timeout, &client, [this] { EndIdle(); });
    QObject::connect(&connection, &TImapConnection::Ready, &client, [this] { Ready(); });
    QObject::connect(&connection, &TImapConnection::Received, &client, [this](const TImapResponse& response) { Received(response); });
    QObject::connect(&connection, &TImapConnection::Failed, &client, [this](const TImapError& error) { ConnectionFailed(error); });
}

// --- the session's life ----------------------------------------------------

void TImapClient::TSession::Open(const TImapLogin& account)
{
    connection.Close();
    Reset();
    login = account;
    uidValidity = 0;
    tagNumber = 0;
    phase = TPhase::Connecting;
    connection.TimeOut = client.TimeOut;
    connection.MemoryLimit = client.MemoryLimit;
    connection.Open(login);
}

void TImapClient::TSession::Enqueue(TRequest request)
{
    if (phase == TPhase::Closed || phase == TPhase::LoggingOut) {
        QMetaObject::invokeMethod(&client, [this] {
            emit client.Failed({TImapErrorKind::Network, QStringLiteral("Not connected to %1").arg(login.Host), {}});
        }, Qt::QueuedConnection);
        return;
    }
    if (request.Kind != TRequest::TKind::Idle)
        wantIdle = false;
    queue.push_back(std::move(request));
    Pump();
}

void TImapClient::TSession::Cancel()
{
    const bool underWay = busy || !queue.empty() || (phase != TPhase::Closed && phase != TPhase::Open);
    connection.Close();
    Reset();
    if (underWay)
        emit client.Failed({TImapErrorKind::Canceled, QStringLiteral("Canceled"), {}});
}

void TImapClient::TSession::Reset()
{
    phase = TPhase::Closed;
    queue.clear();
    command.reset();
    busy = idling = wantIdle = changedMeanwhile = preauthenticated = false;
    capabilities.clear();
    capabilitiesFresh = false;
    exists = -1;
    renewal.stop();
}

void TImapClient::TSession::Fail(TImapErrorKind kind, const QString& message)
{
    connection.Close();
    Reset();
    emit client.Failed({kind, message, {}});
}

void TImapClient::TSession::ConnectionFailed(const TImapError& error)
{
    const bool loggingOut = phase == TPhase::LoggingOut;
    Reset();
    if (loggingOut)
        emit client.Closed();
    else
        emit client.Failed(error);
}

// --- the way in ------------------------------------------------------------

void TImapClient::TSession::Ready()
{
    if (phase == TPhase::Connecting)
        phase = TPhase::Greeting;
    else if (phase == TPhase::StartingTls)
        WithCapabilities([this] { SignIn(); });
}

void TImapClient::TSession::Greeted(const TImapResponse& greeting)
{
    if (greeting.Kind != TImapResponse::TKind::Untagged || (greeting.Name != "OK" && greeting.Name != "PREAUTH"))
        return Fail(TImapErrorKind::Protocol, QStringLiteral("%1 did not greet as an IMAP server does").arg(login.Host));
    StatusCode(greeting);
    preauthenticated = greeting.Name == "PREAUTH";
    if (preauthenticated && login.Security == secStartTls)
        return Fail(TImapErrorKind::Protocol, QStringLiteral("%1 signed in before the connection was secured").arg(login.Host));
    phase = TPhase::SigningIn;
    connection.Await(false);
    WithCapabilities([this] {
        if (login.Security == secStartTls)
            Secure();
        else
            SignIn();
    });
}

// STARTTLS is required: a server without it is never signed in to in plain.
void TImapClient::TSession::Secure()
{
    if (!capabilities.contains(QLatin1String("STARTTLS")))
        return Fail(TImapErrorKind::Network, QStringLiteral("%1 does not offer STARTTLS: choose SSL/TLS or no security").arg(login.Host));
    RunOk("STARTTLS", [this] {
        // What came in the clear after the STARTTLS reply may be anyone's.
        if (connection.HoldsUnread())
            return Fail(TImapErrorKind::Protocol, QStringLiteral("The server %1 sent data before the secure connection was set up").arg(login.Host));
        capabilities.clear();
        capabilitiesFresh = false;
        phase = TPhase::StartingTls;
        connection.StartTls();
    });
}

void TImapClient::TSession::SignIn()
{
    phase = TPhase::SigningIn;
    if (preauthenticated)
        return SignedIn();
    try {
        TSignIn signIn = SignInFor(login, capabilities);
        capabilitiesFresh = false;
        const bool byToken = signIn.ByToken;
        Run(signIn.Command, [this, byToken](const TImapResponse& reply) {
            if (reply.Name == "OK")
                return SignedIn();
            if (byToken)
                Fail(TImapErrorKind::TokenRefused, QStringLiteral("%1 refused the sign-in token: %2").arg(login.Host, ServerText(reply)));
            else
                Fail(TImapErrorKind::WrongPassword, QStringLiteral("%1 refused the user name or password").arg(login.Host));
        }, signIn.Answers);
    } catch (const EImapSignIn& error) {
        Fail(error.Kind, error.Message);
    }
}

void TImapClient::TSession::SignedIn()
{
    WithCapabilities([this] {
        Examine([this] {
            phase = TPhase::Open;
            emit client.Opened();
            Pump();
        });
    });
}

void TImapClient::TSession::WithCapabilities(const std::function<void()>& next)
{
    if (capabilitiesFresh)
        return next();
    RunOk("CAPABILITY", [this, next] {
        if (!capabilitiesFresh)
            return Fail(TImapErrorKind::Protocol, QStringLiteral("The server %1 did not tell its capabilities").arg(login.Host));
        next();
    });
}

void TImapClient::TSession::Examine(const std::function<void()>& next)
{
    exists = -1;
    RunOk("EXAMINE " + FolderName(login.Folder), next);
}

// Only for the moment a request changes the folder.
void TImapClient::TSession::Select(const std::function<void()>& next)
{
    exists = -1;
    RunOk("SELECT " + FolderName(login.Folder), next);
}

// --- commands --------------------------------------------------------------

void TImapClient::TSession::Run(const TCommandParts& parts, TOnTagged onTagged, QByteArrayList answers)
{
    TCommand sent;
    sent.Tag = 'A' + QByteArray::number(++tagNumber);
    sent.PartsLeft = parts.Parts;
    sent.PartsLeft.last().append("\r\n");
    sent.Name = sent.PartsLeft.first().split(' ').first();
    sent.Answers = std::move(answers);
    sent.OnTagged = std::move(onTagged);
    connection.Send(sent.Tag + ' ' + sent.PartsLeft.takeFirst());
    connection.Await(true);
    command = std::move(sent);
}

void TImapClient::TSession::RunOk(const QByteArray& text, const std::function<void()>& next)
{
    TCommandParts parts;
    parts << text;
    Run(parts, [this, next](const TImapResponse& reply) {
        if (reply.Name == "OK")
            next();
        else
            Refused(reply);
    });
}

void TImapClient::TSession::Refused(const TImapResponse& reply)
{
    Fail(TImapErrorKind::Protocol,
         QStringLiteral("%1 refused %2 (folder \"%3\"): %4").arg(login.Host, QString::fromLatin1(answered),
                                                                 login.Folder, ServerText(reply)));
}

void TImapClient::TSession::Received(const TImapResponse& response)
{
    if (response.Kind == TImapResponse::TKind::Untagged && response.Name == "BYE" && phase != TPhase::LoggingOut)
        return Fail(TImapErrorKind::Network, QStringLiteral("%1 closed the connection: %2").arg(login.Host, ServerText(response)));
    try {
        if (phase == TPhase::Greeting)
            return Greeted(response);
        switch (response.Kind) {
        case TImapResponse::TKind::Tagged: return Tagged(response);
        case TImapResponse::TKind::Continuation: return Continued();
        case TImapResponse::TKind::Untagged: return Untagged(response);
        }
    } catch (const EImapProtocol& error) {
        Fail(TImapErrorKind::Protocol, QStringLiteral("The server %1 %2").arg(login.Host, error.Message));
    }
}

void TImapClient::TSession::Tagged(const TImapResponse& response)
{
    if (!command || response.Tag != command->Tag)
        throw EImapProtocol(QStringLiteral("answered a command it was not given"));
    StatusCode(response);
    const TCommand done = std::move(*command);
    command.reset();
    answered = done.Name;
    connection.Await(false);
    done.OnTagged(response);
}

void TImapClient::TSession::Continued()
{
    if (!command)
        throw EImapProtocol(QStringLiteral("asked for data nobody offered"));
    if (!command->PartsLeft.isEmpty())
        return connection.Send(command->PartsLeft.takeFirst());
    if (!command->Answers.isEmpty())
        return connection.Send(command->Answers.takeFirst() + "\r\n");
    if (command->OnIdling) {
        const std::function<void()> idling = std::exchange(command->OnIdling, nullptr);
        return idling();
    }
    throw EImapProtocol(QStringLiteral("asked for data nobody offered"));
}

void TImapClient::TSession::Untagged(const TImapResponse& response)
{
    if (response.IsStatus())
        return StatusCode(response);
    if (response.Name == "CAPABILITY") {
        capabilities.clear();
        for (const TImapValue& value : response.Data)
            capabilities.append(QString::fromLatin1(value.Text.toUpper()));
        capabilitiesFresh = true;
    } else if (response.Name == "EXISTS" && response.Number) {
        Exists(*response.Number);
    } else if (response.Name == "EXPUNGE") {
        exists = qMax<qint64>(exists - 1, 0);
        Noticed();
    } else if (response.Name == "FETCH") {
        Fetched(response);
    } else if (response.Name == "SEARCH") {
        for (const TImapValue& value : response.Data)
            if (value.Kind == TImapValue::TKind::Number)
                found.append(value.Number());
    } else if (response.Name == "LIST") {
        Listed(response);
    }
}

void TImapClient::TSession::StatusCode(const TImapResponse& response)
{
    if (response.HasCode("CAPABILITY")) {
        capabilities.clear();
        for (const TImapValue& value : response.Code.mid(1))
            capabilities.append(QString::fromLatin1(value.Text.toUpper()));
        capabilitiesFresh = true;
    } else if (response.HasCode("UIDVALIDITY") && response.Code.size() == 2) {
        const quint32 validity = response.Code[1].Number();
        if (uidValidity != 0 && validity != uidValidity)
            throw EImapProtocol(QStringLiteral("replaced the folder \"%1\" while Postwatch watched it").arg(login.Folder));
        uidValidity = validity;
    }
}

// A count lower than the last without an expunge between would lose track
// of which message is which.
void TImapClient::TSession::Exists(quint32 count)
{
    if (exists >= 0 && count < exists)
        throw EImapProtocol(QStringLiteral("counted fewer messages (%1) than before (%2) without removing any").arg(count).arg(exists));
    const bool grew = exists >= 0 && count > exists;
    exists = count;
    if (grew)
        Noticed();
}

void TImapClient::TSession::Fetched(const TImapResponse& response)
{
    const TFetchItems items = FetchItemsOf(response);
    if (!items.HoldsData())
        return Noticed();
    if (!items.Uid || !asked.contains(*items.Uid))
        throw EImapProtocol(QStringLiteral("sent a message that was not asked for"));
    if (items.Message)
        message = items.Message;
    if (items.Header)
        headers[*items.Uid] = {*items.Uid, items.Size, items.Seen.value_or(false), *items.Header};
}

void TImapClient::TSession::Listed(const TImapResponse& response)
{
    if (response.Data.size() < 3 || response.Data.first().Kind != TImapValue::TKind::List || !response.Data.last().IsText())
        return;
    const QList<TImapValue>& attributes = response.Data.first().Items;
    if (std::any_of(attributes.begin(), attributes.end(), [](const TImapValue& a) { return a.IsAtom("\\Trash"); }))
        trash = response.Data.last().Text;
}

void TImapClient::TSession::Noticed()
{
    if (idling)
        emit client.Changed();
    else
        changedMeanwhile = true;
}

// --- requests ----------------------------------------------------------------

void TImapClient::TSession::Pump()
{
    if (busy || phase != TPhase::Open || queue.empty())
        return;
    if (idling)
        return EndIdle();
    if (command)
        return;
    const TRequest request = queue.front();
    queue.pop_front();
    busy = true;
    Start(request);
}

void TImapClient::TSession::Start(const TRequest& request)
{
    found.clear();
    asked = QSet<quint32>(request.Uids.begin(), request.Uids.end());
    headers.clear();
    message.reset();
    const quint32 uid = request.Uids.value(0);
    switch (request.Kind) {
    case TRequest::TKind::Search: return Search();
    case TRequest::TKind::FetchHeaders: return FetchHeaders(request);
    case TRequest::TKind::FetchMessage: return FetchMessage(uid);
    case TRequest::TKind::MarkSeen: return MarkSeen(uid);
    case TRequest::TKind::Delete: return Delete(uid);
    case TRequest::TKind::Idle: return StartIdle();
    case TRequest::TKind::Logout: return Logout();
    }
}

// The request is done: its signal may queue the next one, or end the session.
void TImapClient::TSession::Finish(const std::function<void()>& tell)
{
    busy = false;
    tell();
    Pump();
}

void TImapClient::TSession::Search()
{
    changedMeanwhile = false;
    RunOk("UID SEARCH UNSEEN UNDELETED", [this] {
        QList<quint32> uids = found;
        std::sort(uids.begin(), uids.end());
        uids.erase(std::unique(uids.begin(), uids.end()), uids.end());
        Finish([this, uids] { emit client.Searched(uids); });
    });
}

void TImapClient::TSession::FetchHeaders(const TRequest& request)
{
    if (request.Uids.isEmpty())
        return Finish([this] { emit client.HeadersFetched({}); });
    RunOk("UID FETCH " + UidSet(request.Uids) + " (UID RFC822.SIZE FLAGS " + HeaderSection(request.Fields) + ')', [this] {
        QList<TImapMessage> messages;
        for (const auto& [uid, fetched] : headers)
            messages.append(fetched);
        Finish([this, messages] { emit client.HeadersFetched(messages); });
    });
}

void TImapClient::TSession::FetchMessage(quint32 uid)
{
    RunOk("UID FETCH " + QByteArray::number(uid) + " (UID BODY.PEEK[])", [this, uid] {
        if (message)
            Finish([this, uid, fetched = *message] { emit client.MessageFetched(uid, fetched); });
        else
            Finish([this, uid] { emit client.Gone(uid); });
    });
}

void TImapClient::TSession::MarkSeen(quint32 uid)
{
    Select([this, uid] {
        IfPresent(uid, [this, uid] {
            RunOk("UID STORE " + QByteArray::number(uid) + " +FLAGS.SILENT (\\Seen)", [this, uid] {
                Examine([this, uid] { Finish([this, uid] { emit client.MarkedSeen(uid); }); });
            });
        });
    });
}

void TImapClient::TSession::Delete(quint32 uid)
{
    Select([this, uid] { IfPresent(uid, [this, uid] { DeleteFound(uid); }); });
}

// A plain EXPUNGE would also remove what other programs marked deleted: only
// UID EXPUNGE removes this one message alone.
void TImapClient::TSession::DeleteFound(quint32 uid)
{
    if (!capabilities.contains(QLatin1String("UIDPLUS")))
        return MoveOrMark(uid);
    const QByteArray id = QByteArray::number(uid);
    RunOk("UID STORE " + id + " +FLAGS.SILENT (\\Deleted)", [this, uid, id] {
        RunOk("UID EXPUNGE " + id, [this, uid] {
            Examine([this, uid] { Finish([this, uid] { emit client.Deleted(uid, TImapDeletion::Expunged); }); });
        });
    });
}

void TImapClient::TSession::MoveOrMark(quint32 uid)
{
    const QByteArray id = QByteArray::number(uid);
    const auto markDeleted = [this, uid, id] {
        RunOk("UID STORE " + id + " +FLAGS.SILENT (\\Deleted)", [this, uid] {
            Examine([this, uid] { Finish([this, uid] { emit client.Deleted(uid, TImapDeletion::MarkedDeleted); }); });
        });
    };
    if (!capabilities.contains(QLatin1String("MOVE")))
        return markDeleted();
    trash.clear();
    RunOk("LIST \"\" \"*\"", [this, uid, id, markDeleted] {
        if (trash.isEmpty())
            return markDeleted();
        TCommandParts move;
        move << "UID MOVE " + id + ' ';
        move.String(trash, capabilities.contains(QLatin1String("LITERAL+")));
        Run(move, [this, uid](const TImapResponse& reply) {
            if (reply.Name != "OK")
                return Refused(reply);
            Examine([this, uid] { Finish([this, uid] { emit client.Deleted(uid, TImapDeletion::MovedToTrash); }); });
        });
    });
}

// A message another program removed meanwhile is Gone, and the folder is
// examined again either way.
void TImapClient::TSession::IfPresent(quint32 uid, const std::function<void()>& present)
{
    found.clear();
    RunOk("UID SEARCH UID " + QByteArray::number(uid), [this, uid, present] {
        if (found.contains(uid))
            return present();
        Examine([this, uid] { Finish([this, uid] { emit client.Gone(uid); }); });
    });
}

void TImapClient::TSession::StartIdle()
{
    if (!capabilities.contains(QLatin1String("IDLE")))
        return Finish([] {});
    wantIdle = true;
    TCommandParts idle;
    idle << "IDLE";
    Run(idle, [this](const TImapResponse& reply) {
        idling = false;
        renewal.stop();
        if (reply.Name != "OK")
            return Refused(reply);
        if (wantIdle && queue.empty())
            return StartIdle();
        Pump();
    });
    command->OnIdling = [this] {
        idling = true;
        busy = false;
        connection.Await(false);
        renewal.start(client.IdleRenewal);
        if (std::exchange(changedMeanwhile, false))
            emit client.Changed();
        Pump();
    };
}

// DONE, and the IDLE's own answer goes on with what waits, or idles anew.
void TImapClient::TSession::EndIdle()
{
    if (!idling || !command)
        return;
    idling = false;
    renewal.stop();
    connection.Send("DONE\r\n");
    connection.Await(true);
}

void TImapClient::TSession::Logout()
{
    phase = TPhase::LoggingOut;
    RunOk("LOGOUT", [this] {
        connection.Close();
        Reset();
        emit client.Closed();
    });
}

// --- the client ------------------------------------------------------------

TImapClient::TImapClient(QObject* parent) : QObject(parent), session(std::make_unique<TSession>(*this))
{
}

TImapClient::~TImapClient() = default;

void TImapClient::Open(const TImapLogin& login)
{
    session->Open(login);
}

void TImapClient::SearchUnseen()
{
    session->Enqueue({TRequest::TKind::Search});
}

void TImapClient::FetchHeaders(const QList<quint32>& uids, const QByteArrayList& fields)
{
    session->Enqueue({TRequest::TKind::FetchHeaders, uids, fields});
}

void TImapClient::FetchMessage(quint32 uid)
{
    session->Enqueue({TRequest::TKind::FetchMessage, {uid}});
}

void TImapClient::MarkSeen(quint32 uid)
{
    session->Enqueue({TRequest::TKind::MarkSeen, {uid}});
}

void TImapClient::Delete(quint32 uid)
{
    session->Enqueue({TRequest::TKind::Delete, {uid}});
}

void TImapClient::Idle()
{
    session->Enqueue({TRequest::TKind::Idle});
}

void TImapClient::Logout()
{
    session->Enqueue({TRequest::TKind::Logout});
}

void TImapClient::Cancel()
{
    session->Cancel();
}

bool TImapClient::IsOpen() const
{
    return session->phase == TPhase::Open;
}

bool TImapClient::CanIdle() const
{
    return session->capabilities.contains(QLatin1String("IDLE"));
}

quint32 TImapClient::UidValidity() const
{
    return session->uidValidity;
}
