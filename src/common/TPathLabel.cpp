#include "common/TPathLabel.h"

TPathLabel::TPathLabel(QWidget *parent) : QLabel(parent) {}

void TPathLabel::setPath(const QString &path)
{
    path_ = path;
    setToolTip(path);
    elide();
}

void TPathLabel::resizeEvent(QResizeEvent *e)
{
    QLabel::resizeEvent(e);
    elide();
}

void TPathLabel::elide() { setText(fontMetrics().elidedText(path_, Qt::ElideMiddle, contentsRect().width())); }
