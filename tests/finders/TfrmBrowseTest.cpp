#include "settings/AppState.h"
#include "settings/TWinPlace.h"
#include "app/TfrmMain.h"
#include "common/DosTime.h"
#include "common/EventPump.h"
#include "common/TModal.h"
#include "common/TPathLabel.h"
#include "finders/BrowseList.h"
#include "finders/TfrmBrowse.h"
#include "finders/TfrmClean.h"
#include "finders/TfrmDirHog.h"
#include "finders/TfrmDup.h"
#include "finders/TfrmMods.h"
#include "inspect/TfrmDetails.h"
#include "inspect/TfrmView.h"
#include "platform/Drives.h"
#include "platform/FileTypes.h"
#include "platform/Paths.h"
#include "safety/FoldersFile.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmDelDirectory.h"
#include "safety/TfrmReallyDelete.h"
#include "scan/ResultGridModel.h"
#include "scan/SortDirections.h"
#include "scan/TDriveBox.h"
#include "scan/TDriveCheckList.h"
#include "scan/TFolderTree.h"
#include "scan/TPatternBox.h"
#include "scan/TResultGrid.h"
#include "scan/TfrmWildCard.h"
#include "support/InstalledTargets.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QAction>
#include <QComboBox>
#include <QDateEdit>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QMenu>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <functional>
#include <optional>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A tree mapped as drive D:, the real navigation targets, fixed file types
// and no event pumping during listings (a test's own window handler must not
// run inside one).
class BrowseTest : public testing::Test {
protected:
    ScriptedDialogs dlg;
    TempTree t{"drive"};
    std::string d = t.dir("D");
    std::optional<InstalledTargets> targets;

    void SetUp() override
    {
        Drives::setMapping({{'D', d}});
        FileTypes::setTableForTests({{".txt", "Plain text document"}, {".bin", "Binary file"}});
        SortDirections::resetForTests();
        EventPump::setDefaultInterval(-1);
        targets.emplace();
    }
    void TearDown() override
    {
        targets.reset();
        TModal::clear();
        EventPump::setDefaultInterval(15);
        FileTypes::setTableForTests({});
        Drives::setMapping({});
    }

    static QStringList column(const TfrmBrowse &w, int col)
    {
        QStringList out;
        for (int r = 1; r <= w.grid->rowsFilled(); ++r)
            out << w.grid->gridModel()->cell(r, col);
        return out;
    }
    static QStringList names(const TfrmBrowse &w) { return column(w, 4); }
    static int rowOf(const TfrmBrowse &w, const QString &name)
    {
        return int(names(w).indexOf(name)) + 1;
    }
    static QStringList childTexts(const TFolderTree *tree)
    {
        QStringList out;
        const QTreeWidgetItem *item = tree->currentItem();
        for (int i = 0; item && i < item->childCount(); ++i)
            out << item->child(i)->text(0);
        return out;
    }
    // Runs body in a browser opened on folder (as a finder opens it).
    void browse(const std::string &folder, const std::function<void(TfrmBrowse &)> &body,
                const std::string &selected = {}, const QString &mask = {})
    {
        TfrmBrowse w;
        w.setStart(folder, selected, mask);
        bool ran = false;
        TModal::push([&](QDialog *) {
            ran = true;
            body(w);
            if (w.isVisible()) {
                w.grid->Unmarkall1Click();
                w.done(QDialog::Rejected);
            }
        });
        TModal::exec(&w);
        EXPECT_TRUE(ran);
    }
};

// The browser a finder's "&Browse" opens, as it was when it showed.
struct Opened {
    std::string folder;
    QString mask;
    QString selected;
};
}

TEST_F(BrowseTest, ListsVisibleRegularFilesOfTheFolderOnlyWithTheirColumnsAndTotals)
{
    // An odd second: shown as the file system holds it, not rounded to two.
    TempTree::setTimes(t.sized("D/sub/a.txt", 10), 1600000001, 1600100000);
    t.sized("D/sub/b.txt", 300);
    t.sized("D/sub/c.bin", 1234567);
    t.sized("D/sub/noext", 5);
    t.sized("D/sub/.hidden.txt", 7);
    t.sized("D/sub/deeper/x.txt", 9);
    t.dir("D/elsewhere/inside");
    ASSERT_EQ(symlink(t.path("D/sub/a.txt").c_str(), t.path("D/sub/link.txt").c_str()), 0);
    ASSERT_EQ(symlink(t.path("D/elsewhere").c_str(), t.path("D/sub/linkdir").c_str()), 0);
    browse(t.path("D/sub"), [&](TfrmBrowse &w) {
        EXPECT_EQ(w.windowTitle(), "Browse through folders");
        EXPECT_EQ(w.currentFolder(), t.path("D/sub"));
        EXPECT_EQ(w.DriveComboBox1->drive()->letter, 'D');
        EXPECT_TRUE(w.DriveComboBox1->currentText().startsWith("D: ")) << w.DriveComboBox1->currentText().toStdString();
        // Name ascending at first; links, hidden files and folders are not listed.
        EXPECT_EQ(names(w), QStringList({"a.txt", "b.txt", "c.bin", "noext"}));
        EXPECT_EQ(w.pnlScan->text(), "Number of files : 4");
        EXPECT_EQ(w.pnlSize->text(), "Total size : 1,234,882");
        EXPECT_EQ(w.pnlWild->text(), "Wildcard : *.*");
        QStringList headers;
        for (int c = 0; c < 6; ++c)
            headers << w.grid->model()->headerData(c, Qt::Horizontal).toString();
        EXPECT_EQ(headers, QStringList({"Modified", "Time", "Access", "Size", "Filename", "Type"}));
        EXPECT_EQ(column(w, 0)[0], dosDateText(DosTime::fromUnix(1600000001)));
        EXPECT_EQ(column(w, 1)[0], longTimeText(QDateTime::fromSecsSinceEpoch(1600000001).time()));
        EXPECT_EQ(column(w, 2)[0], dosDateText(DosTime::fromUnix(1600100000)));
        EXPECT_EQ(column(w, 3), QStringList({"10", "300", "1,234,567", "5"}));
        EXPECT_EQ(column(w, 5), QStringList({"Plain text document", "Plain text document", "Binary file", ""}));
        // The tree shows the real folder below, not the link to a folder.
        EXPECT_EQ(childTexts(w.DirectoryListBox1), QStringList({"deeper"}));
        // The menu as the browser has it.
        QStringList menu;
        for (QAction *a : w.grid->PopupMenu1()->actions())
            if (a->isVisible() && !a->isSeparator())
                menu << a->text();
        EXPECT_EQ(menu, QStringList({"Details", "Sort", "Mark", "Open", "View"}));
        EXPECT_TRUE(w.grid->action("Sortby1")->isChecked());
        EXPECT_EQ(w.grid->action("Sortby1")->text(), "Name");

        // A folder without files: one empty row, nothing counted.
        w.showFolder(t.path("D/sub/deeper"));
        w.showFolder(t.dir("D/empty"));
        EXPECT_EQ(w.grid->rowsFilled(), 0);
        EXPECT_EQ(w.grid->gridModel()->gridRowCount(), 2);
        EXPECT_EQ(w.pnlScan->text(), "Number of files : 0");
        EXPECT_EQ(w.pnlSize->text(), "Total size : 0");
        w.btMarkClick();
        w.grid->gridDblClick();
        EXPECT_EQ(w.grid->markedCount(), 0);
        EXPECT_FALSE(w.btDeleteFiles->isEnabled());
    });
}

TEST_F(BrowseTest, SizeSortsSmallestFirstThenLargestAndAFolderChangeKeepsTheOrder)
{
    t.sized("D/one/m.txt", 200);
    t.sized("D/one/s.txt", 100);
    t.sized("D/one/l.txt", 300);
    t.sized("D/two/x.txt", 20);
    t.sized("D/two/y.txt", 30);
    t.sized("D/two/z.txt", 10);
    browse(t.path("D/one"), [&](TfrmBrowse &w) {
        EXPECT_EQ(names(w), QStringList({"l.txt", "m.txt", "s.txt"}));
        w.grid->action("Sortby4")->trigger(); // "&Size"
        EXPECT_EQ(column(w, 3), QStringList({"100", "200", "300"}));
        EXPECT_TRUE(w.grid->action("Sortby4")->isChecked());
        EXPECT_FALSE(w.grid->action("Sortby1")->isChecked());
        w.grid->action("Sortby4")->trigger();
        EXPECT_EQ(column(w, 3), QStringList({"300", "200", "100"}));
        w.showFolder(t.path("D/two"));
        EXPECT_EQ(column(w, 3), QStringList({"30", "20", "10"}));
        EXPECT_TRUE(w.grid->action("Sortby4")->isChecked());

        // Header clicks: "Filename" sorts by name, first from Z to A;
        // "Time" does nothing.
        QHeaderView *h = w.grid->horizontalHeader();
        const auto click = [&](int section) {
            QTest::mouseClick(h->viewport(), Qt::LeftButton, {},
                              QPoint(h->sectionViewportPosition(section) + 5, h->height() / 2));
        };
        click(1);
        EXPECT_EQ(column(w, 3), QStringList({"30", "20", "10"}));
        click(4);
        EXPECT_EQ(names(w), QStringList({"z.txt", "y.txt", "x.txt"}));
        EXPECT_TRUE(w.grid->action("Sortby1")->isChecked());
        click(4);
        EXPECT_EQ(names(w), QStringList({"x.txt", "y.txt", "z.txt"}));
    });
}

TEST_F(BrowseTest, MarkedFilesGoToTheDeletionWindowAndTheFolderIsReadAgainWhateverItDid)
{
    const std::string a = t.sized("D/f/a.txt", 10);
    const std::string b = t.sized("D/f/b.txt", 20);
    const std::string c = t.sized("D/f/c.txt", 40);
    const std::string n = t.sized("D/f/noext", 5);
    browse(t.path("D/f"), [&](TfrmBrowse &w) {
        EXPECT_FALSE(w.btDeleteFiles->isEnabled());
        // "&Mark" toggles the selected row and moves down; a double click
        // toggles the row; a file without extension is marked like any.
        w.grid->setSelectedRow(rowOf(w, "b.txt"));
        w.btMark->click();
        EXPECT_EQ(w.grid->selectedRow(), rowOf(w, "c.txt"));
        w.grid->setSelectedRow(rowOf(w, "noext"));
        w.grid->gridDblClick();
        EXPECT_EQ(w.pnlScan->text(), "Marked for deletion: 2 files 25 bytes");
        EXPECT_TRUE(w.btDeleteFiles->isEnabled());
        // The last row stays selected after "&Mark".
        w.btMark->click();
        EXPECT_EQ(w.grid->selectedRow(), 4);
        w.btMark->click();
        EXPECT_EQ(w.pnlScan->text(), "Marked for deletion: 2 files 25 bytes");

        // Cancelled: nothing removed, the folder read again, marks gone.
        TModal::push([&](QDialog *rd) {
            auto *del = qobject_cast<TfrmReallyDelete *>(rd);
            ASSERT_TRUE(del);
            EXPECT_EQ(del->archiveTag, "");
            EXPECT_EQ(del->potentialSavings, 25.0);
            rd->reject();
        });
        w.btDeleteFiles->click();
        EXPECT_EQ(w.grid->markedCount(), 0);
        EXPECT_FALSE(w.btDeleteFiles->isEnabled());
        EXPECT_EQ(names(w), QStringList({"a.txt", "b.txt", "c.txt", "noext"}));

        w.grid->MarkThisFile(rowOf(w, "b.txt"));
        w.grid->MarkThisFile(rowOf(w, "noext"));
        TModal::push([&](QDialog *rd) {
            dlg.answer(Dialogs::Answer::Yes);
            rd->findChild<QPushButton *>("btDelete")->click();
        });
        w.btDeleteFiles->click();
        EXPECT_EQ(names(w), QStringList({"a.txt", "c.txt"}));
        EXPECT_EQ(w.pnlScan->text(), "Number of files : 2");
        EXPECT_EQ(w.pnlSize->text(), "Total size : 50");
        EXPECT_EQ(w.grid->markedCount(), 0);
    });
    EXPECT_TRUE(TempTree::exists(a));
    EXPECT_FALSE(TempTree::exists(b));
    EXPECT_TRUE(TempTree::exists(c));
    EXPECT_FALSE(TempTree::exists(n));
}

TEST_F(BrowseTest, DeleteFolderRemovesASubFolderFromTheParentAndCancelGoesBackIntoIt)
{
    t.sized("D/top/keep.txt", 3);
    t.sized("D/top/gone/a.txt", 10);
    t.sized("D/top/gone/deep/b.txt", 20);
    t.sized("D/top/stays/c.txt", 30);
    browse(t.path("D/top/gone"), [&](TfrmBrowse &w) {
        std::string shownDuringRemoval;
        TModal::push([&](QDialog *dd) {
            auto *rm = qobject_cast<TfrmDelDirectory *>(dd);
            ASSERT_TRUE(rm);
            EXPECT_EQ(rm->folder(), t.path("D/top/gone"));
            shownDuringRemoval = w.currentFolder();
            rm->btDelete->click();
        });
        w.btDeleteDirectory->click();
        EXPECT_EQ(shownDuringRemoval, t.path("D/top"));
        EXPECT_FALSE(TempTree::exists(t.path("D/top/gone")));
        EXPECT_EQ(w.currentFolder(), t.path("D/top"));
        EXPECT_EQ(names(w), QStringList({"keep.txt"}));
        EXPECT_EQ(childTexts(w.DirectoryListBox1), QStringList({"stays"}));

        // Cancel in the removal window: back into the folder.
        w.showFolder(t.path("D/top/stays"));
        TModal::push([](QDialog *dd) { static_cast<TfrmDelDirectory *>(dd)->BitBtn3->click(); });
        w.btDeleteDirectory->click();
        EXPECT_EQ(w.currentFolder(), t.path("D/top/stays"));
        EXPECT_EQ(names(w), QStringList({"c.txt"}));
        EXPECT_TRUE(TempTree::exists(t.path("D/top/stays/c.txt")));

        // A removal that ran but left the folder (No to the read-only
        // question): the browser stays in the parent, which still shows it.
        const std::string locked = t.sized("D/top/stays/locked.txt", 4);
        ASSERT_EQ(::chmod(locked.c_str(), 0444), 0);
        TModal::push([](QDialog *dd) { static_cast<TfrmDelDirectory *>(dd)->btDelete->click(); });
        w.btDeleteDirectory->click();
        EXPECT_TRUE(TempTree::exists(locked));
        EXPECT_EQ(w.currentFolder(), t.path("D/top"));
        EXPECT_EQ(childTexts(w.DirectoryListBox1), QStringList({"stays"}));
    });
    EXPECT_EQ(TModal::pending(), 0u);
}

TEST_F(BrowseTest, DriveRootsSystemFoldersAndTheHomeFolderAreRefused)
{
    t.sized("D/f.txt", 1);
    browse(d, [&](TfrmBrowse &w) {
        TModal::push([](QDialog *dd) { dd->reject(); }); // must stay unused
        w.btDeleteDirectory->click();
        ASSERT_TRUE(dlg.last());
        EXPECT_EQ(dlg.last()->text, TfrmBrowse::rootRefusal);
        EXPECT_EQ(dlg.last()->kind, Dialogs::Kind::Error);
        for (const std::string &f : {Paths::homeFolder(), std::string("/usr"), std::string("/etc")}) {
            w.showFolder(f);
            ASSERT_EQ(w.currentFolder(), f);
            w.btDeleteDirectory->click();
            EXPECT_EQ(dlg.last()->text, TfrmBrowse::systemRefusal) << f;
        }
        w.showFolder("/");
        w.btDeleteDirectory->click();
        EXPECT_EQ(dlg.last()->text, TfrmBrowse::rootRefusal);
        EXPECT_EQ(TModal::pending(), 1u);
        TModal::clear();
    });
    EXPECT_TRUE(TempTree::exists(t.path("D/f.txt")));
}

TEST_F(BrowseTest, ViewDetailsAndTheWildcardActOnTheSelectedFile)
{
    const std::string a = t.file("D/w/a.txt", "hello\n");
    const std::string b = t.file("D/w/b.bin", "binary");
    browse(t.path("D/w"), [&](TfrmBrowse &w) {
        w.grid->setSelectedRow(rowOf(w, "b.bin"));
        std::string viewed, described;
        TModal::push([&](QDialog *dd) {
            auto *v = qobject_cast<TfrmView *>(dd);
            ASSERT_TRUE(v);
            viewed = v->path();
            dd->reject();
        });
        ASSERT_TRUE(w.btView->isEnabled());
        w.btView->click();
        TModal::push([&](QDialog *dd) {
            auto *det = qobject_cast<TfrmDetails *>(dd);
            ASSERT_TRUE(det);
            described = det->path();
            dd->reject();
        });
        ASSERT_TRUE(w.btDetails->isEnabled());
        w.btDetails->click();
        EXPECT_EQ(viewed, b);
        EXPECT_EQ(described, b);

        // The wildcard panel: a new mask lists only what matches it.
        TModal::push([](QDialog *dd) {
            auto *wc = qobject_cast<TfrmWildCard *>(dd);
            ASSERT_TRUE(wc);
            EXPECT_EQ(wc->pattern(), "*.*");
            wc->setPattern("*.TXT");
            wc->accept();
        });
        QTest::mouseClick(w.pnlWild, Qt::LeftButton);
        EXPECT_EQ(w.pnlWild->text(), "Wildcard : *.TXT");
        EXPECT_EQ(names(w), QStringList({"a.txt"}));
        // Cancelled: the mask stays.
        TModal::push([](QDialog *dd) { dd->reject(); });
        w.pnlScanClick();
        EXPECT_EQ(w.mask(), "*.TXT");
    });
    (void)a;
}

TEST_F(BrowseTest, ClosingWithMarkedFilesAsksAndNoKeepsTheWindowAndItsMarks)
{
    for (const char *n : {"D/m/1.txt", "D/m/2.txt", "D/m/3.txt"})
        t.sized(n, 1);
    TfrmBrowse w;
    w.setStart(t.path("D/m"));
    TModal::push([&](QDialog *) {
        w.grid->Markall1Click();
        EXPECT_EQ(w.grid->markedCount(), 3);
        w.btClose->click();
        ASSERT_TRUE(dlg.last());
        EXPECT_EQ(dlg.last()->text,
                  "You have 3 files marked for deletion. Do you really wish to exit without deleting?");
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.grid->markedCount(), 3);
        dlg.answer(Dialogs::Answer::Yes);
        w.reject(); // Escape
    });
    EXPECT_EQ(TModal::exec(&w), QDialog::Rejected);
    EXPECT_EQ(dlg.boxes.size(), 2u);
}

TEST_F(BrowseTest, AFolderChosenDuringAListingReplacesItAndTheWindowStaysResponsive)
{
    for (int i = 0; i < 300; ++i)
        t.sized("D/many/f" + std::to_string(i) + ".txt", 1);
    t.sized("D/few/only.txt", 2);
    browse(t.path("D/few"), [&](TfrmBrowse &w) {
        EventPump::setDefaultInterval(0);
        int pumped = 0;
        // Events run during the listing: the first one moves the tree to
        // another folder, which stops this listing and lists that one.
        std::function<void()> onEvent = [&] {
            if (pumped++ == 0) {
                EXPECT_TRUE(w.filling());
                w.DirectoryListBox1->setFolder(t.path("D/few"));
            }
        };
        QTimer tick;
        tick.setInterval(0);
        QObject::connect(&tick, &QTimer::timeout, [&] { onEvent(); });
        tick.start();
        w.showFolder(t.path("D/many"));
        tick.stop();
        EventPump::setDefaultInterval(-1);
        EXPECT_GE(pumped, 1);
        EXPECT_FALSE(w.filling());
        EXPECT_EQ(w.currentFolder(), t.path("D/few"));
        EXPECT_EQ(names(w), QStringList({"only.txt"}));
        EXPECT_EQ(w.pnlScan->text(), "Number of files : 1");
    });
}

TEST_F(BrowseTest, MainWindowOpensItBehindTheGuardAtHomeAndItsPlacementIsKept)
{
    ASSERT_TRUE(FoldersFile::write({t.dir("protected") + "/"}));
    TfrmMain main;
    main.show();
    QPushButton *browseButton = main.findChild<QPushButton *>("btBrowse");
    ASSERT_TRUE(browseButton->isEnabled());
    std::string at;
    TModal::push([&](QDialog *dd) {
        auto *w = qobject_cast<TfrmBrowse *>(dd);
        ASSERT_TRUE(w);
        at = w->currentFolder();
        w->move(50, 60);
        w->btClose->click();
    });
    browseButton->click();
    EXPECT_EQ(at, Paths::homeFolder());
    EXPECT_EQ(TModal::pending(), 0u);
    QWidget probe;
    TWinPlace place(&probe);
    place.IniFileName = "vantor.ini";
    place.Identifier = "frmBrowse";
    EXPECT_TRUE(place.hasStored());
    TfrmBrowse again;
    again.show();
    EXPECT_EQ(again.pos(), QPoint(50, 60));
    again.hide();
}

// "&Browse" of every finder that has one opens the browser on the selected
// file's folder with that file selected.
TEST_F(BrowseTest, EveryFindersBrowseOpensTheBrowserOnTheSelectedFilesFolder)
{
    t.sized("D/x/big.txt", 5000);
    t.sized("D/x/y/old.tmp", 4000);
    t.sized("D/x/y/other.bin", 100);
    t.sized("D/z/big.txt", 5000);
    const auto check = [&](QDialog &finder, TResultGrid *grid, QPushButton *browseButton, const std::string &file,
                           const QString &mask) {
        int row = 0;
        for (int r = 1; r <= grid->rowsFilled(); ++r)
            if (grid->gridModel()->path(r) == file)
                row = r;
        ASSERT_GT(row, 0) << finder.objectName().toStdString();
        grid->setSelectedRow(row);
        Opened seen;
        bool ran = false;
        TModal::push([&](QDialog *dd) {
            auto *w = qobject_cast<TfrmBrowse *>(dd);
            ASSERT_TRUE(w);
            ran = true;
            seen.folder = w->currentFolder();
            seen.mask = w->mask();
            seen.selected = w->grid->gridModel()->cell(w->grid->selectedRow(), 4);
            w->done(QDialog::Rejected);
        });
        ASSERT_TRUE(browseButton->isVisible() && browseButton->isEnabled()) << finder.objectName().toStdString();
        browseButton->click();
        EXPECT_TRUE(ran);
        const size_t slash = file.rfind('/');
        EXPECT_EQ(seen.folder, file.substr(0, slash));
        EXPECT_EQ(seen.selected.toStdString(), file.substr(slash + 1));
        EXPECT_EQ(seen.mask, mask);
    };
    const auto checkD = [](TDriveCheckList *list) {
        for (int i = 0; i < list->count(); ++i)
            list->item(i)->setCheckState(list->item(i)->text().startsWith('D') ? Qt::Checked : Qt::Unchecked);
        list->pckDriveClick();
    };
    for (const bool dupMode : {true, false}) {
        AppState::dupMode = dupMode;
        TfrmDup w;
        w.show();
        checkD(w.pckDrive);
        w.rbLarger->setChecked(true);
        w.cbKB1->setCurrentIndex(0);
        w.num1->setValue(0);
        w.patternBox->setPattern("*.txt");
        if (dupMode)
            w.cbDup->setCurrentIndex(3); // size only
        w.btScan->click();
        check(w, w.grid, w.btBrowse, t.path("D/z/big.txt"), "*.txt");
        w.close();
    }
    {
        TfrmClean w;
        w.show();
        checkD(w.pckDrive);
        w.btScan->click();
        check(w, w.grid, w.btBrowse, t.path("D/x/y/old.tmp"), "*.*"); // no mask given: all files
    }
    {
        TfrmMods w;
        w.show();
        checkD(w.pckDrive);
        w.rbModified->setChecked(true);
        w.rbAfter->click();
        w.dtStart->setDate(QDate(1990, 1, 1));
        w.btScan->click();
        check(w, w.grid, w.btBrowse, t.path("D/x/y/other.bin"), "*.*");
    }
}

TEST(BrowseList, FilenameAndTypeShareWhatTheFourFixedColumnsLeave)
{
    const GridLayout l = BrowseList::gridLayout();
    // 69 + 66 + 66 + 61 and 25 come off; the rest is halved.
    EXPECT_EQ(l.columnWidths(1.0, 800), (std::vector<int>{69, 66, 66, 61, 256, 256}));
    EXPECT_EQ(l.columnWidths(2.0, 1200), (std::vector<int>{138, 132, 132, 122, 313, 313}));
    // A wide size column takes from the two.
    EXPECT_EQ(l.columnWidths(1.0, 800, {0, 0, 0, 81}), (std::vector<int>{69, 66, 66, 81, 246, 246}));
}

// Rows are acted on by the path they were listed with: a name holding a tab
// and bytes that are not UTF-8, deep below a path longer than 255 characters,
// is removed, and a file whose name displays alike is not.
TEST_F(BrowseTest, OddNamesInLongPathsAreRemovedByThePathFound)
{
    const std::string deep = t.dir("D/" + std::string(100, 'a') + "/" + std::string(100, 'b') + "/" + std::string(100, 'c'));
    ASSERT_GT(deep.size(), 300u);
    const std::string odd = t.sized(deep.substr(t.root().size() + 1) + "/we\tird\xff.txt", 11);
    const std::string alike = t.sized(deep.substr(t.root().size() + 1) + "/we\tird\xef\xbf\xbd.txt", 12);
    browse(deep, [&](TfrmBrowse &w) {
        ASSERT_EQ(w.grid->rowsFilled(), 2);
        int row = 0;
        for (int r = 1; r <= 2; ++r)
            if (w.grid->gridModel()->path(r) == odd)
                row = r;
        ASSERT_GT(row, 0);
        w.grid->MarkThisFile(row);
        EXPECT_EQ(w.pnlScan->text(), "Marked for deletion: 1 files 11 bytes");
        TModal::push([&](QDialog *rd) {
            auto *del = qobject_cast<TfrmReallyDelete *>(rd);
            ASSERT_TRUE(del);
            dlg.answer(Dialogs::Answer::Yes);
            rd->findChild<QPushButton *>("btDelete")->click();
        });
        w.btDeleteFiles->click();
        EXPECT_EQ(w.grid->rowsFilled(), 1);
    });
    EXPECT_FALSE(TempTree::exists(odd));
    EXPECT_TRUE(TempTree::exists(alike));
}

TEST_F(BrowseTest, ADriveThatIsNotReadyLeavesTheGridAsItWas)
{
    t.sized("D/a.txt", 1);
    Drive ready, gone;
    ready.letter = 'D';
    ready.root = d;
    gone.letter = 'E';
    gone.root = t.path("E-unplugged");
    Drives::setDrives({ready, gone});
    browse(d, [&](TfrmBrowse &w) {
        ASSERT_EQ(names(w), QStringList({"a.txt"}));
        ASSERT_EQ(w.DriveComboBox1->count(), 2);
        w.DriveComboBox1->setCurrentIndex(1);
        emit w.DriveComboBox1->activated(1);
        EXPECT_EQ(names(w), QStringList({"a.txt"}));
        EXPECT_EQ(w.pnlScan->text(), "Number of files : 1");
        // The drive box, the tree and the folder go back to what the grid shows.
        EXPECT_EQ(w.DriveComboBox1->currentIndex(), 0);
        EXPECT_EQ(w.DirectoryListBox1->selectedFolder(), d);
        EXPECT_EQ(w.currentFolder(), d);
        EXPECT_EQ(w.lblFolder->path(), QString::fromStdString(d));
    });
    Drives::setDrives({});
}

// Short names leave the name column room that the type column, cut short
// otherwise, takes: "Plain text document" is shown whole.
TEST_F(BrowseTest, TheTypeColumnTakesRoomTheNameColumnDoesNotNeed)
{
    t.sized("D/a.txt", 1);
    t.sized("D/b.bin", 2);
    browse(d, [&](TfrmBrowse &w) {
        w.resize(800, 480);
        QCoreApplication::processEvents();
        const QHeaderView *h = w.grid->horizontalHeader();
        const QFontMetrics fm = w.grid->fontMetrics();
        const int typeNeeds = fm.horizontalAdvance("Plain text document") + 6;
        EXPECT_GE(h->sectionSize(5), typeNeeds);
        EXPECT_GE(h->sectionSize(4), fm.horizontalAdvance("a.txt") + 6);
        if (const char *shots = getenv("VANTOR_SHOTS"))
            w.grab().save(QString::fromLocal8Bit(shots) + "/browse-type-column.png");
    });
}

// The home folder reached through a symbolic link opens by its real path
// (its files could not be removed through the link); a home on no listed
// drive leaves the drive box empty beside the tree of "/".
TEST_F(BrowseTest, TheHomeFolderOpensByItsRealPathAndTheDriveBoxFollowsIt)
{
    const std::string real = t.dir("elsewhere/me");
    t.sized("elsewhere/me/notes.txt", 3);
    const std::string linked = t.path("home-link");
    ASSERT_EQ(symlink(real.c_str(), linked.c_str()), 0);
    TestEnv::setHome(linked);
    browse({}, [&](TfrmBrowse &w) {
        EXPECT_EQ(w.currentFolder(), real);
        EXPECT_EQ(w.lblFolder->path(), QString::fromStdString(real));
        ASSERT_EQ(names(w), QStringList({"notes.txt"}));
        EXPECT_EQ(w.grid->gridModel()->path(1), real + "/notes.txt");
        EXPECT_EQ(w.DirectoryListBox1->root(), "/");
        EXPECT_EQ(w.DriveComboBox1->currentIndex(), -1);
    });
}

// Folder hogs hands over a folder, with nothing to select: the browser lists
// it, also a hidden folder the user picked there.
TEST_F(BrowseTest, FolderHogsBrowseOpensTheBrowserOnTheRowsFolder)
{
    t.sized("D/data/a.txt", 100);
    t.sized("D/data/b.txt", 200);
    t.sized("D/.cache/blob", 300);
    TfrmDirHog w;
    w.show();
    for (int i = 0; i < w.pckDrive->count(); ++i)
        w.pckDrive->item(i)->setCheckState(w.pckDrive->item(i)->text().startsWith('D') ? Qt::Checked : Qt::Unchecked);
    w.pckDrive->pckDriveClick();
    w.btTop->click();
    for (const std::string rel : {"D/data", "D/.cache"}) {
        int row = 0;
        for (int r = 1; r <= w.grid->rowsFilled(); ++r)
            if (w.grid->gridModel()->path(r) == t.path(rel))
                row = r;
        ASSERT_GT(row, 0) << rel;
        w.grid->setSelectedRow(row);
        std::string folder;
        QStringList listed;
        TModal::push([&](QDialog *dd) {
            auto *br = qobject_cast<TfrmBrowse *>(dd);
            ASSERT_TRUE(br);
            folder = br->currentFolder();
            listed = names(*br);
            EXPECT_EQ(br->mask(), "*.*");
            EXPECT_EQ(br->grid->selectedRow(), 1);
            br->done(QDialog::Rejected);
        });
        ASSERT_TRUE(w.btBrowse->isEnabled());
        w.btBrowse->click();
        EXPECT_EQ(folder, t.path(rel));
        EXPECT_EQ(listed, rel == "D/data" ? QStringList({"a.txt", "b.txt"}) : QStringList({"blob"}));
    }
}
