#include "platform/Drives.h"
#include "platform/TreeRemoval.h"
#include "support/MountSandbox.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <set>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

namespace {
struct TreeRemovalTest : ::testing::Test {
    TempTree t{"rmtree"};
    std::string c = t.dir("c");
    TreeRemovalTest() { Drives::setMapping({{'C', c}}); }
    ~TreeRemovalTest() override { Drives::setMapping({}); }
};
}

TEST_F(TreeRemovalTest, RemovesEverythingInListingOrderEachFolderEmptiedFirst)
{
    t.file("c/top/a.txt", "1");
    t.file("c/top/sub/b.txt", "22");
    t.file("c/top/sub/deeper/c.txt", "333");
    t.dir("c/top/empty");
    std::vector<std::string> met;
    TreeRemoval::Walk walk;
    walk.onEntry = [&](const TreeRemoval::Entry &e) {
        met.push_back(e.path);
        // a folder whose files were met is gone before the walk goes on
        if (e.name == "a.txt" && met.size() > 1) {
            EXPECT_FALSE(TempTree::exists(t.path("c/top/sub")));
        }
        return TreeRemoval::deleteEntry(e);
    };
    const TreeRemoval::Result r = TreeRemoval::removeTree(t.path("c/top"), walk);
    EXPECT_TRUE(r.opened);
    EXPECT_TRUE(r.completed);
    EXPECT_TRUE(r.rootRemoved);
    EXPECT_EQ(r.foldersRemoved, 4);
    EXPECT_EQ(met.size(), 3u);
    EXPECT_FALSE(TempTree::exists(t.path("c/top")));
    EXPECT_TRUE(TempTree::exists(c));
}

// A folder whose listing takes several reads, emptied while it is listed:
// every entry is met once and the folder goes.
TEST_F(TreeRemovalTest, AFolderListedInSeveralReadsIsRemovedWhole)
{
    const std::string big = t.dir("c/top/big");
    for (int i = 0; i < 4000; ++i)
        ::close(::open((big + "/entry-with-a-longer-name-" + std::to_string(i)).c_str(), O_CREAT | O_WRONLY, 0644));
    std::set<std::string> met;
    int calls = 0;
    TreeRemoval::Walk walk;
    walk.onEntry = [&](const TreeRemoval::Entry &e) {
        ++calls;
        met.insert(e.path);
        return TreeRemoval::deleteEntry(e);
    };
    const TreeRemoval::Result r = TreeRemoval::removeTree(t.path("c/top"), walk);
    EXPECT_TRUE(r.completed && r.rootRemoved);
    EXPECT_EQ(calls, 4000);
    EXPECT_EQ(met.size(), 4000u);
    EXPECT_EQ(met.count(big + "/entry-with-a-longer-name-3999"), 1u);
    EXPECT_FALSE(TempTree::exists(t.path("c/top")));
}

TEST_F(TreeRemovalTest, LinksInsideAreRemovedAsLinksAndTheirTargetsSurvive)
{
    const std::string outside = t.file("c/keep/precious.txt", "keep me");
    t.file("c/top/f", "x");
    ASSERT_EQ(::symlink(t.path("c/keep").c_str(), t.path("c/top/dirlink").c_str()), 0);
    ASSERT_EQ(::symlink(outside.c_str(), t.path("c/top/filelink").c_str()), 0);
    int links = 0;
    TreeRemoval::Walk walk;
    walk.onEntry = [&](const TreeRemoval::Entry &e) {
        links += S_ISLNK(e.st.st_mode);
        return TreeRemoval::deleteEntry(e);
    };
    const TreeRemoval::Result r = TreeRemoval::removeTree(t.path("c/top"), walk);
    EXPECT_TRUE(r.completed && r.rootRemoved);
    EXPECT_EQ(links, 2);
    EXPECT_EQ(TempTree::read(outside), "keep me");
}

TEST_F(TreeRemovalTest, AFolderThatIsALinkIsRefusedAndNothingIsTouched)
{
    t.file("c/real/f", "x");
    ASSERT_EQ(::symlink(t.path("c/real").c_str(), t.path("c/alias").c_str()), 0);
    int entries = 0;
    TreeRemoval::Walk walk;
    walk.onEntry = [&](const TreeRemoval::Entry &) { return ++entries, true; };
    TreeRemoval::Result r = TreeRemoval::removeTree(t.path("c/alias"), walk);
    EXPECT_FALSE(r.opened);
    EXPECT_TRUE(r.error == ELOOP || r.error == ENOTDIR) << r.error;
    // a folder on the way that is a link is refused the same
    r = TreeRemoval::removeTree(t.path("c/alias/."), walk);
    EXPECT_FALSE(r.opened);
    EXPECT_EQ(entries, 0);
    EXPECT_TRUE(TempTree::exists(t.path("c/real/f")));
    EXPECT_TRUE(TempTree::exists(t.path("c/alias")));
}

TEST_F(TreeRemovalTest, StopAndKeptFoldersLeaveTheRestInPlace)
{
    t.file("c/top/a/1", "x");
    t.file("c/top/b/2", "x");
    t.file("c/top/b/3", "x");
    int handled = 0;
    TreeRemoval::Walk walk;
    walk.onEntry = [&](const TreeRemoval::Entry &e) {
        ++handled;
        TreeRemoval::deleteEntry(e);
        return handled < 2; // stop after the second file
    };
    TreeRemoval::Result r = TreeRemoval::removeTree(t.path("c/top"), walk);
    EXPECT_TRUE(r.opened);
    EXPECT_FALSE(r.completed);
    EXPECT_FALSE(r.rootRemoved);
    EXPECT_EQ(handled, 2);
    EXPECT_TRUE(TempTree::exists(t.path("c/top")));

    // Without folder removal only the entries are handled.
    walk.onEntry = [&](const TreeRemoval::Entry &) { return true; };
    walk.removeFolders = false;
    r = TreeRemoval::removeTree(t.path("c/top"), walk);
    EXPECT_TRUE(r.completed);
    EXPECT_EQ(r.foldersRemoved, 0);
    EXPECT_TRUE(TempTree::exists(t.path("c/top")));

    // stopRequested before the first entry: nothing handled.
    walk.stopRequested = [] { return true; };
    handled = 0;
    walk.onEntry = [&](const TreeRemoval::Entry &) { return ++handled, true; };
    r = TreeRemoval::removeTree(t.path("c/top"), walk);
    EXPECT_FALSE(r.completed);
    EXPECT_EQ(handled, 0);
}

// A file system mounted below the tree is another drive: it is not entered,
// its mount point stays.
TEST_F(TreeRemovalTest, AnotherMountBelowIsNotEntered)
{
    const auto currentFolder = [] {
        char *c = get_current_dir_name();
        std::string s = c ? c : "";
        std::free(c);
        return s;
    };
    t.file("c/top/f", "x");
    const std::string mnt = t.dir("c/top/mnt");
    const std::string cwdBefore = currentFolder();
    const MountSandbox::Outcome o = MountSandbox::run({mnt}, [&]() -> std::string {
        std::ofstream(mnt + "/inside") << "other drive";
        std::vector<std::string> skipped;
        TreeRemoval::Walk walk;
        walk.onSkipped = [&](const std::string &p, int e) {
            if (e == EXDEV)
                skipped.push_back(p);
        };
        const TreeRemoval::Result r = TreeRemoval::removeTree(t.path("c/top"), walk);
        if (!r.completed || r.rootRemoved)
            return "the walk did not complete, or removed the folder holding the mount point";
        if (skipped.size() != 1 || skipped[0] != mnt)
            return "the mount point was not the one folder skipped as another drive";
        if (TempTree::read(mnt + "/inside") != "other drive")
            return "a file on the mounted file system was touched";
        if (TempTree::exists(t.path("c/top/f")))
            return "the tree's own file was kept";
        if (currentFolder() != cwdBefore)
            return "the current folder changed";
        // The mount point itself, asked for directly, is refused.
        const TreeRemoval::Result direct = TreeRemoval::removeTree(mnt, walk);
        if (direct.opened || direct.error != EXDEV)
            return "the mount point asked for directly was opened";
        return {};
    });
    if (!o.mounted)
        GTEST_SKIP() << MountSandbox::kCannotMount;
    EXPECT_EQ(o.failure, "");
}

// A chain 20,000 folders deep, with files and side folders along the way, is
// removed whole in a process allowed only 64 open descriptors: the walk
// neither recurses nor holds one descriptor per level.
TEST_F(TreeRemovalTest, ATwentyThousandLevelTreeGoesWithFewDescriptors)
{
    const std::string top = t.dir("c/top");
    constexpr int kDepth = 20000;
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY);
    ASSERT_GE(fd, 0);
    int planted = 0;
    for (int level = 0; level < kDepth && fd >= 0; ++level) {
        if (level % 1000 == 500) {
            // a file before and after the way down, and a side folder
            ::close(::openat(fd, "f", O_CREAT | O_WRONLY, 0644));
            ::mkdirat(fd, "side", 0755);
            ::close(::openat(fd, "side/g", O_CREAT | O_WRONLY, 0644));
            ::close(::openat(fd, "z", O_CREAT | O_WRONLY, 0644));
            planted += 3;
        }
        ::mkdirat(fd, "d", 0755);
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY);
        ::close(fd);
        fd = next;
    }
    ASSERT_GE(fd, 0);
    ::close(fd);

    const pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
        const struct rlimit low {64, 64};
        ::setrlimit(RLIMIT_NOFILE, &low);
        int64_t entries = 0;
        TreeRemoval::Walk walk;
        walk.onEntry = [&](const TreeRemoval::Entry &e) { return ++entries, TreeRemoval::deleteEntry(e); };
        const TreeRemoval::Result r = TreeRemoval::removeTree(top, walk);
        const bool whole = r.completed && r.rootRemoved && r.foldersSkipped == 0 && r.foldersLeft == 0
            && r.foldersRemoved == kDepth + 1 + kDepth / 1000 && entries == planted;
        ::_exit(whole ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status;
    EXPECT_FALSE(TempTree::exists(top));
}

// A folder closed while the walk was deeper is opened again only when it is
// the very folder the walk left: a sub-tree moved out of the tree meanwhile
// is not followed back up into where it went.
TEST_F(TreeRemovalTest, AFolderMovedAwayDuringTheWalkIsNotFollowed)
{
    std::string rel = "c/top";
    for (int level = 0; level < 40; ++level)
        rel += "/d";
    t.file(rel + "/bottom", "x");
    const std::string keep = t.file("c/elsewhere/keep", "k");
    const std::string moved = t.path("c/top/d/d/d/d/d/d/d/d/d/d");
    TreeRemoval::Walk walk;
    walk.onEntry = [&](const TreeRemoval::Entry &e) {
        if (e.name == "bottom") {
            EXPECT_EQ(::rename(moved.c_str(), t.path("c/elsewhere/d").c_str()), 0);
        }
        return TreeRemoval::deleteEntry(e);
    };
    const TreeRemoval::Result r = TreeRemoval::removeTree(t.path("c/top"), walk);
    EXPECT_TRUE(r.completed);
    EXPECT_TRUE(r.rootRemoved);
    EXPECT_EQ(r.foldersLeft, 1); // the moved folder, no longer where the walk found it
    EXPECT_EQ(TempTree::read(keep), "k");
    EXPECT_TRUE(TempTree::exists(t.path("c/elsewhere/d")));
    EXPECT_TRUE(TempTree::exists(t.path("c/elsewhere")));
}
