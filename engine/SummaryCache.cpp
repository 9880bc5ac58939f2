#include "engine/SummaryCache.h"

#include "engine/PrivateJsonFile.h"

#include <QJsonArray>
#include <QJsonObject>
#include <QSet>
#include <algorithm>
#include <utility>

namespace {

// The fields in the order the file keeps them, one array per message.
QJsonArray Stored(const TSummaryFields& fields)
{
    return {fields.From, fields.Subject, fields.To, fields.Date, fields.Priority, fields.ReadableFrom,
            fields.ReadableSubject, QString::fromLatin1(fields.Digest)};
}

bool Restored(const QJsonValue& value, TSummaryFields& fields)
{
    const QJsonArray array = value.toArray();
    if (array.size() != 8 || !std::all_of(array.begin(), array.end(), [](const QJsonValue& v) { return v.isString(); }))
        return false;
    fields = {array[0].toString(), array[1].toString(), array[2].toString(), array[3].toString(),
              array[4].toString(), array[5].toString(), array[6].toString(), array[7].toString().toLatin1()};
    return true;
}

}

TSummaryCache::TSummaryCache(QString filePath) : path(std::move(filePath)) {}

QString TSummaryCache::Mailbox(const QString& account, const QString& server, const QString& user)
{
    return QStringList{account, server, user}.join(u'\n');
}

const TSummaryFields* TSummaryCache::Find(const QString& mailbox, const QString& uniqueId)
{
    Load();
    const auto box = mailboxes.constFind(mailbox);
    if (box == mailboxes.constEnd())
        return nullptr;
    const auto found = box->constFind(uniqueId);
    return found == box->constEnd() ? nullptr : &*found;
}

void TSummaryCache::Remember(const QString& mailbox, const QString& uniqueId, const TSummaryFields& fields)
{
    Load();
    mailboxes[mailbox].insert(uniqueId, fields);
    changed = true;
}

void TSummaryCache::Keep(const QString& mailbox, const QStringList& uniqueIds)
{
    Load();
    auto box = mailboxes.find(mailbox);
    if (box == mailboxes.end())
        return;
    const QSet<QString> held(uniqueIds.begin(), uniqueIds.end());
    changed |= box->removeIf([&](const auto& entry) { return !held.contains(entry.key()); }) > 0;
}

void TSummaryCache::Load()
{
    if (std::exchange(loaded, true))
        return;
    const QJsonObject boxes = PrivateJsonFile::Read(path);
    for (auto box = boxes.begin(); box != boxes.end(); ++box) {
        const QJsonObject messages = box.value().toObject();
        for (auto message = messages.begin(); message != messages.end(); ++message) {
            TSummaryFields fields;
            if (Restored(message.value(), fields))
                mailboxes[box.key()].insert(message.key(), fields);
        }
    }
}

// Readable by the user alone: it holds senders and subjects.
void TSummaryCache::Save()
{
    if (!std::exchange(changed, false))
        return;
    QJsonObject boxes;
    for (auto box = mailboxes.cbegin(); box != mailboxes.cend(); ++box) {
        QJsonObject messages;
        for (auto message = box->cbegin(); message != box->cend(); ++message)
            messages.insert(message.key(), Stored(message.value()));
        boxes.insert(box.key(), messages);
    }
    PrivateJsonFile::Write(path, boxes);
}
