#include "resources/Images.h"

#include <QPainter>

namespace Images {

// The logo drawn at twice its size, scaled down smoothly.
QPixmap Logo(QSize box, qreal devicePixelRatio)
{
    QPixmap pixmap(box * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QPixmap logo = QPixmap(QString(LogoPath()).replace(u".png"_qs, u"@2x.png"_qs))
                       .scaled(pixmap.size(), Qt::KeepAspectRatio, Qt::SmoothTransformation);
    logo.setDevicePixelRatio(devicePixelRatio);
    const QSizeF drawn = logo.deviceIndependentSize();
    QPainter painter(&pixmap);
    painter.drawPixmap(QPointF((box.width() - drawn.width()) / 2, (box.height() - drawn.height()) / 2), logo);
    return pixmap;
}

}
