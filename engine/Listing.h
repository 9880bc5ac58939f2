#pragma once

#include "engine/WatchedAccounts.h"

#include <QByteArray>
#include <QList>
#include <QString>
#include <QStringList>

class QTextStream;
class TFailureLog;
class TMessageList;

// The waiting messages as a status bar or panel reads them: each row's From,
// Subject, Size, Priority, Received, Account and number, the texts as a
// person reads them, and the three status texts. `--check` prints it, the
// running copy hands it to `--list`.
struct TListing
{
    struct TFailed
    {
        QString Account;
        QString Reason;
    };

    QList<QStringList> Rows;
    QStringList Status;
    // The accounts whose last check failed: the rows may lack their mail.
    QList<TFailed> Failed;
    // The accounts watched live, and those reconnecting.
    TWatchedAccounts Watching;

    static TListing Of(const TMessageList& list, const QStringList& status, const TFailureLog* failures = nullptr,
                       const TWatchedAccounts& watching = {});

    // One tab-separated line per row, then each status text that is not
    // empty, then a line for each account watched.
    QString Text() const;
    // The same text as Of(list, status).Text(), written a row at a time: a
    // mailbox of hundreds of thousands of messages is never copied whole.
    static void WriteText(QTextStream& out, const TMessageList& list, const QStringList& status);
    // What the running copy sends; FromJson reads it back, and anything it
    // does not understand gives an empty listing.
    QByteArray ToJson() const;
    static TListing FromJson(const QByteArray& json);
    // For panels such as waybar: count, status, rows, failed, watching, and the
    // module's text, tooltip (escaped for markup) and class ("failed" while
    // a failure stands, else "none", "normal" or "high").
    QByteArray PanelJson() const;
};
