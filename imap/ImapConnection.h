#pragma once

#include "imap/ImapClient.h"
#include "imap/ImapResponse.h"

#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <QTimer>

class QSslSocket;

// The wire under an IMAP session: connects, secures by the account's
// certificate rules, cuts what arrives into responses and watches the time
// an awaited answer takes. Every failure closes it and is told once.
class TImapConnection : public QObject
{
    Q_OBJECT

public:
    explicit TImapConnection(QObject* parent = nullptr);
    ~TImapConnection() override;

    int TimeOut = 60000;
    qint64 MemoryLimit = 64 * 1024 * 1024;

    // Connects; with secTls secures at once. Ready follows.
    void Open(const TImapLogin& login);
    // Turns the open connection into a TLS one: Ready again once secured.
    void StartTls();
    void Send(const QByteArray& bytes);
    // Whether an answer is due: the time-out runs only while one is.
    void Await(bool awaited);
    void Close();
    // Bytes arrived that no response has taken yet.
    bool HoldsUnread() const;

signals:
    void Ready();
    void Received(const TImapResponse& response);
    void Failed(const TImapError& error);

private:
    void Connected();
    void Encrypted();
    void ReadAvailable();
    void SocketFailed();
    void TimedOut();
    void SslErrors(const QList<QSslError>& errors);
    void RefuseCertificate();
    void Fail(TImapErrorKind kind, const QString& message, const QString& fingerprint = {});
    void DropSocket();

    TImapLogin login;
    QSslSocket* socket = nullptr;
    TImapParser parser{MemoryLimit};
    QTimer timer;
    qint64 received = 0;
    QList<QSslError> certErrors;
    QSslCertificate refusedCertificate;
};
