#pragma once

#include "engine/Notifier.h"

#include <QHash>
#include <QSet>
#include <QString>
#include <QStringList>

class TMessageList;
struct MessageEntry;

// The messages each account held at its last complete check, known by their
// headers and kept in a file of their own, so that a message left on the
// server is announced once, across restarts too.
class TSeenMessages
{
public:
    explicit TSeenMessages(const QString& filePath);

    // The rows to announce: those whose message was not there at their
    // account's last check. The accounts checked to their end then
    // remember exactly what they hold; the others keep what they had.
    TNoticeRows Announce(const TMessageList& list, const QStringList& checkedAccounts);
    // What tells one message of an account from the others.
    static QByteArray Key(const MessageEntry& entry);

private:
    void Load();
    void Save() const;

    QString path;
    bool loaded = false;
    QHash<QString, QSet<QByteArray>> seen;
};
