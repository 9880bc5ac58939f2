#include "desktop/Lxhyplink.h"

#include "base/Guard.h"

#include <QDesktopServices>
#include <QMouseEvent>
#include <QUrl>

TLxHypLink::TLxHypLink(QWidget* parent) : QLabel(parent)
{
    QPalette look = palette();
    look.setColor(QPalette::WindowText, Qt::blue);
    setPalette(look);
    QFont underlined = font();
    underlined.setUnderline(true);
    setFont(underlined);
    setCursor(Qt::PointingHandCursor);
}

void TLxHypLink::Click()
{
    if (OnClick)
        OnClick();
    if (!URL.isEmpty())
        QDesktopServices::openUrl(QUrl(URL));
}

// A plain label passes the press on to its window, where some styles start
// moving the window and so take the release away from the label.
void TLxHypLink::mousePressEvent(QMouseEvent* event)
{
    if (event->button() == Qt::LeftButton)
        event->accept();
    else
        QLabel::mousePressEvent(event);
}

// A release outside the label is a click taken back.
void TLxHypLink::mouseReleaseEvent(QMouseEvent* event)
{
    if (event->button() != Qt::LeftButton || !rect().contains(event->position().toPoint())) {
        QLabel::mouseReleaseEvent(event);
        return;
    }
    event->accept();
    Guarded([this] { Click(); });
}
