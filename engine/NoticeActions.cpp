#include "engine/NoticeActions.h"

#include "base/CleanText.h"
#include "engine/EngineHost.h"
#include "engine/MessageActions.h"
#include "engine/MessageList.h"

namespace {

constexpr int MaxNamed = 5;

// As the user knows the message from the notice: its subject and sender,
// each on one line, whatever the mail put into them.
QString Named(const DesktopNotice::Message& message)
{
    QStringList parts;
    if (const QString subject = CleanedLine(message.Subject); !subject.isEmpty())
        parts << u'"' + subject + u'"';
    if (const QString sender = CleanedLine(message.Sender); !sender.isEmpty())
        parts << QStringLiteral("from ") + sender;
    return parts.join(u' ');
}

}

void TNoticeActions::Run(DesktopNotice::Action action, const QList<TMessage>& messages)
{
    if (messages.isEmpty())
        return;
    switch (action) {
    case DesktopNotice::Action::Open: return Open(messages.first());
    case DesktopNotice::Action::Delete: return Delete(messages.first());
    case DesktopNotice::Action::MarkRead: return MarkRead(messages);
    }
}

int TNoticeActions::RowOf(const TMessage& message) const
{
    return parts.List.RowOf(message.Account, message.UniqueId);
}

void TNoticeActions::Open(const TMessage& message)
{
    const int row = RowOf(message);
    if (row < 0)
        return Refuse({message}, QStringLiteral("Quick View"));
    parts.Actions.actViewExecute(row);
}

// The question stands over the list, where the user sees what it is about.
void TNoticeActions::Delete(const TMessage& message)
{
    const int row = RowOf(message);
    if (row < 0)
        return Refuse({message}, QStringLiteral("Delete Message"));
    if (parts.Desktop)
        parts.Desktop->ShowMainWindow();
    parts.Actions.actDeleteExecute(row);
}

void TNoticeActions::MarkRead(const QList<TMessage>& messages)
{
    if (parts.Actions.Refused())
        return;
    QList<TMessage> gone;
    toMark.clear();
    for (const TMessage& message : messages)
        (RowOf(message) < 0 ? gone : toMark) << message;
    if (!gone.isEmpty())
        Refuse(gone, messages.size() == 1 ? QStringLiteral("Mark as Read") : QStringLiteral("Mark All as Read"));
    MarkNext();
}

// Started from the answer for the message before, so that nothing else
// gets in between.
void TNoticeActions::MarkNext()
{
    marking.reset();
    while (!toMark.isEmpty()) {
        const TMessage next = toMark.takeFirst();
        const int row = RowOf(next);
        if (row < 0) {
            Refuse({next}, QStringLiteral("Mark All as Read"));
            continue;
        }
        if (parts.Actions.Refused()) {
            toMark.clear();
            return;
        }
        marking = next;
        return parts.Actions.actMarkReadExecute(row);
    }
}

bool TNoticeActions::Marking(const QString& account, const QString& uniqueId) const
{
    return marking && marking->Account == account && marking->UniqueId == uniqueId;
}

// Heard after the list's actions have heard the same: the engine is free
// again. What went wrong they have told.
void TNoticeActions::Watch(TMailSource& source)
{
    TMailSource* const from = &source;
    QObject::connect(from, &TMailSource::MarkedRead, from, [this](const TMessageKey& key) {
        if (Marking(key.Account, key.UniqueId))
            MarkNext();
    });
    QObject::connect(from, &TMailSource::Missing, from, [this](const TMessageKey& key) {
        if (Marking(key.Account, key.UniqueId))
            MarkNext();
    });
    QObject::connect(from, &TMailSource::Failed, from, [this, from](const TSourceFailure&) {
        if (marking && marking->Account == from->Account()) {
            marking.reset();
            toMark.clear();
        }
    });
}

void TNoticeActions::Refuse(const QList<TMessage>& gone, const QString& caption)
{
    QString text;
    if (gone.size() == 1) {
        const QString named = Named(gone.first());
        text = QStringLiteral("The message %1 is no longer waiting on the server.").arg(named).simplified();
    } else {
        QStringList lines {QStringLiteral("These messages are no longer waiting on the server:")};
        for (const TMessage& message : gone.mid(0, MaxNamed))
            lines << Named(message);
        if (gone.size() > MaxNamed)
            lines << QStringLiteral("and %1 more").arg(gone.size() - MaxNamed);
        text = lines.join(u'\n');
    }
    parts.User.TellFailure(gone.first().Account, text, caption, TBoxOwner::MainWindow);
}
