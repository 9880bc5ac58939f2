#include "pop3/Linesock.h"

#include "base/Guard.h"
#include "base/Words.h"
#include "pop3/Certificate.h"
#include "pop3/SocketErrors.h"

#include <QEventLoop>
#include <QHostInfo>
#include <QSslSocket>
#include <cctype>
#include <climits>

namespace {

constexpr qsizetype ChunkSize = 16383;
constexpr qsizetype SendLineSize = MaxCommandLength + 2;
// A hostile or broken server must not make a line grow without end.
constexpr qsizetype MaxLineLength = 1024 * 1024;
// Qt stops reading from the network while its own buffer is this full, so
// unread data wait in the kernel instead of in our memory.
constexpr qint64 SocketBufferSize = 4 * ChunkSize;

int StartupCount = 0;

quint32 IPv4Of(const QHostAddress& address)
{
    bool isIPv4 = false;
    const quint32 value = address.toIPv4Address(&isIPv4);
    return isIPv4 ? value : 0;
}

// An unspecified address (0.0.0.0, ::) would reach this machine, not the
// server meant: it counts as no address at all.
QHostAddress Specified(const QHostAddress& address)
{
    return address.isEqual(QHostAddress::AnyIPv4) ? QHostAddress() : address;
}

// The first IPv4 address of a lookup, else its first address.
QHostAddress PreferredAddress(const QList<QHostAddress>& addresses)
{
    for (const QHostAddress& address : addresses)
        if (address.protocol() == QAbstractSocket::IPv4Protocol)
            return address;
    return addresses.isEmpty() ? QHostAddress() : addresses.first();
}

// A command line that always reaches the server whole: the text ends at its
// first NUL and leaves room for the line end.
QByteArray CommandLine(const QByteArray& text)
{
    const qsizetype nul = text.indexOf('\0');
    return text.left(qMin(nul < 0 ? text.size() : nul, SendLineSize - 2)) + "\r\n";
}

qint16 LeadingNumber(const QByteArray& reply)
{
    qsizetype digits = 0;
    while (digits < qMin<qsizetype>(reply.size(), 10) && std::isdigit(static_cast<unsigned char>(reply[digits])))
        ++digits;
    if (digits == 0)
        return 0;
    const qlonglong value = reply.left(digits).toLongLong();
    if (value > SHRT_MAX)
        throw ESockError(QStringLiteral("The server's reply number %1 is out of range").arg(QString::fromLatin1(reply.left(digits))));
    return static_cast<qint16>(value);
}

} // namespace

struct TLineSocket::TWait
{
    QEventLoop Loop;
    bool Woken = false;
};

TLineSocket::TLineSocket(QObject* parent) : QObject(parent), socket(new QSslSocket(this))
{
    ReportStatus(8, QStringLiteral("Create"));
    socket->setReadBufferSize(SocketBufferSize);
    timer.SetEnabled(false);
    timer.SetOnTimer([this](QObject*) { InSlot([this] { TimerTriggered(); }); });
    QObject::connect(socket, &QTcpSocket::connected, this, [this] {
        Connected = true;
        Wake();
    });
    QObject::connect(socket, &QSslSocket::encrypted, this, [this] { Wake(); });
    QObject::connect(socket, &QSslSocket::sslErrors, this, [this](const QList<QSslError>& errors) { CertificateErrors(errors); });
    QObject::connect(socket, &QTcpSocket::readyRead, this, [this] { InSlot([this] { ReadToStream(); }); });
    QObject::connect(socket, &QTcpSocket::bytesWritten, this, [this] { InSlot([this] { BytesWritten(); }); });
    QObject::connect(socket, &QTcpSocket::disconnected, this, [this] { InSlot([this] { PeerClosed(); }); });
    QObject::connect(socket, &QTcpSocket::errorOccurred, this,
                     [this](QAbstractSocket::SocketError error) { InSlot([this, error] { SocketFailed(error); }); });
    InitializeWinsock();
}

TLineSocket::~TLineSocket()
{
    Destroying = true;
    ReportStatus(8, QStringLiteral("Destroy"));
    Aborted = true;
    QObject::disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    --StartupCount;
}

void TLineSocket::InitializeWinsock()
{
    ReportStatus(8, QStringLiteral("Initializing Winsock"));
    static QStringList info;
    if (StartupCount++ == 0)
        info = SocketErrors::LibraryInfo();
    WinsockInfo = info;
}

void TLineSocket::ReportStatus(int level, const QString& text)
{
    if (level > ReportLevel)
        return;
    Status = text;
    if (!Destroying && OnStatus)
        OnStatus(this, Status);
}

QString TLineSocket::LookUpErrorMessage(int code)
{
    ReportStatus(8, QStringLiteral("Looking Up Error Message"));
    return SocketErrors::Message(code);
}

void TLineSocket::CheckSocketError(int expected)
{
    ReportStatus(16, QStringLiteral("Checking Error In Error Manager"));
    const QAbstractSocket::SocketError error = socket->error();
    LastErrorNo = error == QAbstractSocket::UnknownSocketError ? 0 : SocketErrors::Code(error);
    if (LastErrorNo != expected)
        throw ESockError(LookUpErrorMessage(LastErrorNo));
}

// --- connecting -----------------------------------------------------------

void TLineSocket::Connect()
{
    ReportStatus(8, QStringLiteral("Connecting"));
    Aborted = false;
    if (Connected)
        throw ESockError(QStringLiteral("Already connected"));
    // Nothing of an earlier connection may be taken for this one's replies.
    input.Clear();
    output.clear();
    closedByPeer = false;
    ResolveWithRetry();
    if (Port < 0 || Port > 65535)
        throw ESockError(QStringLiteral("The port number %1 is not between 0 and 65535").arg(Port));
    // An unknown value must not quietly mean the clear.
    if (Security < secNone || Security > secTls)
        throw ESockError(QStringLiteral("The security setting %1 is not 0 (none), 1 (STARTTLS) or 2 (SSL/TLS)").arg(Security));
    NoError = true;
    LookupDone = false;
    socket->connectToHost(address, static_cast<quint16>(Port));
    Wait([this] { return Connected || TimedOut || Aborted || !NoError; });
    if (Connected) {
        if (Security == secTls)
            StartEncryption();
        return;
    }
    // A late connection must not turn up after the caller was told it failed.
    socket->abort();
    if (OnConnectionFailed)
        OnConnectionFailed(this);
    if (TimedOut)
        throw ESockError(QStringLiteral("Connection Timed out"));
    if (Aborted)
        throw ESockError(QStringLiteral("Connection Canceled"));
    throw ESockError(QStringLiteral("Connection Failed"));
}

void TLineSocket::ResolveWithRetry()
{
    for (int attempts = 0;; ++attempts) {
        ResolveHost();
        if (!address.isNull())
            return;
        if (attempts >= 1 || !OnInvalidHost)
            throw ESockError(QStringLiteral("Null Remote Address"));
        bool handled = false;
        OnInvalidHost(handled);
        if (!handled)
            throw ESockError(QStringLiteral("Null Remote Address"));
    }
}

// Leaves address null when the host gives none.
void TLineSocket::ResolveHost()
{
    ReportStatus(8, QStringLiteral("Resolve Host"));
    const QString name = Host.left(127);
    const QHostAddress literal(name);
    address = Specified(literal.isNull() ? LookUpHost(name) : literal);
    RemoteAddress = IPv4Of(address);
    if (literal.isNull() && !address.isNull() && OnHostResolved)
        OnHostResolved(this);
}

QHostAddress TLineSocket::LookUpHost(const QString& name)
{
    LookupDone = false;
    resolved.clear();
    lookupId = QHostInfo::lookupHost(name, this, [this](const QHostInfo& info) { HostLookedUp(info); });
    Wait([this] { return LookupDone || TimedOut || Aborted; });
    if (!LookupDone)
        QHostInfo::abortHostLookup(lookupId);
    if (TimedOut)
        throw ESockError(QStringLiteral("Host Lookup Timed Out"));
    if (Aborted)
        throw ESockError(QStringLiteral("Host Lookup Canceled"));
    return resolved;
}

void TLineSocket::HostLookedUp(const QHostInfo& info)
{
    if (info.lookupId() != lookupId)
        return;
    LookupDone = true;
    resolved = PreferredAddress(info.addresses());
    if (resolved.isNull())
        LastErrorNo = info.error() == QHostInfo::HostNotFound ? SocketErrors::HostNotFound : SocketErrors::NoRecovery;
    Wake();
}

void TLineSocket::StartEncryption()
{
    ReportStatus(8, QStringLiteral("Starting TLS"));
    // Whatever arrived so far came in the clear, where anyone on the way
    // could have put it: it must not pass for the server's secure replies.
    if (input.Unread() > 0 || socket->bytesAvailable() > 0)
        FailWait(QStringLiteral("The server sent data before the secure connection was set up"));
    certErrors.clear();
    refusedCertificate.clear();
    NoError = true;
    socket->setPeerVerifyName(Host);
    socket->startClientEncryption();
    Wait([this] { return socket->isEncrypted() || TimedOut || Aborted || !NoError || !Connected; });
    if (socket->isEncrypted() && PinHolds())
        return;
    if (TimedOut)
        FailWait(QStringLiteral("Connection Timed out"));
    if (Aborted) {
        RequestCloseSocket();
        throw EAbortError(QStringLiteral("Secure connection canceled"));
    }
    // A pinned account takes its own certificate whatever the chain says, so
    // any other is refused for not being that one, not for its chain.
    const bool pinned = !CertFingerprint.trimmed().isEmpty();
    if (!certErrors.isEmpty() && !pinned)
        RefuseCertificate(CertificateRefusal(Host, refusedCertificate, certErrors));
    if (!certErrors.isEmpty() || socket->isEncrypted())
        RefuseCertificate(UntrustedPinRefusal(Host, certErrors.isEmpty() ? socket->peerCertificate() : refusedCertificate));
    FailWait(QStringLiteral("The secure connection to %1 could not be set up: %2").arg(Host, socket->errorString()));
}

// A certificate the user trusted for this account passes whatever its chain
// says; any other is judged by the chain alone.
void TLineSocket::CertificateErrors(const QList<QSslError>& errors)
{
    if (FingerprintMatches(CertFingerprint, socket->peerCertificate())) {
        socket->ignoreSslErrors();
        return;
    }
    certErrors = errors;
    refusedCertificate = socket->peerCertificate();
}

bool TLineSocket::PinHolds() const
{
    return CertFingerprint.trimmed().isEmpty() || FingerprintMatches(CertFingerprint, socket->peerCertificate());
}

void TLineSocket::RefuseCertificate(const QString& message)
{
    if (refusedCertificate.isNull())
        refusedCertificate = socket->peerCertificate();
    const QString fingerprint = Fingerprint(refusedCertificate);
    RequestCloseSocket();
    throw ECertificateError(message, fingerprint);
}

void TLineSocket::Disconnect()
{
    ReportStatus(8, QStringLiteral("Disconnecting"));
    RequestCloseSocket();
}

void TLineSocket::Cancel()
{
    ReportStatus(8, QStringLiteral("Canceling"));
    Aborted = true;
    Wake();
}

void TLineSocket::RequestCloseSocket()
{
    ReportStatus(4, QStringLiteral("Request Close Socket"));
    const bool wasOpen = Connected || socket->state() != QAbstractSocket::UnconnectedState;
    Connected = false;
    socket->abort();
    Wake();
    if (wasOpen && !Destroying && OnDisconnect)
        OnDisconnect(this);
}

void TLineSocket::RequireConnection()
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

// --- socket notifications -------------------------------------------------

void TLineSocket::SocketFailed(QAbstractSocket::SocketError error)
{
    // A close by the server is an end, not a failure: PeerClosed handles it.
    if (error == QAbstractSocket::RemoteHostClosedError)
        return;
    NoError = false;
    LastErrorNo = SocketErrors::Code(error);
    LookUpErrorMessage(LastErrorNo);
    Wake();
}

void TLineSocket::PeerClosed()
{
    if (!Connected)
        return;
    // Closing drops what Qt still holds, so take all of it first.
    ReadAvailable(true);
    closedByPeer = true;
    RequestCloseSocket();
}

void TLineSocket::ReadToStream()
{
    ReportStatus(8, QStringLiteral("ReadToStream"));
    if (Aborted) {
        AbortReceive();
        return;
    }
    if (inHandler)
        return;
    ReadAvailable(false);
    Wake();
}

// Takes what Qt holds until a line is complete, or all of it, leaving the
// rest on the wire.
void TLineSocket::ReadAvailable(bool everything)
{
    inHandler = true;
    char chunk[ChunkSize];
    while (!Aborted && !LineTooLong() && socket->bytesAvailable() > 0 && (everything || !input.HasLine())) {
        const qint64 count = socket->read(chunk, ChunkSize);
        if (count < 0) {
            LastErrorNo = SocketErrors::Code(socket->error());
            LookUpErrorMessage(LastErrorNo);
            break;
        }
        input.Append(chunk, count);
        Progress();
    }
    inHandler = false;
}

bool TLineSocket::LineTooLong() const
{
    return input.Unread() > MaxLineLength && !input.HasLine();
}

// --- sending --------------------------------------------------------------

void TLineSocket::Write(const QByteArray& text)
{
    ReportStatus(8, QStringLiteral("Write"));
    const QByteArray line = text.left(SendLineSize);
    const qsizetype nul = line.indexOf('\0');
    SendBuffer(nul < 0 ? line : line.left(nul));
}

void TLineSocket::Writeln(const QByteArray& text)
{
    ReportStatus(8, QStringLiteral("Writeln"));
    Write(CommandLine(text));
}

void TLineSocket::SendBuffer(const QByteArray& bytes)
{
    ReportStatus(4, QStringLiteral("Sending Buffer"));
    if (Aborted)
        return;
    output.append(bytes);
    Sent = false;
    WriteFromStream();
    if (!Sent) {
        Wait([this] { return Sent || Aborted || TimedOut || !Connected; });
        if (TimedOut)
            FailWait(QStringLiteral("Connection Timed out"));
    }
    if (Aborted) {
        // What was not sent must not go out in front of a later command.
        output.clear();
        Aborted = false;
        throw EAbortError(QStringLiteral("Socket send aborted"));
    }
    if (!Sent)
        FailWait(closedByPeer ? QStringLiteral("Connection closed by server") : QStringLiteral("Not Connected"));
}

// Hands the queue to Qt one chunk at a time, so Qt's own buffer stays small.
// A chunk Qt passed on at once brings no later bytesWritten: the next one
// follows here.
void TLineSocket::WriteFromStream()
{
    ReportStatus(8, QStringLiteral("WriteFromStream"));
    if (inHandler || Aborted || !Connected)
        return;
    while (!output.isEmpty() && socket->bytesToWrite() == 0 && HandOver()) {
    }
    if (output.isEmpty() && socket->bytesToWrite() == 0) {
        Sent = true;
        Wake();
    }
}

// The bytesWritten Qt emits inside flush() must not start a nested hand-over.
bool TLineSocket::HandOver()
{
    inHandler = true;
    const qint64 count = socket->write(output.constData(), qMin(output.size(), ChunkSize));
    if (count < 0)
        LastErrorNo = SocketErrors::Code(socket->error());
    else
        output.remove(0, count);
    socket->flush();
    inHandler = false;
    return count > 0;
}

void TLineSocket::BytesWritten()
{
    Progress();
    WriteFromStream();
}

// --- receiving ------------------------------------------------------------

QByteArray TLineSocket::ReadLn()
{
    ReportStatus(8, QStringLiteral("ReadLn"));
    if (!Aborted && !input.HasLine()) {
        ReadAvailable(false);
        if (!input.HasLine()) {
            Wait([this] { return input.HasLine() || Aborted || TimedOut || !Connected || LineTooLong(); });
            if (TimedOut)
                FailWait(QStringLiteral("Connection Timed out"));
        }
    }
    if (Aborted)
        throw EAbortError(QStringLiteral("Socket readln aborted"));
    if (LineTooLong())
        FailWait(QStringLiteral("The server sent a line longer than 1 MiB"));
    if (!input.HasLine())
        FailWait(closedByPeer ? QStringLiteral("Connection closed by server") : QStringLiteral("Not Connected"));
    return input.TakeLine();
}

QByteArray TLineSocket::ReadLnCut(qsizetype limit, bool& cut, qsizetype& budget)
{
    ReportStatus(8, QStringLiteral("ReadLnCut"));
    QByteArray kept;
    cut = false;
    for (;;) {
        if (!Aborted && !input.HasLine() && input.Unread() <= limit) {
            ReadAvailable(false);
            if (!input.HasLine() && input.Unread() <= limit) {
                Wait([&] { return input.HasLine() || input.Unread() > limit || Aborted || TimedOut || !Connected; });
                if (TimedOut)
                    FailWait(QStringLiteral("Connection Timed out"));
            }
        }
        if (Aborted)
            throw EAbortError(QStringLiteral("Socket readln aborted"));
        if (input.HasLine()) {
            const QByteArray line = input.TakeLine();
            budget -= line.size();
            if (!cut && line.size() <= limit)
                return line;
            cut = true;
            return (kept.isEmpty() ? line.left(limit) : kept) + "\r\n";
        }
        if (input.Unread() == 0)
            FailWait(closedByPeer ? QStringLiteral("Connection closed by server") : QStringLiteral("Not Connected"));
        const QByteArray part = input.TakeAll();
        budget -= part.size();
        if (budget < 0)
            FailWait(QStringLiteral("The server's reply is too long"));
        if (!cut)
            kept = part.left(limit);
        cut = true;
    }
}

QByteArray TLineSocket::Transaction(const QByteArray& command)
{
    ReportStatus(8, QStringLiteral("Transaction"));
    ReplyNumber = 0;
    Writeln(command);
    LastReply = ReadLn();
    if (!LastReply.isEmpty()) {
        ReportStatus(1, WireText(LastReply));
        ReplyNumber = LeadingNumber(LastReply);
    }
    return LastReply;
}

// Ends a wait that cannot go on: the connection is of no further use.
void TLineSocket::FailWait(const QString& message)
{
    if (Connected)
        RequestCloseSocket();
    throw ESockError(message);
}

// --- waiting --------------------------------------------------------------

void TLineSocket::Wait(const std::function<bool()>& done)
{
    const bool outerTimer = timer.Enabled();
    TimerOn();
    TWait wait;
    waits.push_back(&wait);
    while (!done() && !pending) {
        wait.Woken = false;
        wait.Loop.exec();
        // Only the application's quit ends the loop without us: give up.
        if (!wait.Woken)
            Aborted = true;
    }
    std::erase(waits, &wait);
    TimerOff();
    if (outerTimer)
        timer.SetEnabled(true);
    if (pending)
        std::rethrow_exception(std::exchange(pending, nullptr));
}

void TLineSocket::Wake()
{
    for (TWait* wait : waits) {
        wait->Woken = true;
        wait->Loop.quit();
    }
}

// Nothing may throw through Qt: a failure inside a wait ends the wait and is
// raised by it; one outside any wait goes to the error report.
void TLineSocket::InSlot(const std::function<void()>& body) noexcept
{
    try {
        body();
    } catch (...) {
        if (waits.empty()) {
            Guarded([error = std::current_exception()] { std::rethrow_exception(error); });
            return;
        }
        if (!pending)
            pending = std::current_exception();
        Wake();
    }
}

// --- time-out -------------------------------------------------------------

void TLineSocket::TimerOn()
{
    ReportStatus(8, QStringLiteral("Timer On"));
    TimedOut = false;
    if (TimeOut < 0)
        throw Exception(QStringLiteral("The time-out must not be negative"));
    timer.SetInterval(static_cast<unsigned>(TimeOut));
    timer.SetEnabled(true);
}

void TLineSocket::TimerOff()
{
    ReportStatus(8, QStringLiteral("Timer Off"));
    timer.SetEnabled(false);
}

void TLineSocket::TimerTriggered()
{
    ReportStatus(8, QStringLiteral("Timer Triggered"));
    TimerOff();
    TimedOut = true;
    CloseDown();
    Wake();
}

// Data moving again restarts the time-out of the wait in progress.
void TLineSocket::Progress()
{
    if (timer.Enabled())
        timer.SetInterval(timer.Interval());
}
