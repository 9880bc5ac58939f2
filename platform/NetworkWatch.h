#pragma once

#include <QObject>

class NetworkReport;
class QDBusConnection;

// Whether the system has no network connection at all, and when that may
// have changed. On Linux as NetworkManager reports it on the system bus, or
// Qt's network information where NetworkManager is absent; on Windows as
// WinInet sees it, asked again whenever an address comes or goes. A link
// without the internet, a captive portal or a state nobody reports is not
// offline: only "no connection" is.
class TNetworkWatch : public QObject
{
    Q_OBJECT

public:
    explicit TNetworkWatch(QObject* parent = nullptr);
    // Linux only: NetworkManager on this bus rather than the system bus.
    explicit TNetworkWatch(const QDBusConnection& systemBus, QObject* parent = nullptr);

    bool Offline() const;

signals:
    void Changed();

private:
    // The platform's own report, a child of the watch.
    NetworkReport* report;
};
