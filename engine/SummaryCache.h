#pragma once

#include "engine/MessageList.h"

#include <QHash>
#include <QString>
#include <QStringList>

// What earlier checks read of each message, by mailbox and unique id, kept
// in a file beside the settings: a message seen before becomes its row
// again without a TOP. A file that cannot be read or understood only means
// that every message is read once more.
class TSummaryCache
{
public:
    explicit TSummaryCache(QString filePath);

    // The mailbox of an account: another server or user under the same
    // account name starts afresh.
    static QString Mailbox(const QString& account, const QString& server, const QString& user);

    const TSummaryFields* Find(const QString& mailbox, const QString& uniqueId);
    void Remember(const QString& mailbox, const QString& uniqueId, const TSummaryFields& fields);
    // The account was checked to its end: what is no longer on the server goes.
    void Keep(const QString& mailbox, const QStringList& uniqueIds);
    // Written when anything changed.
    void Save();

private:
    void Load();

    QString path;
    bool loaded = false;
    bool changed = false;
    QHash<QString, QHash<QString, TSummaryFields>> mailboxes;
};
