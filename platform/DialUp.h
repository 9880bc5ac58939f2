#pragma once

#include <QString>
#include <QStringList>

#include <memory>

// The system's internet connection as the check cycle needs it: is there one,
// bring a named one up, take it down again.
class TDialUp
{
public:
    virtual ~TDialUp() = default;

    virtual bool IsOnline() = 0;
    // Brings the named connection up; true on success, with a handle that
    // HangUp takes. Handle 0 means nothing was dialled.
    virtual bool Dial(const QString& connectoid, quint32& handle) = 0;
    virtual void HangUp(quint32 handle) = 0;
    // The names of the connections that can be dialled.
    virtual QStringList Connectoids() = 0;
};

// The system's own: WinInet on Windows, NetworkManager on Linux.
std::unique_ptr<TDialUp> SystemDialUp();
