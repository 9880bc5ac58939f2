#pragma once

#include <QDBusConnection>
#include <QObject>

// Whether the system has no network connection at all, as NetworkManager
// reports it on the system bus, or Qt's network information where
// NetworkManager is absent. A link without the internet, a captive portal or
// a state nobody reports is not offline: only "no connection" is.
class TNetworkWatch : public QObject
{
    Q_OBJECT

public:
    explicit TNetworkWatch(const QDBusConnection& systemBus = QDBusConnection::systemBus(),
                           QObject* parent = nullptr);

    bool Offline() const;

signals:
    void Changed();

private slots:
    void stateChanged(uint state);

private:
    void readState();
    void watchQtReport();

    QDBusConnection bus;
    bool managerAnswers = false;
    bool watchingQt = false;
    uint managerState = 0;
};
