#include "common/WorkerPool.h"

#include <gtest/gtest.h>

#include <atomic>
#include <thread>
#include <sys/syscall.h>
#include <sys/wait.h>
#include <unistd.h>

// Waiting for pool work never needs a free pool thread: work split inside
// work, and a task that waits for another group's tasks, end on a pool of
// one thread whose only thread is taken by the waiting task itself.
TEST(WorkerPool, TasksThatWaitForTasksEndOnAPoolOfOneThread)
{
    WorkerPool pool(1);
    std::atomic<int> leaves{0};
    pool.runChunks(3, [&](size_t) {
        pool.runChunks(4, [&](size_t) { pool.runChunks(2, [&](size_t) { ++leaves; }); });
    });
    EXPECT_EQ(leaves.load(), 3 * 4 * 2);

    // Two runs at once: the first holds the only thread and waits for the
    // second's tasks, queued behind it.
    WorkerPool::Group outer(pool);
    std::atomic<int> inner{0};
    outer.submit([&](std::stop_token) {
        WorkerPool::Group other(pool);
        for (int i = 0; i < 5; ++i)
            other.submit([&](std::stop_token) { ++inner; });
        other.wait();
    });
    outer.wait();
    EXPECT_EQ(inner.load(), 5);
}

// A stopped group's tasks see the stop, also those that begin after it;
// every one still runs, so a task that owes its owner a last step (a walk's
// worker ending its walk) takes it.
TEST(WorkerPool, AStopReachesRunningAndQueuedTasksAndEveryTaskRuns)
{
    WorkerPool pool(1);
    WorkerPool::Group g(pool);
    std::atomic<bool> began{false};
    std::atomic<int> sawStop{0};
    g.submit([&](std::stop_token t) {
        began = true;
        while (!t.stop_requested())
            std::this_thread::yield();
        ++sawStop;
    });
    for (int i = 0; i < 3; ++i)
        g.submit([&](std::stop_token t) { sawStop += t.stop_requested(); });
    while (!began)
        std::this_thread::yield();
    g.requestStop();
    g.wait();
    EXPECT_EQ(sawStop.load(), 4);
}

// Each pool thread reads at the lowest best-effort I/O level (the kernel
// keeps the priority per thread, so it is set on every one).
TEST(WorkerPool, EveryThreadReadsAtTheLowerIoPriority)
{
    WorkerPool pool(3);
    std::atomic<int> lowered{0};
    WorkerPool::Group g(pool);
    std::atomic<int> arrived{0};
    for (int i = 0; i < 3; ++i)
        g.submit([&](std::stop_token) {
            // All three at once: each on a thread of its own.
            ++arrived;
            while (arrived.load() < 3)
                std::this_thread::yield();
            if (::syscall(SYS_ioprio_get, 1, 0) == ((2 << 13) | 7))
                ++lowered;
        });
    g.waitFor(60000);
    EXPECT_EQ(lowered.load(), 3);
}

// A process forked after the shared pool started its threads has none of
// them: the child's pool starts its own, and a task that no waiter runs
// (waitFor) still ends there.
TEST(WorkerPool, AForkedChildGetsAPoolThatRuns)
{
    // Every thread of the parent's pool is past its start before the fork:
    // one forked while a thread starts may inherit the allocator's lock held
    // (the sanitizers' allocator has no fork handlers) and hang the child.
    WorkerPool &pool = WorkerPool::shared();
    std::atomic<int> arrived{0};
    {
        WorkerPool::Group started(pool);
        for (int i = 0; i < pool.size(); ++i)
            started.submit([&](std::stop_token) {
                ++arrived;
                while (arrived.load() < pool.size())
                    std::this_thread::yield();
            });
        ASSERT_TRUE(started.waitFor(60000)); // run by the pool's threads alone
    }
    const pid_t pid = ::fork();
    ASSERT_NE(pid, -1);
    if (pid == 0) {
        std::atomic<bool> ran{false};
        WorkerPool::Group g;
        g.submit([&](std::stop_token) { ran = true; });
        const bool ended = g.waitFor(60000);
        ::_exit(ended && ran ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(pid, &status, 0), pid);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << status;
}
