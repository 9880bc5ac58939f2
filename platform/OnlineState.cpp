#include "platform/OnlineState.h"

#include <QNetworkInformation>

#include <algorithm>
#include <optional>

namespace {

// Loaded once: a backend that is not there now will not appear later.
QNetworkInformation* reachabilityReport()
{
    static const bool loaded = QNetworkInformation::loadBackendByFeatures(QNetworkInformation::Feature::Reachability);
    return loaded ? QNetworkInformation::instance() : nullptr;
}

// A connection to the local site counts, as a LAN did for the dial-up test:
// the mail server may well be on it.
std::optional<bool> reportedOnline()
{
    const QNetworkInformation* report = reachabilityReport();
    if (!report)
        return std::nullopt;
    switch (report->reachability()) {
    case QNetworkInformation::Reachability::Online:
    case QNetworkInformation::Reachability::Site:
        return true;
    case QNetworkInformation::Reachability::Local:
    case QNetworkInformation::Reachability::Disconnected:
        return false;
    case QNetworkInformation::Reachability::Unknown:
        break;
    }
    return std::nullopt;
}

}

bool HasOutsideInterface(const QList<QNetworkInterface>& interfaces)
{
    return std::any_of(interfaces.begin(), interfaces.end(), [](const QNetworkInterface& interface) {
        const auto flags = interface.flags();
        return flags.testFlag(QNetworkInterface::IsUp) && flags.testFlag(QNetworkInterface::IsRunning)
            && !flags.testFlag(QNetworkInterface::IsLoopBack) && !interface.addressEntries().isEmpty();
    });
}

bool SystemIsOnline()
{
    if (const std::optional<bool> online = reportedOnline())
        return *online;
    return HasOutsideInterface(QNetworkInterface::allInterfaces());
}
