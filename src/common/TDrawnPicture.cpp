#include "common/TDrawnPicture.h"

#include <QPainter>

QPixmap drawnPicture(QSize size, qreal ratio, const std::function<void(QPainter &)> &draw)
{
    QPixmap pm(size * ratio);
    pm.setDevicePixelRatio(ratio);
    pm.fill(Qt::transparent);
    QPainter p(&pm);
    p.setRenderHint(QPainter::Antialiasing);
    draw(p);
    p.end();
    return pm;
}

QPainterPath outline(std::initializer_list<QPointF> points)
{
    QPainterPath path;
    for (const QPointF &at : points) {
        if (path.elementCount() == 0)
            path.moveTo(at);
        else
            path.lineTo(at);
    }
    path.closeSubpath();
    return path;
}
