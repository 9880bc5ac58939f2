#include "platform/GlobalHotkey.h"

#include <QGuiApplication>
#include <xcb/xcb.h>
#include <xcb/xcb_keysyms.h>

#include <cstdlib>

namespace {

constexpr xcb_keysym_t KeysymF1 = 0xffbe;
// The grab must hold whatever the state of NumLock and CapsLock.
constexpr quint16 LockMasks[] = {0, XCB_MOD_MASK_LOCK, XCB_MOD_MASK_2, XCB_MOD_MASK_LOCK | XCB_MOD_MASK_2};
constexpr quint16 ModifierMasks[] = {0, XCB_MOD_MASK_1, XCB_MOD_MASK_CONTROL, XCB_MOD_MASK_SHIFT};
constexpr quint16 RelevantMasks = XCB_MOD_MASK_SHIFT | XCB_MOD_MASK_CONTROL | XCB_MOD_MASK_1 | XCB_MOD_MASK_4;

quint8 keycodeOf(xcb_connection_t* connection, xcb_keysym_t keysym)
{
    xcb_key_symbols_t* symbols = xcb_key_symbols_alloc(connection);
    xcb_keycode_t* codes = symbols ? xcb_key_symbols_get_keycode(symbols, keysym) : nullptr;
    const quint8 code = codes ? codes[0] : 0;
    std::free(codes);
    if (symbols)
        xcb_key_symbols_free(symbols);
    return code;
}

}

struct GlobalHotkey::Hold
{
    void Grab(bool on);

    xcb_connection_t* connection = nullptr;
    quint32 root = 0;
    quint8 keycode = 0; // 0: nothing grabbed
    quint16 modifiers = 0;
};

GlobalHotkey::GlobalHotkey(QObject* parent) : QObject(parent), hold(std::make_unique<Hold>())
{
    // Other platforms answer for X11 too, without a connection.
    const auto* x11 = qGuiApp ? qGuiApp->nativeInterface<QNativeInterface::QX11Application>() : nullptr;
    hold->connection = x11 && QGuiApplication::platformName() == QLatin1String("xcb") ? x11->connection() : nullptr;
    if (hold->connection)
        hold->root = xcb_setup_roots_iterator(xcb_get_setup(hold->connection)).data->root;
}

GlobalHotkey::~GlobalHotkey()
{
    Unregister();
}

void GlobalHotkey::Register(int functionKey, int modifier)
{
    Unregister();
    if (!hold->connection || functionKey < 0 || functionKey > 11 || modifier < 0 || modifier > 3)
        return;
    hold->keycode = keycodeOf(hold->connection, KeysymF1 + functionKey);
    hold->modifiers = ModifierMasks[modifier];
    if (hold->keycode == 0)
        return;
    hold->Grab(true);
    qGuiApp->installNativeEventFilter(this);
}

void GlobalHotkey::Unregister()
{
    if (hold->keycode == 0)
        return;
    hold->Grab(false);
    qGuiApp->removeNativeEventFilter(this);
    hold->keycode = 0;
}

// A combination another program holds is refused; that is no hotkey, and
// nobody is told.
void GlobalHotkey::Hold::Grab(bool on)
{
    for (const quint16 locks : LockMasks) {
        if (on)
            xcb_grab_key(connection, 1, root, modifiers | locks, keycode, XCB_GRAB_MODE_ASYNC, XCB_GRAB_MODE_ASYNC);
        else
            xcb_ungrab_key(connection, keycode, root, modifiers | locks);
    }
    xcb_flush(connection);
}

bool GlobalHotkey::nativeEventFilter(const QByteArray& eventType, void* message, qintptr*)
{
    if (eventType != "xcb_generic_event_t")
        return false;
    const auto* event = static_cast<const xcb_generic_event_t*>(message);
    if ((event->response_type & ~0x80) != XCB_KEY_PRESS)
        return false;
    const auto* key = static_cast<const xcb_key_press_event_t*>(message);
    if (key->detail != hold->keycode || (key->state & RelevantMasks) != hold->modifiers)
        return false;
    emit Pressed();
    return true;
}
