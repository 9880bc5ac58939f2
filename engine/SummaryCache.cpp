#include "engine/SummaryCache.h"

#include "engine/PrivateJsonFile.h"
#include "engine/RowFormat.h"

#include <QBuffer>
#include <QCborArray>
#include <QCborStreamReader>
#include <QCborStreamWriter>
#include <QCborValue>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QSet>
#include <utility>

// The file is a CBOR sequence (RFC 8742) of mailboxes, each an array of its
// name and its messages, a message an array of its unique id, its size and
// its eight fields. CBOR is written as it goes, where a JSON object of all
// messages takes time growing with the square of their number. Files from
// before sizes were kept are JSON: per mailbox, an object of eight fields
// by unique id; their messages are read with the size unknown.
namespace {

constexpr qsizetype FieldCount = 8;

void Store(QByteArray& file, const QString& mailbox, const QHash<QString, TSummaryCache::TEntry>& messages)
{
    QBuffer end(&file);
    end.open(QIODevice::Append);
    QCborStreamWriter writer(&end);
    writer.startArray(2);
    writer.append(mailbox);
    writer.startArray(messages.size());
    for (auto message = messages.cbegin(); message != messages.cend(); ++message) {
        const TSummaryFields& f = message->Fields;
        writer.startArray(2 + FieldCount);
        writer.append(message.key());
        writer.append(message->Bytes);
        for (const QString* text : {&f.From, &f.Subject, &f.To, &f.Date, &f.Priority, &f.ReadableFrom,
                                    &f.ReadableSubject})
            writer.append(*text);
        const QByteArray digest = DigestHex(f.Digest);
        writer.append(QLatin1StringView(digest));
        writer.endArray();
    }
    writer.endArray();
    writer.endArray();
}

template <typename Array> bool AllStrings(const Array& array, qsizetype from)
{
    for (qsizetype i = from; i < array.size(); ++i)
        if (!array.at(i).isString())
            return false;
    return true;
}

// The file keeps the Date alone: its time is read from it again.
template <typename Array> TSummaryFields FieldsAt(const Array& array, qsizetype from)
{
    auto text = [&](qsizetype i) { return array.at(from + i).toString(); };
    return {text(0), text(1), text(2), text(3), text(4), text(5), text(6), DigestFromHex(text(7).toLatin1()),
            DateOrder(text(3))};
}

}

TSummaryCache::TSummaryCache(QString filePath) : path(std::move(filePath)) {}

QString TSummaryCache::Mailbox(const QString& account, const QString& server, const QString& user)
{
    return QStringList{account, server, user}.join(u'\n');
}

const TSummaryCache::TEntry* TSummaryCache::Find(const QString& mailbox, const QString& uniqueId)
{
    Load();
    const auto box = mailboxes.constFind(mailbox);
    if (box == mailboxes.constEnd())
        return nullptr;
    const auto found = box->constFind(uniqueId);
    return found == box->constEnd() ? nullptr : &*found;
}

void TSummaryCache::Remember(const QString& mailbox, const QString& uniqueId, const TSummaryFields& fields,
                             qint64 bytes)
{
    Load();
    Add(mailbox, uniqueId, {fields, bytes});
}

void TSummaryCache::Add(const QString& mailbox, const QString& uniqueId, const TEntry& entry)
{
    QHash<QString, TEntry>& box = mailboxes[mailbox];
    if (box.size() >= MaxPerMailbox && !box.contains(uniqueId))
        return;
    box.insert(uniqueId, entry);
    changed = true;
}

void TSummaryCache::Keep(const QString& mailbox, const QStringList& uniqueIds)
{
    Load();
    auto box = mailboxes.find(mailbox);
    if (box == mailboxes.end())
        return;
    // Only the ids the mailbox holds: a listing may name a million.
    QSet<QString> held;
    for (const QString& id : uniqueIds)
        if (box->contains(id))
            held.insert(id);
    changed |= box->removeIf([&](const auto& entry) { return !held.contains(entry.key()); }) > 0;
}

void TSummaryCache::Load()
{
    if (std::exchange(loaded, true))
        return;
    const QByteArray bytes = PrivateJsonFile::ReadBytes(path);
    const QJsonDocument unsized = QJsonDocument::fromJson(bytes);
    if (unsized.isObject())
        LoadUnsized(unsized.object());
    else
        LoadSized(bytes);
    changed = false;
}

// QCborStreamReader ends at the first item's end: each mailbox gets its own.
void TSummaryCache::LoadSized(const QByteArray& bytes)
{
    for (qsizetype offset = 0; offset < bytes.size();) {
        QCborStreamReader reader(QByteArray::fromRawData(bytes.constData() + offset, bytes.size() - offset));
        const QCborArray box = QCborValue::fromCbor(reader).toArray();
        if (reader.lastError() != QCborError::NoError || reader.currentOffset() <= 0)
            return;
        offset += reader.currentOffset();
        LoadMailbox(box.at(0).toString(), box.at(1).toArray());
    }
}

void TSummaryCache::LoadMailbox(const QString& mailbox, const QCborArray& messages)
{
    for (const QCborValue value : messages) {
        const QCborArray message = value.toArray();
        if (message.size() == 2 + FieldCount && message.at(0).isString() && message.at(1).isInteger()
            && AllStrings(message, 2))
            Add(mailbox, message.at(0).toString(), {FieldsAt(message, 2), message.at(1).toInteger()});
    }
}

void TSummaryCache::LoadUnsized(const QJsonObject& boxes)
{
    for (auto box = boxes.begin(); box != boxes.end(); ++box) {
        const QJsonObject messages = box.value().toObject();
        for (auto message = messages.begin(); message != messages.end(); ++message) {
            const QJsonArray fields = message.value().toArray();
            if (fields.size() == FieldCount && AllStrings(fields, 0))
                Add(box.key(), message.key(), {FieldsAt(fields, 0), -1});
        }
    }
}

// A mailbox that would make the file too large to be read again is left
// out. Readable by the user alone: it holds senders and subjects. Each
// mailbox is written straight into the file's bytes, never held twice.
void TSummaryCache::Save()
{
    if (!std::exchange(changed, false))
        return;
    QByteArray file;
    for (auto box = mailboxes.cbegin(); box != mailboxes.cend(); ++box) {
        const qsizetype before = file.size();
        Store(file, box.key(), *box);
        if (file.size() > PrivateJsonFile::MaxBytes)
            file.truncate(before);
    }
    PrivateJsonFile::Write(path, file);
}
