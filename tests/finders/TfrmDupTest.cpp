#include "DupWindowFixture.h"
#include "settings/AppState.h"
#include "app/TfrmMain.h"
#include "common/TModal.h"
#include "finders/TfrmDup.h"
#include "common/Navigation.h"
#include "finders/TfrmDupCompare.h"
#include "platform/Drives.h"
#include "platform/FileTypes.h"
#include "safety/FoldersFile.h"
#include "safety/TfrmReallyDelete.h"
#include "scan/TDriveCheckList.h"
#include "scan/TPatternBox.h"
#include "scan/TResultGrid.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QComboBox>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTest>
#include <gtest/gtest.h>

#include <fcntl.h>
#include <functional>
#include <sys/stat.h>
#include <unistd.h>

TEST_F(DupWindow, FilenameOnlyFindsNamesThatDifferInCase)
{
    t.file("D/one/README.TXT", "first");
    t.file("D/two/readme.txt", "second one");
    t.file("D/two/other.txt", "x");
    open(true, [&](TfrmDup &w) {
        EXPECT_EQ(w.windowTitle(), "Find and delete duplicate files");
        EXPECT_EQ(w.btScan->toolTip(), "Duplicates on file name only");
        EXPECT_TRUE(w.cbDup->isVisible());
        EXPECT_EQ(w.cbDup->currentText(), "Filename only");
        EXPECT_EQ(w.cbKB1->currentText(), "KB");
        EXPECT_EQ(w.num1->value(), 250);
        EXPECT_FALSE(w.num2->isVisible());
        EXPECT_FALSE(w.btMark->isVisible() || w.btDelete->isVisible() || w.btCompare->isVisible());
        bytes(w, w.rbLarger, 0);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        // Equal names; the size texts decide ("10" before "5").
        EXPECT_EQ(column(w, 0), QStringList({"readme.txt", "README.TXT"}));
        EXPECT_EQ(cell(w, 1, 1), "10");
        EXPECT_EQ(cell(w, 1, 5), QString::fromStdString(d + "/two"));
        EXPECT_EQ(cell(w, 1, 6), "Plain text document");
        EXPECT_EQ(w.grid->gridModel()->path(1), d + "/two/readme.txt");
        EXPECT_EQ(w.grid->gridModel()->path(2), d + "/one/README.TXT");
        EXPECT_EQ(w.pnlSel->text(), "2 duplicates found");
        EXPECT_TRUE(w.btMark->isVisible() && w.btDelete->isVisible() && w.btCompare->isVisible());
        EXPECT_TRUE(w.btOptions->isVisible() && w.btBrowse->isVisible() && w.btDetails->isVisible());
        EXPECT_FALSE(w.btDelete->isEnabled());
        EXPECT_FALSE(w.btAbort->isVisible());
        EXPECT_TRUE(w.btScan->isEnabled() && w.cbDup->isEnabled() && w.num1->isEnabled());
        EXPECT_EQ(w.printTitle(), "Duplicates larger or equal to 0 bytes matching *.* on drive(s) D ");
    });
    EXPECT_TRUE(dialogs.boxes.empty());
}

TEST_F(DupWindow, SizeOnlyListsThreeEqualFilesAsOneRunInLineOrder)
{
    t.file("D/x/c.txt", "12345");
    t.file("D/y/A.bin", "abcde");
    t.file("D/b.txt", "zzzzz");
    t.file("D/odd.txt", "123456");
    open(true, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        w.cbDup->setCurrentIndex(3);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.criterion(), 3);
        // The columns keep their meaning whatever the line layout.
        EXPECT_EQ(column(w, 0), QStringList({"A.bin", "b.txt", "c.txt"}));
        EXPECT_EQ(column(w, 1), QStringList({"5", "5", "5"}));
        EXPECT_EQ(w.grid->model()->headerData(5, Qt::Horizontal).toString(), "Folder");
        EXPECT_EQ(w.pnlSel->text(), "3 duplicates found");
    });
}

TEST_F(DupWindow, NothingFoundIsToldAndTheControlsComeBack)
{
    t.file("D/a.txt", "1");
    t.file("D/b.txt", "22");
    open(true, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.grid->rowsFilled(), 0);
        EXPECT_FALSE(w.btMark->isVisible() || w.btDelete->isVisible() || w.btCompare->isVisible());
        EXPECT_TRUE(w.btScan->isEnabled() && w.btClose->isEnabled() && w.pckDrive->isEnabled());
    });
    EXPECT_EQ(dialogs.texts(), (std::vector<QString>{"No files found."}));
}

// Folders the walk left out are said after what it found, in the status
// line and in the box that says nothing was found.
TEST_F(DupWindow, FoldersNotWalkedAreSaidInTheStatusAndTheClosingBox)
{
    // A chain of 4,001 folders: the deepest lies below the walk's limit.
    int fd = ::open(d.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    for (int i = 0; i < 4001; ++i) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        ASSERT_GE(fd, 0);
    }
    ::close(fd);
    const QString skipped = QStringLiteral("1 folder deeper than 4,000 levels was not searched.");
    open(true, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.pnlSel->text(), skipped);
        t.file("D/one/same.txt", "1");
        t.file("D/two/same.txt", "2");
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(w.pnlSel->text(), "2 duplicates found  " + skipped);
    });
    EXPECT_EQ(dialogs.texts(), (std::vector<QString>{"No files found.\n\n" + skipped}));
}

TEST_F(DupWindow, ThresholdsInKilobytesAndInBetweenBytes)
{
    t.sized("D/keep.bin", 256000);
    t.sized("D/drop.bin", 255999);
    t.sized("D/s/nine.txt", 9);
    t.sized("D/s/ten.txt", 10);
    t.sized("D/s/TEN2.txt", 10);
    t.sized("D/s/eleven.txt", 11);
    open(false, [&](TfrmDup &w) {
        EXPECT_EQ(w.windowTitle(), "Find and delete file hogs");
        EXPECT_EQ(w.btScan->toolTip(), "Start scanning for file hogs");
        EXPECT_FALSE(w.cbDup->isVisible());
        QTest::mouseClick(w.btScan, Qt::LeftButton); // larger or equal to 250 KB
        EXPECT_EQ(column(w, 4), QStringList({QString::fromStdString(d + "/keep.bin")}));
        EXPECT_EQ(w.pnlSel->text(), "1 file hogs found");
        EXPECT_FALSE(w.btCompare->isVisible());

        w.rbBetween->setChecked(true);
        EXPECT_TRUE(w.num2->isVisible());
        bytes(w, w.rbBetween, 10, 9);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(dialogs.last()->text, "The second number must be larger or equal than the first number");
        EXPECT_EQ(dialogs.last()->kind, Dialogs::Kind::Error);
        EXPECT_EQ(w.grid->rowsFilled(), 1); // nothing changed

        bytes(w, w.rbBetween, 10, 10);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        QStringList paths = column(w, 4);
        paths.sort();
        // Paths keep the case they have on disk.
        EXPECT_EQ(paths, QStringList({QString::fromStdString(d + "/s/TEN2.txt"), QString::fromStdString(d + "/s/ten.txt")}));
        EXPECT_EQ(w.printTitle(), "File Hogs in between 10 bytes and 10 bytes matching *.* on drive(s) D ");
    });
    EXPECT_EQ(dialogs.boxes.size(), 1u);
}

TEST_F(DupWindow, FileHogsLargestFirstThenTheSizeHeaderOnceSmallestFirst)
{
    t.sized("D/a/mid.bin", 2000);
    t.sized("D/big.bin", 3000);
    t.sized("D/a/b/small.bin", 1000);
    open(false, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(column(w, 0), QStringList({"3,000", "2,000", "1,000"}));
        QHeaderView *h = w.grid->horizontalHeader();
        const QPoint at(h->sectionViewportPosition(0) + 5, h->height() / 2);
        QTest::mouseClick(h->viewport(), Qt::LeftButton, {}, at);
        EXPECT_EQ(column(w, 0), QStringList({"1,000", "2,000", "3,000"}));
        // A new scan sorts largest first again.
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_EQ(column(w, 0), QStringList({"3,000", "2,000", "1,000"}));
    });
}

TEST_F(DupWindow, CancelInTheDeletionWindowKeepsTheWindowAndItsMarks)
{
    const std::string a = t.file("D/p/same.txt", "aaa"), b = t.file("D/q/SAME.txt", "bbbb");
    bool asked = false;
    open(true, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        ASSERT_EQ(w.grid->rowsFilled(), 2);
        w.MarkThisFile(2);
        w.MarkThisFile(1);
        EXPECT_TRUE(w.btDelete->isEnabled());
        TModal::push([&](QDialog *dlg) {
            auto *del = qobject_cast<TfrmReallyDelete *>(dlg);
            asked = del != nullptr;
            if (del) {
                EXPECT_EQ(del->archiveTag, "Duplicates");
                EXPECT_EQ(del->potentialSavings, 7.0);
                EXPECT_EQ(del->lb1->count(), 2);
            }
            dlg->reject();
        });
        QTest::mouseClick(w.btDelete, Qt::LeftButton);
        EXPECT_TRUE(w.isVisible());
        EXPECT_EQ(w.grid->markedCount(), 2);
        EXPECT_EQ(w.grid->lbDeleted(), (std::vector<std::string>{b, a}));
        EXPECT_TRUE(w.grid->gridModel()->isMarked(1) && w.grid->gridModel()->isMarked(2));
    });
    EXPECT_TRUE(asked);
    EXPECT_TRUE(TempTree::exists(a) && TempTree::exists(b));
}

TEST_F(DupWindow, ACompletedDeletionClosesTheWindowAndTheFilesAreGone)
{
    const std::string a = t.file("D/p/dup.txt", "aaa"), b = t.file("D/q/dup.txt", "bbb");
    int closedWith = -1;
    open(true, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        w.MarkThisFile(1);
        TModal::push([&](QDialog *dlg) {
            auto *del = qobject_cast<TfrmReallyDelete *>(dlg);
            ASSERT_TRUE(del);
            dialogs.answer(Dialogs::Answer::Yes);
            QTest::mouseClick(del->btDelete, Qt::LeftButton);
        });
        QTest::mouseClick(w.btDelete, Qt::LeftButton);
        closedWith = w.result();
        EXPECT_FALSE(w.isVisible());
    });
    EXPECT_EQ(closedWith, QDialog::Accepted);
    EXPECT_FALSE(TempTree::exists(a));
    EXPECT_TRUE(TempTree::exists(b));
}

TEST_F(DupWindow, ACompletedRecycleClosesTheWindowAndTheFileIsInTheTrash)
{
    const std::string a = t.sized("D/big one.bin", 5000), b = t.sized("D/small.bin", 10);
    int closedWith = -1;
    open(false, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        w.grid->setSelectedRow(1);
        QTest::mouseClick(w.btMark, Qt::LeftButton);
        EXPECT_EQ(w.grid->lbDeleted(), (std::vector<std::string>{a}));
        TModal::push([&](QDialog *dlg) {
            auto *del = qobject_cast<TfrmReallyDelete *>(dlg);
            ASSERT_TRUE(del);
            dialogs.answer(Dialogs::Answer::Yes);
            QTest::mouseClick(del->btRecycle, Qt::LeftButton);
        });
        QTest::mouseClick(w.btDelete, Qt::LeftButton);
        closedWith = w.result();
    });
    EXPECT_EQ(closedWith, QDialog::Accepted);
    EXPECT_FALSE(TempTree::exists(a));
    EXPECT_TRUE(TempTree::exists(b));
    const std::string listed = TestEnv::commandOutput("trash-list");
    EXPECT_NE(listed.find(" " + a + "\n"), std::string::npos) << listed;
}

TEST_F(DupWindow, PlacementIsRestoredForTheSameModeOnly)
{
    QRect placed;
    open(true, [&](TfrmDup &w) {
        w.setGeometry(w.x() + 37, w.y() + 21, w.width() + 50, w.height() + 40);
        placed = w.geometry();
    });
    open(true, [&](TfrmDup &w) { EXPECT_EQ(w.geometry(), placed); });
    open(false, [&](TfrmDup &w) { EXPECT_NE(w.geometry(), placed); });
}

TEST_F(DupWindow, PairsShowsTheComparisonWindowWhichClosingHides)
{
    t.file("D/p/x.txt", "1");
    t.file("D/q/x.txt", "2");
    // Without a comparison window to reach, "P&airs" is disabled and opens nothing.
    open(true, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        EXPECT_TRUE(w.btCompare->isVisible());
        EXPECT_FALSE(w.btCompare->isEnabled());
        QTest::mouseClick(w.btCompare, Qt::LeftButton);
        EXPECT_FALSE(TfrmDupCompare::instance().isVisible());
    });
    Navigation::Registration pairs(Navigation::Target::ComparePairs, [](const Navigation::Request &r) {
        return TfrmDupCompare::showFor(qobject_cast<TfrmDup *>(r.from));
    });
    TfrmDup *seen = nullptr;
    open(true, [&](TfrmDup &w) {
        bytes(w, w.rbLarger, 0);
        QTest::mouseClick(w.btScan, Qt::LeftButton);
        QTest::mouseClick(w.btCompare, Qt::LeftButton);
        EXPECT_TRUE(TfrmDupCompare::instance().isVisible());
        EXPECT_EQ(TfrmDupCompare::instance().finder(), &w);
        EXPECT_FALSE(w.btBrowse->isEnabled()); // no folder browser yet
        seen = &w;
    });
    EXPECT_TRUE(seen);
    EXPECT_FALSE(TfrmDupCompare::instance().isVisible());
}
