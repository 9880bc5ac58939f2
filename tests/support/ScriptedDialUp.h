#pragma once

#include "platform/DialUp.h"

#include <QList>
#include <functional>

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
    // Runs while a dial waits, where the real one lets the event loop run.
    std::function<void()> WhileDialling;

    bool IsOnline() override { return Online; }
    bool Dial(const QString& connectoid, quint32& handle) override
    {
        Dialled << connectoid;
        if (WhileDialling)
            WhileDialling();
        if (!DialSucceeds)
            return false;
        handle = NextHandle;
        Online = true;
        return true;
    }
    void HangUp(quint32 handle) override { HungUp << handle; }
    QStringList Connectoids() override { return {}; }
};
