#include "engine/MessageActions.h"

#include "engine/EngineHost.h"
#include "engine/FailureReport.h"
#include "engine/MailSources.h"

// A check between two messages owns the connection and the numbers, and a
// change to the mailbox under way is not to be disturbed: both refuse with
// a beep.
bool TMessageActions::Refused()
{
    const TEngineState& state = parts.State;
    if (!state.EngineBusy && !state.InFlight())
        return false;
    parts.User.Beep();
    return true;
}

void TMessageActions::actDeleteExecute(int row)
{
    if (Refused())
        return;
    parts.Timers.StopHangUpTimer();
    if (row < 0 || row >= parts.List.Count())
        return;
    // A timed check may run while the question waits: the entry, not the
    // row number, says which message the user meant.
    const MessageEntry listed = parts.List.Entry(row);
    if (!parts.User.AskYesNo(QStringLiteral("Are you sure you want to delete this message?"),
                             QStringLiteral("Delete Message"), TBoxOwner::MainWindow))
        return;
    if (Refused())
        return;
    parts.State.EngineBusy = true;
    Start(TEngineState::opDelete, listed);
}

// Nothing is lost by it, so nothing is asked.
void TMessageActions::actMarkReadExecute(int row)
{
    if (Refused())
        return;
    parts.Timers.StopHangUpTimer();
    if (row < 0 || row >= parts.List.Count())
        return;
    parts.State.EngineBusy = true;
    Start(TEngineState::opMarkRead, parts.List.Entry(row));
}

bool TMessageActions::CanMarkRead(int row) const
{
    return row >= 0 && row < parts.List.Count() && MarksRead(parts.List.Entry(row).Account);
}

bool TMessageActions::MarksRead(const QString& account) const
{
    const TMailSource* source = parts.Sources.Find(account);
    return source && source->MarksRead();
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
    Request(*current, {entry.Account, entry.UniqueId, entry.Number, entry.Digest});
    parts.Report.PostQuestions();
}

void TMessageActions::Request(TMailSource& source, const TMessageKey& key)
{
    switch (parts.State.Operation) {
    case TEngineState::opDelete: return source.Delete(key);
    case TEngineState::opMarkRead: return source.MarkRead(key);
    default: return source.Fetch(key);
    }
}

// The operations that change the mailbox hold the engine while they run.
bool TMessageActions::Changes(TEngineState::TOperation operation)
{
    return operation == TEngineState::opDelete || operation == TEngineState::opMarkRead;
}

// What the source tells after its answer, a pushing source's failure
// between checks for one, is no longer this action's.
void TMessageActions::Done()
{
    parts.State.EngineBusy = false;
    current = nullptr;
}

bool TMessageActions::Mine(const TMailSource& source) const
{
    const TEngineState::TOperation operation = parts.State.Operation;
    return (Changes(operation) || operation == TEngineState::opView) && &source == current;
}

void TMessageActions::Watch(TMailSource& source)
{
    TMailSource* const from = &source;
    QObject::connect(from, &TMailSource::Deleted, from, [this, from](const TMessageKey&) {
        if (!Mine(*from))
            return;
        parts.List.RemoveDeleted(parts.List.IndexOf(entry));
        Done();
    });
    // Told once the source is through with its answer, not inside it.
    QObject::connect(from, &TMailSource::DeletedAtExpunge, from, [this, from](const TMessageKey&) {
        if (Mine(*from))
            parts.Timers.Post([this, account = entry.Account] {
                parts.User.Tell(QStringLiteral("%1's server keeps deleted messages until the folder is cleaned up "
                                               "(expunged): the message is marked deleted and goes then.")
                                    .arg(account),
                                QStringLiteral("Delete Message"), TBoxOwner::MainWindow);
            });
    });
    QObject::connect(from, &TMailSource::MarkedRead, from, [this, from](const TMessageKey&) {
        if (Mine(*from))
            MarkedRead();
    });
    QObject::connect(from, &TMailSource::Fetched, from, [this, from](const TQuickViewText& message) {
        if (!Mine(*from))
            return;
        Done();
        if (parts.Desktop)
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

// The message stays on the server, read: its row leaves the list as mail
// read elsewhere does, and the tray and the notice follow.
void TMessageActions::MarkedRead()
{
    parts.List.RemoveMarkedRead(parts.List.IndexOf(entry));
    Done();
    if (parts.List.Count() == 0 && parts.Desktop)
        parts.Desktop->WithdrawNotice();
}

void TMessageActions::Missing()
{
    Done();
    parts.User.TellFailure(entry.Account,
                           QStringLiteral("This message is no longer on the server as listed. Check for mail again."),
                           Caption(parts.State.Operation), TBoxOwner::MainWindow);
}

QString TMessageActions::Caption(TEngineState::TOperation operation)
{
    switch (operation) {
    case TEngineState::opDelete: return QStringLiteral("Delete Message");
    case TEngineState::opMarkRead: return QStringLiteral("Mark as Read");
    default: return QStringLiteral("Quick View");
    }
}

// Done again after the user trusts a certificate, unless something else
// runs by then.
void TMessageActions::Failed(const TSourceFailure& failure)
{
    current->Close();
    Done();
    if (failure.Kind == TFailureKind::Canceled)
        return;
    const TEngineState::TOperation operation = parts.State.Operation;
    auto again = [this, operation, listed = entry] {
        if (parts.State.EngineBusy || parts.State.InFlight())
            return;
        parts.State.EngineBusy = Changes(operation);
        Start(operation, listed);
    };
    parts.Report.Tell({entry.Account, false, again}, failure);
}
