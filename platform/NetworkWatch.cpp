#include "platform/NetworkWatch.h"

#include "base/Guard.h"

#include <QDBusConnection>
#include <QDBusMessage>
#include <QDBusPendingCallWatcher>
#include <QDBusPendingReply>
#include <QDBusServiceWatcher>
#include <QDBusVariant>
#include <QNetworkInformation>

namespace {
const QString Service = QStringLiteral("org.freedesktop.NetworkManager");
const QString Path = QStringLiteral("/org/freedesktop/NetworkManager");
const QString Interface = Service;
constexpr int AnswerMilliseconds = 1000;

// NetworkManager's NMState: asleep, disconnected and disconnecting have no
// connection; connecting has none yet. Local, site and global connections
// are connections.
bool NoConnection(uint state)
{
    return state >= 10 && state <= 40;
}
}

// NetworkManager's state as the bus reports it, or Qt's reachability where
// NetworkManager does not answer.
class NetworkReport : public QObject
{
    Q_OBJECT

public:
    NetworkReport(const QDBusConnection& systemBus, QObject* parent);

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

TNetworkWatch::TNetworkWatch(QObject* parent) : TNetworkWatch(QDBusConnection::systemBus(), parent) {}

TNetworkWatch::TNetworkWatch(const QDBusConnection& systemBus, QObject* parent)
    : QObject(parent), report(new NetworkReport(systemBus, this))
{
    connect(report, &NetworkReport::Changed, this, &TNetworkWatch::Changed);
}

bool TNetworkWatch::Offline() const
{
    return report->Offline();
}

NetworkReport::NetworkReport(const QDBusConnection& systemBus, QObject* parent) : QObject(parent), bus(systemBus)
{
    if (bus.isConnected()) {
        bus.connect(Service, Path, Interface, QStringLiteral("StateChanged"), this, SLOT(stateChanged(uint)));
        auto* watcher = new QDBusServiceWatcher(Service, bus, QDBusServiceWatcher::WatchForOwnerChange, this);
        connect(watcher, &QDBusServiceWatcher::serviceOwnerChanged, this, GuardedSlot([this] {
                    readState();
                    emit Changed();
                }));
        readState();
    } else {
        watchQtReport();
    }
}

bool NetworkReport::Offline() const
{
    if (managerAnswers)
        return NoConnection(managerState);
    const QNetworkInformation* report = QNetworkInformation::instance();
    return report && report->reachability() == QNetworkInformation::Reachability::Disconnected;
}

// Asked without waiting: until NetworkManager answers, nothing says offline.
void NetworkReport::readState()
{
    QDBusMessage get = QDBusMessage::createMethodCall(Service, Path, QStringLiteral("org.freedesktop.DBus.Properties"),
                                                      QStringLiteral("Get"));
    get << Interface << QStringLiteral("State");
    auto* call = new QDBusPendingCallWatcher(bus.asyncCall(get, AnswerMilliseconds), this);
    connect(call, &QDBusPendingCallWatcher::finished, this, GuardedSlot([this](QDBusPendingCallWatcher* call) {
                call->deleteLater();
                const QDBusPendingReply<QDBusVariant> reply = *call;
                managerAnswers = !reply.isError();
                managerState = managerAnswers ? reply.value().variant().toUInt() : 0;
                if (!managerAnswers)
                    watchQtReport();
                emit Changed();
            }));
}

void NetworkReport::watchQtReport()
{
    if (watchingQt || !QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability))
        return;
    watchingQt = true;
    connect(QNetworkInformation::instance(), &QNetworkInformation::reachabilityChanged, this,
            GuardedSlot([this] { emit Changed(); }));
}

void NetworkReport::stateChanged(uint state)
{
    Guarded([&] {
        managerAnswers = true;
        managerState = state;
        emit Changed();
    });
}

#include "NetworkWatch.moc"
