#pragma once

#include <QString>
#include <QTime>
#include <optional>

// A span of the day without news, in local time, as the options keep it:
// "HH:MM-HH:MM", 24-hour. A span whose start is after its end runs over
// midnight ("22:00-07:00").
struct TQuietHours
{
    QTime From;
    QTime To;

    // Nothing for a text that is not two different times of that form.
    static std::optional<TQuietHours> Parse(const QString& text);
    QString Text() const;
    // From is inside, To is not.
    bool Contains(const QTime& time) const;
    bool OverMidnight() const { return From > To; }
};
