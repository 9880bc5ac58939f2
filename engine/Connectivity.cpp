#include "engine/Connectivity.h"

#include "engine/EngineState.h"
#include "engine/EngineHost.h"
#include "engine/FailureReport.h"
#include "config/Settings.h"
#include "platform/DialUp.h"

#include <utility>

bool TConnectivity::ReadyForUserCheck()
{
    const Settings& options = parts.Options;
    if (!IsOnline() && options.ConnType() == WaitConn
        && !parts.User.AskYesNo(QStringLiteral("Connect Now?"), QStringLiteral("Not Connected"), TBoxOwner::MainWindow))
        return false;
    return IsOnline() || options.ConnType() == LanConn || DialConnectoid(true);
}

bool TConnectivity::ReadyForTimedCheck()
{
    const Settings& options = parts.Options;
    if (!IsOnline() && options.ConnType() == WaitConn)
        return false;
    return IsOnline() || options.ConnType() == LanConn || DialConnectoid(false);
}

bool TConnectivity::IsOnline()
{
    return parts.DialUp.IsOnline();
}

// The dial waits in a nested event loop like a request to a server, and
// what arrives meanwhile waits for it the same way: one dial at a time. A
// timed dial that fails is told once, like an account's failure.
bool TConnectivity::DialConnectoid(bool userStarted)
{
    const QString connectoid = parts.Options.Connectoid();
    quint32 handle = 0;
    bool dialled = false;
    parts.State.Wait([&] { dialled = parts.DialUp.Dial(connectoid, handle); });
    DialConnection = dialled ? handle : 0;
    if (dialled)
        parts.Report.ForgetFailure(connectoid);
    else
        parts.Report.DialFailed(connectoid, userStarted);
    return dialled;
}

void TConnectivity::TimerHangUpTimer()
{
    ++HangUpSeconds;
    if (parts.Options.HangUpDelay() > HangUpSeconds)
        return;
    HangUpSeconds = 0;
    parts.Timers.StopHangUpTimer();
    parts.DialUp.HangUp(DialConnection);
}

void TConnectivity::ApplyHangUpRule(bool mailListed)
{
    if (!parts.Options.HangUpWhenDone() || DialConnection == 0)
        return;
    if (parts.Options.HangUpWait() && mailListed)
        parts.Timers.StartHangUpTimer();
    else
        parts.DialUp.HangUp(DialConnection);
}

// Offline is no failure: the return of the network brings a check soon.
void TConnectivity::NetworkChanged()
{
    const bool offline = SystemOffline();
    if (std::exchange(networkWasOffline, offline) && !offline)
        parts.Timers.ArmCatchUp(CatchUpDelay);
}

// The minute count went on while the machine slept; what matters now is
// the mail that came meanwhile, as soon as the network is back.
void TConnectivity::SystemResumed()
{
    if (SystemOffline())
        networkWasOffline = true;
    else
        parts.Timers.ArmCatchUp(CatchUpDelay);
}

bool TConnectivity::CatchUpDue()
{
    if (SystemOffline()) {
        networkWasOffline = true;
        return false;
    }
    return true;
}
