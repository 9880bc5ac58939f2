#include "platform/SleepWatch.h"

#include "base/Guard.h"

TSleepWatch::TSleepWatch(const QDBusConnection& systemBus, QObject* parent) : QObject(parent)
{
    QDBusConnection bus = systemBus;
    bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"), this,
                SLOT(prepareForSleep(bool)));
}

void TSleepWatch::prepareForSleep(bool sleeping)
{
    Guarded([&] {
        if (!sleeping)
            emit Resumed();
    });
}
