#pragma once

#include "base/Events.h"

#include <QObject>
#include <QTimer>

// A timer that re-arms on every change of its properties; it runs only while
// Enabled, Interval and OnTimer are all set.
class TThreadTimer : public QObject
{
public:
    explicit TThreadTimer(QObject* parent = nullptr);

    bool Enabled() const { return enabled; }
    void SetEnabled(bool value);
    unsigned Interval() const { return interval; }
    void SetInterval(unsigned value);
    void SetOnTimer(TNotifyEvent value);

private:
    void UpdateTimer();

    QTimer timer;
    bool enabled = true;
    unsigned interval = 1000;
    TNotifyEvent onTimer;
};
