#include "engine/CheckEngine.h"

#include "engine/MessageList.h"

TCheckEngine::TCheckEngine(const TEngineParts& parts)
    : parts(parts), Busy(parts.Timers),
      Report({parts.User, parts.Status, parts.Timers, parts.Store, parts.Tokens, parts.Now}),
      Net({parts.Options, parts.DialUp, parts.User, parts.Timers, Busy, Report, parts.Offline}),
      Sources({parts.Pop3Client, parts.Store, Busy, parts.Cache, parts.Tokens,
               [&list = parts.List](const TSummaryFields& fields, qint64 bytes) { return list.Deletes(fields, bytes); }},
              parts.MakeSource),
      Cycle({parts.Options, parts.Store, parts.List, Sources, Busy, Report, Net, parts.Status, parts.User,
             parts.Desktop, parts.Cache, parts.Seen, parts.Now}),
      Actions({parts.List, Sources, Busy, Report, parts.User, parts.Timers, parts.Desktop})
{
    if (parts.Desktop)
        Launcher.emplace(parts.Options, parts.Store, parts.User, *parts.Desktop);
    Busy.RunRequest = [this](TEngineBusy::TRequest request) { RunDeferred(request); };
    Report.CheckAgain = Cycle.CheckNow = [this] { actCheckNowExecute(); };
    Sources.Watchers << [this](TMailSource& source) { Cycle.Watch(source); }
                     << [this](TMailSource& source) { Actions.Watch(source); };
}

void TCheckEngine::actCheckNowExecute()
{
    if (Busy.Engaged || !Busy.MayRun(TEngineBusy::TRequest::CheckNow))
        return;
    parts.Timers.StopHangUpTimer();
    if (Net.ReadyForUserCheck())
        Cycle.Start(true);
}

void TCheckEngine::actCancelExecute()
{
    Sources.Cancel();
    Cycle.Cancel();
    Busy.Engaged = false;
    if (parts.Desktop)
        parts.Desktop->StopFlashing();
    parts.Timers.StopHangUpTimer();
}

void TCheckEngine::CatchUpTimer()
{
    if (!Net.CatchUpDue())
        return;
    Cycle.MinutesElapsed = 0;
    parts.Timers.RestartMinuteTimer();
    Cycle.DueTimedCheck();
}

void TCheckEngine::LaunchMailClient()
{
    if (Busy.Engaged || !Launcher)
        return;
    parts.Timers.StopHangUpTimer();
    parts.Desktop->StopFlashing();
    Launcher->Launch();
}

void TCheckEngine::RunDeferred(TEngineBusy::TRequest request)
{
    if (request == TEngineBusy::TRequest::CheckNow)
        actCheckNowExecute();
    else
        Cycle.StartTimedCheck();
}
