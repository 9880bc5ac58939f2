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
    // The messages kept back while it is quiet, by account and key: seen
    // in this run, but left out of the file, so a restart before quiet
    // ends tells them still.
    void KeepUntold(const QSet<std::pair<QString, QByteArray>>& keys);
    // What tells one message of an account from the others.
    static QByteArray Key(const MessageEntry& entry);

private:
    void Load();
    void Save() const;

    QString path;
    bool loaded = false;
    QHash<QString, QSet<QByteArray>> seen;
    QSet<std::pair<QString, QByteArray>> untold;
};
