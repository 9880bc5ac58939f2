#pragma once

#include "engine/MailSource.h"

#include <QList>
#include <QString>
#include <QStringList>

// An account whose source is told of its mailbox's changes as they
// happen, or is opening that connection again.
struct TWatchedAccount
{
    QString Account;
    TWatchState State;

    bool Retrying() const { return !State.Live && State.RetryingSince.isValid(); }
};

using TWatchedAccounts = QList<TWatchedAccount>;

// For the status bar and the tray's hint: "Home: reconnecting since 14:02"
// for each one that dropped, then "Watching Work, Shop live".
QStringList WatchSummary(const TWatchedAccounts& watched);
// One line per account: "Home: watched live", or as it reconnects.
QStringList WatchLines(const TWatchedAccounts& watched);
