#include "engine/FailureLog.h"

#include "engine/RowFormat.h"

bool TFailureLog::Note(const QString& account, const QString& reason, const QDateTime& when)
{
    for (TFailure& failure : failures) {
        if (failure.Account != account)
            continue;
        if (failure.Reason == reason)
            return false;
        failure = {account, reason, when};
        return true;
    }
    failures.append({account, reason, when});
    return true;
}

bool TFailureLog::Clear(const QString& account)
{
    return failures.removeIf([&](const TFailure& failure) { return failure.Account == account; }) > 0;
}

void TFailureLog::Keep(const QStringList& accounts)
{
    failures.removeIf([&](const TFailure& failure) { return !accounts.contains(failure.Account); });
}

QString TFailureLog::Line(const QString& account) const
{
    for (const TFailure& failure : failures)
        if (failure.Account == account)
            return LineOf(failure);
    return {};
}

QStringList TFailureLog::Lines() const
{
    QStringList lines;
    for (const TFailure& failure : failures)
        lines << LineOf(failure);
    return lines;
}

QString TFailureLog::LineOf(const TFailure& failure)
{
    return failure.Account + QStringLiteral(": ") + failure.Reason + QStringLiteral(", ")
           + HoursAndMinutes(failure.Since.time());
}
