#include "finders/TfrmCache.h"

#include "settings/IniFile.h"
#include "common/Dialogs.h"
#include "common/TModal.h"
#include "finders/CacheFolders.h"
#include "platform/Paths.h"
#include "safety/TfrmReallyDelete.h"
#include "scan/TExtensionList.h"
#include "scan/TFixedWindow.h"

#include <QShowEvent>
#include <QHBoxLayout>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>

namespace {
QPushButton *button(QWidget *parent, const char *name, const QString &caption, const QRect &at)
{
    auto *b = TFixedWindow::placed<QPushButton>(parent, name, at, caption);
    b->setAutoDefault(false);
    return b;
}
}

TfrmCache::TfrmCache(QWidget *parent) : QDialog(parent)
{
    const QSize designed(452, 392);
    TFixedWindow::begin(this, "TfrmCache", QStringLiteral("Internet Browser Cache Folders"), designed);

    lblTitle = TFixedWindow::heading(this, "lblTitle", QRect(8, 6, 436, 34),
                                     QStringLiteral("Internet Browser Cache Folders"), QColor(0, 0, 160),
                                     QColor(160, 160, 160));

    lblExplain = TFixedWindow::placed<QLabel>(
        this, "lblExplain", QRect(8, 44, 436, 64),
        QStringLiteral("As you use the internet, temporary files are saved in a disk cache which can grow quite "
                       "large.  To reclaim disk space you can decrease the amount of space that the cache uses "
                       "(see your internet browser documentation) or you can periodically clear it out."));
    lblExplain->setWordWrap(true);

    ListBox1 = TFixedWindow::placed<QListWidget>(this, "ListBox1", QRect(8, 114, 316, 176));
    ListBox1->setHorizontalScrollBarPolicy(Qt::ScrollBarAsNeeded);

    btAdd = button(this, "btAdd", QStringLiteral("&Add a folder"), QRect(332, 114, 112, 27));
    btDel = button(this, "btDel", QStringLiteral("&Delete a folder"), QRect(332, 146, 112, 27));
    btInit = button(this, "btInit", QStringLiteral("&Initialize"), QRect(332, 178, 112, 27));

    pnlDays = TFixedWindow::placed<QWidget>(this, "pnlDays", QRect(8, 298, 436, 32));
    auto *row = new QHBoxLayout(pnlDays);
    row->setContentsMargins(0, 0, 0, 0);
    lblDays1 = new QLabel(QStringLiteral("Clear all files that have not been accessed in "), pnlDays);
    lblDays1->setObjectName(QStringLiteral("lblDays1"));
    nDays = new QSpinBox(pnlDays);
    nDays->setObjectName(QStringLiteral("nDays"));
    // Up to about a century; 0 takes every file of the listed folders.
    nDays->setRange(0, CacheFolders::kMaxDays);
    nDays->setSingleStep(1);
    nDays->setGroupSeparatorShown(true);
    nDays->setMinimumWidth(80);
    lblDays2 = new QLabel(QStringLiteral("days"), pnlDays);
    lblDays2->setObjectName(QStringLiteral("lblDays2"));
    row->addWidget(lblDays1);
    row->addWidget(nDays);
    row->addWidget(lblDays2);
    row->addStretch(1);

    btClear = button(this, "btClear", QStringLiteral("&Clear internet cache"), QRect(120, 346, 150, 29));
    btClear->setDefault(true);
    btClose = button(this, "btClose", QStringLiteral("Close"), QRect(282, 346, 100, 29));
    btClose->setToolTip(QStringLiteral("Close window"));

    connect(btAdd, &QPushButton::clicked, this, &TfrmCache::btAddClick);
    connect(btDel, &QPushButton::clicked, this, &TfrmCache::btDelClick);
    connect(btInit, &QPushButton::clicked, this, &TfrmCache::btInitClick);
    connect(btClear, &QPushButton::clicked, this, &TfrmCache::btClearClick);
    connect(btClose, &QPushButton::clicked, this, &QDialog::reject);

    TFixedWindow::finish(this, designed);
}

QStringList TfrmCache::folders() const { return TExtensionList::lines(ListBox1); }

void TfrmCache::appendFolders(const QStringList &list)
{
    for (const QString &f : list) {
        auto *item = new QListWidgetItem(f, ListBox1);
        item->setToolTip(f); // long paths are cut off by the list's width
    }
}

void TfrmCache::showEvent(QShowEvent *event)
{
    // A restore from minimised is not a new opening: unsaved additions and
    // removals and the days field stay as the user left them.
    if (!event->spontaneous())
        ReadInFromDisk();
    QDialog::showEvent(event);
}

void TfrmCache::ReadInFromDisk()
{
    ListBox1->clear();
    appendFolders(CacheFolders::readFromDisk());
    nDays->setValue(0);
    btInit->setVisible(ListBox1->count() == 0);
}

void TfrmCache::WriteOutToDisk()
{
    writeOrReport([this] { CacheFolders::writeToDisk(folders()); });
}

void TfrmCache::done(int result)
{
    WriteOutToDisk();
    QDialog::done(result);
}

bool TfrmCache::addFolder(const std::string &folder)
{
    if (const std::optional<QString> why = CacheFolders::refusal(folder)) {
        dialogs().showError(*why);
        return false;
    }
    appendFolders({CacheFolders::toText(folder)});
    return true;
}

void TfrmCache::btAddClick()
{
    const std::optional<std::string> folder =
        dialogs().chooseFolder(QStringLiteral("Select an internet Cache folder"), Paths::cacheHome());
    if (folder && !folder->empty() && addFolder(*folder))
        btInit->hide();
}

void TfrmCache::btDelClick()
{
    QListWidgetItem *item = ListBox1->currentItem();
    if (!item || !item->isSelected()) {
        dialogs().showError(QStringLiteral("Select a folder from the list above"));
    } else if (dialogs().askOkCancel(QStringLiteral("Really delete ") + item->text())) {
        // Only the entry goes; the folder on disk stays as it is.
        delete ListBox1->takeItem(ListBox1->row(item));
    }
    if (ListBox1->count() == 0)
        btInit->show();
}

void TfrmCache::btInitClick()
{
    // The folders found are added after those listed, even when listed already.
    appendFolders(CacheFolders::found());
    btInit->hide();
    if (ListBox1->count() > 0)
        return;
    btInit->show();
    dialogs().showInfo(QStringLiteral(
        "Could not find any internet cache folders on your machine.  You may add them in manually if you know where "
        "they are located.  Typically they will exist under your browser folder with the folder name of \"cache\"."));
}

void TfrmCache::btClearClick()
{
    lb1_.clear();
    lb1Bytes_ = 0;
    CacheFolders::Collected found = CacheFolders::collect(folders(), nDays->value());
    lb1_ = std::move(found.paths);
    lb1Bytes_ = found.bytes;
    if (lb1_.empty()) {
        dialogs().showError(QStringLiteral("No files found to clear"));
        return;
    }
    {
        TfrmReallyDelete dlg(this);
        dlg.setFiles(lb1_);
        dlg.archiveTag = QStringLiteral("InternetCache");
        dlg.potentialSavings = double(lb1Bytes_);
        TModal::exec(&dlg);
    }
    lb1_.clear();
    lb1Bytes_ = 0;
}
