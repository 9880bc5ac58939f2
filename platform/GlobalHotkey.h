#pragma once

#include <QAbstractNativeEventFilter>
#include <QObject>

#include <memory>

// One global hotkey, F1 to F12 with no modifier, Alt, Control or Shift: an X11
// key grab on the root window, or RegisterHotKey on Windows. Where there is
// no X11 (Wayland, no display) or another program holds the combination,
// there is no hotkey, silently.
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
    // The window system's hold on the keys, as each platform keeps it.
    struct Hold;
    std::unique_ptr<Hold> hold;
};
