#pragma once

#include "platform/DialUp.h"

// Whether WinInet sees a way to the internet (a LAN, a modem, a proxy);
// none, or Windows set to work offline, is no connection.
bool WinInetIsOnline();

// Windows' own dial-up: WinInet dials the Remote Access entry unattended and
// hangs it up; the entries are the subkeys of HKEY_CURRENT_USER
// "RemoteAccess\Profile".
class TWinInetDialUp : public TDialUp
{
public:
    bool IsOnline() override;
    bool Dial(const QString& connectoid, quint32& handle) override;
    void HangUp(quint32 handle) override;
    QStringList Connectoids() override;
};
