#pragma once

#include "engine/MessageFields.h"

#include <QAbstractTableModel>
#include <QDateTime>
#include <QHash>
#include <QList>
#include <QSet>
#include <QTimer>
#include <functional>

class Settings;

// One row of the message list: what its six columns show and the message's
// number on its account's server at the time of the check. The size is kept
// as a number, and the sender and subject only as read (the filters had
// them as received): a text for each of hundreds of thousands of rows adds
// up.
struct MessageEntry
{
    qint64 Bytes = 0;
    QString Priority;
    QString Received;
    QString Account;
    int Number = 0;
    THeaderDigest Digest{};
    // The server's unique id, where it gives them.
    QString UniqueId;
    QString ReadableFrom;
    QString ReadableSubject;
    // The Date header's time, to order the rows by (DateOrder).
    qint64 ReceivedOrder = 0;

};
// A list of hundreds of thousands of rows grows in place instead of being
// copied to a larger one.
Q_DECLARE_TYPEINFO(MessageEntry, Q_RELOCATABLE_TYPE);

// What the list shows of a readable header text: no blanks around it.
QString Shown(const QString& readable);

// What became of a summary handed to the list.
enum class TSummaryResult {
    Kept,    // listed
    Hidden,  // blocked, left on the server
    Delete,  // blocked, to be deleted on the server
};

// The messages waiting on the servers, in arrival order, as the main
// window's list shows them; a summary becomes a row only if it passes the
// filters the user configured.
//
// Count and Entry are every row; the views see the rows announced so far
// (rowCount), always the first ones. A view repaints all it shows for every
// announcement, so rows it would not show yet (below its visible part) are
// held back and announced together, HoldBackMs after the first of them.
class TMessageList : public QAbstractTableModel
{
    Q_OBJECT

public:
    enum Column { colFrom, colSubject, colSize, colPriority, colReceived, colAccount, ColumnCount };
    // The row's message number, for the actions on the selected row.
    static constexpr int NumberRole = Qt::UserRole;
    // What a column orders by: time, number or rank where the text would
    // order wrongly.
    static constexpr int SortRole = Qt::UserRole + 1;

    explicit TMessageList(const Settings& settings, QObject* parent = nullptr);

    TSummaryResult AddSummary(const TSummary& summary, const QString& account, int number);
    // The same from what an earlier check kept of the message.
    TSummaryResult AddFields(const TSummaryFields& fields, qint64 bytes, const QString& uniqueId,
                             const QString& account, int number);
    // Whether AddFields would have the message deleted.
    bool Deletes(const TSummaryFields& fields, qint64 bytes) const;
    // Room for this many more rows, that a listing's count tells ahead.
    void Reserve(qsizetype more);
    void Clear();
    // A check begins: the rows of all but these accounts, which it leaves
    // out, are taken away and kept aside until their account is listed.
    void SetAsideExcept(const QStringList& accounts);
    // The account's server tells its messages now: what it lists replaces
    // the rows set aside.
    void StartListing(const QString& account, const QDateTime& when);
    // The account's check failed before its server listed anything: its
    // rows set aside come back, marked as no longer current.
    void Restore(const QString& account);
    // When the account's rows were listed, if they are not current; else
    // invalid.
    QDateTime AsOf(const QString& account) const;
    // The row that lists this entry's message now, -1 for none: the list may
    // have been checked anew since the entry was taken.
    int IndexOf(const MessageEntry& entry) const;
    // The row of the account's message with this unique id, -1 for none.
    int RowOf(const QString& account, const QString& uniqueId) const;
    // Takes the row away; the account's later messages move up one number,
    // as the server numbers them once the deletion is final.
    void RemoveDeleted(int row);
    // Takes away the row of the account's message with this unique id, told
    // gone by its server; the other rows keep their numbers.
    void RemoveGone(const QString& account, const QString& uniqueId);
    // Takes the row away; the message stays on the server, read, and the
    // other rows keep their numbers.
    void RemoveMarkedRead(int row);
    // The account's rows numbered as the server numbers them once the
    // deletion of these (unlisted) message numbers is final.
    void Renumber(const QString& account, const QList<int>& deleted);

    // Whether to announce a row added now: a hidden view paints nothing, a
    // view with room below its last row shows it. None: every row at once.
    std::function<bool()> AnnounceAtOnce;
    int HoldBackMs = 3000;
    // How the window draws a row that is not current (ForegroundRole).
    QVariant StaleForeground;
    // The rows held back reach the views now: the check is over.
    void AnnounceHeldRows();

    int Count() const { return int(rows.size()); }
    const MessageEntry& Entry(int row) const { return rows.at(row); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    bool IsBlocked(const TSummaryFields& fields, qint64 bytes) const;
    void AnnounceLater();
    static QString Text(const MessageEntry& entry, int column);
    static QString AsOfText(const QDateTime& when);
    static QVariant WholeText(const MessageEntry& entry, int column);
    static QVariant SortKey(const MessageEntry& entry, int column);

    const Settings& settings;
    QList<MessageEntry> rows;
    QList<MessageEntry> setAside;
    // When each account's rows were listed; the accounts whose rows are
    // older than their last check.
    QHash<QString, QDateTime> listedAt;
    QSet<QString> stale;
    int announced = 0;
    QTimer holdBack;
};
