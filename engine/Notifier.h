#pragma once

#include "config/AccountVoice.h"
#include "config/Settings.h"
#include "platform/DesktopNotice.h"

#include <QSet>

class TDesktopActions;
class TMessageList;
struct MessageEntry;

// The rows a notification tells about.
using TNoticeRows = QList<const MessageEntry*>;
TNoticeRows AllRows(const TMessageList& list);

// Tells the user about the messages a finished check listed, in the ways
// chosen for the highest priority among them.
class TNotifier
{
public:
    TNotifier(const Settings& settings, TDesktopActions& host) : options(settings), host(host) {}

    // The bit set of the highest priority present; a class without any bit
    // set falls back to the next lower class, with that class's sound. The
    // first account in the account order with rows of that priority gives
    // the sets: its own, or the general options.
    void NotifyByPriority(const TNoticeRows& rows);
    // The ways of one set, in their order; priorityClass is "High",
    // "Normal" or "Low".
    void NotifyUser(const TNotifyWays& ways, const QString& priorityClass, const TNoticeRows& rows);

private:
    QString LeadingAccount(const TNoticeRows& rows, int rank) const;
    TAccountVoice VoiceOf(const QString& account);
    void Sound(const QString& file);
    DesktopNotice Notice(const QString& priorityClass, const TNoticeRows& rows) const;

    const Settings& options;
    TDesktopActions& host;
    QSet<QString> toldUnreadable; // accounts whose own ways could not be read
};

// The sender as a bubble names it: the name where the From text gives one,
// else the address.
QString NoticeSender(const QString& from);

// One line of the bubble: the sender's name where the From text gives one,
// else the address, then the subject; cut to fit a bubble's width.
QString NoticeLine(const QString& from, const QString& subject);

// Whether a file plays as an event sound rather than opening in its program:
// "wav" exactly as the end of its name, and the desktop sound theme's Ogg files.
bool IsEventSound(const QString& file);
