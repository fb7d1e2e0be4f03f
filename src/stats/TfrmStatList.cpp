#include "stats/TfrmStatList.h"

#include "settings/IniFile.h"
#include "common/Dialogs.h"
#include "common/Text.h"
#include "scan/TExtensionList.h"
#include "scan/TFixedWindow.h"
#include "stats/StatTypeLists.h"

#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>

TfrmStatList::TfrmStatList(const QString &section, QWidget *parent) : QDialog(parent), section_(section)
{
    TFixedWindow::begin(this, "TfrmStatList", QStringLiteral("File types"), QSize(371, 330));

    const TExtensionList::Editor editor = TExtensionList::placeEditor(this, QStringLiteral("File Types"), 230, false);
    PickList1 = editor.list;
    btAdd = editor.add;
    btDelete = editor.del;
    btClear = editor.clear;
    btClose = editor.close;

    lblCount = TFixedWindow::placed<QLabel>(this, "lblCount", QRect(8, 262, 260, 18));
    auto *hint = TFixedWindow::placed<QLabel>(
        this, "lblHint", QRect(8, 284, 355, 38),
        QStringLiteral("Hint: Drag mouse or use ctrl-click to select multiple file types."));
    hint->setWordWrap(true);

    connect(btAdd, &QPushButton::clicked, this, &TfrmStatList::btAddClick);
    connect(btDelete, &QPushButton::clicked, this, &TfrmStatList::btDeleteClick);
    connect(btClear, &QPushButton::clicked, this, &TfrmStatList::btClearClick);
    connect(btClose, &QPushButton::clicked, this, &TfrmStatList::btCloseClick);

    TFixedWindow::centre(this);
}

QStringList TfrmStatList::lines() const { return TExtensionList::lines(PickList1); }

void TfrmStatList::showEvent(QShowEvent *event)
{
    PickList1->clear();
    QStringList read = StatTypeLists::read(section_);
    read.sort(Qt::CaseInsensitive);
    PickList1->addItems(read);
    updateCount();
    QDialog::showEvent(event);
}

void TfrmStatList::keyPressEvent(QKeyEvent *event)
{
    // Close is the cancel button: Esc presses it (and so stores the list);
    // only the close box leaves without storing.
    if (event->key() == Qt::Key_Escape && event->modifiers() == Qt::NoModifier) {
        btClose->click();
        return;
    }
    QDialog::keyPressEvent(event);
}

void TfrmStatList::updateCount()
{
    lblCount->setText(formatThousands(PickList1->count()) + QStringLiteral(" available"));
}

void TfrmStatList::addLine(const QString &line)
{
    if (lines().contains(line))
        return;
    int at = 0;
    while (at < PickList1->count() && QString::compare(PickList1->item(at)->text(), line, Qt::CaseInsensitive) <= 0)
        ++at;
    PickList1->insertItem(at, line);
}

void TfrmStatList::btAddClick()
{
    TExtensionList::addFromPicker(this, [this](const QString &line) { addLine(line); });
    updateCount();
}

void TfrmStatList::btDeleteClick()
{
    TExtensionList::deleteSelected(PickList1);
    updateCount();
}

void TfrmStatList::btClearClick()
{
    TExtensionList::clearAll(PickList1);
    updateCount();
}

void TfrmStatList::btCloseClick()
{
    writeOrReport([this] { StatTypeLists::write(lines(), section_); });
    accept();
}
