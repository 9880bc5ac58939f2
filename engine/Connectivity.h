#pragma once

#include <QtGlobal>
#include <functional>

class Settings;
class TDialUp;
class TEngineState;
class TEngineTimers;
class TFailureReport;
class TUserQuestions;

// The way to the servers: whether the machine is online, the dial before a
// check and the hang-up after it, and the catch-up check after a wake or
// the network's return.
class TConnectivity
{
public:
    struct TParts
    {
        Settings& Options;
        TDialUp& DialUp;
        TUserQuestions& User;
        TEngineTimers& Timers;
        TEngineState& State;
        TFailureReport& Report;
        // Whether the system reports no network connection at all; empty
        // where nothing tells (--check).
        std::function<bool()> Offline;
    };

    explicit TConnectivity(const TParts& parts) : parts(parts) {}

    quint32 DialConnection = 0;
    // TimerHangUp's ticks toward a delayed hang-up; kept when the countdown
    // is stopped, so a later one goes on from there.
    int HangUpSeconds = 0;
    // How long after a wake or the network's return the catch-up check
    // waits for the connection to settle.
    int CatchUpDelay = 5000;

    // Whether a check may start now; a user's check asks and dials first,
    // a timed one dials, or waits silently for a connection someone else
    // makes.
    bool ReadyForUserCheck();
    bool ReadyForTimedCheck();
    bool SystemOffline() const { return parts.Offline && parts.Offline(); }

    void TimerHangUpTimer();
    // A connection this program dialled is hung up when the check ends, or
    // after a delay that leaves time to read the mail it found.
    void ApplyHangUpRule(bool mailListed);

    void NetworkChanged();
    void SystemResumed();
    // TimerCatchUp: true when the catch-up check is due now.
    bool CatchUpDue();

private:
    bool IsOnline();
    bool DialConnectoid(bool userStarted);

    TParts parts;
    bool networkWasOffline = false;
};
