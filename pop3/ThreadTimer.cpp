#include "pop3/ThreadTimer.h"

#include "base/Exception.h"
#include "base/Guard.h"

#include <climits>

TThreadTimer::TThreadTimer(QObject* parent) : QObject(parent)
{
    QObject::connect(&timer, &QTimer::timeout, this, [this] {
        Guarded([this] {
            if (onTimer)
                onTimer(this);
        });
    });
}

void TThreadTimer::SetEnabled(bool value)
{
    enabled = value;
    UpdateTimer();
}

void TThreadTimer::SetInterval(unsigned value)
{
    interval = value;
    UpdateTimer();
}

void TThreadTimer::SetOnTimer(TNotifyEvent value)
{
    onTimer = std::move(value);
    UpdateTimer();
}

void TThreadTimer::UpdateTimer()
{
    timer.stop();
    if (interval == 0 || !enabled || !onTimer)
        return;
    if (interval > static_cast<unsigned>(INT_MAX))
        throw Exception(QStringLiteral("No Timer"));
    timer.start(static_cast<int>(interval));
}
