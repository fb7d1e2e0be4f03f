#include "app/AppState.h"
#include "app/IniFile.h"
#include "common/EventPump.h"
#include "common/Navigation.h"
#include "common/TModal.h"
#include "platform/Drives.h"
#include "safety/FolderRemoval.h"
#include "safety/TfrmDelDirectory.h"
#include "safety/ZipArchive.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <QLabel>
#include <QPushButton>
#include <QTimer>
#include <QTest>
#include <cstdlib>
#include <fstream>
#include <sys/stat.h>
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
              "Deleted 1 files for a savings of 10 bytes. (Note: Deletion operation canceled ... not all files deleted)");
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
                                                     "Deleted 1 files for a savings of 5 bytes."}));
}

TEST_F(FolderRemovalTest, AFileThatCannotBeDeletedIsReportedAndNotCounted)
{
    if (TestEnv::privileged())
        GTEST_SKIP() << "permissions do not apply to root";
    t.sized("D/top/ok", 7);
    t.sized("D/top/locked/stuck", 50);
    ::chmod(t.path("D/top/locked").c_str(), 0555);
    const FolderRemoval::Outcome out = FolderRemoval(t.path("D/top")).run();
    ::chmod(t.path("D/top/locked").c_str(), 0755);
    EXPECT_TRUE(out.completed);
    EXPECT_FALSE(out.folderRemoved);
    ASSERT_EQ(dialogs.texts().size(), 2u);
    EXPECT_TRUE(dialogs.texts()[0].startsWith("Couldn't delete file - " + QString::fromStdString(t.path("D/top/locked/stuck"))));
    EXPECT_EQ(dialogs.texts()[1], "Deleted 1 files for a savings of 7 bytes.");
    EXPECT_TRUE(TempTree::exists(t.path("D/top/locked/stuck")));
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
