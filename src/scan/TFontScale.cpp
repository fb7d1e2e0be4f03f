#include "scan/TFontScale.h"

#include "scan/GridLayout.h"

#include <QFontMetricsF>
#include <QFrame>
#include <QGroupBox>
#include <QLayout>
#include <QScreen>
#include <QWidget>

#include <cmath>

double TFontScale::factor(const QWidget *w)
{
    const double digit = QFontMetricsF(w->font()).horizontalAdvance(QStringLiteral("0123456789")) / 10.0;
    return GridLayout::widthScale(digit, w->logicalDpiX());
}

int TFontScale::scaled(int v, double f) { return int(std::lround(v * f)); }

QPoint TFontScale::scaled(QPoint p, double f) { return {scaled(p.x(), f), scaled(p.y(), f)}; }

QSize TFontScale::scaled(QSize s, double f) { return {scaled(s.width(), f), scaled(s.height(), f)}; }

QRect TFontScale::scaled(const QRect &r, double f)
{
    const int left = scaled(r.x(), f), top = scaled(r.y(), f);
    return {left, top, scaled(r.x() + r.width(), f) - left, scaled(r.y() + r.height(), f) - top};
}

namespace {
// A container whose children were placed by hand (not a control that
// places its own parts, such as a spin box's editor).
bool plainContainer(const QWidget *w)
{
    const QMetaObject *m = w->metaObject();
    return !w->layout()
        && (m == &QWidget::staticMetaObject || m == &QFrame::staticMetaObject || m == &QGroupBox::staticMetaObject);
}
}

void TFontScale::scaleChildren(QWidget *parent, double f)
{
    // A layout places its children itself.
    if (f == 1.0 || parent->layout())
        return;
    for (QObject *o : parent->children()) {
        auto *w = qobject_cast<QWidget *>(o);
        if (!w || w->isWindow())
            continue;
        const QRect r = scaled(w->geometry(), f);
        if (w->minimumSize() == w->maximumSize())
            w->setFixedSize(r.size());
        w->setGeometry(r);
        if (plainContainer(w))
            scaleChildren(w, f);
    }
}

QSize TFontScale::windowSize(const QWidget *window, QSize designed, double f)
{
    QSize s = scaled(designed, f);
    if (const QScreen *screen = window->screen())
        s = s.boundedTo(screen->availableGeometry().size());
    return s;
}

void TFontScale::scaleFixedWindow(QWidget *window, QSize designed)
{
    const double f = factor(window);
    scaleChildren(window, f);
    window->setFixedSize(windowSize(window, designed, f));
}
