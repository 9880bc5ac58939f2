#pragma once

#include <QDBusConnection>
#include <QDBusMessage>
#include <QObject>
#include <QStringList>
#include <QVariantMap>

inline const QString Service = QStringLiteral("org.freedesktop.Notifications");
inline const QString Path = QStringLiteral("/org/freedesktop/Notifications");

struct NotifyCall {
    QString AppName;
    uint ReplacesId;
    QString AppIcon;
    QString Summary;
    QString Body;
    QStringList Actions;
    QVariantMap Hints;
    int ExpireTimeout;
};

// A notification server of our own. It has a connection of its own, as a
// real server has, so the notifier's calls go through the bus.
class FakeServer : public QObject
{
    Q_OBJECT
    Q_CLASSINFO("D-Bus Interface", "org.freedesktop.Notifications")
    Q_PROPERTY(bool Inhibited READ Inhibited)

public:
    explicit FakeServer(QStringList capabilities)
        : bus(QDBusConnection::connectToBus(QDBusConnection::SessionBus, QStringLiteral("fake"))),
          capabilities(std::move(capabilities))
    {
    }
    ~FakeServer() override
    {
        bus.unregisterService(Service);
        bus.unregisterObject(Path);
        QDBusConnection::disconnectFromBus(QStringLiteral("fake"));
    }

    bool Start()
    {
        const QDBusConnection::RegisterOptions exported =
            HasInhibited ? QDBusConnection::ExportAllSlots | QDBusConnection::ExportAllProperties
                         : QDBusConnection::ExportAllSlots;
        return bus.registerObject(Path, this, exported) && bus.registerService(Service);
    }

    // The do-not-disturb property some servers have, with the signal of its
    // changes; set HasInhibited before Start.
    bool HasInhibited = false;
    bool Inhibited() const { return inhibited; }
    void SetInhibited(bool on)
    {
        inhibited = on;
        bus.send(QDBusMessage::createSignal(Path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                           QStringLiteral("PropertiesChanged"))
                 << Service << QVariantMap{{QStringLiteral("Inhibited"), on}} << QStringList());
    }

    void InvokeAction(uint id, const QString& action)
    {
        bus.send(QDBusMessage::createSignal(Path, Service, QStringLiteral("ActionInvoked")) << id << action);
    }

    QList<NotifyCall> Calls;
    QList<uint> Ids;
    QList<uint> Closed;
    int CapabilityQuestions = 0;

public slots:
    uint Notify(const QString& appName, uint replacesId, const QString& appIcon, const QString& summary,
                const QString& body, const QStringList& actions, const QVariantMap& hints, int expireTimeout)
    {
        Calls.append({appName, replacesId, appIcon, summary, body, actions, hints, expireTimeout});
        Ids.append(replacesId ? replacesId : nextId++);
        return Ids.last();
    }
    QStringList GetCapabilities()
    {
        ++CapabilityQuestions;
        return capabilities;
    }
    void CloseNotification(uint id) { Closed.append(id); }
    QString GetServerInformation(QString& vendor, QString& version, QString& specVersion)
    {
        vendor = QStringLiteral("Tests");
        version = QStringLiteral("1");
        specVersion = QStringLiteral("1.2");
        return QStringLiteral("fake");
    }

private:
    QDBusConnection bus;
    QStringList capabilities;
    uint nextId = 41;
    bool inhibited = false;
};

