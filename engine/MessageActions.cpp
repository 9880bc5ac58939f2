#include "engine/MessageActions.h"

#include "engine/EngineHost.h"
#include "engine/FailureReport.h"
#include "engine/MailSources.h"

// A check between two messages owns the connection and the numbers, and a
// delete under way is not to be disturbed: both refuse with a beep.
void TMessageActions::actDeleteExecute(int row)
{
    TEngineState& state = parts.State;
    if (state.EngineBusy || state.InFlight()) {
        parts.User.Beep();
        return;
    }
    parts.Timers.StopHangUpTimer();
    if (row < 0 || row >= parts.List.Count())
        return;
    // A timed check may run while the question waits: the entry, not the
    // row number, says which message the user meant.
    const MessageEntry listed = parts.List.Entry(row);
    if (!parts.User.AskYesNo(QStringLiteral("Are you sure you want to delete this message?"),
                             QStringLiteral("Delete Message"), TBoxOwner::MainWindow))
        return;
    if (state.EngineBusy || state.InFlight()) {
        parts.User.Beep();
        return;
    }
    state.EngineBusy = true;
    Start(TEngineState::opDelete, listed);
}

void TMessageActions::actViewExecute(int row)
{
    parts.Timers.StopHangUpTimer();
    if (row < 0 || row >= parts.List.Count())
        return;
    if (parts.State.InFlight()) {
        parts.User.Beep();
        return;
    }
    Start(TEngineState::opView, parts.List.Entry(row));
}

// A failure ends the action with the engine free, and is told once the
// calls are over; a question about it waits until then too.
void TMessageActions::Start(TEngineState::TOperation operation, const MessageEntry& listed)
{
    if (parts.Desktop)
        parts.Desktop->StopFlashing();
    parts.State.UserStarted = true;
    parts.State.Operation = operation;
    entry = listed;
    current = &parts.Sources.For(entry.Account);
    const TMessageKey key{entry.Account, entry.UniqueId, entry.Number, entry.Digest};
    if (operation == TEngineState::opDelete)
        current->Delete(key);
    else
        current->Fetch(key);
    parts.Report.PostQuestions();
}

bool TMessageActions::Mine(const TMailSource& source) const
{
    const TEngineState::TOperation operation = parts.State.Operation;
    return (operation == TEngineState::opDelete || operation == TEngineState::opView) && &source == current;
}

void TMessageActions::Watch(TMailSource& source)
{
    TMailSource* const from = &source;
    QObject::connect(from, &TMailSource::Deleted, from, [this, from](const TMessageKey&) {
        if (!Mine(*from))
            return;
        parts.List.RemoveDeleted(parts.List.IndexOf(entry));
        parts.State.EngineBusy = false;
    });
    QObject::connect(from, &TMailSource::Fetched, from, [this, from](const TQuickViewText& message) {
        if (Mine(*from) && parts.Desktop)
            parts.Desktop->ShowQuickView(message);
    });
    QObject::connect(from, &TMailSource::Missing, from, [this, from](const TMessageKey&) {
        if (Mine(*from))
            Missing();
    });
    QObject::connect(from, &TMailSource::Failed, from, [this, from](const TSourceFailure& failure) {
        if (Mine(*from))
            Failed(failure);
    });
}

void TMessageActions::Missing()
{
    parts.State.EngineBusy = false;
    const bool deleting = parts.State.Operation == TEngineState::opDelete;
    parts.User.TellFailure(entry.Account,
                           QStringLiteral("This message is no longer on the server as listed. Check for mail again."),
                           deleting ? QStringLiteral("Delete Message") : QStringLiteral("Quick View"),
                           TBoxOwner::MainWindow);
}

// Done again after the user trusts a certificate, unless something else
// runs by then.
void TMessageActions::Failed(const TSourceFailure& failure)
{
    current->Close();
    parts.State.EngineBusy = false;
    if (failure.Kind == TFailureKind::Canceled)
        return;
    const TEngineState::TOperation operation = parts.State.Operation;
    auto again = [this, operation, listed = entry] {
        if (parts.State.EngineBusy || parts.State.InFlight())
            return;
        parts.State.EngineBusy = operation == TEngineState::opDelete;
        Start(operation, listed);
    };
    parts.Report.Tell({entry.Account, false, again}, failure);
}
