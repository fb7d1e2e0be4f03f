#include "platform/Drives.h"
#include "platform/Removal.h"
#include "safety/Deletion.h"
#include "safety/NonDeleteList.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <sys/stat.h>
#include <unistd.h>

namespace {
// What a walk would have recorded of the entry at path now.
Removal::LintFound seen(const std::string &path, Removal::LintKind kind)
{
    struct stat st;
    EXPECT_EQ(::lstat(path.c_str(), &st), 0) << path;
    return {kind, uint64_t(st.st_dev), uint64_t(st.st_ino)};
}

class LintRemoval : public testing::Test {
protected:
    ~LintRemoval() override { nonDeleteList().setLists({}, {}, {}); }
    std::string boxText() const
    {
        std::string t;
        for (const QString &b : dlg.texts())
            t += b.toStdString() + "\n";
        return t;
    }
    ScriptedDialogs dlg;
    TempTree tree{"lint"};
};
}

TEST_F(LintRemoval, AChainOfEmptyFoldersGoesDeepestFirstWhateverThePanelOrder)
{
    using K = Removal::LintKind;
    const std::string a = tree.dir("a"), ab = tree.dir("a/b"), abc = tree.dir("a/b/c");
    const std::string empty = tree.file("a2/none");
    Deletion::LintMap lint{{a, seen(a, K::EmptyFolder)},
                           {ab, seen(ab, K::EmptyFolder)},
                           {abc, seen(abc, K::EmptyFolder)},
                           {empty, seen(empty, K::EmptyFile)}};
    const std::vector<std::string> panel{a, tree.path("a2"), ab, empty, abc};
    // The folder a2 is no lint row: it is not rechecked and not deferred.
    EXPECT_EQ(Deletion::runOrder(panel, lint), (std::vector<std::string>{tree.path("a2"), empty, abc, ab, a}));

    std::vector<std::string> order;
    const Deletion::Tally t = Deletion::deleteFiles({a, ab, abc, empty}, [&](size_t, const std::string &p) {
        order.push_back(p);
        return true;
    }, lint);
    EXPECT_EQ(order, (std::vector<std::string>{empty, abc, ab, a}));
    EXPECT_EQ(t.files, 4);
    EXPECT_EQ(t.bytes, 0);
    EXPECT_FALSE(TempTree::exists(a));
    EXPECT_TRUE(TempTree::exists(tree.path("a2")));
    EXPECT_TRUE(dlg.boxes.empty()) << boxText();
}

TEST_F(LintRemoval, WhatChangedSinceTheWalkIsKeptAndNamed)
{
    using K = Removal::LintKind;
    const std::string outer = tree.dir("outer"), inner = tree.dir("outer/inner");
    const std::string file = tree.file("zero.txt");
    const std::string fixedLink = tree.path("fixed"), swapped = tree.path("swapped"), broken = tree.path("broken");
    ASSERT_EQ(::symlink("target-to-come", fixedLink.c_str()), 0);
    ASSERT_EQ(::symlink("nowhere", swapped.c_str()), 0);
    ASSERT_EQ(::symlink("../nowhere/either", broken.c_str()), 0);
    Deletion::LintMap lint{{outer, seen(outer, K::EmptyFolder)}, {inner, seen(inner, K::EmptyFolder)},
                           {file, seen(file, K::EmptyFile)},     {fixedLink, seen(fixedLink, K::BrokenLink)},
                           {swapped, seen(swapped, K::BrokenLink)}, {broken, seen(broken, K::BrokenLink)}};

    // After the walk: a file is written into the inner folder, the empty
    // file gets bytes, one link's target appears, another link becomes a file.
    tree.file("outer/inner/new.txt", "written later");
    tree.file("zero.txt", "now with data");
    tree.file("target-to-come", "t");
    ASSERT_EQ(::unlink(swapped.c_str()), 0);
    tree.file("swapped", "a file now");

    const Deletion::Tally t = Deletion::deleteFiles({outer, inner, file, fixedLink, swapped, broken}, {}, lint);
    EXPECT_EQ(t.files, 1); // only the link still broken
    EXPECT_FALSE(TempTree::exists(broken));
    for (const std::string &p : {inner, file, fixedLink, swapped})
        EXPECT_TRUE(TempTree::exists(p)) << p;
    EXPECT_EQ(TempTree::read(tree.path("outer/inner/new.txt")), "written later");
    EXPECT_EQ(TempTree::read(swapped), "a file now");

    ASSERT_EQ(dlg.boxes.size(), 1u) << boxText();
    const QString box = dlg.boxes[0].text;
    EXPECT_TRUE(box.startsWith("Not removed because they changed after the search:"));
    EXPECT_TRUE(box.contains(QString::fromStdString(inner) + " - something was written into it"));
    EXPECT_TRUE(box.contains(QString::fromStdString(outer) + " - something was written into it"));
    EXPECT_TRUE(box.contains(QString::fromStdString(file) + " - it was written to"));
    EXPECT_TRUE(box.contains(QString::fromStdString(fixedLink) + " - its target exists now"));
    EXPECT_TRUE(box.contains(QString::fromStdString(swapped) + " - something else has its name now"));
}

TEST_F(LintRemoval, AFolderSwappedForAnotherOrALinkIsKept)
{
    using K = Removal::LintKind;
    const std::string f = tree.dir("gone-and-back"), g = tree.dir("linked");
    const Removal::LintFound fs = seen(f, K::EmptyFolder), gs = seen(g, K::EmptyFolder);
    ASSERT_EQ(::rmdir(f.c_str()), 0);
    tree.dir("keep-inode-busy"); // the new folder must not reuse the old inode
    tree.dir("gone-and-back");
    TempTree::swapForLink(g, tree.dir("elsewhere"));
    EXPECT_EQ(Removal::removeLint(f, fs).outcome, Removal::LintOutcome::Replaced);
    EXPECT_EQ(Removal::removeLint(g, gs).outcome, Removal::LintOutcome::Replaced);
    EXPECT_EQ(Removal::removeLint(tree.path("nothing"), fs).outcome, Removal::LintOutcome::Gone);
    EXPECT_TRUE(TempTree::exists(f));
    EXPECT_TRUE(TempTree::exists(tree.path("elsewhere")));
}

TEST_F(LintRemoval, TrashTakesTheEntryItselfAndZipLeavesFoldersAndLinks)
{
    using K = Removal::LintKind;
    const std::string a = tree.dir("t/a"), t = tree.path("t"), link = tree.path("dangling");
    const std::string file = tree.file("empty.dat");
    ASSERT_EQ(::symlink("no-such-file", link.c_str()), 0);
    const Deletion::LintMap lint{{a, seen(a, K::EmptyFolder)},
                                 {t, seen(t, K::EmptyFolder)},
                                 {link, seen(link, K::BrokenLink)},
                                 {file, seen(file, K::EmptyFile)}};
    EXPECT_EQ(Deletion::zipPaths({t, a, link, file, tree.path("other")}, lint),
              (std::vector<std::string>{file, tree.path("other")}));
    EXPECT_EQ(Deletion::zipLeftText(3), "3 empty folders or broken links left where they are: an archive has "
                                        "nothing to keep of them. Use \"Delete all files\" or \"Send to recycle "
                                        "bin\" to remove them.");

    const Deletion::Tally done = Deletion::recycleFiles({t, a, link, file}, {}, lint);
    EXPECT_EQ(done.files, 4);
    for (const std::string &p : {t, link, file})
        EXPECT_FALSE(TempTree::exists(p)) << p;
    struct stat st;
    const std::string trash = std::string(getenv("XDG_DATA_HOME")) + "/Trash/files/";
    ASSERT_EQ(::lstat((trash + "dangling").c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::lstat((trash + "t").c_str(), &st), 0);
    EXPECT_TRUE(S_ISDIR(st.st_mode));
    EXPECT_TRUE(dlg.boxes.empty()) << boxText();
}

TEST_F(LintRemoval, AProtectedEntryOrADriveRootIsNeverRemovedWhateverThePanelSays)
{
    using K = Removal::LintKind;
    const std::string bin = tree.dir("apps/bin"), link = tree.path("apps/bin/old"), root = tree.dir("drive");
    ASSERT_EQ(::symlink("missing", link.c_str()), 0);
    nonDeleteList().setLists({}, {bin + "/"}, {});
    Drives::setMapping({{'C', root}});
    const Deletion::LintMap lint{{link, seen(link, K::BrokenLink)}, {root, seen(root, K::EmptyFolder)}};
    EXPECT_EQ(Deletion::deleteFiles({link, root}, {}, lint).files, 0);
    Drives::setMapping({});
    struct stat st;
    EXPECT_EQ(::lstat(link.c_str(), &st), 0);
    EXPECT_TRUE(TempTree::exists(root));
    ASSERT_EQ(dlg.boxes.size(), 1u);
    EXPECT_EQ(dlg.boxes[0].text.count(" - it is protected"), 2);
}
