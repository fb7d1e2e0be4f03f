#include "common/TShadowLabel.h"

#include <QFontMetrics>
#include <QLinearGradient>
#include <QPainter>
#include <QPainterPath>

TShadowLabel::TShadowLabel(const QString &text, const QString &family, int pixelHeight, QWidget *parent)
    : QWidget(parent), text_(text)
{
    QFont f(family);
    f.setPixelSize(pixelHeight);
    setFont(f);
    setAttribute(Qt::WA_TranslucentBackground);
}

void TShadowLabel::setText(const QString &t)
{
    text_ = t;
    updateGeometry();
    update();
}

void TShadowLabel::setColours(const QColor &colour, const QColor &shadow, const QColor &gradientEnd)
{
    colour_ = colour;
    shadow_ = shadow;
    gradientEnd_ = gradientEnd;
    update();
}

void TShadowLabel::setDepth(int d)
{
    depth_ = d;
    updateGeometry();
    update();
}

void TShadowLabel::setAlignment(Qt::Alignment a)
{
    align_ = a;
    update();
}

QSize TShadowLabel::sizeHint() const
{
    const QFontMetrics fm(font());
    return {fm.horizontalAdvance(text_) + depth_ + 2, fm.height() + depth_};
}

void TShadowLabel::paintEvent(QPaintEvent *)
{
    QPainter p(this);
    p.setRenderHint(QPainter::Antialiasing);
    const QFontMetrics fm(font());
    const int w = fm.horizontalAdvance(text_);
    int x = 0;
    if (align_ & Qt::AlignHCenter)
        x = (width() - w - depth_) / 2;
    else if (align_ & Qt::AlignRight)
        x = width() - w - depth_ - 1;
    const int y = (height() - fm.height() - depth_) / 2 + fm.ascent();

    QPainterPath path;
    path.addText(x, y, font(), text_);
    for (int k = depth_; k >= 1; --k)
        p.fillPath(path.translated(k, k), shadow_);
    if (gradientEnd_.isValid()) {
        QLinearGradient g(0, y - fm.ascent(), 0, y + fm.descent());
        g.setColorAt(0, gradientEnd_);
        g.setColorAt(0.5, colour_);
        g.setColorAt(1, gradientEnd_);
        p.fillPath(path, g);
    } else {
        p.fillPath(path, colour_);
    }
}
