#include "app/TfrmMain.h"
#include "common/Navigation.h"
#include "common/TModal.h"
#include "finders/TfrmDirHog.h"
#include "platform/Drives.h"
#include "safety/FoldersFile.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmDelDirectory.h"
#include "scan/SortDirections.h"
#include "scan/TDriveCheckList.h"
#include "scan/ParallelWalk.h"
#include "scan/ResultGridModel.h"
#include "scan/TResultGrid.h"
#include "support/MixedTree.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QApplication>
#include <QClipboard>
#include <QHeaderView>
#include <QLabel>
#include <QMenu>
#include <QPushButton>
#include <QTest>
#include <gtest/gtest.h>

#include <map>
#include <sys/stat.h>

namespace {
// Drive C: a tree with a dot-folder and two folders whose names differ only
// in case; the real folder removal window as the navigation target.
class DirHogTest : public testing::Test {
protected:
    DirHogTest() : tree("drive"), reg(Navigation::Target::RemoveFolder, &TfrmDelDirectory::navigate)
    {
        Drives::setMapping({{'C', tree.root()}});
        SortDirections::resetForTests();
        tree.sized("data/a", 100);
        tree.sized("data/b", 100);
        tree.sized("data/c", 100);
        tree.sized("data/old/x", 50);
        tree.sized("data/old/y", 50);
        tree.sized(".cache/blob", 200);
        tree.sized("Data/z", 10);
        tree.sized("top.txt", 5);
    }
    ~DirHogTest() override
    {
        Drives::setMapping({});
        TModal::clear();
    }

    static QString cell(TfrmDirHog &w, int row, int column) { return w.grid->gridModel()->cell(row, column); }
    static QStringList column(TfrmDirHog &w, int c)
    {
        QStringList out;
        for (int r = 1; r <= w.foundCount(); ++r)
            out << cell(w, r, c);
        return out;
    }
    int rowOf(TfrmDirHog &w, const std::string &rel) const
    {
        for (int r = 1; r <= w.foundCount(); ++r)
            if (w.grid->gridModel()->path(r) == tree.path(rel))
                return r;
        return 0;
    }
    QString shown(const std::string &rel) const { return QString::fromStdString(tree.path(rel)); }
    // "&Delete folder" in the removal window the next "Clean?" opens.
    static void pressInRemovalWindow(QPushButton *TfrmDelDirectory::*button)
    {
        TModal::push([button](QDialog *d) {
            auto *r = qobject_cast<TfrmDelDirectory *>(d);
            ASSERT_TRUE(r);
            QTest::mouseClick(r->*button, Qt::LeftButton);
            if (r->isVisible()) {
                ADD_FAILURE() << "the removal window stayed open";
                r->reject();
            }
        });
    }

    // Main folders listed: "Clean?" on the row of data removes one of its
    // files and leaves the folder. Every file is read-only: Yes to the first
    // question, No to the second, whatever the listing order.
    void removeOneFileOfData(TfrmDirHog &w)
    {
        for (const char *f : {"data/a", "data/b", "data/c", "data/old/x", "data/old/y"})
            ::chmod(tree.path(f).c_str(), 0444);
        ASSERT_EQ(rowOf(w, "data"), 1);
        w.grid->setSelectedRow(1);
        dlg.answer(Dialogs::Answer::Yes);
        dlg.answer(Dialogs::Answer::No); // the walk stops there
        pressInRemovalWindow(&TfrmDelDirectory::btDelete);
        w.btDelete->click();
        ASSERT_TRUE(TempTree::exists(tree.path("data")));
    }

    ScriptedDialogs dlg;
    TempTree tree;
    Navigation::Registration reg;
};
}

TEST_F(DirHogTest, ControlsAndBothScansRankedLargestFirst)
{
    TfrmDirHog w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "Folder Hogs");
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    struct Button {
        QPushButton *b;
        const char *name, *caption, *hint;
    };
    for (const Button &b : {Button{w.btTop, "btTop", "&Main folders", "Only topmost folders. Does not display sub-folders."},
                            Button{w.btAll, "btAll", "&All Folders", "ALL folders including sub-folders are displayed"},
                            Button{w.btClose, "btClose", "Close", "Close window"},
                            Button{w.btAbort, "btAbort", "&Abort", "Abort scan"},
                            Button{w.btDelete, "btDelete", "Clean?", "Clean the folder"},
                            Button{w.btOptions, "btOptions", "Options", "Right click on grid for same options"},
                            Button{w.btBrowse, "btBrowse", "&Browse", "Browse the files and folder"}}) {
        EXPECT_EQ(b.b->objectName(), b.name);
        EXPECT_EQ(b.b->text(), b.caption);
        EXPECT_EQ(b.b->toolTip(), b.hint);
    }
    EXPECT_EQ(w.lblMainText->text(), "only main folders are displayed (those folders directly under the main folder)");
    EXPECT_EQ(w.lblAllText->text(), "all folders including sub-folders are individually displayed");
    for (QPushButton *b : {w.btOptions, w.btBrowse, w.btDelete, w.btAbort, w.btMark, w.btDetails})
        EXPECT_FALSE(b->isVisible()) << b->objectName().toStdString();
    EXPECT_EQ(w.btDelete->pos(), w.btAbort->pos());
    EXPECT_EQ(w.focusWidget(), w.btTop);
    QStringList headers;
    for (int c = 0; c < 6; ++c)
        headers << w.grid->model()->headerData(c, Qt::Horizontal).toString();
    EXPECT_EQ(headers, (QStringList{"Size", "% Used", "# Files", "# Sub-folders", "Latest File Access", "Name"}));

    std::vector<Navigation::Request> browsed;
    Navigation::Registration browser(Navigation::Target::BrowseFolder, [&](const Navigation::Request &r) {
        browsed.push_back(r);
        return true;
    });
    w.btTop->click();
    EXPECT_EQ(column(w, 5), (QStringList{shown("data"), shown(".cache"), shown("Data")}));
    EXPECT_EQ(column(w, 0), (QStringList{"400", "200", "10"}));
    EXPECT_EQ(column(w, 3), (QStringList{"1", "0", "0"}));
    EXPECT_EQ(w.findChild<QLabel *>("pnlScan")->text(), "Folders : 3");
    for (QPushButton *b : {w.btOptions, w.btBrowse, w.btDelete})
        EXPECT_TRUE(b->isVisible()) << b->objectName().toStdString();
    EXPECT_FALSE(w.btMark->isVisible());
    EXPECT_FALSE(w.btDetails->isVisible());
    EXPECT_TRUE(w.btDelete->isEnabled());
    ASSERT_TRUE(w.btBrowse->isEnabled());
    w.grid->setSelectedRow(3);
    w.btBrowse->click();
    ASSERT_EQ(browsed.size(), 1u);
    EXPECT_EQ(browsed[0].path, tree.path("Data")); // the folder itself, in its own case
    EXPECT_TRUE(browsed[0].selected.empty());
    EXPECT_EQ(browsed[0].mask, "*.*");

    // A sort by name, then a scan: ranked by size again.
    w.grid->Sortbysize1Click(4);
    EXPECT_EQ(column(w, 5).first(), shown(".cache"));
    w.btAll->click();
    EXPECT_EQ(column(w, 5), (QStringList{shown("data"), shown(".cache"), shown("data/old"), shown("Data"),
                                         QString::fromStdString(tree.root() + "/")}));
    EXPECT_EQ(column(w, 0), (QStringList{"300", "200", "100", "10", "5"}));
    EXPECT_EQ(column(w, 3), (QStringList{"1", "0", "0", "0", "3"}));
    EXPECT_EQ(w.findChild<QLabel *>("pnlScan")->text(), "Folders : 5");
    EXPECT_TRUE(w.grid->action("Sortby1")->isChecked());
    EXPECT_TRUE(dlg.boxes.empty());

    // The clipboard copies the scan's lines as they were collected.
    w.grid->action("Clipboard1")->trigger();
    const QStringList copied = QGuiApplication::clipboard()->text().split('\n', Qt::SkipEmptyParts);
    EXPECT_EQ(copied, w.lb());
    ASSERT_EQ(copied.size(), 5);
    EXPECT_EQ(copied.first().section('\t', 5), QString::fromStdString(tree.root() + "/")); // "5" sorts last as text
    EXPECT_EQ(w.printTitle(), "Folder hogs on drive(s) C ");
}

TEST_F(DirHogTest, CleanRemovesTheChosenFolderOnlyAndMarksItsRow)
{
    TfrmDirHog w;
    w.show();
    w.btAll->click();
    const int old = rowOf(w, "data/old");
    ASSERT_GT(old, 0);
    w.grid->setSelectedRow(old);
    pressInRemovalWindow(&TfrmDelDirectory::btDelete);
    w.btDelete->click();
    EXPECT_EQ(TModal::pending(), 0u);
    EXPECT_FALSE(TempTree::exists(tree.path("data/old")));
    for (const char *kept : {"data/a", "data/b", "data/c", ".cache/blob", "Data/z", "top.txt"})
        EXPECT_TRUE(TempTree::exists(tree.path(kept))) << kept;
    EXPECT_EQ(cell(w, old, 0), "DELETED");
    for (int c : {1, 2, 3, 4})
        EXPECT_EQ(cell(w, old, c), "") << c; // a folder that went holds nothing
    EXPECT_EQ(dlg.texts(), (std::vector<QString>{"Deleted 2 files for a savings of 100 bytes."}));

    // Again on the same row: refused without opening anything.
    w.btDelete->click();
    EXPECT_EQ(dlg.last()->text, "Folder already deleted/recycled");
    EXPECT_EQ(dlg.last()->kind, Dialogs::Kind::Error);

    // A double click on a row opens the removal window too; recycled.
    const int cache = rowOf(w, ".cache");
    const QRect r = w.grid->visualRect(w.grid->model()->index(cache - 1, 5));
    dlg.answer(Dialogs::Answer::Yes); // send to the trash?
    pressInRemovalWindow(&TfrmDelDirectory::btRecycle);
    QTest::mouseClick(w.grid->viewport(), Qt::LeftButton, {}, r.center()); // a double click's first click
    QTest::mouseDClick(w.grid->viewport(), Qt::LeftButton, {}, r.center());
    EXPECT_EQ(TModal::pending(), 0u);
    EXPECT_FALSE(TempTree::exists(tree.path(".cache")));
    EXPECT_EQ(cell(w, cache, 0), "RECYCLED");
}

TEST_F(DirHogTest, RootsTheHomeFolderAndAHeaderClickAreRefused)
{
    TestEnv::setHome(tree.dir("home"));
    tree.sized("home/notes", 3000);
    TfrmDirHog w;
    w.show();
    w.btAll->click();
    TModal::push([](QDialog *) { ADD_FAILURE() << "nothing may open"; });
    w.grid->setSelectedRow(rowOf(w, ""));
    w.btDelete->click();
    EXPECT_EQ(dlg.last()->text, "You cannot delete the root folder using Vantor 95");
    w.btTop->click();
    ASSERT_EQ(rowOf(w, "home"), 1);
    w.grid->setSelectedRow(1);
    w.btDelete->click();
    EXPECT_EQ(dlg.last()->text, "You cannot delete a system folder or your home folder using Vantor 95");
    EXPECT_TRUE(TempTree::exists(tree.path("home/notes")));

    // After a click on the header (a sort) "Clean?" does nothing.
    const size_t boxes = dlg.boxes.size();
    w.grid->setSelectedRow(2);
    QTest::mouseClick(w.grid->horizontalHeader()->viewport(), Qt::LeftButton, {},
                      QPoint(w.grid->horizontalHeader()->sectionViewportPosition(5) + 5, 5));
    w.btDelete->click();
    EXPECT_EQ(dlg.boxes.size(), boxes);
    EXPECT_EQ(TModal::pending(), 1u);
}

TEST_F(DirHogTest, APartRemovalShowsWhatIsLeftOfTheFolder)
{
    TfrmDirHog w;
    w.show();
    w.btTop->click();
    removeOneFileOfData(w);
    int64_t left = 0, files = 0;
    for (const char *f : {"data/a", "data/b", "data/c", "data/old/x", "data/old/y"})
        if (TempTree::exists(tree.path(f))) {
            left += f[5] == 'o' ? 50 : 100;
            ++files;
        }
    EXPECT_EQ(files, 4);
    EXPECT_EQ(cell(w, 1, 0), QString::number(left));
    EXPECT_EQ(cell(w, 1, 2), QString::number(files));
    EXPECT_EQ(cell(w, 1, 5), shown("data"));
    EXPECT_EQ(w.lb().first().section('\t', 0, 0), "400"); // the scan's lines are kept
}

TEST_F(DirHogTest, AnAbortKeepsWhatWasFoundAndLeadsTheClipboard)
{
    for (int i = 0; i < 5; ++i)
        tree.sized("many/f" + std::to_string(i), 1);
    // The walker's own walk: the abort lands between two files.
    ParallelWalk::setDefaultWorkers(0);
    struct Restore {
        ~Restore() { ParallelWalk::setDefaultWorkers(-1); }
    } restore;
    TfrmDirHog w;
    w.show();
    int64_t now = 0;
    w.walker().clockMs = [&now]() { return now += 100; };
    bool inputsOff = false;
    int pumps = 0;
    w.walker().pump = [&]() {
        if (++pumps != 2)
            return;
        inputsOff = !w.btTop->isEnabled() && !w.btAll->isEnabled() && !w.btClose->isEnabled()
            && w.btAbort->isVisible() && !w.btDelete->isVisible();
        w.close();
        w.btAbort->click();
    };
    w.btAll->click();
    EXPECT_TRUE(inputsOff);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(dlg.count("LIST INCOMPLETE ... ABORTED BY USER"), 1);
    EXPECT_EQ(w.lb().first(), "LIST INCOMPLETE ... ABORTED BY USER");
    EXPECT_EQ(w.lb().size(), w.foundCount() + 1);
    EXPECT_EQ(w.findChild<QLabel *>("pnlScan")->text(), "Folders : " + QString::number(w.foundCount()));
    EXPECT_TRUE(w.btTop->isEnabled());
    EXPECT_TRUE(w.btAll->isEnabled());
}

TEST_F(DirHogTest, MainWindowOpensItBehindTheGuard)
{
    ASSERT_TRUE(FoldersFile::write({"/opt/protected/"}));
    nonDeleteList().load();
    TfrmMain main;
    main.show();
    QString title;
    TModal::push([&](QDialog *d) {
        title = d->windowTitle();
        ASSERT_TRUE(qobject_cast<TfrmDirHog *>(d));
        d->reject();
    });
    main.btDirHogsClick();
    EXPECT_EQ(title, "Folder Hogs");
    EXPECT_TRUE(main.findChild<QPushButton *>("btDirHogs")->isEnabled());
}

TEST_F(DirHogTest, AfterCleanEveryRowBelowTheFolderAndTheCountsAreTrue)
{
    tree.sized("data/old/deep/q", 20);
    TfrmDirHog w;
    w.show();
    w.btAll->click();
    const int data = rowOf(w, "data"), old = rowOf(w, "data/old"), deep = rowOf(w, "data/old/deep");
    ASSERT_GT(deep, 0);
    const int listed = w.foundCount();
    EXPECT_EQ(w.findChild<QLabel *>("pnlScan")->text(), "Folders : " + QString::number(listed));
    EXPECT_EQ(cell(w, data, 3), "1");
    w.grid->setSelectedRow(old);
    pressInRemovalWindow(&TfrmDelDirectory::btDelete);
    w.btDelete->click();
    ASSERT_FALSE(TempTree::exists(tree.path("data/old")));
    EXPECT_EQ(cell(w, old, 0), "DELETED");
    EXPECT_EQ(cell(w, deep, 0), "DELETED");
    EXPECT_EQ(cell(w, data, 3), "0"); // its only sub-folder went
    EXPECT_EQ(cell(w, data, 0), "300");
    EXPECT_EQ(w.findChild<QLabel *>("pnlScan")->text(), "Folders : " + QString::number(listed - 2));
    if (const char *shots = getenv("VANTOR_SHOTS"))
        w.grab().save(QString::fromLocal8Bit(shots) + "/dirhog-after-clean.png");

    // A dead row is refused before any window opens, whoever removed its folder.
    TModal::push([](QDialog *) { ADD_FAILURE() << "nothing may open"; });
    w.grid->setSelectedRow(deep);
    w.btDelete->click();
    EXPECT_EQ(dlg.last()->text, "Folder already deleted/recycled");
    ASSERT_EQ(std::system(("rm -r '" + tree.path("Data") + "'").c_str()), 0);
    w.grid->setSelectedRow(rowOf(w, "Data"));
    w.btDelete->click();
    EXPECT_EQ(dlg.last()->text, "This folder no longer exists: " + shown("Data"));
    EXPECT_EQ(dlg.last()->kind, Dialogs::Kind::Error);
    EXPECT_EQ(TModal::pending(), 1u);
}

TEST_F(DirHogTest, ReTotallingAfterAPartRemovalStaysLiveAndCanBeAborted)
{
    TfrmDirHog w;
    w.show();
    w.btTop->click();
    int64_t now = 0;
    w.walker().clockMs = [&now]() { return now += 100; };
    bool busy = false, abortShown = false, closeOff = false;
    w.walker().pump = [&]() {
        busy = w.grid->viewport()->cursor().shape() == Qt::WaitCursor;
        abortShown = w.btAbort->isVisible();
        closeOff = !w.btClose->isEnabled() && !w.btTop->isEnabled();
        w.close(); // the close box aborts the walk
    };
    removeOneFileOfData(w);
    EXPECT_TRUE(busy);
    EXPECT_TRUE(abortShown);
    EXPECT_TRUE(closeOff);
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(dlg.count("LIST INCOMPLETE ... ABORTED BY USER"), 1);
    EXPECT_EQ(cell(w, 1, 0), "???"); // totals not known after an abort
    EXPECT_EQ(w.grid->viewport()->cursor().shape(), Qt::ArrowCursor);
    EXPECT_FALSE(w.btAbort->isVisible());
    EXPECT_TRUE(w.btDelete->isVisible());
    EXPECT_TRUE(w.btClose->isEnabled());
}

TEST_F(DirHogTest, CleanAfterAClickBelowTheLastRowDoesNothing)
{
    TfrmDirHog w;
    w.resize(638, 600);
    w.show();
    w.btTop->click();
    ASSERT_EQ(w.foundCount(), 3);
    w.grid->setSelectedRow(2);
    QWidget *vp = w.grid->viewport();
    ASSERT_LT(w.grid->visualRect(w.grid->model()->index(w.foundCount() - 1, 0)).bottom(), vp->height() - 10);
    TModal::push([](QDialog *d) { d->reject(); });
    QTest::mouseClick(vp, Qt::LeftButton, {}, QPoint(20, vp->height() - 5));
    w.btDelete->click();
    QTest::mouseDClick(vp, Qt::LeftButton, {}, QPoint(20, vp->height() - 5));
    EXPECT_EQ(TModal::pending(), 1u);
    EXPECT_TRUE(dlg.boxes.empty());
    // A row chosen with the keys afterwards is acted on.
    QTest::keyClick(w.grid, Qt::Key_Down);
    w.btDelete->click();
    EXPECT_EQ(TModal::pending(), 0u);
}

// The grid is filled in the order its sort by size gives (the scan's lines
// in text order, ranked by size with equal sizes kept in that order), so the
// sort after the walk compares nothing: rows, paths and the sort's state are
// those of a grid filled in text order and sorted, whatever the number of
// workers.
TEST(DirHogRanking, RowsAreThoseOfTheSortedGridForAnyNumberOfWorkers)
{
    ScriptedDialogs dlg;
    TempTree t("hogs");
    const std::string root = makeMixedTree(t, "C", 53);
    Drives::setMapping({{'C', root}});
    struct Restore {
        ~Restore()
        {
            ParallelWalk::setDefaultWorkers(-1);
            Drives::setMapping({});
        }
    } restore;
    const QString sizeKey = DirHogScan::gridLayout().sortEntries[0].directionKey;
    const auto rows = [](const ResultGridModel &m) {
        std::vector<std::string> out;
        for (int r = 1; r <= m.rowsFilled(); ++r) {
            std::string line;
            for (int c = 0; c < m.columnCount(); ++c)
                line += m.cell(r, c).toStdString() + '\t';
            out.push_back(line + m.path(r));
        }
        return out;
    };
    for (const auto mode : {DirHogScan::Mode::AllFolders, DirHogScan::Mode::MainFolders}) {
        // What the walker's own walk gives, filled in text order and sorted.
        Walker walker;
        walker.pumpIntervalMs = -1;
        DirHogScan scan(walker);
        scan.begin(mode);
        walker.scanAllDrives({QStringLiteral("C:")});
        ResultGridModel sorted(DirHogScan::gridLayout());
        for (const DirHogScan::Line &l : scan.finish())
            sorted.addToGrid(scan.text(l), scan.path(l));
        sorted.sortRows(0, SortKind::Number, true);
        const std::vector<std::string> expected = rows(sorted);
        ASSERT_GT(expected.size(), mode == DirHogScan::Mode::AllFolders ? 20u : 5u);
        std::map<std::string, int> sizes;
        for (int r = 1; r <= sorted.rowsFilled(); ++r)
            ++sizes[sorted.cell(r, 0).toStdString()];
        if (mode == DirHogScan::Mode::AllFolders) {
            EXPECT_LT(sizes.size() + 5, expected.size()) << "sizes alike are ranked by text";
        }

        for (const int workers : {0, 1, 2, 8}) {
            ParallelWalk::setDefaultWorkers(workers);
            SortDirections::resetForTests();
            TfrmDirHog w;
            w.show();
            w.grid->Sortbysize1Click(4); // any sort before the scan
            (mode == DirHogScan::Mode::AllFolders ? w.btAll : w.btTop)->click();
            EXPECT_EQ(rows(*w.grid->gridModel()), expected) << workers << " workers";
            EXPECT_EQ(w.grid->gridModel()->checkedSortEntry(), 0);
            EXPECT_TRUE(w.grid->action("Sortby1")->isChecked());
            EXPECT_FALSE(SortDirections::descending(sizeKey, true)) << "the next size sort is ascending";
            // Sorting the filled grid again by size, largest first, moves no row.
            w.grid->gridModel()->sortRows(0, SortKind::Number, true);
            EXPECT_EQ(rows(*w.grid->gridModel()), expected) << workers << " workers";
        }
    }
    EXPECT_TRUE(dlg.boxes.empty());
}
