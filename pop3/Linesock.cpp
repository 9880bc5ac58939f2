#include "pop3/Linesock.h"

#include "base/Guard.h"
#include "base/Words.h"

#include <QEventLoop>
#include <QHostInfo>
#include <QSysInfo>
#include <QTcpSocket>
#include <QtGlobal>
#include <QVersionNumber>
#include <cctype>
#include <climits>
#include <map>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace {

constexpr qsizetype ChunkSize = 16383;
constexpr qsizetype SendLineSize = 16384;
// A hostile or broken server must not make a line grow without end.
constexpr qsizetype MaxLineLength = 1024 * 1024;
// Qt stops reading from the network while its own buffer is this full, so
// unread data wait in the kernel instead of in our memory.
constexpr qint64 SocketBufferSize = 4 * ChunkSize;

constexpr int WouldBlock = 10035;
constexpr int HostNotFound = 11001;
constexpr int NoRecovery = 11003;

int StartupCount = 0;

const std::map<int, const char*>& ErrorTexts()
{
    static const std::map<int, const char*> texts{
        {10004, "Interrupted system call"},
        {10009, "Bad file number"},
        {10013, "Permission denied"},
        {10014, "Bad address"},
        {10022, "Invalid argument"},
        {10024, "Too many open files"},
        {10035, "Operation would block"},
        {10036, "Operation now in progress"},
        {10037, "Operation already in progress"},
        {10038, "Socket operation on non-socket"},
        {10039, "Destination address required"},
        {10040, "Message too long"},
        {10041, "Wrong protocol type for socket"},
        {10042, "Bad protocol option"},
        {10043, "Protocol not supported"},
        {10044, "Socket type not supported"},
        {10045, "Operation not supported on socket"},
        {10046, "Protocol family not supported"},
        {10047, "Address family not supported by protocol family"},
        {10048, "Address already in use"},
        {10049, "Can't assign requested address"},
        {10050, "Network is down"},
        {10051, "Network is unreachable"},
        {10052, "Network dropped connection or reset"},
        {10053, "Software caused connection abort"},
        {10054, "Connection reset by peer"},
        {10055, "No buffer space available"},
        {10056, "Socket is already connected"},
        {10057, "Socket is not connected"},
        {10058, "Can't send after socket shutdown"},
        {10059, "Too many references, can't splice"},
        {10060, "Connection timed out"},
        {10061, "Connection refused"},
        {10062, "Too many levels of symbolic links"},
        {10063, "File name too long"},
        {10064, "Host is down"},
        {10065, "No route to Host"},
        {10066, "Directory not empty"},
        {10067, "Too many processes"},
        {10068, "Too many users"},
        {10069, "Disc quota exceeded"},
        {10070, "Stale NFS file handle"},
        {10071, "Too many levels of remote in path"},
        {10091, "Network subsystem is unavailable"},
        {10092, "Incompatible version of WINSOCK.DLL"},
        {10093, "Successful WSAStartup not yet performed"},
        {11001, "Host not found"},
        {11002, "Non-Authoritative Host not found"},
        {11003, "Non-Recoverable error: FORMERR, REFUSED, NOTIMP"},
        {11004, "Valid name, no data record of requested type"},
    };
    return texts;
}

// Qt's socket errors in the numbering the error table uses.
int ErrorCode(QAbstractSocket::SocketError error)
{
    switch (error) {
    case QAbstractSocket::ConnectionRefusedError: return 10061;
    case QAbstractSocket::RemoteHostClosedError: return 10054;
    case QAbstractSocket::HostNotFoundError: return HostNotFound;
    case QAbstractSocket::SocketAccessError: return 10013;
    case QAbstractSocket::SocketResourceError: return 10024;
    case QAbstractSocket::SocketTimeoutError: return 10060;
    case QAbstractSocket::DatagramTooLargeError: return 10040;
    case QAbstractSocket::NetworkError: return 10051;
    case QAbstractSocket::AddressInUseError: return 10048;
    case QAbstractSocket::SocketAddressNotAvailableError: return 10049;
    case QAbstractSocket::UnsupportedSocketOperationError: return 10045;
    case QAbstractSocket::UnfinishedSocketOperationError: return 10036;
    case QAbstractSocket::TemporaryError: return WouldBlock;
    case QAbstractSocket::OperationError: return 10022;
    default: return -1;
    }
}

QString VersionText(int major, int minor)
{
    return QStringLiteral("%1.%2").arg(major).arg(minor);
}

QString MaxSockets()
{
#ifdef Q_OS_UNIX
    rlimit limit{};
    if (getrlimit(RLIMIT_NOFILE, &limit) == 0 && limit.rlim_cur != RLIM_INFINITY)
        return QString::number(limit.rlim_cur);
#endif
    return QStringLiteral("unlimited");
}

// Describes the socket library really in use: Qt's network module.
QStringList SocketLibraryInfo()
{
    const QVersionNumber running = QVersionNumber::fromString(QString::fromLatin1(qVersion()));
    return {
        QStringLiteral("Version= ") + VersionText(QT_VERSION_MAJOR, QT_VERSION_MINOR),
        QStringLiteral("High Version= ") + VersionText(running.majorVersion(), running.minorVersion()),
        QStringLiteral("Description= Qt Network %1 (QTcpSocket, QHostInfo)").arg(QString::fromLatin1(qVersion())),
        QStringLiteral("System= Running on ") + QSysInfo::prettyProductName(),
        QStringLiteral("Max Sockets= ") + MaxSockets(),
        QStringLiteral("Max Udp pack size= 65507"),
    };
}

quint32 IPv4Of(const QHostAddress& address)
{
    bool isIPv4 = false;
    const quint32 value = address.toIPv4Address(&isIPv4);
    return isIPv4 ? value : 0;
}

// A literal address as Host: IPv4 in dotted form, or IPv6. 0.0.0.0 is no
// address at all.
QHostAddress LiteralAddress(const QString& name)
{
    const QHostAddress literal(name);
    if (literal.protocol() == QAbstractSocket::IPv4Protocol && IPv4Of(literal) == 0)
        return {};
    return literal;
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

// --- TThreadTimer ---------------------------------------------------------

TThreadTimer::TThreadTimer(QObject* parent) : QObject(parent)
{
    QObject::connect(&timer, &QTimer::timeout, this, [this] {
        Guarded([this] {
            if (onTimer)
                onTimer(this);
        });
    });
}

void TThreadTimer::SetEnabled(bool value)
{
    enabled = value;
    UpdateTimer();
}

void TThreadTimer::SetInterval(unsigned value)
{
    interval = value;
    UpdateTimer();
}

void TThreadTimer::SetOnTimer(TNotifyEvent value)
{
    onTimer = std::move(value);
    UpdateTimer();
}

void TThreadTimer::UpdateTimer()
{
    timer.stop();
    if (interval == 0 || !enabled || !onTimer)
        return;
    if (interval > static_cast<unsigned>(INT_MAX))
        throw Exception(QStringLiteral("No Timer"));
    timer.start(static_cast<int>(interval));
}

// --- TInputStream ---------------------------------------------------------

void TInputStream::Append(const char* data, qsizetype length)
{
    if (start > 0) {
        bytes.remove(0, start);
        start = 0;
    }
    bytes.append(data, length);
}

QByteArray TInputStream::TakeLine()
{
    const qsizetype end = bytes.indexOf('\n', start) + 1;
    QByteArray line = bytes.mid(start, end - start);
    start = end;
    if (start == bytes.size())
        Clear();
    return line;
}

void TInputStream::Clear()
{
    bytes.clear();
    start = 0;
}

// --- TLineSocket ----------------------------------------------------------

struct TLineSocket::TWait
{
    QEventLoop Loop;
    bool Woken = false;
};

TLineSocket::TLineSocket(QObject* parent) : QObject(parent), socket(new QTcpSocket(this))
{
    ReportStatus(8, QStringLiteral("Create"));
    socket->setReadBufferSize(SocketBufferSize);
    timer.SetEnabled(false);
    timer.SetOnTimer([this](QObject*) { InSlot([this] { TimerTriggered(); }); });
    QObject::connect(socket, &QTcpSocket::connected, this, [this] {
        Connected = true;
        Wake();
    });
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
        info = SocketLibraryInfo();
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
    if (code == 0)
        return {};
    const auto found = ErrorTexts().find(code);
    if (found == ErrorTexts().end())
        return QStringLiteral("Unknown Error No. %1").arg(code);
    return QStringLiteral("%1:%2").arg(code).arg(QString::fromLatin1(found->second));
}

void TLineSocket::CheckSocketError(int expected)
{
    ReportStatus(16, QStringLiteral("Checking Error In Error Manager"));
    const QAbstractSocket::SocketError error = socket->error();
    LastErrorNo = error == QAbstractSocket::UnknownSocketError ? 0 : ErrorCode(error);
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
    NoError = true;
    LookupDone = false;
    socket->connectToHost(address, static_cast<quint16>(Port));
    Wait([this] { return Connected || TimedOut || Aborted || !NoError; });
    if (Connected)
        return;
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
    address = LiteralAddress(name);
    RemoteAddress = IPv4Of(address);
    if (!address.isNull())
        return;
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
    if (resolved.isNull())
        return;
    address = resolved;
    RemoteAddress = IPv4Of(address);
    if (OnHostResolved)
        OnHostResolved(this);
}

void TLineSocket::HostLookedUp(const QHostInfo& info)
{
    if (info.lookupId() != lookupId)
        return;
    LookupDone = true;
    resolved = PreferredAddress(info.addresses());
    if (resolved.isNull())
        LastErrorNo = info.error() == QHostInfo::HostNotFound ? HostNotFound : NoRecovery;
    Wake();
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
    LastErrorNo = ErrorCode(error);
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
            LastErrorNo = ErrorCode(socket->error());
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
void TLineSocket::WriteFromStream()
{
    ReportStatus(8, QStringLiteral("WriteFromStream"));
    if (inHandler || Aborted || !Connected || socket->bytesToWrite() > 0)
        return;
    if (!output.isEmpty())
        HandOver();
    if (output.isEmpty() && socket->bytesToWrite() == 0) {
        Sent = true;
        Wake();
    }
}

void TLineSocket::HandOver()
{
    inHandler = true;
    const qint64 count = socket->write(output.constData(), qMin(output.size(), ChunkSize));
    if (count < 0)
        LastErrorNo = ErrorCode(socket->error());
    else
        output.remove(0, count);
    socket->flush();
    inHandler = false;
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
