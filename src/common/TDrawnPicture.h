#pragma once
#include <QPainterPath>
#include <QPixmap>
#include <QSize>
#include <functional>
#include <initializer_list>

class QPainter;

// Pictures drawn in code (our own file icons, the stamp arrows): a
// transparent picture of size (device-independent pixels, ratio device
// pixels each) that draw paints with anti-aliasing on.
QPixmap drawnPicture(QSize size, qreal ratio, const std::function<void(QPainter &)> &draw);
// The closed outline through the points, in order.
QPainterPath outline(std::initializer_list<QPointF> points);
