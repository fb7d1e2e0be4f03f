#include "scan/TDriveCheckList.h"

#include "scan/DriveEntries.h"
#include "scan/TDriveIcons.h"

#include <QAbstractButton>
#include <QEvent>
#include <QPainter>
#include <QStyle>
#include <QStyleOptionFrame>
#include <algorithm>
#include <cmath>

TDriveCheckList::TDriveCheckList(QWidget *parent, bool upperCase) : QListWidget(parent), upper_(upperCase)
{
    setObjectName(QStringLiteral("pckDrive"));
    setFixedSize(209, 132);
    setIconSize(QSize(16, 16));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemChanged, this, [this](QListWidgetItem *) { pckDriveClick(); });
    frameOver_ = new QWidget(this);
    frameOver_->setAttribute(Qt::WA_TransparentForMouseEvents);
    frameOver_->setGeometry(rect());
    frameOver_->installEventFilter(this);
    frameOver_->raise();
}

void TDriveCheckList::fillDriveList(bool withoutAB)
{
    const QSignalBlocker quiet(this);
    clear();
    QStringList texts;
    for (const DriveEntries::Entry &e : DriveEntries::all(upper_)) {
        if (withoutAB && DriveEntries::isFloppyLetter(e.text))
            continue;
        auto *item = new QListWidgetItem(TDriveIcons::icon(e.type), e.text, this);
        item->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
        item->setCheckState(Qt::Unchecked);
        item->setSizeHint(QSize(0, 16));
        texts << e.text;
    }
    for (int i : DriveEntries::defaultChecks(texts, DriveEntries::current(upper_)))
        item(i)->setCheckState(Qt::Checked);
    pckDriveClick();
}

void TDriveCheckList::setStartButton(QAbstractButton *button)
{
    start_ = button;
    pckDriveClick();
}

void TDriveCheckList::addStartButton(QAbstractButton *button)
{
    moreStarts_.emplace_back(button);
    pckDriveClick();
}

void TDriveCheckList::pckDriveClick()
{
    const bool any = checkedCount() > 0;
    if (start_)
        start_->setEnabled(any);
    for (const QPointer<QAbstractButton> &b : moreStarts_)
        if (b)
            b->setEnabled(any);
}

int TDriveCheckList::checkedCount() const
{
    int n = 0;
    for (int i = 0; i < count(); ++i)
        if (item(i)->checkState() == Qt::Checked)
            ++n;
    return n;
}

QStringList TDriveCheckList::checkedEntries() const
{
    QStringList out;
    for (int i = 0; i < count(); ++i)
        if (item(i)->checkState() == Qt::Checked)
            out << item(i)->text();
    return out;
}

void TDriveCheckList::keepAtRight(int margin)
{
    margin_ = margin;
    if (parentWidget()) {
        parentWidget()->installEventFilter(this);
        placeAtRight();
    }
}

bool TDriveCheckList::eventFilter(QObject *watched, QEvent *event)
{
    if (watched == frameOver_ && event->type() == QEvent::Paint) {
        // At a fractional scale the list's edges fall inside device pixels:
        // its contents, painted after the frame, are filled out to whole
        // pixels over the frame's sides, and a side drawn on a pixel the
        // list covers less than half of is clipped away. The frame is drawn
        // again on top, in device pixels: each side on the pixel the list's
        // own frame puts it on, or on the outermost pixel that is the
        // list's when that one is not.
        QPainter p(frameOver_);
        const QTransform toDevice = p.deviceTransform();
        const qreal scaleX = toDevice.m11(), scaleY = toDevice.m22();
        if (scaleX != std::floor(scaleX) || scaleY != std::floor(scaleY)) {
            const QRectF d = toDevice.mapRect(QRectF(frameOver_->rect()));
            const int right = std::min(int(std::floor(d.right() - scaleX)), qRound(d.right()) - 1);
            const int bottom = std::min(int(std::floor(d.bottom() - scaleY)), qRound(d.bottom()) - 1);
            QStyleOptionFrame opt;
            initStyleOption(&opt);
            opt.rect = QRect(QPoint(qRound(d.left()), qRound(d.top())), QPoint(right, bottom));
            p.setWorldTransform(toDevice.inverted() * p.worldTransform());
            style()->drawControl(QStyle::CE_ShapedFrame, &opt, &p, this);
        }
        return true;
    }
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        placeAtRight();
    return QListWidget::eventFilter(watched, event);
}

void TDriveCheckList::resizeEvent(QResizeEvent *event)
{
    QListWidget::resizeEvent(event);
    frameOver_->setGeometry(rect());
}

void TDriveCheckList::placeAtRight()
{
    if (margin_ >= 0 && parentWidget())
        move(parentWidget()->width() - width() - margin_, y());
}
