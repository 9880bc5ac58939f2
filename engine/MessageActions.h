#pragma once

#include "engine/EngineState.h"
#include "engine/MailSource.h"
#include "engine/MessageList.h"

class TDesktopActions;
class TEngineTimers;
class TFailureReport;
class TMailSource;
class TMailSources;
class TUserQuestions;

// Delete, Mark as Read and Quick View of the list's row: each goes to the
// row's account's source, which makes sure it is still the message that
// was listed.
class TMessageActions
{
public:
    struct TParts
    {
        TMessageList& List;
        TMailSources& Sources;
        TEngineState& State;
        TFailureReport& Report;
        TUserQuestions& User;
        TEngineTimers& Timers;
        TDesktopActions* Desktop = nullptr;
    };

    explicit TMessageActions(const TParts& parts) : parts(parts) {}

    // The row, -1 where none is selected.
    void actDeleteExecute(int row);
    void actMarkReadExecute(int row);
    void actViewExecute(int row);
    // Whether the row's account keeps a read mark on its server.
    bool CanMarkRead(int row) const;
    bool MarksRead(const QString& account) const;
    void Watch(TMailSource& source);
    // Whether an action that changes the mailbox must wait: it is refused
    // with a beep.
    bool Refused();

private:
    static bool Changes(TEngineState::TOperation operation);
    static QString Caption(TEngineState::TOperation operation);
    void Start(TEngineState::TOperation operation, const MessageEntry& entry);
    void Request(TMailSource& source, const TMessageKey& key);
    void Done();
    bool Mine(const TMailSource& source) const;
    void MarkedRead();
    void Missing();
    void Failed(const TSourceFailure& failure);

    TParts parts;
    TMailSource* current = nullptr;
    // The message acted on, as the check listed it.
    MessageEntry entry;
};
