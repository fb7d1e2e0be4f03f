#pragma once
// Generated pictures for the similar-pictures tests and benchmark: a
// photograph-like scene (a sky-to-ground gradient, lit shapes, soft edges)
// drawn from a seed, and the variants a disk collects of one photo.
#include <QBuffer>
#include <QByteArray>
#include <QColor>
#include <QImage>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>
#include <QRadialGradient>
#include <QRandomGenerator>
#include <QTransform>

#include <algorithm>

namespace scenes {

// A scene of w x h pixels. hue (0-359) sets the palette's base; shift moves
// every shape right by that share of the width (the same scene, reframed).
inline QImage scene(quint32 seed, int w, int h, int hue = -1, double shift = 0)
{
    QRandomGenerator r(seed);
    if (hue < 0)
        hue = int(r.bounded(360));
    const auto colour = [&](int spread) {
        const int hh = (hue + int(r.bounded(2 * spread + 1)) - spread + 360) % 360;
        return QColor::fromHsv(hh, 60 + int(r.bounded(180)), 40 + int(r.bounded(210)));
    };
    QImage img(w, h, QImage::Format_RGB32);
    QPainter p(&img);
    p.setRenderHint(QPainter::Antialiasing);
    QLinearGradient sky(0, 0, 0, h);
    sky.setColorAt(0, colour(30));
    sky.setColorAt(0.55, colour(30));
    sky.setColorAt(1, colour(30));
    p.fillRect(img.rect(), sky);
    p.translate(shift * w, 0);
    const int shapes = 14 + int(r.bounded(10));
    for (int i = 0; i < shapes; ++i) {
        const double x = r.bounded(1.0) * w, y = r.bounded(1.0) * h;
        const double sw = (0.08 + r.bounded(0.35)) * w, sh = (0.08 + r.bounded(0.35)) * h;
        QRadialGradient light(x + sw / 3, y + sh / 3, std::max(sw, sh));
        light.setColorAt(0, colour(40).lighter(130));
        light.setColorAt(1, colour(40).darker(140));
        p.setBrush(light);
        p.setPen(Qt::NoPen);
        switch (r.bounded(3)) {
        case 0: p.drawEllipse(QRectF(x, y, sw, sh)); break;
        case 1: p.drawRoundedRect(QRectF(x, y, sw, sh), sw / 8, sh / 8); break;
        default: {
            QPainterPath path;
            path.moveTo(x, y);
            for (int k = 0; k < 4; ++k)
                path.lineTo(x + r.bounded(1.0) * sw, y + r.bounded(1.0) * sh);
            path.closeSubpath();
            p.drawPath(path);
        }
        }
    }
    // Fine texture, as a photo has: it tells a re-encoding apart.
    p.resetTransform();
    p.setOpacity(0.15);
    for (int i = 0; i < w * h / 400; ++i) {
        p.setPen(colour(60));
        p.drawPoint(QPointF(r.bounded(1.0) * w, r.bounded(1.0) * h));
    }
    p.end();
    return img;
}

inline QByteArray encode(const QImage &img, const char *format, int quality = 90)
{
    QByteArray out;
    QBuffer b(&out);
    b.open(QIODevice::WriteOnly);
    img.save(&b, format, quality);
    return out;
}

// A JPEG with an EXIF block right after its start marker holding only an
// orientation (1 upright; 6: turn a quarter clockwise to show it).
inline QByteArray withOrientation(const QByteArray &jpeg, int orientation)
{
    const char exif[] = {'\xFF', '\xE1', 0, 34, 'E', 'x', 'i', 'f', 0, 0,
                         'M', 'M', 0, 0x2A, 0, 0, 0, 8,
                         0, 1, 0x01, 0x12, 0, 3, 0, 0, 0, 1, 0, char(orientation), 0, 0,
                         0, 0, 0, 0};
    return jpeg.left(2) + QByteArray(exif, sizeof exif) + jpeg.mid(2);
}

// Stored turned a quarter anticlockwise, with orientation 6 to show it upright.
inline QByteArray turnedByExif(const QImage &img, int quality = 90)
{
    return withOrientation(encode(img.transformed(QTransform().rotate(-90)), "JPEG", quality), 6);
}

inline QImage scaled(const QImage &img, double factor)
{
    return img.scaled(int(img.width() * factor), int(img.height() * factor), Qt::IgnoreAspectRatio,
                      Qt::SmoothTransformation);
}

// The middle, share cut off each edge.
inline QImage cropped(const QImage &img, double share)
{
    const int dx = int(img.width() * share), dy = int(img.height() * share);
    return img.copy(dx, dy, img.width() - 2 * dx, img.height() - 2 * dy);
}

inline QImage brighter(const QImage &img, double factor)
{
    QImage out = img.convertToFormat(QImage::Format_RGB32);
    for (int y = 0; y < out.height(); ++y) {
        auto *line = reinterpret_cast<QRgb *>(out.scanLine(y));
        for (int x = 0; x < out.width(); ++x) {
            const QRgb c = line[x];
            const auto up = [&](int v) { return std::min(255, int(v * factor + 0.5)); };
            line[x] = qRgb(up(qRed(c)), up(qGreen(c)), up(qBlue(c)));
        }
    }
    return out;
}
}
