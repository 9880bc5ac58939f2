#include "engine/SeenMessages.h"

#include "engine/MessageList.h"
#include "engine/PrivateJsonFile.h"

#include <QJsonArray>
#include <QJsonObject>
#include <utility>

TSeenMessages::TSeenMessages(const QString& filePath) : path(filePath) {}

// By the server's unique id where it gives one, else by the header's digest,
// which is also what files written before unique ids hold.
QByteArray TSeenMessages::Key(const MessageEntry& entry)
{
    return entry.UniqueId.isEmpty() ? DigestHex(entry.Digest) : "uid:" + entry.UniqueId.toLatin1();
}

TNoticeRows TSeenMessages::Announce(const TMessageList& list, const QStringList& checkedAccounts)
{
    Load();
    TNoticeRows fresh;
    QHash<QString, QSet<QByteArray>> held;
    for (int row = 0; row < list.Count(); ++row) {
        const MessageEntry& entry = list.Entry(row);
        const QByteArray key = Key(entry);
        const QSet<QByteArray>& before = seen.value(entry.Account);
        if (!before.contains(key) && !before.contains(DigestHex(entry.Digest)))
            fresh << &entry;
        held[entry.Account].insert(key);
    }
    bool changed = false;
    for (const QString& account : checkedAccounts) {
        const QSet<QByteArray> holds = held.value(account);
        if (seen.value(account) != holds) {
            seen[account] = holds;
            changed = true;
        }
    }
    if (changed)
        Save();
    return fresh;
}

// A file that cannot be read or understood is no harm: every message then
// counts as new once more.
void TSeenMessages::Load()
{
    if (std::exchange(loaded, true))
        return;
    const QJsonObject accounts = PrivateJsonFile::Read(path);
    for (auto account = accounts.begin(); account != accounts.end(); ++account)
        for (const QJsonValue digest : account.value().toArray())
            seen[account.key()].insert(digest.toString().toLatin1());
}

void TSeenMessages::KeepUntold(const QSet<std::pair<QString, QByteArray>>& keys)
{
    Load();
    if (keys != untold) {
        untold = keys;
        Save();
    }
}

// Written whole beside the old file and renamed over it; a failure leaves
// the old file and only means a message may be announced again.
void TSeenMessages::Save() const
{
    QJsonObject accounts;
    for (auto account = seen.begin(); account != seen.end(); ++account) {
        QJsonArray digests;
        for (const QByteArray& digest : account.value())
            if (!untold.contains({account.key(), digest}))
                digests << QString::fromLatin1(digest);
        accounts.insert(account.key(), digests);
    }
    PrivateJsonFile::Write(path, accounts);
}
