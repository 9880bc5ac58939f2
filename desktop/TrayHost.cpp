#include "desktop/TrayHost.h"

#include <QDBusConnection>
#include <QDBusConnectionInterface>
#include <QDBusServiceWatcher>

namespace {
// Qt's tray icon speaks StatusNotifierItem wherever this watcher runs.
const QString StatusNotifierWatcher = QStringLiteral("org.kde.StatusNotifierWatcher");
}

namespace TrayHost {

void WatchForHosts(QObject* owner, const std::function<void()>& started)
{
    auto* hosts = new QDBusServiceWatcher(StatusNotifierWatcher, QDBusConnection::sessionBus(),
                                          QDBusServiceWatcher::WatchForRegistration, owner);
    QObject::connect(hosts, &QDBusServiceWatcher::serviceRegistered, owner, started);
}

// Trays of the StatusNotifierItem kind report no double click.
bool ReportsDoubleClick()
{
    const QDBusConnectionInterface* bus = QDBusConnection::sessionBus().interface();
    return !(bus && bus->isServiceRegistered(StatusNotifierWatcher));
}

}
