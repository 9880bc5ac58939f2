#pragma once

#include <QDateTime>
#include <QString>

class Settings;

// When news of mail is kept back: in the quiet hours of the options, while
// the tray's Do Not Disturb runs, and while the desktop's notification
// server is in its own do-not-disturb. Times are the local wall clock's, so
// the quiet hours follow it over a change to or from summer time; Do Not
// Disturb "for 1 hour" is sixty real minutes.
//
// Do Not Disturb lasts for this run of the program: the quiet hours are
// what stands across restarts.
class TQuietTime
{
public:
    enum class TDoNotDisturb { ForOneHour, UntilTomorrow, Off };

    explicit TQuietTime(const Settings& settings) : options(settings) {}

    bool IsQuiet(const QDateTime& now) const;
    // When the quiet that runs now ends, with quiet hours that follow Do
    // Not Disturb without a gap; invalid when it is not quiet or only the
    // desktop knows.
    QDateTime QuietUntil(const QDateTime& now) const;
    // What the tray's hint says of it; empty when it is not quiet.
    QString HintLine(const QDateTime& now) const;
    // Whether a message of this priority is told as usual while it is quiet.
    bool BreaksThrough(const QString& priority) const;

    // "Until Tomorrow" runs to tomorrow's morning: the end of quiet hours
    // that run over midnight, else 08:00. "Off" also ends quiet hours that
    // run now, until they come again.
    void DoNotDisturb(TDoNotDisturb choice, const QDateTime& now);
    // Off once the time chosen is over.
    TDoNotDisturb DoNotDisturbChoice(const QDateTime& now) const;
    void SetDesktopDoNotDisturb(bool on) { desktop = on; }

private:
    bool DoNotDisturbRuns(const QDateTime& now) const;
    bool InQuietHours(const QDateTime& now) const;
    QDateTime QuietHoursEnd(const QDateTime& now) const;
    QDateTime Morning(const QDateTime& now) const;

    const Settings& options;
    TDoNotDisturb choice = TDoNotDisturb::Off;
    QDateTime doNotDisturbEnd;
    // The end of the quiet hours that the tray's "Off" let through.
    QDateTime awakeUntil;
    bool desktop = false;
};
