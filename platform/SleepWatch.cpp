#include "platform/SleepWatch.h"

#include "base/Guard.h"

#include <QDBusConnection>

namespace {

// The bus delivers logind's signal to a slot; the watch only tells of waking.
class SleepRelay : public QObject
{
    Q_OBJECT

public:
    explicit SleepRelay(TSleepWatch* watch) : QObject(watch), watch(watch) {}

public slots:
    void prepareForSleep(bool sleeping)
    {
        Guarded([&] {
            if (!sleeping)
                emit watch->Resumed();
        });
    }

private:
    TSleepWatch* watch;
};

}

TSleepWatch::TSleepWatch(QObject* parent) : TSleepWatch(QDBusConnection::systemBus(), parent) {}

TSleepWatch::TSleepWatch(const QDBusConnection& systemBus, QObject* parent) : QObject(parent)
{
    QDBusConnection bus = systemBus;
    bus.connect(QStringLiteral("org.freedesktop.login1"), QStringLiteral("/org/freedesktop/login1"),
                QStringLiteral("org.freedesktop.login1.Manager"), QStringLiteral("PrepareForSleep"),
                new SleepRelay(this), SLOT(prepareForSleep(bool)));
}

#include "SleepWatch.moc"
