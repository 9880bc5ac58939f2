#pragma once

#include <QList>
#include <QNetworkInterface>

// Whether this machine has a network connection beyond itself: the system's
// reachability report where Qt has a backend for it, else the interfaces.
bool SystemIsOnline();

// The fallback test: some interface other than loopback is up, running and
// has an address.
bool HasOutsideInterface(const QList<QNetworkInterface>& interfaces);
