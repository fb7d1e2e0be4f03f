// A walk sees every folder of a tree whatever its depth and the limit of
// open files, and says which folders it did not walk and why.
#include "scan/ParallelWalk.h"
#include "scan/Walker.h"

#include "support/TempTree.h"
#include "support/TestChild.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <sstream>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

namespace {
struct CountingWorker : WalkWorker {
    int64_t files = 0;
    bool visit(const FoundFile &, const WalkPlace &) override
    {
        ++files;
        return true;
    }
};

void makeFileAt(int dirFd, const char *name)
{
    const int fd = ::openat(dirFd, name, O_WRONLY | O_CREAT | O_CLOEXEC, 0644);
    ASSERT_GE(fd, 0) << name;
    ::close(fd);
}

// A chain of levels folders "d" below root, a file "f.txt" in each; with
// sides, each level also holds the folders "s" and "t" with one file each,
// so that a walk meets, at every level, folders still to do beside the one
// it goes down into. Made by descriptors: its paths are longer than a path
// may be.
void makeChain(const std::string &root, int levels, bool sides)
{
    int fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < levels; ++i) {
        ASSERT_EQ(::mkdirat(fd, "d", 0755), 0) << i;
        const int next = ::openat(fd, "d", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        fd = next;
        ASSERT_GE(fd, 0) << i;
        makeFileAt(fd, "f.txt");
        for (const char *side : {"s", "t"}) {
            if (!sides)
                break;
            ASSERT_EQ(::mkdirat(fd, side, 0755), 0);
            const int s = ::openat(fd, side, O_RDONLY | O_DIRECTORY | O_CLOEXEC);
            makeFileAt(s, "g.txt");
            ::close(s);
        }
    }
    ::close(fd);
}

struct Walked {
    int64_t files = 0, notOpened = 0, tooDeep = 0;
    QString text;
};

// The files a walk of root visits: the walker's own walk (workers 0), or
// the parallel walk with that many workers on a pool of as many threads.
Walked walk(const std::string &root, int workers)
{
    Walker w;
    w.pumpIntervalMs = -1;
    w.statusPerFolder = false;
    w.mask = WildPattern(QStringLiteral("*.*"));
    Walked out;
    w.visitor = [&](const FoundFile &) {
        ++out.files;
        return true;
    };
    std::vector<CountingWorker> counters(size_t(std::max(workers, 0)));
    for (CountingWorker &c : counters)
        w.workers.push_back(&c);
    WorkerPool pool(std::max(workers, 1));
    w.pool = &pool;
    w.scanFolder(root);
    for (const CountingWorker &c : counters)
        out.files += c.files;
    out.notOpened = w.foldersNotOpened();
    out.tooDeep = w.foldersTooDeep();
    out.text = w.skippedText();
    return out;
}

// With a hard limit of 1,024 open files (which the walk cannot raise), the
// walks of the deep tree, one line each: workers, files, folders not opened.
const TestChild::Registration lowLimit("walk-low-open-limit", [] {
    const rlimit limit{1024, 1024};
    if (::setrlimit(RLIMIT_NOFILE, &limit) != 0)
        return 3;
    for (int workers : {0, 1, 2, 8}) {
        const Walked w = walk(std::getenv("VANTOR_CHILD_TREE"), workers);
        std::printf("%d %lld %lld\n", workers, static_cast<long long>(w.files), static_cast<long long>(w.notOpened));
    }
    std::fflush(stdout);
    return 0;
});
} // namespace

// A 2,000-level tree of 6,000 files under a hard limit of 1,024 open files:
// every walk, with any number of workers, meets all of them and misses no
// folder (the walk holds a bounded number open, whatever the depth).
TEST(WalkLimits, ADeepTreeIsWalkedWholeUnderALowLimitOfOpenFiles)
{
    TempTree t("deep");
    makeChain(t.root(), 2000, true);
    TestChild::Process p = TestChild::Process::child("walk-low-open-limit", {"VANTOR_CHILD_TREE=" + t.root()});
    const int status = p.waitForEnd(120000);
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status << "\n" << p.err();
    EXPECT_EQ(p.out(), "0 6000 0\n1 6000 0\n2 6000 0\n8 6000 0\n");
}

// Below 4,000 levels the walk goes no deeper, and says so: a 5,000-level
// chain gives the files of its first 4,000 levels and one folder not walked.
TEST(WalkLimits, FoldersBelowTheDepthLimitAreCountedAndSaid)
{
    TempTree t("chain");
    makeChain(t.root(), 5000, false);
    for (int workers : {0, 2}) {
        const Walked w = walk(t.root(), workers);
        EXPECT_EQ(w.files, Walker::kMaxDepth) << workers;
        EXPECT_EQ(w.tooDeep, 1) << workers;
        EXPECT_EQ(w.notOpened, 0) << workers;
        EXPECT_EQ(w.text, "1 folder deeper than 4,000 levels was not searched.");
    }
    EXPECT_EQ(Walker::skippedText(2, 1234),
              "2 folders could not be opened and were not searched. "
              "1,234 folders deeper than 4,000 levels were not searched.");
}

// A folder the user may not read is a folder not walked: counted, whichever walk.
TEST(WalkLimits, AFolderThatCannotBeOpenedIsCounted)
{
    if (TestEnv::privileged())
        GTEST_SKIP() << "root reads every folder";
    TempTree t("denied");
    t.file("open/a.txt", "a");
    t.file("shut/b.txt", "b");
    t.file("shut/inner/c.txt", "c");
    ASSERT_EQ(::chmod(t.path("shut").c_str(), 0), 0);
    for (int workers : {0, 2}) {
        const Walked w = walk(t.root(), workers);
        EXPECT_EQ(w.files, 1) << workers;
        EXPECT_EQ(w.notOpened, 1) << workers;
        EXPECT_EQ(w.text, "1 folder could not be opened and was not searched.");
    }
    ::chmod(t.path("shut").c_str(), 0755);
}
