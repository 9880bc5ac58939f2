#include "engine/WatchedAccounts.h"

#include "engine/RowFormat.h"

namespace {

QString ReconnectingLine(const TWatchedAccount& watched)
{
    return watched.Account + QStringLiteral(": reconnecting since ")
           + HoursAndMinutes(watched.State.RetryingSince.time());
}

}

QStringList WatchSummary(const TWatchedAccounts& watched)
{
    QStringList live;
    QStringList lines;
    for (const TWatchedAccount& account : watched) {
        if (account.State.Live)
            live << account.Account;
        else if (account.Retrying())
            lines << ReconnectingLine(account);
    }
    if (!live.isEmpty())
        lines << QStringLiteral("Watching %1 live").arg(live.join(QStringLiteral(", ")));
    return lines;
}

QStringList WatchLines(const TWatchedAccounts& watched)
{
    QStringList lines;
    for (const TWatchedAccount& account : watched) {
        if (account.State.Live)
            lines << account.Account + QStringLiteral(": watched live");
        else if (account.Retrying())
            lines << ReconnectingLine(account);
    }
    return lines;
}
