#include "finders/TfrmTempFiles.h"

#include "settings/IniFile.h"
#include "common/Dialogs.h"
#include "common/TDialogFrame.h"
#include "common/TModal.h"
#include "finders/TempPatterns.h"
#include "scan/TExtensionList.h"
#include "scan/TFontScale.h"

#include <QGuiApplication>
#include <QLabel>
#include <QShowEvent>
#include <QListWidget>
#include <QPushButton>
#include <QScreen>

namespace {
QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QString &hint, int y)
{
    auto *b = new QPushButton(caption, parent);
    b->setObjectName(QLatin1String(name));
    b->setToolTip(hint);
    b->setGeometry(276, y, 87, 27);
    return b;
}

QLabel *note(QWidget *parent, const char *name, const QString &text, int y, int height)
{
    auto *l = new QLabel(text, parent);
    l->setObjectName(QLatin1String(name));
    l->setWordWrap(true);
    l->setGeometry(8, y, 355, height);
    return l;
}
}

TfrmTempFiles::TfrmTempFiles(QWidget *parent) : QDialog(parent)
{
    setObjectName(QStringLiteral("TfrmTempFiles"));
    setWindowTitle(QStringLiteral("Temporary file extensions"));
    setWindowFlags(TDialogFrame::flags);

    lblTitle = new QLabel(QStringLiteral("Temporary File Extensions"), this);
    lblTitle->setObjectName(QStringLiteral("lblTitle"));
    QFont f = lblTitle->font();
    f.setBold(true);
    lblTitle->setFont(f);
    lblTitle->setGeometry(8, 6, 260, 20);

    PickList1 = new QListWidget(this);
    PickList1->setObjectName(QStringLiteral("PickList1"));
    PickList1->setToolTip(QStringLiteral("List of temporary file extensions and types"));
    PickList1->setSelectionMode(QAbstractItemView::ExtendedSelection);
    PickList1->setGeometry(8, 28, 260, 250);

    btAdd = button(this, "btAdd", QStringLiteral("&Add"), QStringLiteral("Add a file extension to this list"), 28);
    btDelete = button(this, "btDelete", QStringLiteral("&Delete"), QStringLiteral("Delete a file extension"), 60);
    btClear = button(this, "btClear", QStringLiteral("&Clear all"), QStringLiteral("Clear all extensions"), 92);
    btDefaults = button(this, "btDefaults", QStringLiteral("D&efaults"),
                        QStringLiteral("Inserts some default temporary file extensions"), 124);
    btClose = button(this, "btClose", QStringLiteral("Close"), QStringLiteral("Close window"), 251);

    lblNote1 = note(this, "lblNote1",
                    QStringLiteral("Some common temporary file extensions are .TMP, .TEMP, .$$$, .OLD and .BAK.  "
                                   "It is your responsibility to ensure that you have selected the proper "
                                   "extensions for file deletion."),
                    286, 52);
    lblNote2 = note(this, "lblNote2",
                    QStringLiteral(".FTS files may deleted if you're really short of space.  They are Windows help "
                                   "file searching add-ons.  They can be re-generated as needed."),
                    340, 48);

    connect(btAdd, &QPushButton::clicked, this, &TfrmTempFiles::btAddClick);
    connect(btDelete, &QPushButton::clicked, this, &TfrmTempFiles::btDeleteClick);
    connect(btClear, &QPushButton::clicked, this, &TfrmTempFiles::btClearClick);
    connect(btDefaults, &QPushButton::clicked, this, &TfrmTempFiles::btDefaultsClick);
    connect(btClose, &QPushButton::clicked, this, &TfrmTempFiles::btCloseClick);

    // Drawn in fixed pixels for a narrower font: scaled to the one in use.
    TFontScale::scaleFixedWindow(this, QSize(371, 394));

    if (QScreen *s = QGuiApplication::primaryScreen())
        move(s->availableGeometry().center() - rect().center());
}

QStringList TfrmTempFiles::rows() const
{
    QStringList out;
    for (int i = 0; i < PickList1->count(); ++i)
        out << PickList1->item(i)->text();
    return out;
}

void TfrmTempFiles::showEvent(QShowEvent *event)
{
    // A restore from minimised is not a new opening: unsaved edits stay.
    if (!event->spontaneous())
        ReadInFromDisk();
    QDialog::showEvent(event);
}

void TfrmTempFiles::ReadInFromDisk()
{
    PickList1->clear();
    PickList1->addItems(TempPatterns::readFromDisk(TempPatterns::editorFallback()));
}

void TfrmTempFiles::WriteOutToDisk()
{
    try {
        TempPatterns::writeToDisk(rows());
    } catch (const IniWriteError &e) {
        // The edits would be lost without a word otherwise.
        dialogs().showError(QString::fromLocal8Bit(e.what()));
    }
}

void TfrmTempFiles::done(int result)
{
    WriteOutToDisk();
    QDialog::done(result);
}

void TfrmTempFiles::addRow(const QString &row)
{
    QStringList list = rows();
    const int at = TempPatterns::addUnique(list, row);
    if (at >= 0)
        PickList1->insertItem(at, row);
}

void TfrmTempFiles::btAddClick()
{
    TExtensionList::addFromPicker(this, [this](const QString &line) { addRow(line); });
}

void TfrmTempFiles::btDeleteClick()
{
    TExtensionList::deleteSelected(PickList1);
}

void TfrmTempFiles::btClearClick()
{
    TExtensionList::clearAll(PickList1);
}

void TfrmTempFiles::btDefaultsClick()
{
    for (const QString &pattern : TempPatterns::defaults())
        addRow(TempPatterns::rowFor(pattern));
}

void TfrmTempFiles::btCloseClick()
{
    accept();
}
