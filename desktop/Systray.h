#pragma once

#include "base/Events.h"

#include <QIcon>
#include <QList>
#include <QObject>
#include <QSystemTrayIcon>
#include <QTimer>

class QMenu;

// One icon in the desktop's tray. Clicks on it become six button events, and
// it can cycle through the frames of an image list: the flashing that tells
// of new mail.
//
// Trays report activations, not buttons: a click gives left down then left
// up, a double-click left double-click, the menu request right down then
// right up. Trays of the StatusNotifierItem kind report no double-click at
// all (ReportsDoubleClick).
class TSysTray : public QObject
{
public:
    explicit TSysTray(QObject* parent = nullptr);

    TNotifyEvent OnLButtonDown;
    TNotifyEvent OnLButtonUp;
    TNotifyEvent OnLButtonDblClk;
    TNotifyEvent OnRButtonDown;
    TNotifyEvent OnRButtonUp;
    TNotifyEvent OnRButtonDblClk;
    TNotifyEvent OnMessageClick; // the balloon ShowMessage showed
    // Reaches the tray with Loaded.
    QString ToolTip;

    QIcon Icon() const { return icon; }
    void SetIcon(const QIcon& value);
    const QList<QIcon>& ImageList() const { return imageList; }
    void SetImageList(const QList<QIcon>& frames);
    int ImageIndex() const { return imageIndex; }
    void SetImageIndex(int value);
    bool InTray() const { return inTray; }
    void SetInTray(bool value);
    bool Animate() const { return animate; }
    void SetAnimate(bool value);
    int AniSpeed() const { return aniSpeed; }
    void SetAniSpeed(int milliseconds);

    // The tray's own menu on the icon; set before the icon goes in, so that
    // every kind of tray offers it.
    void SetContextMenu(QMenu* menu);
    // The properties are set: the tip goes to the tray.
    void Loaded();
    // The next frame, after the last the first.
    void OnTimer();

    // Whether the icon stands in a tray now; false where there is none.
    bool Shown() const;
    bool ReportsDoubleClick() const;

    // A balloon beside the icon, where the tray shows them (Windows).
    void ShowMessage(const QString& title, const QString& text, bool warning);

private:
    void CreateTrayIcon();
    void TrayHostStarted();
    void Activated(QSystemTrayIcon::ActivationReason reason);
    void Fire(const TNotifyEvent& event);

    QSystemTrayIcon* trayIcon = nullptr;
    QMenu* contextMenu = nullptr;
    QTimer timer;
    QIcon icon;
    QList<QIcon> imageList;
    int imageIndex = 0;
    bool inTray = false;
    bool animate = false;
    int aniSpeed = 500;
};
