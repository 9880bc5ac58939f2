#pragma once

#include "engine/MessageFields.h"

#include <QDateTime>
#include <QList>
#include <QObject>
#include <QString>

// Which message of which account: the server's unique id where it gives
// one, else its number in the session that listed it.
struct TMessageKey
{
    QString Account;
    QString UniqueId;
    int Number = 0;
    // Of the header, to know the message without a unique id.
    THeaderDigest Digest{};
};

// One waiting message as a source lists it.
struct TSourceRow
{
    TMessageKey Key;
    TSummaryFields Fields;
    qint64 Bytes = 0;
};

// What the quick view window shows of one retrieved message.
struct TQuickViewText
{
    QString From;
    QString Subject;
    QString Date;
    QString Account;
    QString Body; // each line ended by CR LF
    bool Html = false; // Body is HTML, to be shown as its text
    QString Notes; // after the text: files extracted, text left out
};

// Whose child a message box is: the main window's, or nobody's.
enum class TBoxOwner { MainWindow, None };

// A box a protocol's failure event would show.
struct TFailureBox
{
    QString Text = {};
    QString Caption = {}; // empty: the system's own
    TBoxOwner Owner = TBoxOwner::MainWindow;
    bool Plain = false; // under the application's title instead
};

enum class TFailureKind {
    WrongPassword,
    SignInRefused, // an access token refused: only a new sign-in helps
    Certificate,
    Network,
    Protocol, // the server's answers, or anything else that went wrong
    Canceled,
};

// Why a source could not do what it was asked.
struct TSourceFailure
{
    TFailureKind Kind = TFailureKind::Protocol;
    // The failure's own words.
    QString Message = {};
    // A few words for the failure log; empty: said from Kind and Message.
    QString Reason = {};
    // The box the protocol's failure event chose, if it chose one.
    QList<TFailureBox> Boxes = {};
    // The connection went away in the middle: the user may connect again.
    bool ConnectionLost = false;
    // A certificate's fingerprint, to be trusted by the user.
    QString Fingerprint = {};
    QString Server = {};
};

// Whether a source is told of its mailbox's changes as they happen.
struct TWatchState
{
    bool Live = false;
    // When the connection that told of changes dropped, while it is being
    // opened again; invalid otherwise.
    QDateTime RetryingSince = {};
};

// One account's mailbox. Everything it is asked is answered by a signal,
// perhaps before the call returns. A source that is told of changes
// (Pushes) reports them as Arrived and Removed between requests.
class TMailSource : public QObject
{
    Q_OBJECT

public:
    explicit TMailSource(const QString& account, QObject* parent = nullptr) : QObject(parent), account(account) {}

    const QString& Account() const { return account; }
    virtual bool Pushes() const { return false; }
    virtual TWatchState Watching() const { return {}; }
    // Whether the server keeps a read mark that MarkRead may set.
    virtual bool MarksRead() const { return false; }

    // Connects and signs in.
    virtual void Open() = 0;
    // Lists what waits: Listing, a Listed for each message, Refreshed. A
    // Delete of a row while it is being listed deletes it in this listing.
    virtual void Refresh() = 0;
    // The message as a listing gave it: Deleted, or Missing where another
    // message stands in its place now.
    virtual void Delete(const TMessageKey& key) = 0;
    // The whole message: Fetched, or Missing.
    virtual void Fetch(const TMessageKey& key) = 0;
    // Marks the message read on the server: MarkedRead, or Missing.
    virtual void MarkRead(const TMessageKey&)
    {
        emit Failed({.Message = QStringLiteral("The messages of %1 cannot be marked read on the server.").arg(account)});
    }
    virtual void Close() = 0;
    // Stops the request under way: it fails as Canceled.
    virtual void Cancel() = 0;
    // The network came back or the machine woke: a connection kept open
    // may be dead without a word, so it is opened anew.
    virtual void Revive() {}

signals:
    // The server was reached; it wants this many seconds between logins.
    void Opened(int loginDelay);
    // A listing of this many messages begins.
    void Listing(int count);
    void Listed(const TSourceRow& row);
    void Progress(int number, int count);
    // The listing is over; the messages deleted in it are gone, and the
    // numbers of those after them moved up.
    void Refreshed(const QList<int>& deleted);
    void Arrived(const QList<TSourceRow>& rows);
    void Removed(const QList<TMessageKey>& keys);
    void Deleted(const TMessageKey& key);
    // Before Deleted, where the message is only marked deleted: it goes
    // when the folder is next expunged.
    void DeletedAtExpunge(const TMessageKey& key);
    void MarkedRead(const TMessageKey& key);
    // Watching() changed.
    void WatchChanged();
    void Fetched(const TQuickViewText& message);
    void Missing(const TMessageKey& key);
    void Failed(const TSourceFailure& failure);

private:
    QString account;
};
