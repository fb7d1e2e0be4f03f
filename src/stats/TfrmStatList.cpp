#include "stats/TfrmStatList.h"

#include "settings/IniFile.h"
#include "common/Dialogs.h"
#include "common/TDialogFrame.h"
#include "common/TModal.h"
#include "common/Text.h"
#include "scan/TExtensionList.h"
#include "stats/StatTypeLists.h"

#include <QGuiApplication>
#include <QKeyEvent>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

TfrmStatList::TfrmStatList(const QString &section, QWidget *parent) : QDialog(parent), section_(section)
{
    setObjectName(QStringLiteral("TfrmStatList"));
    setWindowTitle(QStringLiteral("File types"));
    setWindowFlags(TDialogFrame::flags);
    setFixedSize(371, 330);

    auto *title = new QLabel(QStringLiteral("File Types"), this);
    title->setObjectName(QStringLiteral("lblTitle"));
    QFont f = title->font();
    f.setBold(true);
    title->setFont(f);
    title->setGeometry(8, 6, 260, 20);

    PickList1 = new QListWidget(this);
    PickList1->setObjectName(QStringLiteral("PickList1"));
    PickList1->setToolTip(QStringLiteral("List of temporary file extensions and types"));
    PickList1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    PickList1->setGeometry(8, 28, 260, 230);

    lblCount = new QLabel(this);
    lblCount->setObjectName(QStringLiteral("lblCount"));
    lblCount->setGeometry(8, 262, 260, 18);

    auto *hint = new QLabel(QStringLiteral("Hint: Drag mouse or use ctrl-click to select multiple file types."), this);
    hint->setObjectName(QStringLiteral("lblHint"));
    hint->setWordWrap(true);
    hint->setGeometry(8, 284, 355, 38);

    auto button = [this](const char *name, const QString &caption, const QString &tip, int y) {
        auto *b = new QPushButton(caption, this);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(tip);
        b->setGeometry(276, y, 87, 27);
        b->setAutoDefault(false);
        return b;
    };
    btAdd = button("btAdd", QStringLiteral("&Add"), QStringLiteral("Add a file extension to this list"), 28);
    btDelete = button("btDelete", QStringLiteral("&Delete"), QStringLiteral("Delete a file extension"), 60);
    btClear = button("btClear", QStringLiteral("&Clear all"), QStringLiteral("Clear all extensions"), 92);
    btClose = button("btClose", QStringLiteral("Close"), QStringLiteral("Close window"), 231);

    connect(btAdd, &QPushButton::clicked, this, &TfrmStatList::btAddClick);
    connect(btDelete, &QPushButton::clicked, this, &TfrmStatList::btDeleteClick);
    connect(btClear, &QPushButton::clicked, this, &TfrmStatList::btClearClick);
    connect(btClose, &QPushButton::clicked, this, &TfrmStatList::btCloseClick);

    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

QStringList TfrmStatList::lines() const
{
    QStringList out;
    for (int i = 0; i < PickList1->count(); ++i)
        out << PickList1->item(i)->text();
    return out;
}

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
    try {
        StatTypeLists::write(lines(), section_);
    } catch (const IniWriteError &e) {
        // The edits would be lost without a word otherwise.
        dialogs().showError(QString::fromLocal8Bit(e.what()));
    }
    accept();
}
