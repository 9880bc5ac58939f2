#include "platform/NetworkWatch.h"

#include "base/Guard.h"
#include "platform/WinInetDialUp.h"

#include <QWinEventNotifier>

#include <winsock2.h>
#include <windows.h>
#include <iphlpapi.h>

// Windows signals an event when any address of the machine comes or goes,
// once per request; each notice asks for the next.
class NetworkReport : public QObject
{
    Q_OBJECT

public:
    explicit NetworkReport(QObject* parent);
    ~NetworkReport() override;

signals:
    void Changed();

private:
    void askForNotice();

    OVERLAPPED request {};
    QWinEventNotifier* notifier = nullptr;
};

TNetworkWatch::TNetworkWatch(QObject* parent) : QObject(parent), report(new NetworkReport(this))
{
    connect(report, &NetworkReport::Changed, this, &TNetworkWatch::Changed);
}

bool TNetworkWatch::Offline() const
{
    return !WinInetIsOnline();
}

// Without the event there is no notice, and Offline still answers when asked.
NetworkReport::NetworkReport(QObject* parent) : QObject(parent)
{
    request.hEvent = CreateEventW(nullptr, TRUE, FALSE, nullptr);
    if (!request.hEvent)
        return;
    notifier = new QWinEventNotifier(request.hEvent, this);
    connect(notifier, &QWinEventNotifier::activated, this, GuardedSlot([this] {
                askForNotice();
                emit Changed();
            }));
    askForNotice();
}

NetworkReport::~NetworkReport()
{
    if (!request.hEvent)
        return;
    delete notifier;
    CancelIPChangeNotify(&request);
    CloseHandle(request.hEvent);
}

void NetworkReport::askForNotice()
{
    ResetEvent(request.hEvent);
    HANDLE unused = nullptr; // for GetOverlappedResult, which the event spares us
    NotifyAddrChange(&unused, &request);
}

#include "NetworkWatchWin.moc"
