#include "engine/FailureLog.h"

#include <QLocale>
#include <QRegularExpression>

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

// Since when, in the locale's hours and minutes: the failure may be hours
// old, and seconds would only crowd the line.
QString TFailureLog::LineOf(const TFailure& failure)
{
    QString format = QLocale::system().timeFormat(QLocale::ShortFormat);
    format.remove(QRegularExpression(QStringLiteral("[:.]?s+")));
    return failure.Account + QStringLiteral(": ") + failure.Reason + QStringLiteral(", ")
           + QLocale::system().toString(failure.Since.time(), format.trimmed());
}
