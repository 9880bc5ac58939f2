#include "engine/EngineState.h"

#include "engine/EngineHost.h"

#include <utility>

bool TEngineState::MayRun(TRequest request)
{
    if (!Waiting())
        return true;
    (request == TRequest::CheckNow ? deferred.CheckNow : deferred.TimedCheck) = true;
    return false;
}

void TEngineState::ArmStep(std::function<void()> next)
{
    step = std::move(next);
    timers.ArmTimer1();
}

void TEngineState::DropStep()
{
    timers.StopTimer1();
    step = nullptr;
}

void TEngineState::Timer1Timer()
{
    if (Waiting()) {
        deferred.Step = true;
        return;
    }
    if (const auto next = std::exchange(step, nullptr))
        next();
}

void TEngineState::Returned()
{
    if (--depth == 0 && (deferred.CheckNow || deferred.TimedCheck || deferred.Step) && !deferredPosted) {
        deferredPosted = true;
        timers.Post([this] { RunDeferred(); });
    }
}

// A user's check starts the cycle afresh, so a timed check deferred with it
// is done by it.
void TEngineState::RunDeferred()
{
    deferredPosted = false;
    if (Waiting())
        return;
    const unsigned started = checksStarted;
    if (std::exchange(deferred.CheckNow, false))
        RunRequest(TRequest::CheckNow);
    if (std::exchange(deferred.TimedCheck, false) && checksStarted == started)
        RunRequest(TRequest::TimedCheck);
    if (std::exchange(deferred.Step, false))
        Timer1Timer();
}
