#include "pop3/Pop3client.h"

#include "base/Words.h"
#include "pop3/TextLimit.h"

#include <QScopeGuard>
#include <QSet>
#include <algorithm>
#include <utility>

namespace {

// A summary header without end must not fill the memory, nor stop the
// check: what is beyond these is read away and the summary marked cut.
constexpr qsizetype MaxSummaryLines = 16 * 1024;
constexpr qsizetype MaxSummaryBytes = 1024 * 1024;
constexpr qsizetype MaxSummaryLineLength = 64 * 1024;
// Read away, but not without end: past this the reply is given up.
constexpr qsizetype MaxSummaryReadAway = 64 * 1024 * 1024;
constexpr qsizetype MaxCapabilities = 256;
// RFC 2449 servers list a few dozen short lines: a CAPA reply beyond these
// will not end, and would hold the check for good.
constexpr qsizetype MaxCapaLines = 4 * MaxCapabilities;
constexpr qsizetype MaxCapaBytes = 64 * 1024;
constexpr qsizetype MaxCapaLineLength = 1024;
// A server may ask for a pause between logins, but not for one that stops
// checking altogether.
constexpr int MaxLoginDelay = 24 * 60 * 60;
// RFC 5034: an AUTH command carries its first response only within this
// many octets, line end included.
constexpr qsizetype MaxAuthCommandLine = 255;
// TOP commands in flight at once with PIPELINING.
constexpr qsizetype PipelineWindow = 32;
// RFC 1939: a unique id is 1 to 70 characters from 0x21 to 0x7E.
constexpr qsizetype MaxUniqueIdLength = 70;
// More than any mailbox holds: a count beyond it is not listed.
constexpr int MaxListedMessages = 1000000;

bool Positive(const QByteArray& reply)
{
    return Word(reply, 1).contains("+OK");
}

bool StrictlyPositive(const QByteArray& reply)
{
    return Word(reply, 1) == "+OK";
}

[[noreturn]] void Refuse(const QByteArray& reply)
{
    throw Exception(WireText(reply));
}

// A refused login with a response code other than [AUTH] (RFC 2449, 3206:
// [LOGIN-DELAY], [IN-USE], [SYS/TEMP], ...) is not about the password: the
// server's own words say what it is.
void RefuseUnlessAboutCredentials(const QByteArray& reply)
{
    const QByteArray text = reply.trimmed();
    if (!text.startsWith("-ERR [") || text.startsWith("-ERR [AUTH]"))
        return;
    Refuse(reply);
}

int LoginDelayOf(const QStringList& capabilities)
{
    for (const QString& line : capabilities) {
        const QStringList words = line.split(u' ', Qt::SkipEmptyParts);
        if (words.size() >= 2 && words.first().compare(QLatin1String("LOGIN-DELAY"), Qt::CaseInsensitive) == 0)
            return qBound(0, words.at(1).toInt(), MaxLoginDelay);
    }
    return 0;
}

QString AuthenticationFailed()
{
    return QStringLiteral("Authentication failed");
}

// The line without its LF and the CR before it, if any.
QByteArray WithoutLineEnd(const QByteArray& line)
{
    const qsizetype cut = line.size() >= 2 && line[line.size() - 2] == '\r' ? 2 : 1;
    return line.left(qMax<qsizetype>(0, line.size() - cut));
}

bool StartsWithField(const QByteArray& line, QByteArrayView name)
{
    return line.size() >= name.size() && QByteArrayView(line).first(name.size()).compare(name, Qt::CaseInsensitive) == 0;
}

// +OK as the reply's first word, whether text follows it or not: what a
// multi-line reply starts with.
bool OpensListing(const QByteArray& reply)
{
    return Word(WithoutLineEnd(reply), 1) == "+OK";
}

// A SASL challenge: "+", a blank and base64 (RFC 5034), never "+OK".
bool IsChallenge(const QByteArray& reply)
{
    const QByteArray line = WithoutLineEnd(reply);
    return line == "+" || line.startsWith("+ ");
}

bool IsUniqueId(const QByteArray& id)
{
    return !id.isEmpty() && id.size() <= MaxUniqueIdLength
           && std::all_of(id.begin(), id.end(), [](char c) { return c >= 0x21 && c <= 0x7e; });
}

qint64 MessageSize(const QByteArray& reply)
{
    const QByteArray word = Word(reply, 3).trimmed();
    bool ok = false;
    const qint64 size = word.toLongLong(&ok);
    if (!ok)
        throw EConvertError(QStringLiteral("The server gave \"%1\" as the message size, which is not a number").arg(WireText(word)));
    return size;
}

} // namespace

TPop3Client::TPop3Client(QObject* parent) : TLineSocket(parent), UUProcessor(this)
{
    Port = 110;
    AttachFilePath = TAttachFolder::DefaultPath();
    Reader.OnStatus = [this](const QString& text) { ReportStatus(1, text); };
}

// --- session --------------------------------------------------------------

void TPop3Client::Connect()
{
    AskCredentials();
    awaiting.clear();
    UniqueIds.clear();
    Sizes.clear();
    const bool wasBusy = std::exchange(Busy, true);
    bool loggedIn = false;
    try {
        TLineSocket::Connect();
        try {
            ReadGreeting();
            if (Security == secStartTls)
                StartTls();
            LogIn();
            loggedIn = true;
            ReadCapabilities();
            CountMessages();
        } catch (...) {
            QuitQuietly();
            throw;
        }
    } catch (...) {
        EndConnect(wasBusy, loggedIn);
        throw;
    }
    EndConnect(wasBusy, loggedIn);
}

void TPop3Client::AskCredentials()
{
    if (Auth != authPassword)
        return RequireToken();
    bool asked = false;
    while (UserID.isEmpty() || Password.isEmpty()) {
        if (!OnAuthenticationNeeded)
            throw Exception(AuthenticationFailed());
        if (asked)
            return;
        bool handled = false;
        OnAuthenticationNeeded(handled);
        asked = true;
        if (!handled)
            throw Exception(AuthenticationFailed());
    }
}

void TPop3Client::ReadGreeting()
{
    const QByteArray greeting = ReadLn();
    if (!Positive(greeting))
        Refuse(greeting);
}

// Never goes on in the clear: the password must not cross the network there.
void TPop3Client::StartTls()
{
    if (!StrictlyPositive(Transaction("STLS")))
        throw ESockError(QStringLiteral("The server does not offer STARTTLS"));
    StartEncryption();
}

// The failure handler may correct the credentials, and is asked once.
void TPop3Client::LogIn()
{
    if (SendsToken(Auth))
        return LogInWithToken();
    bool asked = false;
    while (!TryLogIn()) {
        if (asked || !OnAuthenticationFailed)
            throw Exception(AuthenticationFailed());
        bool handled = false;
        OnAuthenticationFailed(handled);
        asked = true;
        if (!handled)
            throw Exception(AuthenticationFailed());
    }
}

bool TPop3Client::TryLogIn()
{
    for (const QByteArray& command : {"USER " + UserID.toUtf8(), "PASS " + Password.toUtf8()}) {
        const QByteArray reply = Transaction(command);
        if (!Positive(reply)) {
            RefuseUnlessAboutCredentials(reply);
            return false;
        }
    }
    return true;
}

// Nothing goes out for a sign-in that cannot succeed or would show the
// token on the network, and an unknown setting must not quietly mean the
// password.
void TPop3Client::RequireToken()
{
    if (!SendsToken(Auth))
        throw Exception(QStringLiteral("The sign-in setting %1 is not 0 (password), 1 (OAuth 2.0) or 2 (the desktop's online account)").arg(Auth));
    if (!TokenMayGoTo(Security, Host))
        throw Exception(QStringLiteral("%1 signs in through its provider, which needs an encrypted connection: choose SSL/TLS or STARTTLS.")
                            .arg(AccountName.isEmpty() ? QStringLiteral("The account") : AccountName));
    if (AccessToken.isEmpty())
        throw ETokenRefused(AccountName);
    if (const QString problem = TokenCredentialsProblem(UserID, AccessToken); !problem.isEmpty())
        throw Exception(problem);
}

// CAPA before the login names the SASL mechanisms.
void TPop3Client::LogInWithToken()
{
    ReadCapabilities();
    const QByteArray reply = TokenExchange(TokenMechanismOf(Capabilities));
    if (Positive(reply))
        return;
    RefuseUnlessAboutCredentials(reply);
    throw ETokenRefused(AccountName);
}

// A first response too long for the AUTH command waits for the server's "+".
// A "+" after it carries the server's error: the answer lets the server end
// with its -ERR, and a server that still goes on is cancelled.
QByteArray TPop3Client::TokenExchange(TTokenMechanism mechanism)
{
    const QByteArray response = TokenResponse(mechanism, {UserID, AccessToken, Host, Port});
    if (response.size() > MaxCommandLength)
        throw Exception(QStringLiteral("The sign-in token is too long to send to the server"));
    const QByteArray command = "AUTH " + MechanismName(mechanism);
    const bool inCommand = command.size() + 1 + response.size() + 2 <= MaxAuthCommandLine;
    QByteArray reply = Transaction(inCommand ? command + ' ' + response : command);
    QList<QByteArray> answers{ErrorChallengeAnswer(mechanism), "*"};
    if (!inCommand)
        answers.prepend(response);
    for (const QByteArray& answer : std::as_const(answers))
        if (IsChallenge(reply))
            reply = Transaction(answer);
    return reply;
}

// Asked after the login, where LOGIN-DELAY gives the user's own value; a
// server that does not know CAPA answers -ERR and has no capabilities.
void TPop3Client::ReadCapabilities()
{
    Capabilities.clear();
    LoginDelay = 0;
    if (!OpensListing(Transaction("CAPA")))
        return;
    qsizetype budget = MaxCapaBytes;
    for (qsizetype lines = 0;; ++lines) {
        bool cut = false;
        const QByteArray line = WithoutLineEnd(ReadLnCut(MaxCapaLineLength, cut, budget));
        if (line == "." && !cut)
            break;
        if (lines >= MaxCapaLines || budget < 0)
            ReplyTooLong();
        if (Capabilities.size() < MaxCapabilities && !cut)
            Capabilities << WireText(line.startsWith("..") ? line.mid(1) : line);
    }
    LoginDelay = LoginDelayOf(Capabilities);
}

void TPop3Client::CountMessages()
{
    const QByteArray reply = Transaction("STAT");
    if (!Positive(reply))
        Refuse(reply);
    bool ok = false;
    MessageCount = Word(reply, 2).toInt(&ok);
    if (!ok)
        MessageCount = 0;
}

// The failure that ended the session matters more than how QUIT went.
void TPop3Client::QuitQuietly()
{
    try {
        Disconnect();
    } catch (const std::exception&) {
    }
}

void TPop3Client::EndConnect(bool wasBusy, bool loggedIn)
{
    if (!wasBusy)
        Busy = false;
    if (loggedIn && OnConnect)
        OnConnect(this);
}

void TPop3Client::Disconnect()
{
    try {
        Quit();
    } catch (...) {
        TLineSocket::Disconnect();
        throw;
    }
    TLineSocket::Disconnect();
}

void TPop3Client::Quit()
{
    const QByteArray reply = Transaction("QUIT");
    if (!Positive(reply))
        Refuse(reply);
}

// --- commands -------------------------------------------------------------

void TPop3Client::RetrieveSummary(int index)
{
    if (Busy)
        return;
    Busy = true;
    const auto idle = qScopeGuard([this] { Busy = false; });
    RequireConnection();
    if (OnRetrieveStart)
        OnRetrieveStart(this);
    try {
        ReadSummary(index);
    } catch (...) {
        // Replies still on their way would pass for the next command's.
        if (!awaiting.isEmpty()) {
            awaiting.clear();
            TLineSocket::Disconnect();
        }
        throw;
    }
    ReportStatus(1, QStringLiteral("Summary Retrieved"));
    if (OnRetrieveEnd)
        OnRetrieveEnd(this);
}

// A listed mailbox's sizes are known: one round trip a message, or a
// window's worth of them for one with PIPELINING.
void TPop3Client::ReadSummary(int index)
{
    SendTops(index);
    awaiting.removeFirst();
    LastReply = ReadLn();
    ReportStatus(1, WireText(LastReply));
    if (!Positive(LastReply))
        Refuse(LastReply);
    Summary.Header.clear();
    Summary.Subject.clear();
    Summary.From.clear();
    Summary.MessageId.clear();
    ReadSummaryHeader();
    const bool listed = index >= 1 && index <= Sizes.size();
    Summary.Bytes = listed ? Sizes.at(index - 1) : MessageSize(Transaction(Command("LIST", index)));
}

void TPop3Client::SendTops(int index)
{
    if (!awaiting.isEmpty() && awaiting.first() != index)
        throw ESockError(QStringLiteral("Message %1 was asked for out of order").arg(index));
    if (awaiting.isEmpty()) {
        Writeln(Command("TOP", index) + " 0");
        awaiting << index;
    }
    if (!HasCapability(QStringLiteral("PIPELINING")) || Sizes.size() != MessageCount)
        return;
    while (awaiting.size() < PipelineWindow && !SummariesAhead.isEmpty()) {
        const int next = SummariesAhead.takeFirst();
        if (next <= awaiting.last())
            continue;
        Writeln(Command("TOP", next) + " 0");
        awaiting << next;
    }
}

bool TPop3Client::HasCapability(const QString& name) const
{
    return std::any_of(Capabilities.begin(), Capabilities.end(), [&](const QString& line) {
        return line.section(u' ', 0, 0).compare(name, Qt::CaseInsensitive) == 0;
    });
}

bool TPop3Client::ListMailbox()
{
    UniqueIds.clear();
    Sizes.clear();
    ListingProblem.clear();
    if (!HasCapability(QStringLiteral("UIDL"))) {
        ListingProblem = QStringLiteral("the server offers no UIDL");
        return false;
    }
    if (MessageCount > MaxListedMessages) {
        ListingProblem = QStringLiteral("the server counts %1 messages").arg(MessageCount);
        return false;
    }
    RequireConnection();
    if (ListIds() && ListSizes())
        return true;
    UniqueIds.clear();
    Sizes.clear();
    return false;
}

// The listing is read to its end whatever it holds, so the session stays in
// step; what is wrong with it is told once.
bool TPop3Client::ListIds()
{
    if (!OpensListing(Transaction("UIDL"))) {
        ListingProblem = QStringLiteral("the server refused UIDL");
        return false;
    }
    QList<QByteArray> ids(MessageCount);
    QSet<QByteArray> seen;
    ReadListing([&](int number, const QByteArray& id) {
        if (!IsUniqueId(id))
            return QStringLiteral("message %1 has no valid unique id").arg(number);
        if (!ids.at(number - 1).isEmpty() || seen.contains(id))
            return QStringLiteral("the unique id of message %1 is listed twice").arg(number);
        seen.insert(id);
        ids[number - 1] = id;
        return QString();
    });
    if (ListingProblem.isEmpty() && seen.size() != MessageCount)
        ListingProblem = QStringLiteral("UIDL lists %1 messages, STAT %2").arg(seen.size()).arg(MessageCount);
    UniqueIds.reserve(ids.size());
    for (const QByteArray& id : std::as_const(ids))
        UniqueIds << QString::fromLatin1(id);
    return ListingProblem.isEmpty();
}

bool TPop3Client::ListSizes()
{
    if (!OpensListing(Transaction("LIST"))) {
        ListingProblem = QStringLiteral("the server refused LIST");
        return false;
    }
    QList<qint64> sizes(MessageCount, -1);
    int count = 0;
    ReadListing([&](int number, const QByteArray& value) {
        bool ok = false;
        const qint64 size = value.toLongLong(&ok);
        if (!ok || size < 0 || sizes.at(number - 1) >= 0)
            return QStringLiteral("the size of message %1 is not listed right").arg(number);
        sizes[number - 1] = size;
        ++count;
        return QString();
    });
    if (ListingProblem.isEmpty() && count != MessageCount)
        ListingProblem = QStringLiteral("LIST lists %1 messages, STAT %2").arg(count).arg(MessageCount);
    Sizes = sizes;
    return ListingProblem.isEmpty();
}

// Each line "n value" for n from 1 to the message count; a listing longer
// than that has nothing more to say and is not read on without end.
template <typename Line> void TPop3Client::ReadListing(const Line& line)
{
    for (qsizetype lines = 0;; ++lines) {
        const QByteArray text = WithoutLineEnd(ReadLn());
        if (text == ".")
            return;
        if (lines > MessageCount)
            ReplyTooLong();
        if (!ListingProblem.isEmpty())
            continue;
        bool ok = false;
        const int number = Word(text, 1).toInt(&ok);
        if (!ok || number < 1 || number > MessageCount)
            ListingProblem = QStringLiteral("the listing names a message %1 the mailbox does not hold").arg(WireText(Word(text, 1)));
        else
            ListingProblem = line(number, Word(text, 2).trimmed());
    }
}

QString TPop3Client::UniqueId(int index)
{
    RequireConnection();
    const QByteArray reply = Transaction(Command("UIDL", index));
    const QByteArray id = Word(WithoutLineEnd(reply), 3);
    return Positive(reply) && IsUniqueId(id) ? QString::fromLatin1(id) : QString();
}

// The closing "." is kept with the lines, as the identity check compares them.
void TPop3Client::ReadSummaryHeader()
{
    TTextLimit kept(MaxSummaryBytes, MaxSummaryLines);
    Summary.Cut = false;
    for (qsizetype budget = MaxSummaryReadAway;;) {
        if (budget < 0)
            ReplyTooLong();
        bool cutLine = false;
        const QByteArray line = ReadLnCut(MaxSummaryLineLength, cutLine, budget);
        const QByteArray text = WithoutLineEnd(line);
        Summary.Cut |= cutLine;
        if (text == "." && !cutLine) {
            kept.Keep(Summary.Header, QStringLiteral("."));
            return;
        }
        if (kept.Reached())
            continue;
        TakeSummaryField(line);
        Summary.Cut |= !kept.Keep(Summary.Header, WireText(text));
    }
}

// The rest of the reply is still on its way: only a new connection is in
// step with the server again.
void TPop3Client::ReplyTooLong()
{
    TLineSocket::Disconnect();
    throw ESockError(QStringLiteral("The server's reply is too long"));
}

// Field names are matched in any case at the start of the line. Subject
// and From keep everything after the colon, a leading blank included;
// Message-ID skips the blank and keeps the line end.
void TPop3Client::TakeSummaryField(const QByteArray& line)
{
    if (StartsWithField(line, "Subject:"))
        Summary.Subject = WireText(WithoutLineEnd(line).mid(8));
    else if (StartsWithField(line, "From:"))
        Summary.From = WireText(WithoutLineEnd(line).mid(5));
    else if (StartsWithField(line, "Message-ID:"))
        Summary.MessageId = WireText(line.mid(12, 256));
}

// OnRetrieveEnd follows a failure too, and runs while Busy is still set.
void TPop3Client::RetrieveMessage(int index)
{
    if (Busy)
        return;
    Busy = true;
    const auto idle = qScopeGuard([this] { Busy = false; });
    RequireConnection();
    if (OnRetrieveStart)
        OnRetrieveStart(this);
    try {
        ReadMessage(index);
    } catch (...) {
        EndRetrieve();
        throw;
    }
    EndRetrieve();
}

void TPop3Client::ReadMessage(int index)
{
    const QByteArray reply = Transaction(Command("RETR", index));
    if (!Positive(reply))
        Refuse(reply);
    ReadMessageText();
    if (DeleteOnRead) {
        const QByteArray deleted = Transaction(Command("DELE", index));
        if (!StrictlyPositive(deleted))
            Refuse(deleted);
    }
    ReportStatus(1, QStringLiteral("Message Retrieved"));
}

// A failure of our own (a file that cannot be written, a refused header)
// leaves the rest of the message on the connection: it is read away, so the
// session goes on. A missing uuencode end line is told once the message is
// in, so no box opens in the middle of it.
void TPop3Client::ReadMessageText()
{
    Reader.AcceptHeader = AcceptHeader;
    try {
        Reader.Read([this] { return ReadLn(); }, AttachFilePath);
        UUProcessor.TellEndLineMissing();
    } catch (const ESockError&) {
        throw;
    } catch (...) {
        try {
            Reader.SkipToEnd();
        } catch (const ESockError&) {
        }
        throw;
    }
}

void TPop3Client::EndRetrieve()
{
    if (OnRetrieveEnd)
        OnRetrieveEnd(this);
}

void TPop3Client::DeleteMessage(int index)
{
    if (Busy)
        return;
    Busy = true;
    {
        const auto idle = qScopeGuard([this] { Busy = false; });
        RequireConnection();
        const QByteArray reply = Transaction(Command("DELE", index));
        if (!StrictlyPositive(reply)) {
            if (OnFailure)
                OnFailure(this);
            Refuse(reply);
        }
    }
    if (OnSuccess)
        OnSuccess(this);
}

QByteArray TPop3Client::Command(const char* word, int index)
{
    return QByteArray(word) + ' ' + QByteArray::number(index);
}

// --- time-out and cancel hooks --------------------------------------------

void TPop3Client::CloseDown()
{
    if (!Connected || Aborted)
        return;
    if (Busy) {
        Cancel();
        return;
    }
    TLineSocket::Disconnect();
    EmptyInput();
}

void TPop3Client::AbortReceive()
{
    RequestCloseSocket();
    EmptyInput();
}
