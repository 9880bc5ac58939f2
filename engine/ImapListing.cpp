#include "engine/ImapSource.h"

#include "engine/MessageFields.h"
#include "engine/QuickViewText.h"
#include "engine/SummaryCache.h"
#include "base/Exception.h"
#include "base/Words.h"

#include <QSet>

namespace {

// What a row and the filters read of a header, and no more.
const QByteArrayList HeaderNames{"From", "Subject", "To", "Date", "X-Priority"};

// Many ids go in one fetch; a folder of a hundred thousand unread in a few,
// so that no answer outgrows what a session may hold.
constexpr qsizetype FetchBatch = 5000;

bool StartsWithField(const QByteArray& line, const char* name)
{
    return line.startsWith(name) || line.toLower().startsWith(QByteArray(name).toLower());
}

}

// What is new is read, what the cache or the last listing has is not;
// what left the unread is gone from the list.
void TImapSource::Searched(const QList<quint32>& uids)
{
    QList<quint32> unseen = uids;
    std::sort(unseen.begin(), unseen.end());
    const QSet<quint32> now(unseen.begin(), unseen.end());
    removed.clear();
    for (auto row = known.begin(); row != known.end();) {
        if (now.contains(row.key())) {
            ++row;
            continue;
        }
        removed << row->Key;
        row = known.erase(row);
    }
    arrived.clear();
    toFetch.clear();
    for (const quint32 uid : std::as_const(unseen)) {
        if (known.contains(uid))
            continue;
        arrived << uid;
        if (!FromCache(uid))
            toFetch << uid;
    }
    FetchNext();
}

void TImapSource::FetchNext()
{
    if (toFetch.isEmpty())
        return ListingDone();
    const QList<quint32> batch = toFetch.mid(0, FetchBatch);
    toFetch.remove(0, batch.size());
    client.FetchHeaders(batch, HeaderNames);
}

void TImapSource::HeadersFetched(const QList<TImapMessage>& messages)
{
    for (const TImapMessage& message : messages) {
        const TSourceRow row = RowOf(message);
        known.insert(message.Uid, row);
        if (parts.Cache)
            parts.Cache->Remember(CacheBox(), row.Key.UniqueId, row.Fields, row.Bytes);
    }
    FetchNext();
}

bool TImapSource::FromCache(quint32 uid)
{
    const TSummaryCache::TEntry* entry = parts.Cache ? parts.Cache->Find(CacheBox(), IdOf(uid)) : nullptr;
    if (!entry || entry->Bytes < 0)
        return false;
    known.insert(uid, {{Account(), IdOf(uid), 0, entry->Fields.Digest}, entry->Fields, entry->Bytes});
    return true;
}

QString TImapSource::CacheBox() const
{
    return TSummaryCache::Mailbox(Account(), server, user) + QStringLiteral("\nIMAP ") + folder;
}

// Without a refresh's full listing, only what changed is told.
void TImapSource::ListingDone()
{
    if (parts.Cache) {
        QStringList ids;
        for (const TSourceRow& row : std::as_const(known))
            ids << row.Key.UniqueId;
        parts.Cache->Keep(CacheBox(), ids);
    }
    if (current->Job == TJob::Refresh)
        ListAll();
    else
        TellChanges();
    Done();
}

void TImapSource::ListAll()
{
    emit Listing(int(known.size()));
    for (const TSourceRow& row : std::as_const(known))
        emit Listed(row);
    emit Refreshed({});
}

// Ids fetched but not answered were removed meanwhile.
void TImapSource::TellChanges()
{
    QList<TSourceRow> rows;
    for (const quint32 uid : std::as_const(arrived))
        if (known.contains(uid))
            rows << known.value(uid);
    if (!removed.isEmpty())
        emit Removed(removed);
    if (!rows.isEmpty())
        emit Arrived(rows);
    if (parts.Cache && (!removed.isEmpty() || !rows.isEmpty()))
        parts.Cache->Save();
}

// The header as the POP3 side keeps a summary's: its lines as they came,
// the last From and Subject taken whole.
TSourceRow TImapSource::RowOf(const TImapMessage& message) const
{
    TSummary summary;
    summary.Bytes = message.Size;
    for (QByteArray line : message.Header.split('\n')) {
        if (line.endsWith('\r'))
            line.chop(1);
        if (line.isEmpty())
            continue;
        if (StartsWithField(line, "From:"))
            summary.From = WireText(line.mid(5));
        else if (StartsWithField(line, "Subject:"))
            summary.Subject = WireText(line.mid(8));
        summary.Header << WireText(line);
    }
    const TSummaryFields fields = FieldsOf(summary);
    return {{Account(), IdOf(message.Uid), 0, fields.Digest}, fields, message.Size};
}

// A message that cannot be taken apart (its files cannot be written) is
// told as the failure of the quick view; the connection goes on.
void TImapSource::FetchedMessage(quint32, const QByteArray& bytes)
{
    TMailMessage message;
    try {
        ReadWholeMessage(bytes, parts.AttachFolder(), message);
    } catch (const Exception& error) {
        Done();
        return emit Failed({.Message = error.Message});
    }
    emit Fetched(QuickViewOf(message, Account()));
    Done();
}
