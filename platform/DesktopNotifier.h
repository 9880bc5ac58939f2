#pragma once

#include "platform/DesktopNotice.h"

#include <QObject>
#include <QStringList>

#include <optional>

class QDBusPendingCallWatcher;

// New-mail bubbles through the desktop's notification server on the session
// bus. One bubble at a time: each Show replaces the bubble before it. Without
// a session bus or a notification server nothing is shown, and nobody is told.
class DesktopNotifier : public QObject
{
    Q_OBJECT

public:
    explicit DesktopNotifier(QObject* parent = nullptr);

    // Whether the notification server plays sounds itself (its capabilities
    // list "sound"); false until it has answered.
    bool ServerPlaysSound() const;
    void Show(const DesktopNotice& notice);

signals:
    void DefaultActionInvoked(); // the bubble itself was clicked
    void CheckNowInvoked();      // its "Check Now" button

private slots:
    void actionInvoked(uint id, const QString& action);

private:
    void askCapabilities();
    void send(const DesktopNotice& notice);
    void notifyFinished(QDBusPendingCallWatcher* call);

    QStringList capabilities;
    uint currentId = 0;
    bool notifying = false;
    // Shown once the server has told the id of the bubble it replaces.
    std::optional<DesktopNotice> waiting;
};
