#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

struct xcb_connection_t;

// One global hotkey, F1 to F12 with no modifier, Alt, Control or Shift: an X11
// key grab on the root window. Where there is no X11 (Wayland, no display)
// or another program holds the combination, there is no hotkey, silently.
class GlobalHotkey : public QObject, public QAbstractNativeEventFilter
{
    Q_OBJECT

public:
    explicit GlobalHotkey(QObject* parent = nullptr);
    ~GlobalHotkey() override;

    // F1 + functionKey (0..11); modifier 0 none, 1 Alt, 2 Control, 3 Shift.
    // Replaces the earlier grab.
    void Register(int functionKey, int modifier);
    void Unregister();

    bool nativeEventFilter(const QByteArray& eventType, void* message, qintptr* result) override;

signals:
    void Pressed();

private:
    void Grab(bool on);

    xcb_connection_t* connection = nullptr;
    quint32 root = 0;
    quint8 keycode = 0; // 0: nothing grabbed
    quint16 modifiers = 0;
};
