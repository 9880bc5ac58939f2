#include "platform/DoNotDisturbWatch.h"

#include "base/Guard.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QVariantMap>

namespace {
const QString Service = QStringLiteral("org.freedesktop.Notifications");
const QString Path = QStringLiteral("/org/freedesktop/Notifications");
const QString Properties = QStringLiteral("org.freedesktop.DBus.Properties");
const QString Inhibited = QStringLiteral("Inhibited");

// Only a true boolean is a yes: a server that says anything else has not
// said it.
bool IsTrue(const QVariant& value)
{
    return value.metaType() == QMetaType::fromType<bool>() && value.toBool();
}
}

// The bus delivers the server's signal to a slot; the watch only holds the
// answer.
class DoNotDisturbRelay : public QObject
{
    Q_OBJECT

public:
    explicit DoNotDisturbRelay(TDoNotDisturbWatch* watch) : QObject(watch), watch(watch)
    {
        QDBusConnection bus = QDBusConnection::sessionBus();
        bus.connect(Service, Path, Properties, QStringLiteral("PropertiesChanged"), this,
                    SLOT(propertiesChanged(QString, QVariantMap, QStringList)));
        // A server started later, or one taking over, has its own state.
        auto* servers = new QDBusServiceWatcher(Service, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(servers, &QDBusServiceWatcher::serviceOwnerChanged, this, GuardedSlot([this] { Ask(); }));
        Ask();
    }

public slots:
    void propertiesChanged(const QString& interface, const QVariantMap& changed, const QStringList& invalidated)
    {
        Guarded([&] {
            if (interface != Service)
                return;
            if (changed.contains(Inhibited))
                watch->Take(IsTrue(changed.value(Inhibited)));
            else if (invalidated.contains(Inhibited))
                Ask();
        });
    }

private:
    void Ask()
    {
        QDBusMessage get = QDBusMessage::createMethodCall(Service, Path, Properties, QStringLiteral("Get"));
        get << Service << Inhibited;
        auto* call = new QDBusPendingCallWatcher(QDBusConnection::sessionBus().asyncCall(get), this);
        connect(call, &QDBusPendingCallWatcher::finished, this, GuardedSlot([this](QDBusPendingCallWatcher* call) {
                    call->deleteLater();
                    const QDBusPendingReply<QDBusVariant> reply = *call;
                    watch->Take(!reply.isError() && IsTrue(reply.value().variant()));
                }));
    }

    TDoNotDisturbWatch* watch;
};

TDoNotDisturbWatch::TDoNotDisturbWatch(QObject* parent) : QObject(parent)
{
    new DoNotDisturbRelay(this);
}

void TDoNotDisturbWatch::Take(bool value)
{
    if (value == on)
        return;
    on = value;
    emit Changed(on);
}

#include "DoNotDisturbWatch.moc"
