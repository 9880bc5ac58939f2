#include "pop3/SocketErrors.h"

#include <QSysInfo>
#include <QVersionNumber>
#include <QtGlobal>
#include <map>

#ifdef Q_OS_UNIX
#include <sys/resource.h>
#endif

namespace SocketErrors {

namespace {

constexpr int WouldBlock = 10035;

// The Winsock error texts the status and the failures carry.
const std::map<int, const char*> ErrorTexts{
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

} // namespace

int Code(QAbstractSocket::SocketError error)
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

QString Message(int code)
{
    if (code == 0)
        return {};
    const auto found = ErrorTexts.find(code);
    if (found == ErrorTexts.end())
        return QStringLiteral("Unknown Error No. %1").arg(code);
    return QStringLiteral("%1:%2").arg(code).arg(QString::fromLatin1(found->second));
}

// Describes the socket library really in use: Qt's network module.
QStringList LibraryInfo()
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

} // namespace SocketErrors
