#include "desktop/Systray.h"

#include "base/CleanText.h"
#include "base/Guard.h"

#include "desktop/TrayHost.h"

#include <QMenu>

TSysTray::TSysTray(QObject* parent) : QObject(parent)
{
    CreateTrayIcon();
    connect(&timer, &QTimer::timeout, this, GuardedSlot([this] { OnTimer(); }));
    TrayHost::WatchForHosts(this, GuardedSlot([this] { TrayHostStarted(); }));
}

void TSysTray::CreateTrayIcon()
{
    trayIcon = new QSystemTrayIcon(icon, this);
    trayIcon->setToolTip(CleanedLines(ToolTip));
    trayIcon->setContextMenu(contextMenu);
    connect(trayIcon, &QSystemTrayIcon::messageClicked, this, GuardedSlot([this] { Fire(OnMessageClick); }));
    connect(trayIcon, &QSystemTrayIcon::activated, this,
            GuardedSlot([this](QSystemTrayIcon::ActivationReason reason) { Activated(reason); }));
    trayIcon->setVisible(inTray);
}

// Qt picks the kind of tray when the icon is made; a StatusNotifierItem host
// that starts later (a panel started after us at login) needs an icon made
// anew. XEmbed trays that start later are found by Qt itself.
void TSysTray::TrayHostStarted()
{
    delete trayIcon;
    CreateTrayIcon();
}

void TSysTray::SetIcon(const QIcon& value)
{
    icon = value;
    trayIcon->setIcon(icon);
}

// Without frames only the list is forgotten; the icon stays as it is.
void TSysTray::SetImageList(const QList<QIcon>& frames)
{
    imageList = frames;
    if (!imageList.isEmpty())
        SetImageIndex(imageIndex);
}

void TSysTray::SetImageIndex(int value)
{
    imageIndex = value;
    if (imageIndex >= 0 && imageIndex < imageList.size())
        SetIcon(imageList.at(imageIndex));
}

void TSysTray::SetInTray(bool value)
{
    inTray = value;
    trayIcon->setVisible(value);
}

// Setting it again restarts the period.
void TSysTray::SetAnimate(bool value)
{
    animate = value;
    if (animate)
        timer.start(aniSpeed);
    else
        timer.stop();
}

void TSysTray::SetAniSpeed(int milliseconds)
{
    aniSpeed = milliseconds;
    SetAnimate(animate);
}

void TSysTray::SetContextMenu(QMenu* menu)
{
    contextMenu = menu;
    trayIcon->setContextMenu(menu);
}

void TSysTray::Loaded()
{
    trayIcon->setToolTip(CleanedLines(ToolTip));
}

void TSysTray::OnTimer()
{
    SetImageIndex(imageList.size() - 1 > imageIndex ? imageIndex + 1 : 0);
}

bool TSysTray::Shown() const
{
    return inTray && QSystemTrayIcon::isSystemTrayAvailable();
}

bool TSysTray::ReportsDoubleClick() const
{
    return TrayHost::ReportsDoubleClick();
}

void TSysTray::ShowMessage(const QString& title, const QString& text, bool warning)
{
    trayIcon->showMessage(title, text, warning ? QSystemTrayIcon::Warning : QSystemTrayIcon::Information);
}

void TSysTray::Activated(QSystemTrayIcon::ActivationReason reason)
{
    switch (reason) {
    case QSystemTrayIcon::Trigger:
        Fire(OnLButtonDown);
        Fire(OnLButtonUp);
        break;
    case QSystemTrayIcon::DoubleClick:
        Fire(OnLButtonDblClk);
        break;
    case QSystemTrayIcon::Context:
        Fire(OnRButtonDown);
        Fire(OnRButtonUp);
        break;
    default:
        break;
    }
}

void TSysTray::Fire(const TNotifyEvent& event)
{
    if (event)
        event(this);
}
