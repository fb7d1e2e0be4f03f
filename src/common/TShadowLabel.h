#pragma once
#include <QColor>
#include <QWidget>

// A line of large display text with an extruded shadow: the text is drawn
// depth times in the shadow colour, each copy one pixel further down and to
// the right, then once on top in its colour (or in a vertical gradient from
// colour to gradientEnd when that is set).
class TShadowLabel : public QWidget {
    Q_OBJECT
public:
    TShadowLabel(const QString &text, const QString &family, int pixelHeight, QWidget *parent = nullptr);

    QString text() const { return text_; }
    void setText(const QString &t);
    void setColours(const QColor &colour, const QColor &shadow, const QColor &gradientEnd = {});
    void setDepth(int d);
    void setAlignment(Qt::Alignment a);

    QSize sizeHint() const override;

protected:
    void paintEvent(QPaintEvent *) override;

private:
    QString text_;
    QColor colour_ = Qt::gray;
    QColor shadow_ = Qt::black;
    QColor gradientEnd_;
    int depth_ = 2;
    Qt::Alignment align_ = Qt::AlignCenter;
};
