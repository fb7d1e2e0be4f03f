#include "settings/IniFile.h"
#include "safety/TfrmStandBy.h"
#include "common/DosTime.h"
#include "common/EventPump.h"
#include "common/TModal.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmReallyDelete.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QCloseEvent>
#include <QCoreApplication>
#include <QLabel>
#include <QListWidget>
#include <QProgressBar>
#include <QPushButton>
#include <QTabWidget>
#include <QTest>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdio>
#include <sys/stat.h>

namespace {
const QString kNoFiles = QStringLiteral(
    "There are no files on the deletion panel.  In order to perform this operation you need to move files from the "
    "NON-DELETE list to the deletion panel.");
const QString kAllProtected = QStringLiteral(
    "All files selected appear on the NON-DELETE list.  To delete the files anyway, move them off of the NON-DELETE "
    "list onto the DELETION PANEL.");
const QString kRecycleQuestion = QStringLiteral(
    "Note that the recycle bin may be full or that you may have an option that empties it automatically "
    "turned on in your desktop's trash settings. If either is true, then you will not be able to recover the deleted files from "
    "the recycle bin. \n\nSend to the recycle bin anyway?");
const QString kRecycleFailed = QStringLiteral("An error occurred sending files to the recycle bin.  The bin may be full.");


// Two folders mapped as drives D: and E:; E:/keep is on the non-delete list.
class ReallyDelete : public testing::Test {
protected:
    ScriptedDialogs dialogs;
    TempTree t{"drives"};
    std::string d = t.dir("D");
    std::string e = t.dir("E");
    std::string keep = t.dir("E/keep");

    void SetUp() override
    {
        Drives::setMapping({{'D', d}, {'E', e}});
        nonDeleteList().setLists({keep + "/"}, {}, {});
        EventPump::setDefaultInterval(-1);
    }
    void TearDown() override
    {
        EventPump::setDefaultInterval(15);
        nonDeleteList().setLists({}, {}, {});
        Drives::setMapping({});
    }

    std::vector<QString> texts(const QListWidget *l) const
    {
        std::vector<QString> out;
        for (int i = 0; i < l->count(); ++i)
            out.push_back(l->item(i)->text());
        return out;
    }
    static int64_t tally(const char *key) { return IniFile().readInt("Vantor", key, -1); }
};

void selectAll(QListWidget *l)
{
    for (int i = 0; i < l->count(); ++i)
        l->item(i)->setSelected(true);
}
}

TEST_F(ReallyDelete, AllProtectedWarnsHalfASecondLaterAndRefusesEveryAction)
{
    const std::string a = t.file("E/keep/a.dll", "a"), b = t.file("E/keep/b.dll", "b");
    TfrmReallyDelete w;
    w.setFiles({b, a});
    w.show();

    EXPECT_FALSE(TfrmStandBy::instance().isVisible());
    EXPECT_EQ(w.lb1->count(), 0);
    EXPECT_EQ(texts(w.lb2), (std::vector<QString>{QString::fromStdString(a), QString::fromStdString(b)}));
    EXPECT_EQ(w.lblDelete->text(), "Delete - 0, Do NOT delete - 2");
    // The warning waits for the one-shot timer.
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(w.TabbedNotebook1->currentIndex(), 0);
    ASSERT_TRUE(w.Timer1->isActive());
    EXPECT_TRUE(w.Timer1->isSingleShot());
    EXPECT_EQ(w.Timer1->interval(), 500);
    w.Timer1->setInterval(0);
    for (int i = 0; i < 20 && w.Timer1->isActive(); ++i)
        QCoreApplication::processEvents();
    ASSERT_EQ(dialogs.texts(), (std::vector<QString>{kAllProtected}));
    EXPECT_EQ(w.TabbedNotebook1->currentIndex(), 1);

    for (QPushButton *action : {w.btDelete, w.btRecycle, w.btZip})
        QTest::mouseClick(action, Qt::LeftButton);
    EXPECT_EQ(dialogs.count(kNoFiles), 3);
    EXPECT_EQ(dialogs.boxes.size(), 4u);
    EXPECT_TRUE(TempTree::exists(a) && TempTree::exists(b));
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.pnlButtons->isVisible());
    EXPECT_EQ(tally("Ndelete"), -1);
}

TEST_F(ReallyDelete, HeadersMovingAndReasons)
{
    const std::string x = t.file("D/sub/b.txt"), y = t.file("D/A.txt"), z = t.file("D/sub/C.txt");
    const std::string k = t.file("E/keep/lib.so");
    TfrmReallyDelete w;
    for (const std::string &p : {x, k, z, y, x})
        w.addFile(p);
    w.potentialSavings = 1234567;
    w.show();

    EXPECT_EQ(w.windowTitle(), "Clean up the following files");
    EXPECT_EQ(w.lblDelete->text(), "Delete - 3, Do NOT delete - 1");
    EXPECT_EQ(w.lblSavings->text(), "1,234,567 bytes");
    EXPECT_EQ(w.Label3->text(), "Potential savings of ");
    EXPECT_EQ(w.lblLeft->text(), "Deletion Panel - files to be deleted: 3");
    EXPECT_EQ(w.lblRight->text(), "Files that will NOT be deleted: 1");
    // Sorted without regard to case.
    EXPECT_EQ(w.deletionPanel(), (std::vector<std::string>{y, x, z}));
    EXPECT_FALSE(w.Timer1->isActive());
    EXPECT_FALSE(w.btToAgainst->isEnabled());
    EXPECT_FALSE(w.btMoveLeft->isEnabled());
    EXPECT_FALSE(w.btReason->isEnabled());

    w.lb1->item(1)->setSelected(true);
    EXPECT_TRUE(w.btToAgainst->isEnabled());
    QTest::mouseClick(w.btToAgainst, Qt::LeftButton);
    EXPECT_EQ(w.nonDeletePanel(), (std::vector<std::string>{x, k}));
    EXPECT_EQ(w.lblDelete->text(), "Delete - 2, Do NOT delete - 2");
    EXPECT_EQ(w.TabbedNotebook1->currentIndex(), 0);
    EXPECT_FALSE(w.btToAgainst->isEnabled());

    selectAll(w.lb1);
    QTest::mouseClick(w.btToAgainst, Qt::LeftButton);
    EXPECT_EQ(w.lb1->count(), 0);
    EXPECT_EQ(w.TabbedNotebook1->currentIndex(), 1);

    // The reason names the protecting list, or the user's own move.
    EXPECT_EQ(w.nonDeletePanel(), (std::vector<std::string>{y, x, z, k}));
    w.lb2->setCurrentRow(3);
    EXPECT_TRUE(w.btReason->isEnabled());
    QTest::mouseClick(w.btReason, Qt::LeftButton);
    w.lb2->setCurrentRow(0);
    QTest::mouseClick(w.btReason, Qt::LeftButton);
    ASSERT_EQ(dialogs.boxes.size(), 2u);
    EXPECT_EQ(dialogs.boxes[0].kind, Dialogs::Kind::Info);
    EXPECT_EQ(dialogs.boxes[0].text, "This file \"" + QString::fromStdString(k)
                                         + "\" is on the DO NOT DELETE LIST since the folder that it is stored in is "
                                           "referenced in the package lists or desktop entries");
    EXPECT_EQ(dialogs.boxes[1].text,
              "This file \"" + QString::fromStdString(y) + "\" is on the DO NOT DELETE LIST because you moved it here.");

    selectAll(w.lb2);
    QTest::mouseClick(w.btMoveLeft, Qt::LeftButton);
    EXPECT_EQ(w.deletionPanel(), (std::vector<std::string>{y, x, z, k}));
    EXPECT_EQ(w.TabbedNotebook1->currentIndex(), 0);
    EXPECT_EQ(w.lblRight->text(), "Files that will NOT be deleted: 0");

    QTest::mouseClick(w.btClose, Qt::LeftButton);
    EXPECT_EQ(w.result(), QDialog::Rejected);
    for (const std::string &p : {x, y, z, k})
        EXPECT_TRUE(TempTree::exists(p));
}

TEST_F(ReallyDelete, DeclinedQuestionsRemoveNothing)
{
    const std::string a = t.file("D/a.txt", "aaa");
    TfrmReallyDelete w;
    w.setFiles({a});
    w.show();
    QTest::mouseClick(w.btDelete, Qt::LeftButton);
    QTest::mouseClick(w.btRecycle, Qt::LeftButton);
    ASSERT_EQ(dialogs.texts(),
              (std::vector<QString>{"Really delete?", "Files not deleted", kRecycleQuestion, "Files not deleted"}));
    EXPECT_EQ(dialogs.boxes[0].buttons, Dialogs::Buttons::YesNo);
    EXPECT_EQ(dialogs.boxes[2].buttons, Dialogs::Buttons::YesNo);
    EXPECT_EQ(TempTree::read(a), "aaa");
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(w.pnlButtons->isVisible());
    EXPECT_FALSE(w.pnlProgress->isVisible());
    EXPECT_EQ(w.lb1->count(), 1);
    EXPECT_EQ(tally("Ndelete"), -1);
    EXPECT_EQ(tally("NWaste"), -1);
    EXPECT_FALSE(TempTree::exists(Paths::dataHome() + "/Trash/files/a.txt"));
}

TEST_F(ReallyDelete, DeleteRemovesWhatItCanAndCountsOnlyThat)
{
    const std::string a = t.file("D/a.txt", "12345"), b = t.file("D/b.txt", "1234567");
    const std::string gone = t.file("D/c-gone.txt", "xx");
    const std::string k = t.file("E/keep/k.txt", "keep");
    const std::string target = t.file("E/target.txt", "target");
    const std::string link = t.path("D/d-link");
    ASSERT_EQ(::symlink(target.c_str(), link.c_str()), 0);
    std::string locked;
    if (!TestEnv::privileged()) {
        locked = t.file("D/ro/e.txt", "locked");
        ::chmod(t.path("D/ro").c_str(), 0555);
    }

    dialogs.answer(Dialogs::Answer::Yes);
    TfrmReallyDelete w;
    std::vector<std::string> files{a, b, gone, k, link};
    if (!locked.empty())
        files.push_back(locked);
    w.setFiles(files);
    w.potentialSavings = 1e9;
    TModal::push([&](QDialog *) {
        ::unlink(gone.c_str());
        QTest::mouseClick(w.btDelete, Qt::LeftButton);
    });
    EXPECT_EQ(TModal::exec(&w), QDialog::Accepted);

    EXPECT_FALSE(TempTree::exists(a) || TempTree::exists(b));
    struct stat st;
    EXPECT_NE(::lstat(link.c_str(), &st), 0);
    EXPECT_EQ(TempTree::read(target), "target");
    EXPECT_EQ(TempTree::read(k), "keep");
    std::vector<QString> expected{"Really delete?", "Couldn't delete file - " + QString::fromStdString(gone)};
    if (!locked.empty()) {
        EXPECT_EQ(TempTree::read(locked), "locked");
        expected.push_back("Couldn't delete file - " + QString::fromStdString(locked));
        ::chmod(t.path("D/ro").c_str(), 0755);
    }
    EXPECT_EQ(dialogs.texts(), expected);
    EXPECT_EQ(dialogs.boxes[1].kind, Dialogs::Kind::Error);
    EXPECT_EQ(w.lb1->count(), 0);
    EXPECT_EQ(w.lblDelete->text(), "Delete - 0, Do NOT delete - 1");

    EXPECT_EQ(tally("Ndelete"), 3);
    EXPECT_EQ(tally("SizeDelete"), int64_t(5 + 7 + target.size()));
    EXPECT_EQ(tally("NWaste"), 0);
    EXPECT_EQ(tally("DelDate"), dateSerial(QDate::currentDate()));

    // A later run adds to the tallies and leaves the first day alone.
    IniFile().writeInt("Vantor", "DelDate", 35796);
    const std::string f = t.file("D/f.txt", "123");
    dialogs.answer(Dialogs::Answer::Yes);
    TfrmReallyDelete again;
    again.setFiles({f});
    again.show();
    QTest::mouseClick(again.btDelete, Qt::LeftButton);
    EXPECT_EQ(again.result(), QDialog::Accepted);
    EXPECT_EQ(tally("Ndelete"), 4);
    EXPECT_EQ(tally("SizeDelete"), int64_t(15 + target.size()));
    EXPECT_EQ(tally("DelDate"), 35796);
}

TEST_F(ReallyDelete, RecycleHandsFilesToTheTrashForPeersToRestore)
{
    const std::string a = t.file("D/my notes.txt", "notes"), b = t.file("D/sub/b.bin", "binary");
    const std::string k = t.file("E/keep/k.txt", "keep");
    dialogs.answer(Dialogs::Answer::Yes);
    TfrmReallyDelete w;
    w.setFiles({a, b, k});
    w.show();
    QTest::mouseClick(w.btRecycle, Qt::LeftButton);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    EXPECT_EQ(dialogs.texts(), (std::vector<QString>{kRecycleQuestion, "Sent 2 files to the recycle bin, which now "
                                                     "holds 11 bytes from this run. No space is freed until the bin "
                                                     "is emptied."}));
    EXPECT_FALSE(TempTree::exists(a) || TempTree::exists(b));
    EXPECT_EQ(TempTree::read(k), "keep");

    const std::string listed = TestEnv::commandOutput("trash-list");
    EXPECT_NE(listed.find(" " + a + "\n"), std::string::npos) << listed;
    EXPECT_NE(listed.find(" " + b + "\n"), std::string::npos) << listed;
    EXPECT_EQ(listed.find(k), std::string::npos);
    TestEnv::commandOutput("echo 0 | trash-restore '" + t.path("D/sub") + "' >/dev/null 2>&1");
    EXPECT_EQ(TempTree::read(b), "binary");

    EXPECT_EQ(tally("NWaste"), 2);
    EXPECT_EQ(tally("SizeWaste"), 11);
    EXPECT_EQ(tally("Ndelete"), 0);
    EXPECT_EQ(tally("DelDate"), dateSerial(QDate::currentDate()));
}

TEST_F(ReallyDelete, SavingsLeaveOutTheBytesOfFilesThatKeepAnotherName)
{
    const std::string a = t.file("D/a.txt", "12345"), b = t.file("D/b.txt", "1234567");
    ASSERT_EQ(::link(a.c_str(), t.path("E/a-again").c_str()), 0);
    dialogs.answer(Dialogs::Answer::Yes);
    TfrmReallyDelete w;
    w.setFiles({a, b});
    w.potentialSavings = 12;
    w.show();
    EXPECT_EQ(w.lblSavings->text(), "7 bytes");
    QTest::mouseClick(w.btDelete, Qt::LeftButton);
    EXPECT_EQ(tally("Ndelete"), 2);
    EXPECT_EQ(tally("SizeDelete"), 7);
}

TEST_F(ReallyDelete, RecycleStopsAtTheFirstFailureAndCountsWhatWent)
{
    const std::string a = t.file("D/a.txt", "1"), b = t.file("D/b.txt", "22"), c = t.file("D/c.txt", "333");
    dialogs.answer(Dialogs::Answer::Yes);
    TfrmReallyDelete w;
    w.setFiles({c, a, b, a});
    w.potentialSavings = 6;
    w.show();
    ::unlink(b.c_str());
    QTest::mouseClick(w.btRecycle, Qt::LeftButton);
    EXPECT_EQ(w.result(), QDialog::Accepted);
    ASSERT_EQ(dialogs.boxes.size(), 3u);
    EXPECT_EQ(dialogs.boxes[1].text, kRecycleFailed);
    EXPECT_EQ(dialogs.boxes[1].kind, Dialogs::Kind::Error);
    EXPECT_TRUE(dialogs.boxes[2].text.startsWith("Sent 1 file to the recycle bin, which now holds 1 bytes"));
    EXPECT_TRUE(dialogs.boxes[2].text.endsWith("not all files sent to the recycle bin)"));
    EXPECT_FALSE(TempTree::exists(a));
    EXPECT_EQ(TempTree::read(c), "333");
    EXPECT_EQ(tally("NWaste"), 1);
    EXPECT_EQ(tally("SizeWaste"), 1);
}

TEST_F(ReallyDelete, WindowCannotCloseUnderARunAndAbortableRunsAsk)
{
    const std::string a = t.file("D/a.txt", "a");
    TfrmReallyDelete w;
    w.setFiles({a});
    w.show();

    bool ran = false;
    w.runWithProgress(1, false, [&] {
        EXPECT_TRUE(w.running());
        EXPECT_FALSE(w.btClose->isEnabled());
        EXPECT_FALSE(w.TabbedNotebook1->isEnabled());
        EXPECT_FALSE(w.bar->isHidden());
        w.reject();
        QCloseEvent ev;
        QCoreApplication::sendEvent(&w, &ev);
        EXPECT_FALSE(ev.isAccepted());
        w.btCloseClick();
        EXPECT_TRUE(w.isVisible());
        EXPECT_TRUE(w.stepTo(0, a));
        EXPECT_EQ(w.lblName->text(), QString::fromStdString(a));
        ran = true;
    });
    EXPECT_TRUE(ran);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_FALSE(w.running());
    EXPECT_TRUE(w.btClose->isEnabled());
    EXPECT_TRUE(w.bar->isHidden());

    // An abortable run keeps Close: it and the close box ask, and Yes stops the run.
    EventPump::setDefaultInterval(0);
    bool pumped = false;
    w.runWithProgress(3, true, [&] {
        EXPECT_TRUE(w.btClose->isEnabled());
        QTimer::singleShot(0, &w, [&] { pumped = true; });
        EXPECT_TRUE(w.stepTo(0, a));
        EXPECT_TRUE(pumped);
        QCloseEvent ev;
        QCoreApplication::sendEvent(&w, &ev);
        EXPECT_FALSE(ev.isAccepted());
        EXPECT_FALSE(w.abortRequested);
        dialogs.answer(Dialogs::Answer::Yes);
        QTest::mouseClick(w.btClose, Qt::LeftButton);
        EXPECT_TRUE(w.abortRequested);
        EXPECT_FALSE(w.stepTo(1, a));
        EXPECT_TRUE(w.isVisible());
    });
    EXPECT_EQ(dialogs.texts(), (std::vector<QString>(2, "Really abort?  Folders may be partially deleted!")));
    EXPECT_TRUE(TempTree::exists(a));
}

TEST_F(ReallyDelete, NothingActsBeforeTheOpeningSortEnds)
{
    // Events run while the panels are sorted; an action that reaches the
    // window then must not act on a protected file still on the deletion panel.
    const std::string k = t.file("E/keep/k.txt", "keep");
    EventPump::setDefaultInterval(0);
    dialogs.answer(Dialogs::Answer::Yes);
    TfrmReallyDelete w;
    w.setFiles({k});
    bool reached = false;
    QTimer::singleShot(0, &w, [&] {
        reached = true;
        EXPECT_TRUE(w.running());
        w.btDeleteAllClick();
        w.btRecycleClick();
        w.reject();
    });
    w.show();
    EXPECT_TRUE(reached);
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_TRUE(w.isVisible());
    EXPECT_EQ(TempTree::read(k), "keep");
    EXPECT_EQ(w.nonDeletePanel(), std::vector<std::string>{k});
}

// Enter never starts an action: Close is the default button, also while an
// action button has the focus (as after a click and a message box).
TEST_F(ReallyDelete, EnterClosesTheWindowWhateverHasTheFocus)
{
    const std::string a = t.file("D/a.txt", "aaa");
    for (int focus = 0; focus < 3; ++focus) {
        TfrmReallyDelete w;
        w.setFiles({a});
        w.show();
        QPushButton *const actions[] = {w.btZip, w.btDelete, w.btRecycle};
        QPushButton *const button = actions[focus];
        button->setFocus();
        QTest::keyClick(button, Qt::Key_Return);
        EXPECT_FALSE(w.isVisible()) << focus;
        EXPECT_EQ(w.result(), QDialog::Rejected);
        EXPECT_TRUE(w.btClose->isDefault());
    }
    EXPECT_TRUE(dialogs.boxes.empty());
    EXPECT_EQ(TempTree::read(a), "aaa");
}
