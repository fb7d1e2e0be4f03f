#include "common/TBackdrop.h"

#include <QLinearGradient>
#include <QPainter>
#include <QPalette>
#include <QWidget>

namespace {
// A soft slate-blue weave: two families of faint diagonal strokes over a
// base colour, with a little deterministic grain, seamless at its edges.
QPixmap drawTile()
{
    const int n = 64;
    QImage img(n, n, QImage::Format_RGB32);
    uint32_t seed = 0x2545F491u;
    for (int y = 0; y < n; ++y) {
        for (int x = 0; x < n; ++x) {
            seed ^= seed << 13;
            seed ^= seed >> 17;
            seed ^= seed << 5;
            const int grain = int(seed % 9) - 4;
            const int d1 = (x + y) % 16;
            const int d2 = (x - y + n) % 16;
            const int weave = (d1 < 2 ? 10 : 0) + (d2 < 2 ? 6 : 0);
            const int r = 178 + grain + weave;
            const int g = 190 + grain + weave;
            const int b = 208 + grain + weave;
            img.setPixel(x, y, qRgb(std::min(r, 255), std::min(g, 255), std::min(b, 255)));
        }
    }
    return QPixmap::fromImage(img);
}
}

const QPixmap &TBackdrop::tile()
{
    static const QPixmap t = drawTile();
    return t;
}

void TBackdrop::applyTile(QWidget *w)
{
    QPalette pal = w->palette();
    pal.setBrush(QPalette::Window, QBrush(tile()));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}

void TBackdrop::applyGradient(QWidget *w)
{
    QLinearGradient g(0, 0, 0, std::max(1, w->height()));
    g.setColorAt(0, QColor(0, 0, 255));
    g.setColorAt(1, QColor(0, 0, 0));
    QPalette pal = w->palette();
    pal.setBrush(QPalette::Window, QBrush(g));
    w->setPalette(pal);
    w->setAutoFillBackground(true);
}
