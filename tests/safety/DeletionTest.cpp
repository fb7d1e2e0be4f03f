#include "settings/IniFile.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "platform/Removal.h"
#include "safety/Deletion.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

TEST(Deletion, AStoppedRunCountsOnlyTheFilesRemovedBeforeTheStop)
{
    ScriptedDialogs dialogs;
    TempTree t("run");
    const std::vector<std::string> files{t.file("a", "1"), t.file("b", "22"), t.file("c", "333")};
    std::vector<size_t> seen;
    const Deletion::Tally done = Deletion::deleteFiles(files, [&](size_t i, const std::string &p) {
        EXPECT_EQ(p, files[i]);
        seen.push_back(i);
        return i < 2;
    });
    EXPECT_EQ(seen, (std::vector<size_t>{0, 1, 2}));
    EXPECT_EQ(done.files, 2);
    EXPECT_EQ(done.bytes, 3);
    EXPECT_TRUE(TempTree::exists(files[2]));
    EXPECT_TRUE(dialogs.boxes.empty());

    const Deletion::Tally recycled = Deletion::recycleFiles({files[2]}, {});
    EXPECT_EQ(recycled.files, 1);
    EXPECT_EQ(recycled.bytes, 3);
    EXPECT_FALSE(TempTree::exists(files[2]));
}

TEST(Deletion, TalliesAddUpAndAFailedWriteIsReported)
{
    ScriptedDialogs dialogs;
    Deletion::recordZipTally(2, 300);
    Deletion::recordZipTally(1, 50);
    EXPECT_EQ(IniFile().readInt("Vantor", "NZip", -1), 3);
    EXPECT_EQ(IniFile().readInt("Vantor", "SizeZip", -1), 350);
    EXPECT_EQ(IniFile().readInt("Vantor", "Ndelete", -1), -1);
    EXPECT_TRUE(dialogs.boxes.empty());

    if (TestEnv::privileged())
        GTEST_SKIP() << "permission checks do not apply";
    ::chmod(Paths::settingsFolder().c_str(), 0555);
    Deletion::recordDeletionTally(1, 10, 0, 0);
    ::chmod(Paths::settingsFolder().c_str(), 0755);
    ASSERT_EQ(dialogs.boxes.size(), 1u);
    EXPECT_EQ(dialogs.boxes[0].kind, Dialogs::Kind::Error);
    EXPECT_EQ(dialogs.boxes[0].text, "Unable to write to " + QString::fromStdString(IniFile().path()));
    EXPECT_EQ(IniFile().readInt("Vantor", "Ndelete", -1), -1);
}

TEST(Deletion, RunsNeverActThroughAFolderSwappedForALink)
{
    ScriptedDialogs dialogs;
    TempTree t("swap");
    Drives::setMapping({{'C', t.dir("c")}});
    // Found: c/x/a/f (the walked root x, a middle folder a) and c/y/g.
    const std::string f = t.file("c/x/a/f", "found"), g = t.file("c/y/g", "other file");
    const std::string lookAlike = t.file("elsewhere/a/f", "not yours"), lookAlike2 = t.file("far/x/a/f", "nor this");
    for (const bool rootSwapped : {false, true}) {
        if (rootSwapped)
            TempTree::swapForLink(t.path("c/x"), t.path("far/x"));
        else
            TempTree::swapForLink(t.path("c/x/a"), t.path("elsewhere/a"));
        dialogs.boxes.clear();
        const Deletion::Tally deleted = Deletion::deleteFiles({f, g}, {});
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].text, Deletion::kCouldNotDelete + QString::fromStdString(f));
        EXPECT_EQ(deleted.files, 1);
        EXPECT_EQ(deleted.bytes, 10);

        dialogs.boxes.clear();
        const Deletion::Tally recycled = Deletion::recycleFiles({f}, {});
        ASSERT_EQ(dialogs.boxes.size(), 1u);
        EXPECT_EQ(dialogs.boxes[0].text, Deletion::kRecycleFailed);
        EXPECT_EQ(recycled.files, 0);
        EXPECT_EQ(TempTree::read(lookAlike), "not yours");
        EXPECT_EQ(TempTree::read(lookAlike2), "nor this");
        t.file("c/y/g", "other file");
        ::unlink(t.path(rootSwapped ? "c/x" : "c/x/a").c_str());
        ::rename(t.path(rootSwapped ? "c/x.moved" : "c/x/a.moved").c_str(), t.path(rootSwapped ? "c/x" : "c/x/a").c_str());
    }
    EXPECT_EQ(TempTree::read(f), "found");
    Drives::setMapping({});
}

TEST(Deletion, ANameOfAFileWithAnotherNameFreesNothingUntilItsLastNameGoes)
{
    ScriptedDialogs dialogs;
    TempTree t("links");
    // a keeps a name outside the list; b's two names are both listed; c has one.
    const std::string a = t.sized("a", 50000), b = t.sized("b", 1000), c = t.sized("c", 10);
    const std::string a2 = t.path("a2"), b2 = t.path("b2");
    ASSERT_EQ(::link(a.c_str(), a2.c_str()), 0);
    ASSERT_EQ(::link(b.c_str(), b2.c_str()), 0);
    const std::vector<std::string> files{a, b, b2, c};
    EXPECT_EQ(Removal::unfreedBytes(files), 50000 + 1000);
    EXPECT_EQ(Removal::unfreedBytes({a2, a}), 50000);
    EXPECT_EQ(Removal::unfreedBytes({c}), 0);

    const Deletion::Tally done = Deletion::deleteFiles(files, {});
    EXPECT_EQ(done.files, 4);
    EXPECT_EQ(done.bytes, 1000 + 10); // b's bytes once, with its last name
    EXPECT_EQ(TempTree::read(a2).size(), 50000u);
}
