#include "scan/TDriveCheckList.h"

#include "scan/DriveEntries.h"
#include "scan/TDriveIcons.h"

#include <QAbstractButton>
#include <QEvent>

TDriveCheckList::TDriveCheckList(QWidget *parent, bool upperCase) : QListWidget(parent), upper_(upperCase)
{
    setObjectName(QStringLiteral("pckDrive"));
    setFixedSize(209, 132);
    setIconSize(QSize(16, 16));
    setUniformItemSizes(true);
    setSelectionMode(QAbstractItemView::SingleSelection);
    connect(this, &QListWidget::itemChanged, this, [this](QListWidgetItem *) { pckDriveClick(); });
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
    if (watched == parentWidget() && event->type() == QEvent::Resize)
        placeAtRight();
    return QListWidget::eventFilter(watched, event);
}

void TDriveCheckList::placeAtRight()
{
    if (margin_ >= 0 && parentWidget())
        move(parentWidget()->width() - width() - margin_, y());
}
