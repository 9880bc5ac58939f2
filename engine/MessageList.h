#pragma once

#include "pop3/Pop3client.h"

#include <QAbstractTableModel>
#include <QList>
#include <QTimer>
#include <functional>

class Settings;

// One row of the message list: six texts and the message's number on its
// account's server at the time of the check. From and Subject are as
// received, for the filters and the blocked senders; the list shows their
// readable forms.
struct MessageEntry
{
    QString From;
    QString Subject;
    QString Size;
    QString Priority;
    QString Received;
    QString Account;
    int Number = 0;
    // The header lines the check received, to know the message again in a
    // later session, where the numbers may have moved.
    TExStringList Header;
    // Unfolded and decoded, the leading blank kept.
    QString ReadableFrom;
    QString ReadableSubject;
};

// What the list shows of a readable header text: no blanks around it.
QString Shown(const QString& readable);

// Whether two header listings are of the same message: their lines up to the
// end of the header (a blank line or the closing ".") are equal.
bool SameHeader(const TExStringList& listed, const TExStringList& received);
// A digest of the header up to its end, by which a later check knows the
// message again.
QByteArray HeaderDigest(const TExStringList& header);

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

    explicit TMessageList(const Settings& settings, QObject* parent = nullptr);

    TSummaryResult AddSummary(const TSummary& summary, const QString& account, int number);
    void Clear();
    // Takes the row away; the account's later messages move up one number,
    // as the server numbers them once the deletion is final.
    void RemoveDeleted(int row);
    // The account's rows numbered as the server numbers them once the
    // deletion of these (unlisted) message numbers is final.
    void Renumber(const QString& account, const QList<int>& deleted);

    // Whether to announce a row added now: a hidden view paints nothing, a
    // view with room below its last row shows it. None: every row at once.
    std::function<bool()> AnnounceAtOnce;
    int HoldBackMs = 3000;

    int Count() const { return int(rows.size()); }
    const MessageEntry& Entry(int row) const { return rows.at(row); }

    int rowCount(const QModelIndex& parent = {}) const override;
    int columnCount(const QModelIndex& parent = {}) const override;
    QVariant data(const QModelIndex& index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

private:
    void AnnounceLater();
    void AnnounceHeldRows();
    bool IsBlocked(const TSummary& summary, const QString& readableFrom) const;
    static QString Text(const MessageEntry& entry, int column);

    const Settings& settings;
    QList<MessageEntry> rows;
    int announced = 0;
    QTimer holdBack;
};
