#include "FakeMailClient.h"

#include <QScopeGuard>
#include <QSet>
#include <utility>

namespace {
QString Refusal(const QString& text)
{
    return QStringLiteral("-ERR ") + text + QStringLiteral("\r\n");
}
}

TFakeMailClient::Message FakeMessage(const QString& from, const QString& subject, int priority, qint64 bytes)
{
    TFakeMailClient::Message message;
    message.Header = {QStringLiteral("From:") + from, QStringLiteral("To: Bob <bob@example.org>"),
                      QStringLiteral("Subject:") + subject, QStringLiteral("Date: Mon, 1 Dec 2025 09:30:00 +0100"),
                      QStringLiteral("X-Priority: %1").arg(priority)};
    message.Bytes = bytes;
    return message;
}

TFakeMailClient::Mailbox& TFakeMailClient::Box()
{
    return Servers.at(Host);
}

// As the real client: after a cancel a command is not sent, the read of its
// reply fails, and the cancel stays until the next connection.
void TFakeMailClient::Exchange(const QString& command)
{
    if (!Aborted) {
        Log << command;
        if (Waiting)
            Waiting(command);
    }
    if (Aborted)
        throw EAbortError(QStringLiteral("Socket readln aborted"));
    if (!SilentAfter.isEmpty() && command == SilentAfter) {
        Drop();
        throw ESockError(QStringLiteral("Connection Timed out"));
    }
}

void TFakeMailClient::Drop()
{
    Connected = false;
    deleted.clear();
    if (OnDisconnect)
        OnDisconnect(nullptr);
}

void TFakeMailClient::Connect()
{
    AskCredentials();
    UniqueIds.clear();
    Sizes.clear();
    const bool wasBusy = std::exchange(Busy, true);
    bool loggedIn = false;
    try {
        Open();
        try {
            LogIn();
            loggedIn = true;
            Exchange(QStringLiteral("CAPA"));
            LoginDelay = Box().LoginDelay;
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

void TFakeMailClient::CountMessages()
{
    Exchange(QStringLiteral("STAT"));
    if (Box().RefuseStat)
        throw Exception(Refusal(QStringLiteral("Mailbox locked")));
    MessageCount = int(Box().Messages.size());
}

void TFakeMailClient::EndConnect(bool wasBusy, bool loggedIn)
{
    if (!wasBusy)
        Busy = false;
    if (loggedIn && OnConnect)
        OnConnect(nullptr);
}

void TFakeMailClient::AskCredentials()
{
    if (SendsToken(Auth))
        return;
    bool asked = false;
    while (UserID.isEmpty() || Password.isEmpty()) {
        if (!OnAuthenticationNeeded)
            throw Exception(QStringLiteral("Authentication failed"));
        if (asked)
            return;
        bool handled = false;
        OnAuthenticationNeeded(handled);
        asked = true;
        if (!handled)
            throw Exception(QStringLiteral("Authentication failed"));
    }
}

void TFakeMailClient::Open()
{
    Aborted = false;
    if (!HasAddress()) {
        bool handled = false;
        if (OnInvalidHost)
            OnInvalidHost(handled);
        if (!handled || !HasAddress())
            throw ESockError(QStringLiteral("Null Remote Address"));
    }
    if (Refusing.contains(Host)) {
        if (OnConnectionFailed)
            OnConnectionFailed(nullptr);
        throw ESockError(QStringLiteral("Connection Failed"));
    }
    if (auto own = SelfSigned.find(Host); own != SelfSigned.end() && CertFingerprint != own->second)
        throw ECertificateError(QStringLiteral("The certificate of %1 cannot be trusted.").arg(Host), own->second);
    Log << QStringLiteral("connect ") + Host;
    Connected = true;
    deleted.clear();
}

void TFakeMailClient::LogIn()
{
    if (SendsToken(Auth) && Box().RefuseToken)
        throw ETokenRefused(AccountName);
    bool asked = false;
    while (!TryLogIn()) {
        if (asked || !OnAuthenticationFailed)
            throw Exception(QStringLiteral("Authentication failed"));
        bool handled = false;
        OnAuthenticationFailed(handled);
        asked = true;
        if (!handled)
            throw Exception(QStringLiteral("Authentication failed"));
    }
}

bool TFakeMailClient::TryLogIn()
{
    Exchange(QStringLiteral("USER ") + UserID);
    if (UserID != Box().User)
        return false;
    Exchange(QStringLiteral("PASS ") + Password);
    return Password == Box().Password;
}

void TFakeMailClient::QuitQuietly()
{
    try {
        Disconnect();
    } catch (const std::exception&) {
    }
}

// Deletions take effect with QUIT; the connection is closed however it went.
void TFakeMailClient::Disconnect()
{
    const auto close = qScopeGuard([this] { Drop(); });
    Exchange(QStringLiteral("QUIT"));
    QList<Message>& messages = Box().Messages;
    for (int number = int(messages.size()); number >= 1; --number) {
        if (deleted.contains(number))
            messages.removeAt(number - 1);
    }
    deleted.clear();
}

void TFakeMailClient::RequireConnection()
{
    if (Connected)
        return;
    if (OnConnectionRequired) {
        bool handled = false;
        OnConnectionRequired(handled);
        if (handled && Connected)
            return;
    }
    throw Exception(QStringLiteral("Not Connected"));
}

void TFakeMailClient::RetrieveSummary(int index)
{
    if (Busy) {
        Log << QStringLiteral("(refused while busy) TOP %1").arg(index);
        return;
    }
    Busy = true;
    const auto idle = qScopeGuard([this] { Busy = false; });
    RequireConnection();
    if (OnRetrieveStart)
        OnRetrieveStart(nullptr);
    Exchange(QStringLiteral("TOP %1 0").arg(index));
    if (Box().RefuseTop.contains(index))
        throw Exception(Refusal(QStringLiteral("Message locked")));
    const Message& message = Stored(index);
    Summary.Header = message.Header + QStringList{QStringLiteral(".")};
    Summary.Subject.clear();
    Summary.From.clear();
    for (const QString& line : message.Header) {
        if (line.startsWith(QLatin1String("Subject:"), Qt::CaseInsensitive))
            Summary.Subject = line.mid(8);
        else if (line.startsWith(QLatin1String("From:"), Qt::CaseInsensitive))
            Summary.From = line.mid(5);
    }
    if (Sizes.size() != MessageCount)
        Exchange(QStringLiteral("LIST %1").arg(index));
    Summary.Bytes = message.Bytes;
    if (OnRetrieveEnd)
        OnRetrieveEnd(nullptr);
}

const TFakeMailClient::Message& TFakeMailClient::Stored(int index)
{
    if (index < 1 || index > Box().Messages.size())
        throw Exception(Refusal(QStringLiteral("There's no message %1.").arg(index)));
    return Box().Messages.at(index - 1);
}

// The header as the real reader keeps it: its lines and the blank line. A
// refused header ends the retrieval as the real client's does, the rest of
// the message read away unkept.
void TFakeMailClient::RetrieveMessage(int index)
{
    if (Busy) {
        Log << QStringLiteral("(refused while busy) RETR %1").arg(index);
        return;
    }
    Busy = true;
    const auto idle = qScopeGuard([this] { Busy = false; });
    RequireConnection();
    Exchange(QStringLiteral("RETR %1").arg(index));
    const Message& message = Stored(index);
    MailMessage = {};
    MailMessage.Head = message.Header + QStringList{QString()};
    if (AcceptHeader && !AcceptHeader(MailMessage.Head)) {
        Log << QStringLiteral("(header refused)");
        if (OnRetrieveEnd)
            OnRetrieveEnd(nullptr);
        throw EMessageRefused(QStringLiteral("The message on the server is not the one expected"));
    }
    MailMessage.Body = message.Body;
    for (const QString& line : message.Header) {
        if (line.startsWith(QLatin1String("Subject:"), Qt::CaseInsensitive))
            MailMessage.Subject = line.mid(8);
        else if (line.startsWith(QLatin1String("From:"), Qt::CaseInsensitive))
            MailMessage.From = line.mid(6);
    }
    if (OnRetrieveEnd)
        OnRetrieveEnd(nullptr);
}

QString TFakeMailClient::IdOf(const Message& message) const
{
    return message.Uid.isEmpty() ? QString::number(qHash(message.Header.join(u'\n')), 16) : message.Uid;
}

// As the real client judges a listing: ids unique and as many as STAT says.
bool TFakeMailClient::ListMailbox()
{
    UniqueIds.clear();
    Sizes.clear();
    ListingProblem.clear();
    if (!Box().Uidl) {
        ListingProblem = QStringLiteral("the server offers no UIDL");
        return false;
    }
    Exchange(QStringLiteral("UIDL"));
    QStringList ids;
    for (const Message& message : std::as_const(Box().Messages))
        ids << IdOf(message);
    ids = Box().ListedIds.value_or(ids);
    if (ids.size() != MessageCount || QSet<QString>(ids.begin(), ids.end()).size() != ids.size()) {
        ListingProblem = QStringLiteral("the unique ids are not as many as the messages, or not unique");
        return false;
    }
    Exchange(QStringLiteral("LIST"));
    UniqueIds = ids;
    for (const Message& message : std::as_const(Box().Messages))
        Sizes << message.Bytes;
    return true;
}

QString TFakeMailClient::UniqueId(int index)
{
    Exchange(QStringLiteral("UIDL %1").arg(index));
    return index >= 1 && index <= Box().Messages.size() ? IdOf(Box().Messages.at(index - 1)) : QString();
}

void TFakeMailClient::DeleteMessage(int index)
{
    if (Busy) {
        Log << QStringLiteral("(refused while busy) DELE %1").arg(index);
        return;
    }
    Busy = true;
    {
        const auto idle = qScopeGuard([this] { Busy = false; });
        RequireConnection();
        Exchange(QStringLiteral("DELE %1").arg(index));
        if (Box().RefuseDelete.contains(index)) {
            if (OnFailure)
                OnFailure(nullptr);
            throw Exception(Refusal(QStringLiteral("Message is deleted already")));
        }
        deleted.insert(index);
    }
    if (OnSuccess)
        OnSuccess(nullptr);
}
