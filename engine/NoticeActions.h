#pragma once

#include "platform/DesktopNotice.h"

#include <QList>
#include <optional>

class TDesktopActions;
class TMailSource;
class TMessageActions;
class TMessageList;
class TUserQuestions;

// What a desktop notice's buttons ask of the messages it told of: each is
// found in the list by its account and unique id and acted on as the list's
// own command acts on its row; one no longer listed is refused in words.
// Mark All as Read marks one message at a time, the next as soon as the one
// before is marked; a failure stops the rest, and so does a check running
// by then, with the list's beep.
class TNoticeActions
{
public:
    struct TParts
    {
        TMessageList& List;
        TMessageActions& Actions;
        TUserQuestions& User;
        TDesktopActions* Desktop = nullptr;
    };

    explicit TNoticeActions(const TParts& parts) : parts(parts) {}

    void Run(DesktopNotice::Action action, const QList<DesktopNotice::Message>& messages);
    void Watch(TMailSource& source);

private:
    using TMessage = DesktopNotice::Message;

    int RowOf(const TMessage& message) const;
    void Open(const TMessage& message);
    void Delete(const TMessage& message);
    void MarkRead(const QList<TMessage>& messages);
    void MarkNext();
    bool Marking(const QString& account, const QString& uniqueId) const;
    void Refuse(const QList<TMessage>& gone, const QString& caption);

    TParts parts;
    // The messages of a Mark All as Read still to be marked, and the one
    // being marked.
    QList<TMessage> toMark;
    std::optional<TMessage> marking;
};
