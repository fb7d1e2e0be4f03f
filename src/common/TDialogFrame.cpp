#include "common/TDialogFrame.h"

#include <QLayout>
#include <QWidget>

bool TDialogFrame::wanted(const QWidget *w)
{
    const Qt::WindowFlags f = w->windowFlags();
    return w->isWindow() && (f & Qt::WindowType_Mask) == Qt::Dialog && f.testFlag(Qt::MSWindowsFixedSizeDialogHint)
        && !(f & (Qt::WindowMinimizeButtonHint | Qt::WindowMaximizeButtonHint));
}

void TDialogFrame::hold(QWidget *w)
{
    if (!wanted(w) || w->minimumSize() == w->maximumSize())
        return;
    // A window never sized takes the size its layout asks for, as at its first show.
    if (!w->testAttribute(Qt::WA_Resized))
        w->adjustSize();
    QSize size = w->size();
    if (const QLayout *l = w->layout())
        size = size.expandedTo(l->totalMinimumSize());
    w->setFixedSize(size);
}
