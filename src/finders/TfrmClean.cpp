#include "finders/TfrmClean.h"

#include "common/Dialogs.h"
#include "common/DosTime.h"
#include "common/TModal.h"
#include "common/Text.h"
#include "finders/TempPatterns.h"
#include "finders/TfrmTempFiles.h"
#include "platform/DirReader.h"
#include "platform/FileTypes.h"
#include "scan/FileLine.h"
#include "scan/TDriveCheckList.h"
#include "scan/TResultGrid.h"

#include "safety/TfrmReallyDelete.h"

#include <QCheckBox>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>

GridLayout TfrmClean::gridLayout()
{
    GridLayout l = FileLine::gridLayout(QStringLiteral("TempClean"), QStringLiteral("&Access date"));
    l.hint = QStringLiteral("Double click to mark for deletion");
    l.openCaption = QStringLiteral("Run");
    l.unmarkAllCaption = QStringLiteral("Unmark All");
    return l;
}

namespace {
FinderFrameSpec frameSpec()
{
    FinderFrameSpec s;
    s.objectName = QStringLiteral("TfrmClean");
    s.caption = QStringLiteral("Find and delete temporary files");
    s.startHint = QStringLiteral("Start scanning for temporary files");
    s.foundSuffix = QStringLiteral(" tempfiles found");
    s.archiveTag = QStringLiteral("TempClean");
    s.initialSize = {640, 406};
    s.grid = TfrmClean::gridLayout();
    return s;
}
}

TfrmClean::TfrmClean(QWidget *parent) : TFinderFrame(frameSpec(), parent)
{
    Label1 = new QLabel(QStringLiteral("Temporary file types to search and clean."), pnlTop);
    Label1->setObjectName(QStringLiteral("Label1"));
    Label1->setGeometry(8, 4, 260, 18);

    PickList1 = new QListWidget(pnlTop);
    PickList1->setObjectName(QStringLiteral("PickList1"));
    PickList1->setToolTip(QStringLiteral("File extensions/types of temporary files"));
    PickList1->setSelectionMode(QAbstractItemView::MultiSelection);
    PickList1->setGeometry(8, 22, 250, 112);
    PickList1->setContextMenuPolicy(Qt::CustomContextMenu);
    PickMenu = new QMenu(PickList1);
    PickMenu->setObjectName(QStringLiteral("PopupMenu2"));
    QAction *all = PickMenu->addAction(QStringLiteral("Select All"), this, &TfrmClean::SelectAll2Click);
    all->setObjectName(QStringLiteral("SelectAll2"));
    QAction *none = PickMenu->addAction(QStringLiteral("Deselect All"), this, &TfrmClean::DeselectAll2Click);
    none->setObjectName(QStringLiteral("DeselectAll2"));
    connect(PickList1, &QWidget::customContextMenuRequested, this,
            [this](const QPoint &p) { PickMenu->popup(PickList1->viewport()->mapToGlobal(p)); });
    connect(PickList1, &QListWidget::itemSelectionChanged, this, [this]() {
        QStringList rows;
        for (int i = 0; i < PickList1->count(); ++i)
            if (PickList1->item(i)->isSelected())
                rows << PickList1->item(i)->text();
        matcher_ = TempMatcher(rows);
    });

    btEdit = newButton(pnlTop, "btEdit", QStringLiteral("Add/Delete"), QStringLiteral("Add, delete temporary file extensions"));
    btEdit->setGeometry(266, 22, 90, 25);
    connect(btEdit, &QPushButton::clicked, this, &TfrmClean::btEditClick);

    // The kinds that take no space, searched in the same walk.
    const auto kindBox = [this](const char *name, const QString &text, const QString &hint, int top) {
        auto *b = new QCheckBox(text, pnlTop);
        b->setObjectName(QLatin1String(name));
        b->setToolTip(hint);
        b->setGeometry(266, top, 110, 18);
        addWalkInput(b);
        return b;
    };
    cbEmptyFolders = kindBox("cbEmptyFolders", QStringLiteral("Empty folders"),
                             QStringLiteral("Folders holding nothing, or only empty folders"), 58);
    cbEmptyFiles = kindBox("cbEmptyFiles", QStringLiteral("Empty files"), QStringLiteral("Files of no bytes"), 78);
    cbBrokenLinks = kindBox("cbBrokenLinks", QStringLiteral("Broken links"),
                            QStringLiteral("Symbolic links whose target does not exist"), 98);

    // Only Abort acts during a walk: the patterns cannot change under it.
    addWalkInput(PickList1);
    addWalkInput(btEdit);
    connect(grid, &TResultGrid::cleanEnabled, this, [this](bool) { updateClean(); });

    grid->printTitle = [this]() { return printTitle(); };

    // The walk: every folder of each checked drive; hidden files are
    // returned as well, each temporary one listed at once.
    Walker &w = walker();
    w.mask = WildPattern(QStringLiteral("*.*"));
    w.returned = FileAttr::Hidden;
    w.keeping = Walker::Keeping::Append;
    w.visitor = [this](const FoundFile &f) {
        if (lint_.choice().any()) {
            const Removal::LintKind kind = lint_.entry(f, walker().depth());
            if (kind != Removal::LintKind::None) {
                addLintRow(f, kind);
                return true;
            }
            if (f.attributes & (FileAttr::Folder | FileAttr::System))
                return true; // returned for the kinds only
        }
        if (!isThisFileTemporary(f.name))
            return true;
        ResultGridModel *m = grid->gridModel();
        m->addFile(f, m->typeId(fileTypeName(TempPatterns::extensionOf(displayName(f.name)))));
        return true;
    };
}

void TfrmClean::openingSteps()
{
    ReadInFromDisk();
    selectAllExtensions();
}

void TfrmClean::ReadInFromDisk()
{
    PickList1->clear();
    PickList1->addItems(TempPatterns::readFromDisk(TempPatterns::cleanFallback()));
}

void TfrmClean::selectAllExtensions() { PickList1->selectAll(); }

void TfrmClean::SelectAll2Click() { PickList1->selectAll(); }

void TfrmClean::DeselectAll2Click() { PickList1->clearSelection(); }

bool TfrmClean::isThisFileTemporary(const std::string &name) const
{
    return matcher_.isTemporary(std::string_view(name));
}

LintFinder::Choice TfrmClean::lintChoice() const
{
    LintFinder::Choice c;
    c.emptyFolders = cbEmptyFolders->isChecked();
    c.emptyFiles = cbEmptyFiles->isChecked();
    c.brokenLinks = cbBrokenLinks->isChecked();
    return c;
}

bool TfrmClean::beforeWalk()
{
    const LintFinder::Choice choice = lintChoice();
    if (PickList1->selectedItems().isEmpty() && !choice.any()) {
        dialogs().showError(QStringLiteral("Select at least one file extension"));
        return false;
    }
    lint_ = LintFinder(choice);
    lintFound_.clear();
    // Links and special entries come back for broken links; folders, and
    // every other entry, for judging folders empty.
    Walker &w = walker();
    w.returned = FileAttr::Hidden;
    if (choice.brokenLinks || choice.emptyFolders)
        w.returned |= FileAttr::System;
    if (choice.emptyFolders) {
        w.returned |= FileAttr::Folder;
        w.folderDone = [this](const FoundFile &folder) {
            FoundFile row;
            if (lint_.folderDone(folder, walker().depth(), row))
                addLintRow(row, Removal::LintKind::EmptyFolder);
        };
    } else
        w.folderDone = nullptr;
    w.driveStarted = [this](const std::string &root) { lint_.beginRoot(root); };
    return true;
}

void TfrmClean::addLintRow(const FoundFile &f, Removal::LintKind kind)
{
    ResultGridModel *m = grid->gridModel();
    m->addFile(f, m->typeId(LintFinder::typeText(kind)));
    lintFound_[f.path] = Removal::LintFound{kind, f.device, f.inode};
}

void TfrmClean::updateClean()
{
    bool any = grid->markedCount() > 0;
    if (!any && !lintFound_.empty())
        for (const std::string &p : grid->gridModel()->lbDeleted())
            if (lintFound_.count(p)) {
                any = true;
                break;
            }
    btDelete->setEnabled(any);
}

void TfrmClean::btDeleteClick()
{
    const std::vector<std::string> &marked = grid->gridModel()->lbDeleted();
    Deletion::LintMap lint;
    for (const std::string &p : marked)
        if (const auto it = lintFound_.find(p); it != lintFound_.end())
            lint.insert(*it);
    if (grid->markedCount() <= 0 && lint.empty())
        return;
    TfrmReallyDelete dlg(this);
    dlg.setFiles(marked);
    dlg.archiveTag = QStringLiteral("TempClean");
    dlg.potentialSavings = double(grid->markedSize());
    dlg.lint = std::move(lint);
    if (TModal::exec(&dlg) != QDialog::Rejected)
        accept();
}

void TfrmClean::sortGrid()
{
    // The size sort uses the direction of its last use in this run of the
    // program and then reverses it.
    grid->Sortbysize1Click(0);
}

void TfrmClean::btEditClick()
{
    {
        TfrmTempFiles editor(this);
        TModal::exec(&editor);
    }
    ReadInFromDisk();
    PickList1->clearSelection();
}

QString TfrmClean::printTitle() const
{
    return checkedDrivesTitle(QStringLiteral("Temporary files on drive(s) "));
}
