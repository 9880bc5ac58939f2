#pragma once

#include "engine/Notifier.h"

#include <QByteArray>
#include <QSet>
#include <QString>
#include <functional>

class TMessageList;
class TQuietTime;

// Keeps news back while it is quiet, and tells it once when quiet is over:
// the rows are remembered by account and message, and those still listed
// then make one notice.
class TQuietGate
{
public:
    TQuietGate(const TQuietTime& quiet, std::function<QDateTime()> now) : quiet(quiet), now(std::move(now)) {}

    // The rows to tell now. While quiet, only those that break through;
    // once it is over, these with the rows kept back.
    TNoticeRows Pass(const TNoticeRows& rows, const TMessageList& list);
    // Once quiet is over, the rows kept back that are still listed; nothing
    // while it lasts.
    TNoticeRows Release(const TMessageList& list);

    using TKey = std::pair<QString, QByteArray>;
    // The messages kept back, by account and key.
    const QSet<TKey>& Held() const { return held; }

private:
    static TKey Key(const MessageEntry& entry);

    const TQuietTime& quiet;
    std::function<QDateTime()> now;
    QSet<TKey> held;
};
