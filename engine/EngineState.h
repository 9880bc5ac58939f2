#pragma once

#include <QScopeGuard>
#include <functional>

class TEngineTimers;

// What the engine is doing, and what waits for it to be done: the one
// place that says whether the engine is busy.
//
// A request to a server (or a dial) waits in a nested event loop, where
// timers and commands run; none of them may start a request over it. They
// are deferred until the last waiting call has returned.
class TEngineState
{
public:
    enum TOperation { opNone = 0, opCheck = 1, opDelete = 2, opView = 3, opMarkRead = 4 };
    enum class TRequest { CheckNow, TimedCheck };

    explicit TEngineState(TEngineTimers& timers) : timers(timers) {}

    TOperation Operation = opNone;
    // The user asked for what runs now, and is there to answer a question.
    bool UserStarted = false;
    // A check the user started, or a delete, runs: the commands that would
    // disturb it are refused.
    bool EngineBusy = false;
    // Runs a deferred request once nothing waits any more.
    std::function<void(TRequest)> RunRequest;

    // A request to a server or a dial has not returned yet.
    bool Waiting() const { return depth > 0; }
    // A check is between two of its requests, or waits for one.
    bool InFlight() const { return Waiting() || bool(step); }

    template <typename Call> void Wait(Call call)
    {
        ++depth;
        const auto returned = qScopeGuard([this] { Returned(); });
        call();
    }

    // False, and the request deferred, while a call waits.
    bool MayRun(TRequest request);

    // The cycle's next request, after Timer1's pause.
    void ArmStep(std::function<void()> next);
    void DropStep();
    void Timer1Timer();

    // A check starts: a timed check deferred before it is done by it.
    void CheckStarted() { ++checksStarted; }

private:
    void Returned();
    void RunDeferred();

    TEngineTimers& timers;
    int depth = 0;
    std::function<void()> step;
    struct
    {
        bool CheckNow = false;
        bool TimedCheck = false;
        bool Step = false;
    } deferred;
    bool deferredPosted = false;
    unsigned checksStarted = 0;
};
