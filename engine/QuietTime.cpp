#include "engine/QuietTime.h"

#include "config/Settings.h"
#include "engine/MessageFields.h"
#include "engine/RowFormat.h"

namespace {

constexpr int OneHour = 60 * 60;
const QTime DefaultMorning(8, 0);
// Do Not Disturb, then the quiet hours it runs into: each step ends later.
constexpr int MostQuietSteps = 3;

// The same zone as the clock's own time.
QDateTime WallClock(QDateTime like, const QDate& date, const QTime& time)
{
    like.setDate(date);
    like.setTime(time);
    return like;
}

}

bool TQuietTime::IsQuiet(const QDateTime& now) const
{
    return desktop || DoNotDisturbRuns(now) || InQuietHours(now);
}

QDateTime TQuietTime::QuietUntil(const QDateTime& now) const
{
    QDateTime end = now;
    for (int step = 0; step < MostQuietSteps; ++step) {
        if (DoNotDisturbRuns(end))
            end = doNotDisturbEnd;
        else if (InQuietHours(end))
            end = QuietHoursEnd(end);
        else
            break;
    }
    return end == now ? QDateTime() : end;
}

QString TQuietTime::HintLine(const QDateTime& now) const
{
    const QDateTime end = QuietUntil(now);
    if (!end.isValid())
        return desktop ? QStringLiteral("Do not disturb: the desktop's") : QString();
    const QString when = (end.date() > now.date() ? QStringLiteral("tomorrow ") : QString()) + HoursAndMinutes(end.time());
    return (DoNotDisturbRuns(now) ? QStringLiteral("Do not disturb until ") : QStringLiteral("Quiet hours until "))
           + when;
}

bool TQuietTime::BreaksThrough(const QString& priority) const
{
    return options.QuietBreakThrough() && priority == Priority::High;
}

void TQuietTime::DoNotDisturb(TDoNotDisturb chosen, const QDateTime& now)
{
    choice = chosen;
    awakeUntil = {};
    switch (chosen) {
    case TDoNotDisturb::ForOneHour: doNotDisturbEnd = now.addSecs(OneHour); break;
    case TDoNotDisturb::UntilTomorrow: doNotDisturbEnd = Morning(now); break;
    case TDoNotDisturb::Off:
        doNotDisturbEnd = {};
        if (InQuietHours(now))
            awakeUntil = QuietHoursEnd(now);
        break;
    }
}

TQuietTime::TDoNotDisturb TQuietTime::DoNotDisturbChoice(const QDateTime& now) const
{
    return DoNotDisturbRuns(now) ? choice : TDoNotDisturb::Off;
}

bool TQuietTime::DoNotDisturbRuns(const QDateTime& now) const
{
    return doNotDisturbEnd.isValid() && now < doNotDisturbEnd;
}

bool TQuietTime::InQuietHours(const QDateTime& now) const
{
    const std::optional<TQuietHours> hours = options.QuietHoursRule();
    if (!hours || !hours->Contains(now.time()))
        return false;
    return !awakeUntil.isValid() || now >= awakeUntil;
}

QDateTime TQuietTime::QuietHoursEnd(const QDateTime& now) const
{
    const TQuietHours hours = *options.QuietHoursRule();
    const bool endsTomorrow = hours.OverMidnight() && now.time() >= hours.From;
    return WallClock(now, now.date().addDays(endsTomorrow ? 1 : 0), hours.To);
}

QDateTime TQuietTime::Morning(const QDateTime& now) const
{
    const std::optional<TQuietHours> hours = options.QuietHoursRule();
    const QTime morning = hours && hours->OverMidnight() ? hours->To : DefaultMorning;
    return WallClock(now, now.date().addDays(1), morning);
}
