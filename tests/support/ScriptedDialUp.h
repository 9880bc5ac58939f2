#pragma once

#include "platform/DialUp.h"

#include <QList>

// The system's connection as a test sets it: online or not, and whether a
// dial succeeds; it records what was dialled and hung up.
class TScriptedDialUp : public TDialUp
{
public:
    bool Online = true;
    bool DialSucceeds = true;
    quint32 NextHandle = 7;
    QStringList Dialled;
    QList<quint32> HungUp;

    bool IsOnline() override { return Online; }
    bool Dial(const QString& connectoid, quint32& handle) override
    {
        Dialled << connectoid;
        if (!DialSucceeds)
            return false;
        handle = NextHandle;
        Online = true;
        return true;
    }
    void HangUp(quint32 handle) override { HungUp << handle; }
    QStringList Connectoids() override { return {}; }
};
