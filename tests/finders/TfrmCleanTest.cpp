#include "settings/AppState.h"
#include "settings/IniFile.h"
#include "settings/TWinPlace.h"
#include "app/TfrmMain.h"
#include "safety/FoldersFile.h"
#include "safety/NonDeleteList.h"
#include "common/TModal.h"
#include "finders/TfrmClean.h"
#include "finders/TfrmTempFiles.h"
#include "platform/Drives.h"
#include "common/Navigation.h"
#include "safety/TfrmReallyDelete.h"
#include "scan/SortDirections.h"
#include "scan/TDriveCheckList.h"
#include "scan/TResultGrid.h"
#include "PatternTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <set>
#include <unistd.h>

namespace {
// A fresh run of the program on a temporary tree mapped as drive C.
class CleanTest : public testing::Test {
protected:
    // The finders reach the deletion window through the navigation service.
    Navigation::Registration deletion{Navigation::Target::DeleteFiles, &TfrmReallyDelete::navigate};
    CleanTest() : tree("drive")
    {
        Drives::setMapping({{'C', tree.root()}});
        SortDirections::resetForTests();
    }
    ~CleanTest() override
    {
        Drives::setMapping({});
        TModal::clear();
    }

    // Shows a window (so its show handler runs) and starts a scan.
    static void showAndScan(TfrmClean &w)
    {
        if (!w.isVisible())
            w.show();
        w.btScan->click();
    }

    static std::set<std::string> listedNames(TfrmClean &w)
    {
        std::set<std::string> out;
        for (int r = 1; r <= w.foundCount(); ++r) {
            const std::string p = w.grid->gridModel()->path(r);
            out.insert(p.substr(p.rfind('/') + 1));
        }
        return out;
    }

    static QString cell(TfrmClean &w, int row, int column) { return w.grid->gridModel()->cell(row, column); }

    static int selectedPatterns(TfrmClean &w) { return int(w.PickList1->selectedItems().size()); }

    ScriptedDialogs dlg;
    FixedFileTypes types;
    TempTree tree;
};
}

TEST_F(CleanTest, BuiltInPatternsFindTemporaryNamesIncludingHiddenFiles)
{
    tree.file("REPORT.TMP", "r");
    tree.file("docs/old.Bak", "bb");
    tree.file("docs/~WRL0003.TMP", "w");
    tree.file("docs/page.htm~", "p");
    tree.file("docs/x.~tmp", "x");
    tree.file("docs/notes.txt", "n");
    tree.file("a/b/c/.tmp", "hidden file");
    tree.file("a/b/c/deep.old", "c");
    tree.file("a/b/c/m31.fts", "a FITS image: data, not a temporary file");
    tree.file("a/b/c/run.chk", "a computation's checkpoint");
    tree.file(".cache/in.tmp", "inside a hidden folder");
    ASSERT_EQ(symlink("REPORT.TMP", tree.path("link.tmp").c_str()), 0); // system: not returned

    TfrmClean w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "Find and delete temporary files");
    EXPECT_EQ(w.PickList1->count(), 10);
    EXPECT_EQ(selectedPatterns(w), 10);
    for (QPushButton *b : {w.btOptions, w.btBrowse, w.btDetails, w.btAbort, w.btMark, w.btDelete})
        EXPECT_FALSE(b->isVisible()) << b->objectName().toStdString();

    showAndScan(w);
    EXPECT_EQ(listedNames(w),
              (std::set<std::string>{"REPORT.TMP", "old.Bak", "~WRL0003.TMP", ".tmp", "deep.old"}));
    EXPECT_EQ(w.pnlSel->text(), "5 tempfiles found");
    EXPECT_TRUE(dlg.boxes.empty());
    for (QPushButton *b : {w.btOptions, w.btBrowse, w.btDetails, w.btMark, w.btDelete})
        EXPECT_TRUE(b->isVisible()) << b->objectName().toStdString();
    EXPECT_FALSE(w.btAbort->isVisible());
    EXPECT_FALSE(w.btDelete->isEnabled()); // nothing marked yet
    EXPECT_FALSE(w.btBrowse->isEnabled()); // no folder browser in this program yet

    // The row's cells: size, dates, the path as found, its type.
    int row = 0;
    for (int r = 1; r <= w.foundCount(); ++r)
        if (cell(w, r, 4).endsWith("/docs/old.Bak"))
            row = r;
    ASSERT_GT(row, 0);
    EXPECT_EQ(cell(w, row, 0), "2");
    EXPECT_EQ(cell(w, row, 4), QString::fromStdString(tree.path("docs/old.Bak")));
    EXPECT_EQ(cell(w, row, 5), "Backup file");
    EXPECT_FALSE(cell(w, row, 1).isEmpty());
    EXPECT_FALSE(cell(w, row, 2).isEmpty());
}

TEST_F(CleanTest, SavedEmptyListAsksForAPattern)
{
    tree.file("a.tmp");
    IniFile().writeInt("TempFiles", "Number", 0);
    TfrmClean w;
    showAndScan(w);
    EXPECT_EQ(w.PickList1->count(), 0);
    ASSERT_EQ(dlg.boxes.size(), 1u);
    EXPECT_EQ(dlg.boxes[0].text, "Select at least one file extension");
    EXPECT_EQ(dlg.boxes[0].kind, Dialogs::Kind::Error);
    EXPECT_EQ(w.foundCount(), 0);
    EXPECT_TRUE(w.btScan->isEnabled());
}

TEST_F(CleanTest, SizeOrderReversesWithEachScanOfTheRun)
{
    tree.sized("m.tmp", 20);
    tree.sized("big.tmp", 300);
    tree.sized("small.tmp", 10);
    {
        TfrmClean w;
        showAndScan(w);
        ASSERT_EQ(w.foundCount(), 3);
        EXPECT_EQ(cell(w, 1, 0), "300");
        EXPECT_EQ(cell(w, 3, 0), "10");
    }
    // A new window in the same run keeps the direction.
    TfrmClean w;
    showAndScan(w);
    EXPECT_EQ(cell(w, 1, 0), "10");
    EXPECT_EQ(cell(w, 3, 0), "300");
    showAndScan(w);
    EXPECT_EQ(cell(w, 1, 0), "300");
}

TEST_F(CleanTest, GridRowsFollowTheFoundCount)
{
    TfrmClean w;
    showAndScan(w);
    EXPECT_EQ(dlg.count("No files found."), 1);
    EXPECT_EQ(w.grid->gridModel()->gridRowCount(), 2);
    EXPECT_FALSE(w.btMark->isVisible());
    EXPECT_FALSE(w.btOptions->isVisible());

    tree.file("one.tmp");
    showAndScan(w);
    EXPECT_EQ(w.grid->gridModel()->gridRowCount(), 2);
    for (int i = 0; i < 50; ++i)
        tree.file("many/f" + std::to_string(i) + ".old");
    showAndScan(w);
    EXPECT_EQ(w.foundCount(), 51);
    EXPECT_EQ(w.grid->gridModel()->gridRowCount(), 52);
    EXPECT_EQ(w.pnlSel->text(), "51 tempfiles found");
}

TEST_F(CleanTest, MarksTogglesTotalsAndANewScanClearsThem)
{
    tree.sized("a.tmp", 1000);
    tree.sized("b.tmp", 234);
    TfrmClean w;
    showAndScan(w);
    w.grid->setSelectedRow(1);
    w.btMark->click();
    EXPECT_TRUE(w.btDelete->isEnabled());
    EXPECT_EQ(w.grid->markedCount(), 1);
    w.grid->setSelectedRow(1);
    w.btMark->click();
    EXPECT_EQ(w.grid->markedCount(), 0);
    EXPECT_EQ(w.grid->markedSize(), 0);
    EXPECT_TRUE(w.grid->lbDeleted().empty());
    EXPECT_FALSE(w.btDelete->isEnabled());

    w.grid->action("Markall1")->trigger();
    EXPECT_EQ(w.pnlSel->text(), "2 files 1,234 bytes");
    EXPECT_TRUE(w.btDelete->isEnabled());
    w.grid->action("Unmarkall1")->trigger();
    EXPECT_EQ(w.grid->action("Unmarkall1")->text(), "Unmark All");
    EXPECT_EQ(w.pnlSel->text(), "0 files 0 bytes");
    EXPECT_FALSE(w.btDelete->isEnabled());

    w.grid->action("Markall1")->trigger();
    showAndScan(w);
    EXPECT_EQ(w.grid->markedCount(), 0);
    EXPECT_TRUE(w.grid->lbDeleted().empty());
    EXPECT_FALSE(w.btDelete->isEnabled());
}

TEST_F(CleanTest, UnmarkingRemovesThatFileNotOneSpelledAlike)
{
    // Two files whose paths differ only in case are two files here:
    // unmarking one must leave the other on the list to remove.
    tree.file("d/X.TMP", "upper");
    tree.file("d/x.tmp", "lower");
    TfrmClean w;
    showAndScan(w);
    ASSERT_EQ(w.foundCount(), 2);
    w.grid->action("Markall1")->trigger();
    const int lower = w.grid->gridModel()->path(1) == tree.path("d/x.tmp") ? 1 : 2;
    w.grid->deleteOneFile(lower);
    ASSERT_EQ(w.grid->lbDeleted().size(), 1u);
    EXPECT_EQ(w.grid->lbDeleted()[0], tree.path("d/X.TMP"));
}

TEST_F(CleanTest, CancelledCleanKeepsTheWindowAndAFinishedOneClosesIt)
{
    const std::string a = tree.file("a.tmp", "aaa");
    const std::string b = tree.file("sub/b.bak", "bb");
    TfrmClean w;
    bool cancelled = false, cleaned = false;
    TModal::push([&](QDialog *d) {
        // Opened by the test: scan, mark everything, clean, cancel, clean again.
        auto *c = static_cast<TfrmClean *>(d);
        showAndScan(*c);
        c->grid->action("Markall1")->trigger();
        TModal::push([&](QDialog *rd) {
            auto *del = static_cast<TfrmReallyDelete *>(rd);
            EXPECT_EQ(del->archiveTag, "TempClean");
            EXPECT_EQ(del->potentialSavings, 5.0);
            EXPECT_EQ(del->deletionPanel().size(), 2u);
            del->btCloseClick();
        });
        c->btDelete->click();
        cancelled = c->isVisible() && c->grid->markedCount() == 2 && c->foundCount() == 2;
        TModal::push([&](QDialog *rd) {
            dlg.answer(Dialogs::Answer::Yes);
            static_cast<TfrmReallyDelete *>(rd)->btRecycle->click();
        });
        c->btDelete->click();
        cleaned = !c->isVisible();
        if (c->isVisible())
            c->reject();
    });
    EXPECT_EQ(TModal::exec(&w), QDialog::Accepted);
    EXPECT_TRUE(cancelled);
    EXPECT_TRUE(cleaned);
    EXPECT_FALSE(TempTree::exists(a));
    EXPECT_FALSE(TempTree::exists(b));
    EXPECT_TRUE(TempTree::exists(TestEnv::home() + "/.local/share/Trash/files/a.tmp"));
    EXPECT_EQ(TModal::pending(), 0u);
}

TEST_F(CleanTest, EditorReloadsTheListWithNothingSelected)
{
    TfrmClean w;
    w.show();
    EXPECT_EQ(w.PickList1->count(), 10);
    TModal::push([](QDialog *d) { static_cast<TfrmTempFiles *>(d)->btCloseClick(); });
    w.btEdit->click();
    EXPECT_EQ(patternsOf([&] {
                  QStringList rows;
                  for (int i = 0; i < w.PickList1->count(); ++i)
                      rows << w.PickList1->item(i)->text();
                  return rows;
              }()),
              QStringList({"*.$$$", "*.bak", "*.tmp"}));
    EXPECT_EQ(selectedPatterns(w), 0);
    EXPECT_EQ(IniFile().readInt("TempFiles", "Number", -1), 3);
    w.btScan->click();
    EXPECT_EQ(dlg.count("Select at least one file extension"), 1);
    w.PickMenu->findChild<QAction *>("SelectAll2")->trigger();
    EXPECT_EQ(selectedPatterns(w), 3);
    w.PickMenu->findChild<QAction *>("DeselectAll2")->trigger();
    EXPECT_EQ(selectedPatterns(w), 0);

    TfrmClean again;
    again.show();
    EXPECT_EQ(again.PickList1->count(), 3);
    EXPECT_EQ(selectedPatterns(again), 3);
}

TEST_F(CleanTest, TitleClipboardHeaderClicksAndClosingDuringAScan)
{
    TempTree other("other");
    Drives::setMapping({{'C', tree.root()}, {'D', other.root()}});
    tree.sized("c1.tmp", 5);
    other.sized("d1.tmp", 7);
    TfrmClean w;
    w.show();
    w.pckDrive->item(1)->setCheckState(Qt::Checked);
    EXPECT_EQ(w.printTitle(), "Temporary files on drive(s) C D ");
    showAndScan(w);
    ASSERT_EQ(w.foundCount(), 2);
    w.grid->btClipClick();
    QStringList lines = QApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    lines.sort();
    EXPECT_EQ(lines, QStringList({QString::fromStdString(tree.path("c1.tmp")),
                                  QString::fromStdString(other.path("d1.tmp"))}));

    // A click on the "Time" header sorts nothing; one on "Size" sorts.
    EXPECT_EQ(cell(w, 1, 0), "7");
    QHeaderView *h = w.grid->horizontalHeader();
    const auto clickHeader = [&](int column) {
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                          QPoint(h->sectionViewportPosition(column) + 5, h->height() / 2));
    };
    clickHeader(2);
    EXPECT_EQ(cell(w, 1, 0), "7");
    clickHeader(0);
    EXPECT_EQ(cell(w, 1, 0), "5");

    // The checks of the drive list keep "&Start" enabled while one is checked.
    w.pckDrive->item(0)->setCheckState(Qt::Unchecked);
    w.pckDrive->item(1)->setCheckState(Qt::Unchecked);
    EXPECT_FALSE(w.btScan->isEnabled());
    w.pckDrive->item(1)->setCheckState(Qt::Checked);
    EXPECT_TRUE(w.btScan->isEnabled());
}

TEST_F(CleanTest, DuringAScanOnlyAbortActs)
{
    for (int i = 0; i < 5; ++i)
        tree.file("f" + std::to_string(i) + "/x.tmp");
    TfrmClean w;
    w.show();
    int64_t now = 0;
    w.walker().clockMs = [&now]() { return now += 100; };
    bool closedDuringScan = true, inputsOff = false;
    int pumps = 0;
    w.walker().pump = [&]() {
        if (++pumps != 1)
            return;
        inputsOff = !w.btScan->isEnabled() && !w.btClose->isEnabled() && !w.pckDrive->isEnabled()
            && !w.PickList1->isEnabled() && !w.btEdit->isEnabled() && w.btAbort->isVisible();
        w.close();
        w.reject();
        closedDuringScan = !w.isVisible();
        w.btAbort->click();
    };
    w.btScan->click();
    EXPECT_TRUE(inputsOff);
    EXPECT_FALSE(closedDuringScan);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(dlg.count(Walker::abortText()), 1);
    EXPECT_LT(w.foundCount(), 5);
    EXPECT_TRUE(w.btClose->isEnabled());
    w.close();
    EXPECT_FALSE(w.isVisible());
}

TEST_F(CleanTest, MainWindowOpensItBehindTheGuardAndItsPlacementIsKept)
{
    ASSERT_TRUE(FoldersFile::write({"/opt/protected/"}));
    nonDeleteList().load();
    TfrmMain main;
    main.show();
    QString title;
    TModal::push([&](QDialog *d) {
        auto *c = qobject_cast<TfrmClean *>(d);
        ASSERT_TRUE(c);
        title = c->windowTitle();
        c->move(40, 50);
        c->btClose->click();
    });
    main.findChild<QPushButton *>("btClean")->click();
    EXPECT_EQ(title, "Find and delete temporary files");
    EXPECT_EQ(TModal::pending(), 0u);
    EXPECT_EQ(main.findChild<QPushButton *>("btClean")->text(), "&Quick clean");

    // Stored under "vantor.ini", identifier "frmMods", and restored on the next show.
    QWidget probe;
    TWinPlace place(&probe);
    place.IniFileName = "vantor.ini";
    place.Identifier = "frmMods";
    EXPECT_TRUE(place.hasStored());
    TfrmClean again;
    again.show();
    EXPECT_EQ(again.pos(), QPoint(40, 50));
    EXPECT_TRUE(dlg.boxes.empty());
    FoldersFile::write({}); // the next test starts without a list again
    nonDeleteList().load();
}

TEST_F(CleanTest, DeleteAndZipActionsRemoveTheMarkedFiles)
{
    const std::string archives = tree.dir("../archives");
    IniFile().writeString("ZipFile", "Path", QString::fromStdString(archives));
    for (const char *action : {"btDelete", "btZip"}) {
        const std::string f = tree.file(std::string("x/") + action + ".tmp", "data");
        TfrmClean w;
        TModal::push([&](QDialog *d) {
            auto *c = static_cast<TfrmClean *>(d);
            showAndScan(*c);
            c->grid->action("Markall1")->trigger();
            TModal::push([&](QDialog *rd) {
                if (std::string(action) == "btZip")
                    TModal::push([](QDialog *opt) { opt->findChild<QPushButton *>("btOK")->click(); });
                else
                    dlg.answer(Dialogs::Answer::Yes);
                rd->findChild<QPushButton *>(action)->click();
            });
            c->btDelete->click();
            if (c->isVisible())
                c->done(100);
        });
        EXPECT_EQ(TModal::exec(&w), QDialog::Accepted) << action;
        EXPECT_FALSE(TempTree::exists(f)) << action;
    }
    bool archived = false;
    for (const auto &e : std::filesystem::directory_iterator(archives))
        archived |= e.path().filename().string().find("TempClean") != std::string::npos;
    EXPECT_TRUE(archived);
    AppState::defaultZipPath.clear();
}
