#pragma once

#include <QObject>
#include <functional>

// What kind of tray the desktop offers, where the tray icon cannot ask Qt.
namespace TrayHost {
// Calls started, with owner as its context, whenever a tray host starts
// after the icon was made.
void WatchForHosts(QObject* owner, const std::function<void()>& started);
// Whether the tray reports a double click at all.
bool ReportsDoubleClick();
}
