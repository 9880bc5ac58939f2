#pragma once

#include <QObject>

class DoNotDisturbRelay;

// Whether the desktop keeps notifications back: on Linux the notification
// server's "Inhibited" property on the session bus, which some servers have
// and tell the changes of; a server without it, or none at all, never
// does. On Windows it never does: Focus Assist has no documented interface
// to ask.
class TDoNotDisturbWatch : public QObject
{
    Q_OBJECT

public:
    explicit TDoNotDisturbWatch(QObject* parent = nullptr);

    bool On() const { return on; }

signals:
    void Changed(bool on);

private:
    friend class DoNotDisturbRelay;
    void Take(bool value);

    bool on = false;
};
