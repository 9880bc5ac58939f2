#include "imap/ImapConnection.h"

#include "pop3/Certificate.h"

#include <QSslSocket>

TImapConnection::TImapConnection(QObject* parent) : QObject(parent)
{
    timer.setSingleShot(true);
    connect(&timer, &QTimer::timeout, this, &TImapConnection::TimedOut);
}

TImapConnection::~TImapConnection()
{
    DropSocket();
}

void TImapConnection::Open(const TImapLogin& account)
{
    DropSocket();
    login = account;
    parser = TImapParser(MemoryLimit);
    socket = new QSslSocket(this);
    if (login.Port < 1 || login.Port > 65535)
        return Fail(TImapErrorKind::Network, QStringLiteral("The port number %1 for %2 is not between 1 and 65535").arg(login.Port).arg(login.Host));
    connect(socket, &QSslSocket::connected, this, &TImapConnection::Connected);
    connect(socket, &QSslSocket::encrypted, this, &TImapConnection::Encrypted);
    connect(socket, &QSslSocket::sslErrors, this, &TImapConnection::SslErrors);
    connect(socket, &QSslSocket::readyRead, this, &TImapConnection::ReadAvailable);
    connect(socket, &QSslSocket::errorOccurred, this, &TImapConnection::SocketFailed);
    connect(socket, &QSslSocket::disconnected, this, &TImapConnection::SocketFailed);
    Await(true);
    if (login.Security == secTls)
        socket->connectToHostEncrypted(login.Host, static_cast<quint16>(login.Port));
    else
        socket->connectToHost(login.Host, static_cast<quint16>(login.Port));
}

void TImapConnection::StartTls()
{
    certErrors.clear();
    Await(true);
    socket->setPeerVerifyName(login.Host);
    socket->startClientEncryption();
}

void TImapConnection::Send(const QByteArray& bytes)
{
    if (!socket)
        return;
    received = 0;
    socket->write(bytes);
}

void TImapConnection::Await(bool awaited)
{
    if (awaited)
        timer.start(TimeOut);
    else
        timer.stop();
}

void TImapConnection::Close()
{
    DropSocket();
}

bool TImapConnection::HoldsUnread() const
{
    return parser.HoldsBytes() || (socket && socket->bytesAvailable() > 0);
}

void TImapConnection::Connected()
{
    if (login.Security != secTls)
        emit Ready();
}

// A pinned certificate passes whatever its chain says; any other certificate
// is refused for not being that one, even with a good chain.
void TImapConnection::Encrypted()
{
    if (!login.CertFingerprint.trimmed().isEmpty() && !FingerprintMatches(login.CertFingerprint, socket->peerCertificate())) {
        RefuseCertificate();
        return;
    }
    emit Ready();
}

void TImapConnection::SslErrors(const QList<QSslError>& errors)
{
    if (FingerprintMatches(login.CertFingerprint, socket->peerCertificate())) {
        socket->ignoreSslErrors();
        return;
    }
    certErrors = errors;
    refusedCertificate = socket->peerCertificate();
}

void TImapConnection::RefuseCertificate()
{
    if (refusedCertificate.isNull())
        refusedCertificate = socket->peerCertificate();
    const bool pinned = !login.CertFingerprint.trimmed().isEmpty();
    const QString message = pinned ? UntrustedPinRefusal(login.Host, refusedCertificate)
                                   : CertificateRefusal(login.Host, refusedCertificate, certErrors);
    Fail(TImapErrorKind::Certificate, message, Fingerprint(refusedCertificate));
}

void TImapConnection::ReadAvailable()
{
    const QSslSocket* reading = socket;
    try {
        const QByteArray bytes = socket->readAll();
        received += bytes.size();
        if (received > MemoryLimit)
            throw EImapProtocol(QStringLiteral("sent more than %1 MiB in answer to one command").arg(MemoryLimit / (1024 * 1024)));
        parser.Feed(bytes);
        if (timer.isActive())
            timer.start(TimeOut);
        // A response may close this connection, or open another.
        while (socket == reading) {
            const std::optional<TImapResponse> response = parser.Next();
            if (!response)
                break;
            emit Received(*response);
        }
    } catch (const EImapProtocol& error) {
        if (socket == reading)
            Fail(TImapErrorKind::Protocol, QStringLiteral("The server %1 %2").arg(login.Host, error.Message));
    }
}

void TImapConnection::SocketFailed()
{
    if (!socket)
        return;
    if (!certErrors.isEmpty() || !refusedCertificate.isNull()) {
        RefuseCertificate();
        return;
    }
    if (socket->error() == QAbstractSocket::RemoteHostClosedError || socket->error() == QAbstractSocket::UnknownSocketError)
        Fail(TImapErrorKind::Network, QStringLiteral("The connection to %1 was closed by the server").arg(login.Host));
    else
        Fail(TImapErrorKind::Network, QStringLiteral("The connection to %1 failed: %2").arg(login.Host, socket->errorString()));
}

void TImapConnection::TimedOut()
{
    Fail(TImapErrorKind::Network, QStringLiteral("No answer from %1 within %2 seconds").arg(login.Host).arg(TimeOut / 1000.0));
}

void TImapConnection::Fail(TImapErrorKind kind, const QString& message, const QString& fingerprint)
{
    if (!socket)
        return;
    DropSocket();
    emit Failed({kind, message, fingerprint});
}

void TImapConnection::DropSocket()
{
    timer.stop();
    parser.Clear();
    received = 0;
    certErrors.clear();
    refusedCertificate.clear();
    if (!socket)
        return;
    disconnect(socket, nullptr, this, nullptr);
    socket->abort();
    socket->deleteLater();
    socket = nullptr;
}
