#include "platform/Drives.h"
#include "platform/TreeRemoval.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <fstream>
#include <sched.h>
#include <set>
#include <sys/mount.h>
#include <sys/prctl.h>
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
// its mount point stays. Needs a private mount namespace (user namespaces);
// the test skips itself where the system offers none.
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
    const pid_t pid = ::fork();
    ASSERT_GE(pid, 0);
    if (pid == 0) {
        const uid_t uid = ::getuid();
        const gid_t gid = ::getgid();
        ::prctl(PR_SET_DUMPABLE, 1); // a process that changed its user may not write its own maps otherwise
        if (::unshare(CLONE_NEWUSER | CLONE_NEWNS) != 0)
            ::_exit(77);
        std::ofstream("/proc/self/setgroups") << "deny";
        std::ofstream("/proc/self/uid_map") << "0 " << uid << " 1";
        std::ofstream("/proc/self/gid_map") << "0 " << gid << " 1";
        if (::mount("none", mnt.c_str(), "tmpfs", 0, nullptr) != 0)
            ::_exit(77);
        std::ofstream(mnt + "/inside") << "other drive";
        std::vector<std::string> skipped;
        TreeRemoval::Walk walk;
        walk.onSkipped = [&](const std::string &p, int e) {
            if (e == EXDEV)
                skipped.push_back(p);
        };
        const TreeRemoval::Result r = TreeRemoval::removeTree(t.path("c/top"), walk);
        if (!r.completed || r.rootRemoved)
            ::_exit(1);
        if (skipped.size() != 1 || skipped[0] != mnt)
            ::_exit(2);
        if (TempTree::read(mnt + "/inside") != "other drive")
            ::_exit(3);
        if (TempTree::exists(t.path("c/top/f")))
            ::_exit(6);
        if (currentFolder() != cwdBefore)
            ::_exit(4);
        // The mount point itself, asked for directly, is refused.
        const TreeRemoval::Result direct = TreeRemoval::removeTree(mnt, walk);
        ::_exit(!direct.opened && direct.error == EXDEV ? 0 : 5);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    ASSERT_TRUE(WIFEXITED(status));
    if (WEXITSTATUS(status) == 77)
        GTEST_SKIP() << "cannot mount a file system here (no user namespaces)";
    EXPECT_EQ(WEXITSTATUS(status), 0);
}
