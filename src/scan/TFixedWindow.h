#pragma once
#include <QLatin1String>
#include <QRect>
#include <QSize>
#include <QString>
#include <utility>

class QColor;
class QDialog;
class QWidget;
class TShadowLabel;

// A dialog laid out in fixed pixels: its controls are placed at the
// rectangles they were designed at, then scaled once to the font in use.
namespace TFixedWindow {
// The window's object name, title, dialog frame and designed size.
void begin(QDialog *window, const char *name, const QString &title, QSize designed);
// Once its controls are placed: they and the window scaled to its font
// (TFontScale::scaleFixedWindow), the window centred on the screen.
void finish(QDialog *window, QSize designed);
// Centres the window on the primary screen's free area.
void centre(QWidget *window);
// The heading at r: display text in a 24-pixel "Times New Roman" with its
// shadow.
TShadowLabel *heading(QDialog *window, const char *name, const QRect &r, const QString &text, const QColor &face,
                      const QColor &shadow);

// A control of such a window: made (with args, then parent) under its
// object name and placed at r.
template <class W, class... Args>
W *placed(QWidget *parent, const char *name, const QRect &r, Args &&...args)
{
    auto *w = new W(std::forward<Args>(args)..., parent);
    w->setObjectName(QLatin1String(name));
    w->setGeometry(r);
    return w;
}
}
