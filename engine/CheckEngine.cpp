#include "engine/CheckEngine.h"

#include "engine/MessageList.h"

TCheckEngine::TCheckEngine(const TEngineParts& parts)
    : parts(parts), State(parts.Timers),
      Report({parts.User, parts.Status, parts.Timers, parts.Store, parts.Tokens, parts.Now,
              [this] { return Quiet.IsQuiet(this->parts.Now()); }}),
      Net({parts.Options, parts.DialUp, parts.User, parts.Timers, State, Report, parts.Offline}),
      Sources({parts.Pop3Client, parts.Store, State, parts.Cache, parts.Tokens,
               [&list = parts.List](const TSummaryFields& fields, qint64 bytes) { return list.Deletes(fields, bytes); }},
              {parts.Store, State, parts.Cache, parts.Tokens, [&client = parts.Pop3Client] { return client.TimeOut; },
               [&client = parts.Pop3Client] { return client.AttachFilePath; }, parts.Now, parts.WatchLive},
              parts.MakeSource),
      Quiet(parts.Options), Gate(Quiet, parts.Now),
      Cycle({parts.Options, parts.Store, parts.List, Sources, State, Report, Net, parts.Status, parts.User,
             parts.Desktop, parts.Cache, parts.Seen, parts.Now, &Gate}),
      Actions({parts.List, Sources, State, Report, parts.User, parts.Timers, parts.Desktop}),
      Notices({parts.List, Actions, parts.User, parts.Desktop})
{
    if (parts.Desktop)
        Launcher.emplace(parts.Options, parts.Store, parts.User, *parts.Desktop);
    State.RunRequest = [this](TEngineState::TRequest request) { RunDeferred(request); };
    Report.CheckAgain = Cycle.CheckNow = [this] { actCheckNowExecute(); };
    Sources.Watchers << [this](TMailSource& source) { Cycle.Watch(source); }
                     << [this](TMailSource& source) { Actions.Watch(source); }
                     << [this](TMailSource& source) { Notices.Watch(source); };
}

// Quiet ends on the clock, so the minute looks first.
void TCheckEngine::TimerMainTimer()
{
    QuietChanged();
    Cycle.TimerMainTimer();
}

void TCheckEngine::DoNotDisturb(TQuietTime::TDoNotDisturb choice)
{
    Quiet.DoNotDisturb(choice, parts.Now());
    QuietChanged();
}

void TCheckEngine::SetDesktopDoNotDisturb(bool on)
{
    Quiet.SetDesktopDoNotDisturb(on);
    QuietChanged();
}

void TCheckEngine::QuietChanged()
{
    Cycle.TellKeptNews();
    Report.TellKeptBack();
    parts.Status.ShowQuiet(Quiet.HintLine(parts.Now()));
}

void TCheckEngine::actCheckNowExecute()
{
    if (State.EngineBusy || !State.MayRun(TEngineState::TRequest::CheckNow))
        return;
    parts.Timers.StopHangUpTimer();
    if (Net.ReadyForUserCheck())
        Cycle.Start(true);
}

void TCheckEngine::actCancelExecute()
{
    Sources.Cancel();
    Cycle.Cancel();
    State.EngineBusy = false;
    if (parts.Desktop)
        parts.Desktop->StopFlashing();
    parts.Timers.StopHangUpTimer();
}

// A kept connection may not have noticed that its network went away.
void TCheckEngine::NetworkChanged()
{
    Net.NetworkChanged();
    if (!Net.SystemOffline())
        Sources.Revive();
}

void TCheckEngine::SystemResumed()
{
    Net.SystemResumed();
    if (!Net.SystemOffline())
        Sources.Revive();
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
    if (State.EngineBusy || !Launcher)
        return;
    parts.Timers.StopHangUpTimer();
    parts.Desktop->StopFlashing();
    Launcher->Launch();
}

void TCheckEngine::RunDeferred(TEngineState::TRequest request)
{
    if (request == TEngineState::TRequest::CheckNow)
        actCheckNowExecute();
    else
        Cycle.StartTimedCheck();
}
