#pragma once

#include "platform/DesktopNotice.h"

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
    void DefaultActionInvoked(); // the bubble itself was clicked
    void CheckNowInvoked();      // its "Check Now" button

private slots:
    void actionInvoked(uint id, const QString& action);

private:
    // One kind's bubble: the server's id for it, and what waits until the
    // server has told the id of the bubble it replaces.
    struct Bubble
    {
        uint Id = 0;
        bool Sending = false;
        std::optional<DesktopNotice> Waiting;
        bool WithdrawWaiting = false;
    };

    void askCapabilities();
    void send(Kind kind, const DesktopNotice& notice);
    void notifyFinished(Kind kind, QDBusPendingCallWatcher* call);
    void close(Kind kind);

    QStringList capabilities;
    Bubble bubbles[KindCount];
};
