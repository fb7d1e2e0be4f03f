#include "scan/ParallelWalk.h"
#include "scan/Walker.h"

#include "support/MixedTree.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <set>
#include <thread>
#include <unistd.h>

namespace {
// Every entry and every finished folder, as one text each.
std::string recordText(const FoundFile &f)
{
    return f.path + " | " + f.name + " | " + f.folder + " | " + std::to_string(f.size) + " | "
        + std::to_string(f.attributes) + " | " + std::to_string(f.written) + " | " + std::to_string(f.accessed)
        + " | " + std::to_string(f.created) + (f.writtenOdd ? " odd" : "");
}

struct RecordingWorker : WalkWorker {
    std::vector<std::string> seen;
    bool visit(const FoundFile &f, const WalkPlace &at) override
    {
        seen.push_back("file " + std::to_string(at.depth) + " " + recordText(f));
        return true;
    }
    bool folderDone(const FoundFile &f, const WalkPlace &at) override
    {
        seen.push_back("done " + std::to_string(at.depth) + " " + recordText(f));
        return true;
    }
};

void configure(Walker &w, bool everything)
{
    w.pumpIntervalMs = -1;
    w.statusPerFolder = false;
    w.enterHidden = everything;
    w.returned = everything ? unsigned(FileAttr::Hidden | FileAttr::System | FileAttr::Folder) : 0u;
    w.mask = WildPattern(everything ? QStringLiteral("*.*") : QStringLiteral("*.txt"));
}

// The entries and folders the walker's own walk meets, sorted.
std::vector<std::string> walkerSees(const std::string &root, bool everything)
{
    Walker w;
    configure(w, everything);
    std::vector<std::string> seen;
    w.visitor = [&](const FoundFile &f) {
        seen.push_back("file " + std::to_string(w.depth()) + " " + recordText(f));
        return true;
    };
    w.folderDone = [&](const FoundFile &f) { seen.push_back("done " + std::to_string(w.depth()) + " " + recordText(f)); };
    w.scanFolder(root);
    std::sort(seen.begin(), seen.end());
    return seen;
}

std::vector<std::string> parallelSees(const std::string &root, bool everything, int workers)
{
    Walker w;
    configure(w, everything);
    std::vector<RecordingWorker> recorders(static_cast<size_t>(workers));
    for (RecordingWorker &r : recorders)
        w.workers.push_back(&r);
    w.scanFolder(root);
    std::vector<std::string> seen;
    for (const RecordingWorker &r : recorders)
        seen.insert(seen.end(), r.seen.begin(), r.seen.end());
    std::sort(seen.begin(), seen.end());
    return seen;
}
}

// Both walks meet the same entries with the same records and finish the
// same folders at the same depths, whatever the number of threads: with
// every kind of entry asked for and dot-folders entered, and with a mask
// and none of them.
TEST(ParallelWalk, MeetsWhatTheWalkerMeetsForAnyNumberOfWorkers)
{
    ScriptedDialogs dlg;
    TempTree t("parallel");
    const std::string root = makeMixedTree(t, "D", 35);
    walkerSees(root, true); // a first listing sets the folders' access times once
    for (const bool everything : {true, false}) {
        const std::vector<std::string> expected = walkerSees(root, everything);
        ASSERT_GT(expected.size(), everything ? 200u : 20u);
        for (const int n : {1, 2, 8})
            EXPECT_EQ(parallelSees(root, everything, n), expected) << n << " workers, everything " << everything;
    }
    EXPECT_EQ(ParallelWalk::liveWorkers(), 0);
}

namespace {
// A visited file as a finder that keeps it would see it.
std::string visitedText(const FoundFile &f)
{
    return recordText(f) + " | " + f.folderText.toStdString() + " | " + std::to_string(f.device) + ":"
        + std::to_string(f.inode) + " x" + std::to_string(f.links) + " | " + std::to_string(f.modifiedNs) + " "
        + std::to_string(f.changedNs);
}

std::vector<std::string> visited(Walker &w, const std::string &root)
{
    std::vector<std::string> seen;
    w.visitor = [&](const FoundFile &f) {
        seen.push_back(visitedText(f));
        return w.keep();
    };
    w.reset();
    w.scanFolder(root);
    std::sort(seen.begin(), seen.end());
    return seen;
}
}

// A walk on the pool that hands its files to a visitor on the calling
// thread gives the records the walker's own walk gives, only its filter's,
// and no more than the collection's room, with the warning once.
TEST(ParallelWalk, VisitsFromThePoolAreTheWalkersOwn)
{
    ScriptedDialogs dlg;
    TempTree t("visits");
    const std::string root = makeMixedTree(t, "D", 35);
    ASSERT_EQ(::link(t.file("D/linked.txt", "twice").c_str(), t.path("D/linked2.txt").c_str()), 0);
    Walker own;
    configure(own, true);
    visited(own, root); // a first listing sets the folders' access times once
    const std::vector<std::string> expected = visited(own, root);
    ASSERT_GT(expected.size(), 150u);
    Walker pooled;
    configure(pooled, true);
    pooled.visitInParallel = true;
    EXPECT_EQ(visited(pooled, root), expected);

    // Only what the filter passes; at most the capacity's room of it.
    own.prefilter = pooled.prefilter = [](const FoundFile &f) { return f.name.ends_with(".txt"); };
    const std::vector<std::string> texts = visited(own, root);
    ASSERT_GT(texts.size(), 10u);
    ASSERT_LT(texts.size(), expected.size());
    EXPECT_EQ(visited(pooled, root), texts);
    EXPECT_TRUE(dlg.boxes.empty());
    pooled.capacity = 7;
    EXPECT_EQ(visited(pooled, root).size(), 7u);
    EXPECT_TRUE(pooled.scanAborted);
    EXPECT_EQ(dlg.count(Walker::fullText()), 1);
    EXPECT_EQ(ParallelWalk::liveWorkers(), 0);
}

namespace {
// Holds its thread at the first entry it meets until the walk stops.
struct HeldWorker : WalkWorker {
    std::atomic<int> *met = nullptr;
    bool visit(const FoundFile &, const WalkPlace &) override
    {
        met->fetch_add(1);
        while (!stopRequested())
            std::this_thread::yield();
        return true;
    }
};
}

// An abort while every worker is busy stops them all: the walk returns with
// no thread left running, each having met only the entry it was held on.
TEST(ParallelWalk, AbortStopsEveryWorkerAndLeavesNoneRunning)
{
    ScriptedDialogs dlg;
    TempTree t("parallel");
    for (int i = 0; i < 20; ++i)
        for (int k = 0; k < 5; ++k)
            t.file("D/f" + std::to_string(i) + "/n" + std::to_string(k), "x");
    std::atomic<int> met{0};
    std::vector<HeldWorker> held(4);
    Walker w;
    w.returned = FileAttr::Hidden | FileAttr::System;
    for (HeldWorker &h : held) {
        h.met = &met;
        w.workers.push_back(&h);
    }
    w.pumpIntervalMs = 0;
    w.pump = [&] {
        if (met.load() > 0)
            w.abortByUser();
    };
    bool rootDone = false;
    w.rootDone = [&] { rootDone = !w.running(); };
    w.reset();
    w.scanFolder(t.path("D"));
    EXPECT_TRUE(w.scanAborted);
    EXPECT_TRUE(rootDone);
    EXPECT_EQ(ParallelWalk::liveWorkers(), 0);
    EXPECT_GE(met.load(), 1);
    EXPECT_LE(met.load(), 4);
    EXPECT_EQ(dlg.boxes.size(), 1u);
}

namespace {
// At each file, work of its own on the walk's pool, waited for: a search
// inside the walk. At the first, a whole second walk on that pool too.
struct NestingWorker : WalkWorker {
    WorkerPool *pool = nullptr;
    std::string other;
    std::atomic<int> *pieces = nullptr, *otherFiles = nullptr;
    bool visit(const FoundFile &, const WalkPlace &) override
    {
        pool->runChunks(3, [this](size_t) { pieces->fetch_add(1); });
        if (!other.empty()) {
            RecordingWorker inner;
            ParallelWalk walk({WildPattern(QStringLiteral("*.*")), 0, false, Walker::kMaxDepth}, {&inner}, *pool);
            walk.start(std::make_shared<DirReader>(other), other);
            walk.join();
            otherFiles->fetch_add(int(std::count_if(inner.seen.begin(), inner.seen.end(),
                                                    [](const std::string &s) { return s.starts_with("file"); })));
            other.clear();
        }
        return true;
    }
};
}

// Workers that wait for pool work of their own, and a walk inside a walk,
// end on a pool of one thread that the outer walk's worker holds: a wait
// runs the tasks no thread has begun.
TEST(ParallelWalk, WorkWaitedForInsideAWalkEndsOnAPoolOfOneThread)
{
    TempTree t("nest");
    for (int i = 0; i < 6; ++i)
        t.file("A/a" + std::to_string(i) + "/x.txt", "x");
    for (int i = 0; i < 4; ++i)
        t.file("B/b" + std::to_string(i) + "/y.txt", "y");
    WorkerPool pool(1);
    std::atomic<int> pieces{0}, otherFiles{0};
    std::vector<NestingWorker> workers(2);
    Walker w;
    w.pumpIntervalMs = -1;
    w.statusPerFolder = false;
    w.pool = &pool;
    for (NestingWorker &n : workers) {
        n.pool = &pool;
        n.pieces = &pieces;
        n.otherFiles = &otherFiles;
        w.workers.push_back(&n);
    }
    workers[0].other = workers[1].other = t.path("B");
    w.scanFolder(t.path("A"));
    EXPECT_EQ(pieces.load(), 6 * 3);
    EXPECT_GE(otherFiles.load(), 4); // once or twice, each time the whole of B
    EXPECT_EQ(otherFiles.load() % 4, 0);
    EXPECT_EQ(ParallelWalk::liveWorkers(), 0);
}
