#include "engine/QuietGate.h"

#include "engine/MessageList.h"
#include "engine/QuietTime.h"
#include "engine/SeenMessages.h"

TNoticeRows TQuietGate::Pass(const TNoticeRows& rows, const TMessageList& list)
{
    if (!quiet.IsQuiet(now())) {
        TNoticeRows told = Release(list);
        const QSet<const MessageEntry*> released(told.cbegin(), told.cend());
        for (const MessageEntry* entry : rows)
            if (!released.contains(entry))
                told << entry;
        return told;
    }
    TNoticeRows told;
    for (const MessageEntry* entry : rows) {
        if (quiet.BreaksThrough(entry->Priority))
            told << entry;
        else
            held.insert(Key(*entry));
    }
    return told;
}

TNoticeRows TQuietGate::Release(const TMessageList& list)
{
    TNoticeRows rows;
    if (held.isEmpty() || quiet.IsQuiet(now()))
        return rows;
    for (int row = 0; row < list.Count(); ++row)
        if (held.contains(Key(list.Entry(row))))
            rows << &list.Entry(row);
    held.clear();
    return rows;
}

TQuietGate::TKey TQuietGate::Key(const MessageEntry& entry)
{
    return {entry.Account, TSeenMessages::Key(entry)};
}
