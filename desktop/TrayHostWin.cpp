#include "desktop/TrayHost.h"

// The notification area is Explorer's; Qt puts the icon back itself when
// Explorer restarts, and it reports double clicks.
namespace TrayHost {

void WatchForHosts(QObject*, const std::function<void()>&) {}

bool ReportsDoubleClick()
{
    return true;
}

}
