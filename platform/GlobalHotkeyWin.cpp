#include "platform/GlobalHotkey.h"

#include <QCoreApplication>

#include <windows.h>

namespace {

// The thread's only hotkey; its WM_HOTKEY comes with this id.
constexpr int HotkeyId = 1;
constexpr UINT ModifierFlags[] = {0, MOD_ALT, MOD_CONTROL, MOD_SHIFT};

}

struct GlobalHotkey::Hold
{
    bool registered = false;
};

GlobalHotkey::GlobalHotkey(QObject* parent) : QObject(parent), hold(std::make_unique<Hold>()) {}

GlobalHotkey::~GlobalHotkey()
{
    Unregister();
}

// Registered for the thread rather than a window, so the hotkey outlives
// whichever window Qt recreates. A combination another program holds is
// refused; that is no hotkey, and nobody is told.
void GlobalHotkey::Register(int functionKey, int modifier)
{
    Unregister();
    if (functionKey < 0 || functionKey > 11 || modifier < 0 || modifier > 3)
        return;
    if (!RegisterHotKey(nullptr, HotkeyId, ModifierFlags[modifier] | MOD_NOREPEAT, VK_F1 + functionKey))
        return;
    hold->registered = true;
    QCoreApplication::instance()->installNativeEventFilter(this);
}

void GlobalHotkey::Unregister()
{
    if (!hold->registered)
        return;
    UnregisterHotKey(nullptr, HotkeyId);
    QCoreApplication::instance()->removeNativeEventFilter(this);
    hold->registered = false;
}

bool GlobalHotkey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "windows_generic_MSG")
        return false;
    const auto* msg = static_cast<const MSG*>(message);
    if (msg->message != WM_HOTKEY || msg->hwnd != nullptr || msg->wParam != HotkeyId)
        return false;
    emit Pressed();
    return true;
}
