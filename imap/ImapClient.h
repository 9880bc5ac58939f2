#pragma once

#include "base/Security.h"

#include <QByteArray>
#include <QByteArrayList>
#include <QList>
#include <QObject>
#include <QString>
#include <QStringList>
#include <memory>

// What a session needs to reach and sign in to one folder.
struct TImapLogin
{
    QString Host = {};
    int Port = 0;
    TSecurity Security = secNone;
    // The SHA-256 fingerprint of the one certificate to accept whatever its
    // chain says; empty: the system's trusted authorities decide.
    QString CertFingerprint = {};
    QString User = {};
    QString Password = {};
    // An OAuth 2.0 access token: signs in by XOAUTH2 or OAUTHBEARER instead
    // of the password.
    QString Token = {};
    QString Folder = QStringLiteral("INBOX");
};

// One message as a header fetch gives it.
struct TImapMessage
{
    quint32 Uid = 0;
    qint64 Size = 0;
    bool Seen = false;
    // The asked header fields, CR LF lines, ended by an empty line.
    QByteArray Header = {};
};

enum class TImapErrorKind {
    Network,        // not reached, dropped, or no answer within the time-out
    Certificate,    // the server's certificate refused: nothing was sent
    WrongPassword,  // the server refused the user name and password
    TokenRefused,   // the server refused the access token
    Protocol,       // the server's answers broke the rules or a limit
    Canceled,
};

struct TImapError
{
    TImapErrorKind Kind = TImapErrorKind::Protocol;
    // In a user's words, naming the server.
    QString Message = {};
    // Certificate: the refused certificate's fingerprint, to be trusted.
    QString Fingerprint = {};
};

// How a message left the folder.
enum class TImapDeletion {
    Expunged,      // gone (UID EXPUNGE)
    MovedToTrash,  // moved to the server's Trash folder
    MarkedDeleted, // marked \Deleted: gone at the next expunge
};

// One IMAP session with one folder, driven by signals: no call waits.
// Requests queue and run in order; each ends in its signal or in Failed.
// Failed (and a BYE) closes the connection and drops the queued requests.
// The folder is examined (read only) for listing and idling and selected
// only for the moment a request changes it: nothing here marks a message
// read but MarkSeen.
class TImapClient : public QObject
{
    Q_OBJECT

public:
    explicit TImapClient(QObject* parent = nullptr);
    ~TImapClient() override;

    // Milliseconds any awaited answer may take; an IDLE's renewal must be
    // answered within it too.
    int TimeOut = 60000;
    // Milliseconds after which an IDLE is ended and begun again.
    int IdleRenewal = 9 * 60 * 1000;
    // Bytes a session may hold at once (literals, lines, fetched messages).
    qint64 MemoryLimit = 64 * 1024 * 1024;

    // Connects, secures, signs in, examines the folder: Opened.
    void Open(const TImapLogin& login);
    // UID SEARCH UNSEEN UNDELETED: Searched. A message marked deleted
    // elsewhere waits only for its expunge.
    void SearchUnseen();
    // One UID FETCH of RFC822.SIZE, FLAGS and the header fields named:
    // HeadersFetched, without the ids the server no longer has.
    void FetchHeaders(const QList<quint32>& uids, const QByteArrayList& fields);
    // UID FETCH BODY.PEEK[]: MessageFetched, or Gone.
    void FetchMessage(quint32 uid);
    // UID STORE +FLAGS (\Seen): MarkedSeen, or Gone.
    void MarkSeen(quint32 uid);
    // Deleted (how it went), or Gone.
    void Delete(quint32 uid);
    // Waits for changes in IDLE where the server offers it; Changed on
    // EXISTS, EXPUNGE or FETCH. The next request ends the IDLE first.
    void Idle();
    // LOGOUT: Closed.
    void Logout();
    // Drops the connection at once; the request under way fails Canceled.
    void Cancel();

    bool IsOpen() const;
    bool CanIdle() const;
    quint32 UidValidity() const;

signals:
    void Opened();
    void Searched(const QList<quint32>& uids);
    void HeadersFetched(const QList<TImapMessage>& messages);
    void MessageFetched(quint32 uid, const QByteArray& message);
    void Gone(quint32 uid);
    void MarkedSeen(quint32 uid);
    void Deleted(quint32 uid, TImapDeletion how);
    void Changed();
    void Closed();
    void Failed(const TImapError& error);

private:
    struct TSession;
    std::unique_ptr<TSession> session;
};
