#include "resources/Images.h"

#include <QPainter>
#include <QSvgRenderer>

namespace Images {

QPixmap Logo(QSize box, qreal devicePixelRatio)
{
    QPixmap pixmap(box * devicePixelRatio);
    pixmap.setDevicePixelRatio(devicePixelRatio);
    pixmap.fill(Qt::transparent);
    QSvgRenderer renderer(LogoPath());
    const QSizeF logo = QSizeF(renderer.defaultSize()).scaled(QSizeF(box), Qt::KeepAspectRatio);
    QRectF place(QPointF(0, 0), logo);
    place.moveCenter(QRectF(QPointF(0, 0), QSizeF(box)).center());
    QPainter painter(&pixmap);
    renderer.render(&painter, place);
    return pixmap;
}

}
