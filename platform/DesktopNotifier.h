#pragma once

#include "platform/DesktopNotice.h"

#include <QHash>
#include <QObject>
#include <QStringList>
#include <functional>

#include <optional>

class QDBusPendingCallWatcher;

// Bubbles through the desktop's notification server on the session bus: one
// for new mail and one for a check that failed, each replacing its own kind's
// bubble before it. Without a session bus or a notification server nothing is
// shown, and nobody is told. On Windows the bubble is the tray icon's balloon. The bubbles go when the program does: their
// buttons would do nothing then.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    enum Kind { NewMail, Problem, KindCount };

    explicit DesktopNotifier(QObject* parent = nullptr);
    ~DesktopNotifier() override;

    // Whether the notification server plays sounds itself (its capabilities
    // list "sound"); false until it has answered.
    bool ServerPlaysSound() const;
    void Show(const DesktopNotice& notice, Kind kind = NewMail);
    // Takes the kind's bubble away, if one is shown.
    void Withdraw(Kind kind = NewMail);

    // Where the bubbles are the tray icon's own (Windows), this shows one;
    // a click on it comes back through TrayBubbleClicked.
    std::function<void(const QString& title, const QString& text, DesktopNotice::Urgency level)> ShowTrayBubble;
    void TrayBubbleClicked();

signals:
    void DefaultActionInvoked(); // the bubble itself, or its "Show List"
    void CheckNowInvoked();      // its "Check Now" button
    // A new-mail bubble's button for the messages it told of: "Open",
    // "Delete" or "Mark as Read" of its one message, "Mark All as Read" of
    // its several. Each is told once per bubble.
    void MessageActionInvoked(DesktopNotice::Action action, const QList<DesktopNotice::Message>& messages);

private slots:
    void actionInvoked(uint id, const QString& action);

private:
    // A button on the messages of the notice it was sent with.
    struct MessageOffer
    {
        DesktopNotice::Action Action;
        QList<DesktopNotice::Message> Messages;
    };
    // One kind's bubble: the server's id for it, what waits until the
    // server has told the id of the bubble it replaces, and the action ids
    // its buttons were sent with.
    struct Bubble
    {
        uint Id = 0;
        bool Sending = false;
        std::optional<DesktopNotice> Waiting;
        bool WithdrawWaiting = false;
        QStringList Offered;
        QHash<QString, MessageOffer> OnMessages;
    };

    void askCapabilities();
    void capabilitiesKnown();
    void showOrWait(Kind kind, const DesktopNotice& notice);
    QStringList offer(Kind kind, const DesktopNotice& notice);
    void send(Kind kind, const DesktopNotice& notice);
    void notifyFinished(Kind kind, QDBusPendingCallWatcher* call);
    void close(Kind kind);

    QStringList capabilities;
    // The server has not told yet what it does: the bubbles wait, as their
    // buttons and body depend on it.
    bool asking = false;
    // Tells one notice's action ids from those of the notice it replaced.
    uint sentNotices = 0;
    Bubble bubbles[KindCount];
};
