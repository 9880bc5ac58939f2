#include "engine/MessageList.h"

#include "engine/RowFormat.h"
#include "config/Settings.h"

#include <QLocale>
#include <algorithm>
#include <functional>
#include <iterator>

TMessageList::TMessageList(const Settings& settings, QObject* parent) : QAbstractTableModel(parent), settings(settings)
{
    holdBack.setSingleShot(true);
    connect(&holdBack, &QTimer::timeout, this, &TMessageList::AnnounceHeldRows);
}

TSummaryResult TMessageList::AddSummary(const TSummary& summary, const QString& account, int number)
{
    return AddFields(FieldsOf(summary), summary.Bytes, QString(), account, number);
}

TSummaryResult TMessageList::AddFields(const TSummaryFields& fields, qint64 bytes, const QString& uniqueId,
                                       const QString& account, int number)
{
    if (IsBlocked(fields, bytes))
        return settings.SaveBlocked() ? TSummaryResult::Hidden : TSummaryResult::Delete;
    rows.append({bytes, fields.Priority, fields.Date, account, number, fields.Digest, uniqueId, fields.ReadableFrom,
                 fields.ReadableSubject, fields.ReceivedOrder});
    if (AnnounceAtOnce && !AnnounceAtOnce())
        AnnounceLater();
    else
        AnnounceHeldRows();
    return TSummaryResult::Kept;
}

bool TMessageList::Deletes(const TSummaryFields& fields, qint64 bytes) const
{
    return !settings.SaveBlocked() && IsBlocked(fields, bytes);
}

void TMessageList::AnnounceLater()
{
    if (!holdBack.isActive())
        holdBack.start(HoldBackMs);
}

// A removal or renumbering first announces what is held, so that views and
// rows agree on the row numbers it names.
void TMessageList::AnnounceHeldRows()
{
    holdBack.stop();
    if (announced == Count())
        return;
    beginInsertRows({}, announced, Count() - 1);
    announced = Count();
    endInsertRows();
}

QString Shown(const QString& readable)
{
    return readable.trimmed();
}

// Blank means empty: a From or Subject line with only a blank after its
// colon is not blank. An entry made from the sender as received or as read
// blocks alike.
bool TMessageList::IsBlocked(const TSummaryFields& fields, qint64 bytes) const
{
    const bool tests[] = {
        settings.IsSenderBlocked(fields.From) || settings.IsSenderBlocked(fields.ReadableFrom),
        settings.BlockBlankFrom() && fields.From.isEmpty(),
        settings.BlockBlankTo() && fields.To.isEmpty(),
        settings.BlockBlankSubject() && fields.Subject.isEmpty(),
        settings.BlockZeroLength() && bytes == 0,
    };
    return std::ranges::any_of(tests, std::identity{});
}

void TMessageList::RemoveDeleted(int row)
{
    if (row < 0 || row >= Count())
        return;
    const MessageEntry deleted = rows.at(row);
    RemoveMarkedRead(row);
    Renumber(deleted.Account, {deleted.Number});
}

void TMessageList::RemoveGone(const QString& account, const QString& uniqueId)
{
    const int gone = RowOf(account, uniqueId);
    if (gone < 0)
        AnnounceHeldRows();
    else
        RemoveMarkedRead(gone);
}

int TMessageList::RowOf(const QString& account, const QString& uniqueId) const
{
    if (uniqueId.isEmpty())
        return -1;
    const auto found = std::ranges::find_if(rows, [&](const MessageEntry& entry) {
        return entry.Account == account && entry.UniqueId == uniqueId;
    });
    return found == rows.end() ? -1 : int(found - rows.begin());
}

void TMessageList::RemoveMarkedRead(int row)
{
    AnnounceHeldRows();
    if (row < 0 || row >= Count())
        return;
    beginRemoveRows({}, row, row);
    rows.removeAt(row);
    --announced;
    endRemoveRows();
}

void TMessageList::Renumber(const QString& account, const QList<int>& deleted)
{
    AnnounceHeldRows();
    for (int i = 0; i < Count(); ++i) {
        MessageEntry& entry = rows[i];
        const auto before = std::ranges::count_if(deleted, [&entry](int number) { return number < entry.Number; });
        if (entry.Account == account && before > 0) {
            entry.Number -= int(before);
            emit dataChanged(index(i, 0), index(i, ColumnCount - 1), {NumberRole});
        }
    }
}

void TMessageList::Reserve(qsizetype more)
{
    rows.reserve(rows.size() + more);
}

void TMessageList::Clear()
{
    holdBack.stop();
    if (rows.isEmpty())
        return;
    beginResetModel();
    rows.clear();
    announced = 0;
    endResetModel();
}

void TMessageList::SetAsideExcept(const QStringList& accounts)
{
    holdBack.stop();
    setAside.clear();
    if (rows.isEmpty())
        return;
    beginResetModel();
    QList<MessageEntry> kept;
    for (MessageEntry& entry : rows)
        (accounts.contains(entry.Account) ? kept : setAside).append(std::move(entry));
    rows = std::move(kept);
    announced = Count();
    endResetModel();
}

void TMessageList::StartListing(const QString& account, const QDateTime& when)
{
    listedAt[account] = when;
    stale.remove(account);
    setAside.removeIf([&](const MessageEntry& entry) { return entry.Account == account; });
}

// The account's rows go after those of the accounts checked before it, as
// a listing would have put them.
void TMessageList::Restore(const QString& account)
{
    const auto back = std::stable_partition(setAside.begin(), setAside.end(),
                                            [&](const MessageEntry& entry) { return entry.Account != account; });
    if (back == setAside.end())
        return;
    AnnounceHeldRows();
    stale.insert(account);
    beginInsertRows({}, Count(), Count() + int(setAside.end() - back) - 1);
    std::move(back, setAside.end(), std::back_inserter(rows));
    setAside.erase(back, setAside.end());
    announced = Count();
    endInsertRows();
}

QDateTime TMessageList::AsOf(const QString& account) const
{
    return stale.contains(account) ? listedAt.value(account) : QDateTime();
}

int TMessageList::IndexOf(const MessageEntry& entry) const
{
    int found = -1;
    for (int row = 0; row < Count(); ++row) {
        const MessageEntry& listed = rows.at(row);
        if (listed.Account != entry.Account || listed.Digest != entry.Digest || listed.UniqueId != entry.UniqueId)
            continue;
        if (listed.Number == entry.Number)
            return row;
        if (found < 0)
            found = row;
    }
    return found;
}

int TMessageList::rowCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : announced;
}

int TMessageList::columnCount(const QModelIndex& parent) const
{
    return parent.isValid() ? 0 : ColumnCount;
}

QVariant TMessageList::data(const QModelIndex& index, int role) const
{
    if (!index.isValid() || index.row() >= announced)
        return {};
    const MessageEntry& entry = rows.at(index.row());
    if (role == Qt::DisplayRole)
        return Text(entry, index.column());
    if (role == NumberRole)
        return entry.Number;
    if (role == Qt::ForegroundRole && stale.contains(entry.Account))
        return StaleForeground;
    if (role == Qt::ToolTipRole && index.column() == colAccount && stale.contains(entry.Account))
        return AsOfText(listedAt.value(entry.Account));
    if (role == Qt::ToolTipRole)
        return WholeText(entry, index.column());
    if (role == SortRole)
        return SortKey(entry, index.column());
    return {};
}

QString TMessageList::Text(const MessageEntry& entry, int column)
{
    switch (column) {
    case colFrom: return SenderName(entry.ReadableFrom);
    case colSubject: return Shown(entry.ReadableSubject);
    case colSize: return SizeText(entry.Bytes);
    case colPriority: return entry.Priority;
    case colReceived: return entry.Received;
    case colAccount: return entry.Account;
    default: return {};
    }
}

// The time alone for today; a listing of an earlier day names it.
QString TMessageList::AsOfText(const QDateTime& when)
{
    const QLocale locale = QLocale::system();
    const QString time = locale.toString(when.time(), QLocale::ShortFormat);
    if (when.date() == QDate::currentDate())
        return QStringLiteral("as of ") + time;
    return QStringLiteral("as of ") + locale.toString(when.date(), QLocale::ShortFormat) + u' ' + time;
}

// The sender with its address, and what a narrow column cuts off.
QVariant TMessageList::WholeText(const MessageEntry& entry, int column)
{
    const auto tip = [](const QString& text) { return text.isEmpty() ? QVariant() : QVariant(text); };
    switch (column) {
    case colFrom: return tip(Shown(entry.ReadableFrom));
    case colSubject: return tip(Shown(entry.ReadableSubject));
    case colReceived: return tip(entry.Received);
    default: return {};
    }
}

QVariant TMessageList::SortKey(const MessageEntry& entry, int column)
{
    switch (column) {
    case colSize: return entry.Bytes;
    case colPriority: return Priority::Rank(entry.Priority);
    case colReceived: return entry.ReceivedOrder;
    default: return Text(entry, column);
    }
}

QVariant TMessageList::headerData(int section, Qt::Orientation orientation, int role) const
{
    static const char* const captions[ColumnCount] = {"From", "Subject", "Size", "Priority", "Received", "Account"};
    if (orientation != Qt::Horizontal || role != Qt::DisplayRole || section < 0 || section >= ColumnCount)
        return {};
    return QString::fromLatin1(captions[section]);
}
