#include "widgets/Beep.h"

#include <QApplication>

namespace {
std::function<void()>& hook()
{
    static std::function<void()> hook;
    return hook;
}
}

void Beep()
{
    if (hook())
        hook()();
    else
        QApplication::beep();
}

void SetBeepHook(std::function<void()> newHook)
{
    hook() = std::move(newHook);
}
