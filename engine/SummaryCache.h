#pragma once

#include "engine/MessageFields.h"

#include <QCborArray>
#include <QHash>
#include <QJsonObject>
#include <QString>
#include <QStringList>

// What earlier checks read of each message, by mailbox and unique id, kept
// in a file beside the settings: a message seen before becomes its row
// again without a TOP. A file that cannot be read or understood only means
// that every message is read once more.
class TSummaryCache
{
public:
    // Far more than anyone leaves on a server, and few enough that a mailbox
    // claiming a million messages keeps the file, and reading it at every
    // start, small; messages past it are read with TOP at every check.
    static constexpr qsizetype MaxPerMailbox = 50000;

    struct TEntry
    {
        TSummaryFields Fields;
        // As the listing gave it; -1 from a file written before sizes were kept.
        qint64 Bytes = -1;
    };

    explicit TSummaryCache(QString filePath);

    // The mailbox of an account: another server or user under the same
    // account name starts afresh.
    static QString Mailbox(const QString& account, const QString& server, const QString& user);

    const TEntry* Find(const QString& mailbox, const QString& uniqueId);
    void Remember(const QString& mailbox, const QString& uniqueId, const TSummaryFields& fields, qint64 bytes);
    // The account was checked to its end: what is no longer on the server goes.
    void Keep(const QString& mailbox, const QStringList& uniqueIds);
    // Written when anything changed.
    void Save();

private:
    void Load();
    void LoadSized(const QByteArray& bytes);
    void LoadMailbox(const QString& mailbox, const QCborArray& messages);
    void LoadUnsized(const QJsonObject& boxes);
    void Add(const QString& mailbox, const QString& uniqueId, const TEntry& entry);

    QString path;
    bool loaded = false;
    bool changed = false;
    QHash<QString, QHash<QString, TEntry>> mailboxes;
};
