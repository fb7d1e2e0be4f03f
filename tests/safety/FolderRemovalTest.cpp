#include "settings/AppState.h"
#include "settings/IniFile.h"
#include "common/EventPump.h"
#include "common/Navigation.h"
#include "common/TModal.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "platform/Trash.h"
#include "safety/FolderRemoval.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmDelDirectory.h"
#include "common/TPathLabel.h"
#include "common/TShadowLabel.h"
#include "safety/ZipArchive.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QCheckBox>
#include <QLabel>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <QTest>
#include <cstdlib>
#include <cstring>
#include <fstream>
#include <set>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
using Answer = Dialogs::Answer;
const QString kQuestion = QStringLiteral("Delete this file and continue deleting the remaining files? ");

// Drive D: mapped to a folder of the tree; the archive folder beside it.
struct FolderRemovalTest : ::testing::Test {
    TempTree t{"rmdir"};
    std::string d = t.dir("D"), archives = t.dir("archives");
    ScriptedDialogs dialogs;
    FolderRemovalTest()
    {
        Drives::setMapping({{'D', d}});
        AppState::defaultZipPath = QString::fromStdString(archives);
    }
    ~FolderRemovalTest() override
    {
        Drives::setMapping({});
        AppState::defaultZipPath.clear();
    }
    // 100, 200 and 1,000 bytes in two sub-folders of D/top.
    std::string threeFiles()
    {
        t.sized("D/top/one/a", 100);
        t.sized("D/top/one/b", 200);
        t.sized("D/top/two/c", 1000);
        return t.path("D/top");
    }
    static int64_t tally(const char *name) { return IniFile().readInt("Vantor", name, -1); }
    static int run(const std::string &cmd) { return std::system(cmd.c_str()); }
};
}

TEST_F(FolderRemovalTest, DeleteModeRemovesTheTreeReportsAndTalliesIt)
{
    const std::string top = threeFiles();
    FolderRemoval r(top);
    const FolderRemoval::Outcome out = r.run();
    EXPECT_TRUE(out.ran && out.completed && out.folderRemoved);
    EXPECT_EQ(dialogs.texts(), (std::vector<QString>{"Deleted 3 files for a savings of 1,300 bytes."}));
    EXPECT_FALSE(TempTree::exists(top));
    EXPECT_EQ(tally("Ndelete"), 3);
    EXPECT_EQ(tally("SizeDelete"), 1300);
    EXPECT_EQ(tally("NWaste"), 0);

    // An empty folder goes without a message and without touching the tallies.
    const std::string empty = t.dir("D/empty");
    EXPECT_TRUE(FolderRemoval(empty).run().folderRemoved);
    EXPECT_EQ(dialogs.texts().size(), 1u);
    EXPECT_EQ(tally("Ndelete"), 3);
    EXPECT_FALSE(TempTree::exists(empty));
}

// A file that grows while a question is up or while the window's events run
// is tallied at its size when it goes, not at the size the walk first read.
TEST_F(FolderRemovalTest, AFileThatGrowsWhileTheRunWaitsIsTalliedAtItsSizeWhenRemoved)
{
    struct GrowingDialogs : ScriptedDialogs {
        std::string file;
        Answer message(Kind kind, const QString &text, Buttons buttons, const QString &title) override
        {
            if (text.contains(" is hidden, "))
                std::ofstream(file, std::ios::app) << std::string(90, 'g');
            return ScriptedDialogs::message(kind, text, buttons, title);
        }
    } asking;
    const std::string top = t.dir("D/top");
    asking.file = t.sized("D/top/.h", 10);
    const std::string busy = t.sized("D/top/busy", 20);
    asking.answer(Answer::Yes);
    FolderRemoval r(top);
    r.hooks.fileStarted = [&](int64_t, const std::string &path) {
        if (path == busy)
            std::ofstream(busy, std::ios::app) << std::string(100, 'g');
    };
    r.hooks.pump = [] { return true; }; // events ran
    const FolderRemoval::Outcome out = r.run();
    EXPECT_TRUE(out.folderRemoved);
    EXPECT_EQ(asking.texts().back(), "Deleted 2 files for a savings of 220 bytes.");
    EXPECT_EQ(tally("SizeDelete"), 220);
}

TEST_F(FolderRemovalTest, ALinkInsideIsRemovedAsALinkAndALinkedFolderIsRefused)
{
    const std::string precious = t.file("outside/precious", "keep");
    const std::string top = t.dir("D/top");
    ASSERT_EQ(::symlink(t.path("outside").c_str(), (top + "/link").c_str()), 0);
    dialogs.answer(Answer::Yes); // "... is a system file, ..."
    FolderRemoval(top).run();
    EXPECT_EQ(dialogs.texts()[0].toStdString(), top + "/link is a system file, " + kQuestion.toStdString());
    EXPECT_FALSE(TempTree::exists(top));
    EXPECT_EQ(TempTree::read(precious), "keep");

    ASSERT_EQ(::symlink(t.path("outside").c_str(), t.path("D/alias").c_str()), 0);
    const FolderRemoval::Outcome out = FolderRemoval(t.path("D/alias")).run();
    EXPECT_FALSE(out.ran);
    EXPECT_TRUE(dialogs.boxes.back().text.contains("is a symbolic link, not a folder."));
    EXPECT_EQ(TempTree::read(precious), "keep");
}

TEST_F(FolderRemovalTest, AttributeQuestionsComeInOrderAndNoStopsTheWalkWithTheRestKept)
{
    const std::string top = t.dir("D/top");
    for (const char *n : {"f1", "f2", "f3"}) {
        t.sized("D/top/" + std::string(n), 10);
        ::chmod(t.path("D/top/" + std::string(n)).c_str(), 0444);
    }
    dialogs.answer(Answer::Yes);
    dialogs.answer(Answer::No);
    const FolderRemoval::Outcome out = FolderRemoval(top).run();
    EXPECT_FALSE(out.completed);
    EXPECT_EQ(out.files, 1);
    ASSERT_EQ(dialogs.texts().size(), 3u);
    EXPECT_TRUE(dialogs.texts()[0].endsWith(" is read-only, " + kQuestion)) << dialogs.texts()[0].toStdString();
    EXPECT_EQ(dialogs.texts()[2],
              "Deleted 1 file for a savings of 10 bytes. (Note: Deletion operation canceled ... not all files deleted)");
    int left = 0;
    for (const char *n : {"f1", "f2", "f3"})
        left += TempTree::exists(t.path("D/top/" + std::string(n)));
    EXPECT_EQ(left, 2);
    EXPECT_TRUE(TempTree::exists(top));
    EXPECT_EQ(tally("Ndelete"), 1);

    // A read-only hidden file is asked about twice and then deleted.
    ::chmod(top.c_str(), 0755);
    const std::string hidden = t.path("D/h");
    t.sized("D/h/.secret", 5);
    ::chmod((hidden + "/.secret").c_str(), 0400);
    dialogs.boxes.clear();
    dialogs.answer(Answer::Yes);
    dialogs.answer(Answer::Yes);
    EXPECT_TRUE(FolderRemoval(hidden).run().folderRemoved);
    const QString p = QString::fromStdString(hidden + "/.secret");
    EXPECT_EQ(dialogs.texts(), (std::vector<QString>{p + " is read-only, " + kQuestion, p + " is hidden, " + kQuestion,
                                                     "Deleted 1 file for a savings of 5 bytes."}));
}

// Every failure is counted and named in the closing message; only the first
// file that could not be deleted gets a box of its own.
TEST_F(FolderRemovalTest, WhatCannotBeRemovedIsReportedAndNotCounted)
{
    if (TestEnv::privileged())
        GTEST_SKIP() << "permissions do not apply to root";
    t.sized("D/top/ok", 7);
    t.sized("D/top/locked/stuck", 50);
    t.sized("D/top/locked/stuck2", 50);
    t.sized("D/top/closed/inside", 5);
    ::chmod(t.path("D/top/locked").c_str(), 0555);
    ::chmod(t.path("D/top/closed").c_str(), 0);
    const FolderRemoval::Outcome out = FolderRemoval(t.path("D/top")).run();
    ::chmod(t.path("D/top/locked").c_str(), 0755);
    ::chmod(t.path("D/top/closed").c_str(), 0755);
    EXPECT_TRUE(out.completed);
    EXPECT_FALSE(out.folderRemoved);
    ASSERT_EQ(dialogs.texts().size(), 2u);
    EXPECT_TRUE(dialogs.texts()[0].startsWith("Couldn't delete file - " + QString::fromStdString(t.path("D/top/locked/stuck"))));
    EXPECT_EQ(dialogs.texts()[1].toStdString(),
              "Deleted 1 file for a savings of 7 bytes.\n\nNot removed: 2 files that could not be deleted; 2 folders "
              "that could not be removed; 1 folder that could not be opened.");
    EXPECT_TRUE(TempTree::exists(t.path("D/top/locked/stuck")));
    EXPECT_TRUE(TempTree::exists(t.path("D/top/closed/inside")));
    EXPECT_EQ(tally("SizeDelete"), 7);
}

TEST_F(FolderRemovalTest, RecycleModeTrashesEveryFileRestorablyAndTalliesItAsRecycled)
{
    const std::string top = threeFiles();
    FolderRemoval r(top);
    r.mode = FolderRemoval::Mode::Recycle;
    EXPECT_TRUE(r.run().folderRemoved);
    const std::string listed = TestEnv::commandOutput("trash-list");
    for (const char *f : {"one/a", "one/b", "two/c"})
        EXPECT_NE(listed.find(" " + top + "/" + f + "\n"), std::string::npos) << listed;
    TestEnv::commandOutput("echo 0 | trash-restore '" + top + "/two' >/dev/null 2>&1");
    EXPECT_EQ(TempTree::read(top + "/two/c"), std::string(1000, 'x'));
    EXPECT_EQ(tally("NWaste"), 3);
    EXPECT_EQ(tally("SizeWaste"), 1300);
    EXPECT_EQ(tally("Ndelete"), 0);
    // Nothing was freed: the message says where the files went.
    EXPECT_EQ(dialogs.texts(), (std::vector<QString>{"Sent 3 files to the recycle bin, which now holds 1,300 bytes from "
                                                     "this run. No space is freed until the bin is emptied."}));
}

TEST_F(FolderRemovalTest, AFileWithANameOutsideTheFolderFreesNothing)
{
    // a keeps a name outside; b's two names are both inside, so its bytes go once.
    const std::string a = t.sized("D/top/a", 50000), b = t.sized("D/top/one/b", 700);
    ASSERT_EQ(::link(a.c_str(), t.path("D/a-elsewhere").c_str()), 0);
    ASSERT_EQ(::link(b.c_str(), t.path("D/top/b2").c_str()), 0);
    EXPECT_TRUE(FolderRemoval(t.path("D/top")).run().folderRemoved);
    EXPECT_EQ(dialogs.texts(), (std::vector<QString>{"Deleted 3 files for a savings of 700 bytes."}));
    EXPECT_EQ(tally("SizeDelete"), 700);
    EXPECT_EQ(TempTree::read(t.path("D/a-elsewhere")).size(), 50000u);

    t.sized("D/one/c", 10);
    EXPECT_TRUE(FolderRemoval(t.path("D/one")).run().folderRemoved);
    EXPECT_EQ(dialogs.texts().back(), "Deleted 1 file for a savings of 10 bytes.");
}

TEST_F(FolderRemovalTest, ZipModeArchivesFromTheDriveRootAndDeletesOnlyWhenAsked)
{
    const std::string top = threeFiles();
    FolderRemoval keep(top);
    keep.mode = FolderRemoval::Mode::Zip;
    keep.deleteAfterZip = false;
    keep.zipTime = QDateTime(QDate(2027, 3, 1), QTime(9, 5));
    const FolderRemoval::Outcome kept = keep.run();
    EXPECT_EQ(kept.zipped, 3);
    EXPECT_EQ(kept.files, 0);
    EXPECT_EQ(dialogs.texts(), (std::vector<QString>{"Zipped up 3 files"}));
    EXPECT_TRUE(TempTree::exists(top + "/two/c"));

    FolderRemoval zip(top);
    zip.mode = FolderRemoval::Mode::Zip;
    zip.zipComment = QStringLiteral("tree");
    zip.zipTime = QDateTime(QDate(2027, 3, 2), QTime(9, 5));
    EXPECT_TRUE(zip.run().folderRemoved);
    EXPECT_EQ(dialogs.texts().back(), "Zipped up 3 files");
    EXPECT_FALSE(TempTree::exists(top));
    EXPECT_EQ(tally("NZip"), 3);
    EXPECT_EQ(tally("SizeZip"), 1300);

    const std::string archive = archives + "/Drive-D-FolderClean02Mar270905.zip";
    ASSERT_TRUE(TempTree::exists(archive));
    EXPECT_EQ(run("unzip -tq '" + archive + "' >/dev/null 2>&1"), 0);
    const std::string out = t.dir("restored");
    ASSERT_EQ(run("cd '" + out + "' && unzip -q '" + archive + "'"), 0);
    EXPECT_EQ(TempTree::read(out + "/top/one/a"), std::string(100, 'x'));
    EXPECT_EQ(TempTree::read(out + "/top/two/c"), std::string(1000, 'x'));
}

TEST_F(FolderRemovalTest, ZipModeInSmallBatchesRemovesEveryFolderAndAnAbortCountsOnlyWhatWent)
{
    // Nested folders and an empty one: each folder is emptied only once the
    // batch holding its last files is synced and deleted.
    const std::string top = threeFiles();
    t.sized("D/top/one/deep/x", 50);
    t.dir("D/top/three");
    FolderRemoval zip(top);
    zip.mode = FolderRemoval::Mode::Zip;
    zip.zipBatch.files = 2;
    zip.zipTime = QDateTime(QDate(2027, 3, 3), QTime(9, 5));
    const FolderRemoval::Outcome all = zip.run();
    EXPECT_TRUE(all.completed);
    EXPECT_TRUE(all.folderRemoved);
    EXPECT_FALSE(TempTree::exists(top));
    EXPECT_EQ(all.files, 4);
    EXPECT_EQ(all.bytes, 1350);
    EXPECT_EQ(run("unzip -tq '" + archives + "/Drive-D-FolderClean03Mar270905.zip' >/dev/null 2>&1"), 0);

    // Aborted at the third file: the batch of the first two still goes, the
    // rest stays, and the message and tallies say exactly that.
    const std::string again = threeFiles();
    t.sized("D/top/two/d", 10);
    FolderRemoval r(again);
    r.mode = FolderRemoval::Mode::Zip;
    r.zipBatch.files = 2;
    r.zipTime = QDateTime(QDate(2027, 3, 4), QTime(9, 5));
    r.hooks.fileStarted = [&](int64_t count, const std::string &) { r.aborted = count == 3; };
    const FolderRemoval::Outcome part = r.run();
    EXPECT_FALSE(part.completed);
    EXPECT_EQ(part.zipped, 2);
    int64_t left = 0;
    for (const char *f : {"one/a", "one/b", "two/c", "two/d"})
        left += TempTree::exists(again + "/" + f);
    EXPECT_EQ(left, 2);
    EXPECT_EQ(part.files, 2);
    EXPECT_EQ(dialogs.texts().back(), "Zipped up 2 files (Note: Zip operation canceled ... not all files zipped)");
    EXPECT_EQ(tally("NZip"), 4 + 2);
}

TEST_F(FolderRemovalTest, RefusesRootsHomeAndAnArchiveFolderInside)
{
    EXPECT_FALSE(FolderRemoval::refusal(d).isEmpty());
    EXPECT_FALSE(FolderRemoval::refusal("/").isEmpty());
    EXPECT_FALSE(FolderRemoval::refusal("/usr").isEmpty());
    EXPECT_FALSE(FolderRemoval::refusal(TestEnv::home()).isEmpty());
    EXPECT_TRUE(FolderRemoval::refusal(t.path("D/top")).isEmpty());

    // A folder that holds the home folder would take it along; a folder
    // beside it whose name merely begins the same way is removable.
    const std::string savedHome = TestEnv::home();
    const std::string users = t.dir("users");
    TestEnv::setHome(t.dir("users/me"));
    t.dir("users/me2");
    EXPECT_EQ(FolderRemoval::refusedAs(users), FolderRemoval::Refused::Home);
    EXPECT_EQ(FolderRemoval::refusal(users).toStdString(), users + " holds your home folder and cannot be removed.");
    EXPECT_EQ(FolderRemoval::refusal(users + "/me/").toStdString(), users + "/me is your home folder and cannot be removed.");
    EXPECT_TRUE(FolderRemoval::refusal(users + "/me2").isEmpty());
    EXPECT_TRUE(FolderRemoval::refusal(users + "/me/inner").isEmpty());
    TestEnv::setHome(savedHome);

    const std::string top = threeFiles();
    AppState::defaultZipPath = QString::fromStdString(top + "/one");
    FolderRemoval zip(top);
    zip.mode = FolderRemoval::Mode::Zip;
    EXPECT_FALSE(zip.run().ran);
    EXPECT_TRUE(dialogs.texts()[0].contains("is inside the folder to remove"));
    EXPECT_TRUE(TempTree::exists(top + "/one/a"));
}

TEST_F(FolderRemovalTest, AnAbortStopsTheWalkAndWhatWasRemovedIsStillReported)
{
    const std::string top = threeFiles();
    FolderRemoval r(top);
    r.hooks.fileStarted = [&](int64_t count, const std::string &) {
        if (count == 2)
            r.aborted = true; // a confirmed abort while the second file is shown
    };
    const FolderRemoval::Outcome out = r.run();
    EXPECT_FALSE(out.completed);
    EXPECT_EQ(out.met, 2);
    EXPECT_TRUE(TempTree::exists(top));
    EXPECT_TRUE(dialogs.texts().back().endsWith("(Note: Deletion operation canceled ... not all files deleted)"));
    EXPECT_EQ(tally("Ndelete"), out.files);
}

TEST_F(FolderRemovalTest, TheWindowRemovesThroughNavigationAndCancelDoesNothing)
{
    const std::string top = threeFiles();
    TModal::push([](QDialog *w) { static_cast<TfrmDelDirectory *>(w)->BitBtn3Click(); });
    Navigation::Registration reg(Navigation::Target::RemoveFolder, [](const Navigation::Request &req) {
        TfrmDelDirectory w;
        w.setFolder(req.path);
        TModal::exec(&w);
        return w.folderRemoved;
    });
    EXPECT_FALSE(Navigation::removeFolder(nullptr, top));
    EXPECT_TRUE(TempTree::exists(top));

    TModal::push([](QDialog *w) { QTest::mouseClick(static_cast<TfrmDelDirectory *>(w)->btDelete, Qt::LeftButton); });
    EXPECT_TRUE(Navigation::removeFolder(nullptr, top));
    EXPECT_FALSE(TempTree::exists(top));
    EXPECT_EQ(dialogs.texts(), (std::vector<QString>{"Deleted 3 files for a savings of 1,300 bytes."}));
}

TEST_F(FolderRemovalTest, TheWindowsAbortAsksAndKeepsTheRestWhileReportingWhatWent)
{
    const std::string top = threeFiles();
    Navigation::Registration reg(Navigation::Target::RemoveFolder, &TfrmDelDirectory::navigate);
    EventPump::setDefaultInterval(0); // events run at every pump point
    // "&Delete folder"; while the second file is shown, Abort, and Yes to
    // its question. A No first keeps the run going.
    dialogs.answer(Answer::No);
    dialogs.answer(Answer::Yes);
    int asked = 0;
    TModal::push([&](QDialog *d) {
        auto *w = qobject_cast<TfrmDelDirectory *>(d);
        ASSERT_TRUE(w);
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, w, [&] {
            if (w->pnlCount->text() == "2" && asked < 2) {
                ++asked;
                QTest::mouseClick(w->BitBtn3, Qt::LeftButton);
            }
        });
        watch.start(0);
        QTest::mouseClick(w->btDelete, Qt::LeftButton);
        if (w->isVisible())
            w->reject();
    });
    Navigation::FolderRemovalOutcome outcome;
    EXPECT_FALSE(Navigation::removeFolder(nullptr, top, &outcome));
    EventPump::setDefaultInterval(15);
    EXPECT_EQ(TModal::pending(), 0u);
    EXPECT_TRUE(outcome.ran);
    EXPECT_FALSE(outcome.removed);
    EXPECT_TRUE(TempTree::exists(top));
    const std::vector<QString> texts = dialogs.texts();
    ASSERT_EQ(texts.size(), 3u);
    EXPECT_EQ(texts[0], "Really abort?  Folders may be partially deleted!");
    EXPECT_EQ(texts[1], "Really abort?  Folders may be partially deleted!");
    EXPECT_EQ(dialogs.boxes[0].buttons, Dialogs::Buttons::YesNo);
    // The second file's removal was already under way: two went, one stays.
    int left = 0;
    for (const char *f : {"/one/a", "/one/b", "/two/c"})
        left += TempTree::exists(top + f);
    EXPECT_EQ(left, 3 - tally("Ndelete"));
    EXPECT_EQ(texts[2], FolderRemoval::deletedText(tally("Ndelete"), tally("SizeDelete"), false));
    EXPECT_GE(left, 1);
}

// With no window events between files (a fast run), the panels and the
// gauge still say where the run ended when its closing message comes.
TEST_F(FolderRemovalTest, TheWindowShowsTheFinalCountAndAFullGaugeAtTheClosingMessage)
{
    const std::string top = threeFiles();
    Navigation::Registration reg(Navigation::Target::RemoveFolder, &TfrmDelDirectory::navigate);
    EventPump::setDefaultInterval(-1);
    struct Watch : ScriptedDialogs {
        std::function<void()> seen;
        Answer message(Kind kind, const QString &text, Buttons buttons, const QString &title) override
        {
            if (seen)
                seen();
            return ScriptedDialogs::message(kind, text, buttons, title);
        }
    } watch;
    QString count;
    int gauge = -1;
    TModal::push([&](QDialog *d) {
        auto *w = qobject_cast<TfrmDelDirectory *>(d);
        ASSERT_TRUE(w);
        watch.seen = [&, w] {
            count = w->pnlCount->text();
            gauge = w->Gauge1->value();
        };
        TModal::push([](QDialog *options) { options->accept(); });
        w->cbDelete->setChecked(true);
        QTest::mouseClick(w->btZip, Qt::LeftButton);
    });
    EXPECT_TRUE(Navigation::removeFolder(nullptr, top));
    EventPump::setDefaultInterval(15);
    EXPECT_EQ(watch.texts(), (std::vector<QString>{"Zipped up 3 files"}));
    EXPECT_EQ(count, "3");
    EXPECT_EQ(gauge, 100);
}

// "Yes to all" answers a kind of question for the rest of the run; the
// other kinds are still asked, once each.
TEST_F(FolderRemovalTest, YesToAllAnswersEachKindOfQuestionForTheRestOfTheRun)
{
    const std::string top = t.dir("D/top");
    for (const char *n : {"r1", "r2", "r3", ".h1", "sub/.h2"})
        t.sized("D/top/" + std::string(n), 10);
    for (const char *n : {"r1", "r2", "r3"})
        ::chmod(t.path("D/top/" + std::string(n)).c_str(), 0444);
    ASSERT_EQ(::symlink("r1", (top + "/l1").c_str()), 0);
    ASSERT_EQ(::symlink("r2", (top + "/sub/l2").c_str()), 0);
    for (int i = 0; i < 3; ++i)
        dialogs.answer(Answer::YesToAll);
    const FolderRemoval::Outcome out = FolderRemoval(top).run();
    EXPECT_TRUE(out.folderRemoved);
    EXPECT_EQ(out.files, 7);
    ASSERT_EQ(dialogs.boxes.size(), 4u);
    std::set<QString> phrases;
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(dialogs.boxes[i].buttons, Dialogs::Buttons::YesAllNoCancel);
        for (const char *p : {" is read-only, ", " is hidden, ", " is a system file, "})
            if (dialogs.boxes[i].text.endsWith(p + kQuestion))
                phrases.insert(p);
    }
    EXPECT_EQ(phrases.size(), 3u);
}

// A read-only file keeps its mode in the trash: a Yes to the read-only
// question changes nothing on the file.
TEST_F(FolderRemovalTest, RecycleModeKeepsAReadOnlyFileReadOnly)
{
    const std::string top = t.dir("D/top");
    t.sized("D/top/ro", 10);
    ::chmod((top + "/ro").c_str(), 0444);
    dialogs.answer(Answer::Yes);
    FolderRemoval r(top);
    r.mode = FolderRemoval::Mode::Recycle;
    EXPECT_TRUE(r.run().folderRemoved);
    struct stat st;
    ASSERT_EQ(::lstat((Paths::dataHome() + "/Trash/files/ro").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0444u);
}

// Recycling a folder that holds the trash moves its other files and leaves
// the trash alone: nothing trashed before is trashed again, and the closing
// message counts only what went and says why the folder stays.
TEST_F(FolderRemovalTest, RecyclingAFolderThatHoldsTheTrashLeavesTheTrashAlone)
{
    const std::string share = t.dir("D/share");
    ::setenv("XDG_DATA_HOME", share.c_str(), 1);
    const std::string old = t.file("D/elsewhere/old", "earlier");
    ASSERT_TRUE(Trash::moveToTrash(old).ok);
    const std::string trash = share + "/Trash";
    t.sized("D/share/app/x", 40);
    t.sized("D/share/y", 2);
    FolderRemoval r(share);
    r.mode = FolderRemoval::Mode::Recycle;
    const FolderRemoval::Outcome out = r.run();
    EXPECT_EQ(out.files, 2);
    EXPECT_FALSE(out.folderRemoved);
    EXPECT_EQ(dialogs.texts().back().toStdString(),
              "Sent 2 files to the recycle bin, which now holds 42 bytes from this run. No space is freed until the bin is "
              "emptied.\n\nNot removed: 1 folder that could not be removed; the trash "
              "folder " + trash + ", which the files were sent to.");
    std::set<std::string> infos;
    for (const std::string &n : DirReader::namesOfKind(trash + "/info", DirReader::Kind::File))
        infos.insert(n);
    EXPECT_EQ(infos, (std::set<std::string>{"old.trashinfo", "x.trashinfo", "y.trashinfo"}));
    EXPECT_EQ(TempTree::read(trash + "/files/old"), "earlier");
    EXPECT_FALSE(TempTree::exists(share + "/app"));
    EXPECT_EQ(tally("NWaste"), 2);

    // A folder inside the trash is refused in recycle mode, before anything is asked.
    dialogs.boxes.clear();
    FolderRemoval inside(trash + "/files");
    inside.mode = FolderRemoval::Mode::Recycle;
    EXPECT_FALSE(inside.run().ran);
    ASSERT_EQ(dialogs.texts().size(), 1u);
    EXPECT_TRUE(dialogs.texts()[0].contains("is in the trash folder"));
    EXPECT_EQ(TempTree::read(trash + "/files/old"), "earlier");
}

// Zip mode keeps what an archive cannot hold and names it in the closing
// message, without asking about it.
TEST_F(FolderRemovalTest, ZipModeNamesTheEntriesItNeitherZipsNorRemoves)
{
    const std::string top = threeFiles();
    ASSERT_EQ(::symlink("one/a", (top + "/link").c_str()), 0);
    ASSERT_EQ(::mkfifo((top + "/two/fifo").c_str(), 0644), 0);
    const int sock = ::socket(AF_UNIX, SOCK_STREAM, 0);
    sockaddr_un addr{};
    addr.sun_family = AF_UNIX;
    const std::string sockPath = top + "/s";
    ASSERT_LT(sockPath.size(), sizeof addr.sun_path);
    std::strcpy(addr.sun_path, sockPath.c_str());
    ASSERT_EQ(::bind(sock, reinterpret_cast<sockaddr *>(&addr), sizeof addr), 0);
    ::close(sock);
    FolderRemoval zip(top);
    zip.mode = FolderRemoval::Mode::Zip;
    zip.zipTime = QDateTime(QDate(2027, 3, 5), QTime(9, 5));
    const FolderRemoval::Outcome out = zip.run();
    EXPECT_EQ(out.zipped, 3);
    EXPECT_FALSE(out.folderRemoved);
    ASSERT_EQ(dialogs.texts().size(), 1u); // no system-file question
    const QString text = dialogs.texts()[0];
    EXPECT_TRUE(text.startsWith("Zipped up 3 files\n\n3 entries were neither zipped nor removed: an archive holds only "
                                "regular files.\n"))
        << text.toStdString();
    for (const std::string &line : {top + "/link (symbolic link)", top + "/two/fifo (FIFO)", sockPath + " (socket)"})
        EXPECT_TRUE(text.contains(QString::fromStdString("\n" + line))) << line;
    EXPECT_TRUE(TempTree::exists(top + "/two/fifo"));
    EXPECT_FALSE(TempTree::exists(top + "/one"));
}

// The zip file folder is judged where it would be made: through a link into
// the folder to remove, it is refused although it does not exist yet; and
// a refusal comes before the non-delete warning.
TEST_F(FolderRemovalTest, RefusalsComeFirstAndSeeThroughLinks)
{
    const std::string top = threeFiles();
    ASSERT_EQ(::symlink(top.c_str(), t.path("D/ln").c_str()), 0);
    AppState::defaultZipPath = QString::fromStdString(t.path("D/ln/archives/new"));
    nonDeleteList().setLists({}, {top + "/two"}, {});
    FolderRemoval zip(top);
    zip.mode = FolderRemoval::Mode::Zip;
    EXPECT_FALSE(zip.run().ran);
    nonDeleteList().setLists({}, {}, {});
    ASSERT_EQ(dialogs.texts().size(), 1u);
    EXPECT_TRUE(dialogs.texts()[0].contains("is inside the folder to remove")) << dialogs.texts()[0].toStdString();
    EXPECT_FALSE(TempTree::exists(top + "/archives"));
    EXPECT_TRUE(TempTree::exists(top + "/one/a"));

    // A folder reached through a link higher up names that link.
    dialogs.boxes.clear();
    EXPECT_FALSE(FolderRemoval(t.path("D/ln/one")).run().ran);
    EXPECT_EQ(dialogs.texts(), (std::vector<QString>{QString::fromStdString(
                                   t.path("D/ln") + " is a symbolic link, not a folder.  Nothing was removed.")}));
    EXPECT_TRUE(TempTree::exists(top + "/one/a"));
}

// Enter never starts a removal: Cancel is the default button, also while a
// removal button has the focus (as after a click and a message box).
TEST_F(FolderRemovalTest, EnterInTheWindowCancelsWhateverHasTheFocus)
{
    const std::string top = threeFiles();
    for (int focus = 0; focus < 4; ++focus) {
        TfrmDelDirectory w;
        w.setFolder(top);
        QPushButton *const buttons[] = {w.btDelete, w.btRecycle, w.btZip, nullptr};
        int result = -1;
        TModal::push([&](QDialog *d) {
            QWidget *target = buttons[focus] ? static_cast<QWidget *>(buttons[focus]) : d->focusWidget();
            if (buttons[focus])
                buttons[focus]->setFocus();
            QTest::keyClick(target ? target : d, Qt::Key_Return);
            if (d->isVisible())
                d->done(42);
        });
        result = TModal::exec(&w);
        EXPECT_EQ(result, QDialog::Rejected) << focus;
        EXPECT_TRUE(w.BitBtn3->isDefault());
    }
    EXPECT_TRUE(TempTree::exists(top + "/one/a"));
    EXPECT_TRUE(dialogs.boxes.empty());
}

// A newline in a folder's or a file's name is shown as the control picture
// the grid shows, in the title and in the name panel, and is drawn as such
// (not as a blank).
TEST_F(FolderRemovalTest, ANewlineInANameIsShownVisibly)
{
    t.sized("D/top\nx/f\ng", 10);
    const std::string top = t.path("D/top\nx");
    Navigation::Registration reg(Navigation::Target::RemoveFolder, &TfrmDelDirectory::navigate);
    EventPump::setDefaultInterval(-1);
    QString title, name;
    QImage drawn, blank;
    struct Watch : ScriptedDialogs {
        std::function<void()> seen;
        Answer message(Kind kind, const QString &text, Buttons buttons, const QString &title) override
        {
            if (seen)
                seen();
            return ScriptedDialogs::message(kind, text, buttons, title);
        }
    } watch;
    TModal::push([&](QDialog *d) {
        auto *w = qobject_cast<TfrmDelDirectory *>(d);
        ASSERT_TRUE(w);
        watch.seen = [&, w] {
            title = w->lblDirectory->text();
            name = w->pnlName->path();
            drawn = w->lblDirectory->grab().toImage();
            w->lblDirectory->setText(QString(title).replace(QChar(0x240A), QLatin1Char(' ')));
            blank = w->lblDirectory->grab().toImage();
        };
        w->cbDelete->setChecked(true);
        QTest::mouseClick(w->btDelete, Qt::LeftButton);
    });
    Navigation::removeFolder(nullptr, top);
    EventPump::setDefaultInterval(15);
    EXPECT_TRUE(title.contains(QString::fromUtf8("top\u240Ax"))) << title.toStdString();
    EXPECT_TRUE(name.contains(QString::fromUtf8("f\u240Ag"))) << name.toStdString();
    ASSERT_FALSE(drawn.isNull());
    EXPECT_NE(drawn, blank);
}

// On a deep tree whose levels hold files of the same names, the name panel
// follows the walk from file to file and tells the levels apart: what it
// shows ends in the file's own name and its folder's, also for a name too
// long for half the panel.
TEST_F(FolderRemovalTest, TheNamePanelShowsTheFileAndItsFolderAtEveryLevelOfADeepTree)
{
    constexpr int kLevels = 300;
    const std::string longName = "notes-kept-at-every-level-of-the-tree.txt";
    std::string rel = "D/deep";
    for (int level = 0; level < kLevels; ++level) {
        if (level > 0)
            rel += "/L" + std::to_string(level);
        for (const std::string &n : {std::string("a.txt"), longName, "only" + std::to_string(level) + ".txt"})
            t.sized(rel + "/" + n, 1);
    }
    const std::string top = t.path("D/deep");
    Navigation::Registration reg(Navigation::Target::RemoveFolder, &TfrmDelDirectory::navigate);
    EventPump::setDefaultInterval(0); // the panels show every file
    std::vector<std::pair<QString, QString>> seen; // (whole path, shown text) at each file
    TModal::push([&](QDialog *d) {
        auto *w = qobject_cast<TfrmDelDirectory *>(d);
        ASSERT_TRUE(w);
        QTimer watch;
        QObject::connect(&watch, &QTimer::timeout, w, [&, w] {
            const QString path = w->pnlName->path();
            if (w->removalRunning && path.startsWith(QLatin1Char('/')) && (seen.empty() || seen.back().first != path))
                seen.emplace_back(path, w->pnlName->text());
        });
        watch.start(0);
        QTest::mouseClick(w->btDelete, Qt::LeftButton);
    });
    EXPECT_TRUE(Navigation::removeFolder(nullptr, top));
    EventPump::setDefaultInterval(15);
    EXPECT_EQ(seen.size(), size_t(3 * kLevels));
    int endless = 0, longSeen = 0;
    for (const auto &[path, text] : seen) {
        const QString end = path.section(QLatin1Char('/'), -2);
        longSeen += path.endsWith(QString::fromStdString(longName));
        if (!text.endsWith(QLatin1Char('/') + end) && endless++ < 3)
            ADD_FAILURE() << text.toStdString() << "\n  for " << path.toStdString();
    }
    EXPECT_EQ(endless, 0);
    EXPECT_EQ(longSeen, kLevels);
}
