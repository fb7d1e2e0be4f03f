#include "finders/TfrmTempFiles.h"

#include "settings/IniFile.h"
#include "common/Dialogs.h"
#include "finders/TempPatterns.h"
#include "scan/TExtensionList.h"
#include "scan/TFixedWindow.h"

#include <QLabel>
#include <QShowEvent>
#include <QListWidget>
#include <QPushButton>

namespace {
QLabel *note(QWidget *parent, const char *name, const QString &text, int y, int height)
{
    auto *l = TFixedWindow::placed<QLabel>(parent, name, QRect(8, y, 355, height), text);
    l->setWordWrap(true);
    return l;
}
}

TfrmTempFiles::TfrmTempFiles(QWidget *parent) : QDialog(parent)
{
    const QSize designed(371, 394);
    TFixedWindow::begin(this, "TfrmTempFiles", QStringLiteral("Temporary file extensions"), designed);

    const TExtensionList::Editor editor = TExtensionList::placeEditor(
        this, QStringLiteral("Temporary File Extensions"), 250, true,
        {{"btDefaults", QStringLiteral("D&efaults"), QStringLiteral("Inserts some default temporary file extensions"),
          124}});
    lblTitle = editor.title;
    PickList1 = editor.list;
    btAdd = editor.add;
    btDelete = editor.del;
    btClear = editor.clear;
    btDefaults = editor.more.front();
    btClose = editor.close;

    lblNote1 = note(this, "lblNote1",
                    QStringLiteral("Some common temporary file extensions are .TMP, .TEMP, .$$$, .OLD and .BAK.  "
                                   "It is your responsibility to ensure that you have selected the proper "
                                   "extensions for file deletion."),
                    286, 52);
    lblNote2 = note(this, "lblNote2",
                    QStringLiteral(".FTS files should not be deleted even if you're really short of space.  They are "
                                   "FITS image files from astronomy and science.  They cannot be re-generated."),
                    340, 48);

    connect(btAdd, &QPushButton::clicked, this, &TfrmTempFiles::btAddClick);
    connect(btDelete, &QPushButton::clicked, this, &TfrmTempFiles::btDeleteClick);
    connect(btClear, &QPushButton::clicked, this, &TfrmTempFiles::btClearClick);
    connect(btDefaults, &QPushButton::clicked, this, &TfrmTempFiles::btDefaultsClick);
    connect(btClose, &QPushButton::clicked, this, &TfrmTempFiles::btCloseClick);

    TFixedWindow::finish(this, designed);
}

QStringList TfrmTempFiles::rows() const { return TExtensionList::lines(PickList1); }

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
    writeOrReport([this] { TempPatterns::writeToDisk(rows()); });
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
