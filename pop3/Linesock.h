#pragma once

#include "base/Events.h"
#include "base/Exception.h"
#include "base/Security.h"
#include "pop3/InputStream.h"
#include "pop3/ThreadTimer.h"

#include <QAbstractSocket>
#include <QByteArray>
#include <QHostAddress>
#include <QObject>
#include <QSslCertificate>
#include <QSslError>
#include <QStringList>
#include <exception>
#include <functional>
#include <utility>
#include <vector>

class QHostInfo;
class QSslSocket;

class ESockError : public Exception
{
public:
    using Exception::Exception;
};

class EAbortError : public ESockError
{
public:
    using ESockError::ESockError;
};

// A server whose certificate is not trusted: nothing was sent to it.
class ECertificateError : public ESockError
{
public:
    ECertificateError(const QString& message, QString fingerprint)
        : ESockError(message), Fingerprint(std::move(fingerprint)) {}

    QString Fingerprint;
};

// The longest command Writeln sends whole, its line end not counted.
inline constexpr qsizetype MaxCommandLength = 16382;

using TOnHostResolved = std::function<void(QObject* Sender)>;
using TOnStatus = std::function<void(QObject* Sender, const QString& Status)>;

// What a caller sets and watches on a connection. Both the socket and the
// abstract mail client see these, so the client's users need no socket.
struct TSocketProperties
{
    QString Host;
    int Port = 0;
    int TimeOut = 0;
    int ReportLevel = 0;
    bool Connected = false;
    int Security = secNone;
    // The SHA-256 fingerprint of the one certificate to accept whatever its
    // chain says; empty: the system's trusted authorities decide.
    QString CertFingerprint;

    TNotifyEvent OnDisconnect;
    THandlerEvent OnInvalidHost;
    TOnHostResolved OnHostResolved;
    TOnStatus OnStatus;
    TNotifyEvent OnConnectionFailed;
    THandlerEvent OnConnectionRequired;
};

// One TCP connection driven by blocking-looking calls. Every wait runs the
// event loop, so timers and user commands keep working meanwhile.
class TLineSocket : public QObject, public virtual TSocketProperties
{
public:
    explicit TLineSocket(QObject* parent = nullptr);
    ~TLineSocket() override;

    virtual void Connect();
    virtual void Disconnect();
    // Turns the open connection into a TLS one; returns once the server's
    // certificate is accepted, or raises with nothing sent.
    void StartEncryption();
    void Cancel();
    void Write(const QByteArray& text);
    void Writeln(const QByteArray& text);
    QByteArray ReadLn();
    // A line of at most limit bytes: the rest of a longer one is read away
    // as it comes, never held, and cut says so. Budget counts down the bytes
    // taken; a line that outruns it ends the connection.
    QByteArray ReadLnCut(qsizetype limit, bool& cut, qsizetype& budget);
    virtual QByteArray Transaction(const QByteArray& command);
    void RequireConnection();
    void RequestCloseSocket();
    void ReportStatus(int level, const QString& text);
    QString LookUpErrorMessage(int code);
    void CheckSocketError(int expected);

    bool Aborted = false;
    bool TimedOut = false;
    bool NoError = true;
    bool LookupDone = false;
    bool Sent = false;
    QString Status;
    QByteArray LastReply;
    qint16 ReplyNumber = 0;
    int LastErrorNo = 0;
    quint32 RemoteAddress = 0;
    QStringList WinsockInfo;

protected:
    // Called when the time-out timer fires.
    virtual void CloseDown() {}
    // Called when data arrive after a cancel.
    virtual void AbortReceive() {}
    void EmptyInput() { input.Clear(); }

    bool Destroying = false;

private:
    struct TWait;

    void InitializeWinsock();
    void ResolveHost();
    QHostAddress LookUpHost(const QString& name);
    void ResolveWithRetry();
    void HostLookedUp(const QHostInfo& info);
    void SendBuffer(const QByteArray& bytes);
    void WriteFromStream();
    bool HandOver();
    void BytesWritten();
    void ReadToStream();
    void ReadAvailable(bool everything);
    void PeerClosed();
    void SocketFailed(QAbstractSocket::SocketError error);
    void CertificateErrors(const QList<QSslError>& errors);
    bool PinHolds() const;
    [[noreturn]] void RefuseCertificate(const QString& message);
    void Wait(const std::function<bool()>& done);
    void Wake();
    void InSlot(const std::function<void()>& body) noexcept;
    void TimerOn();
    void TimerOff();
    void TimerTriggered();
    void Progress();
    [[noreturn]] void FailWait(const QString& message);
    bool LineTooLong() const;

    QSslSocket* socket;
    TThreadTimer timer;
    TInputStream input;
    QByteArray output;
    QHostAddress address;
    QHostAddress resolved;
    int lookupId = -1;
    bool inHandler = false;
    bool closedByPeer = false;
    std::vector<TWait*> waits;
    std::exception_ptr pending;
    // What the last handshake refused, kept before the socket drops it.
    QList<QSslError> certErrors;
    QSslCertificate refusedCertificate;
};
