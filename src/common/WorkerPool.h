#pragma once
#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <mutex>
#include <stop_token>
#include <thread>
#include <vector>

// The program's worker threads: one small pool, sized to the machine, that
// every piece of work running beside the user-interface thread shares (the
// parallel walk, the "Same contents" search, and whatever else reads files
// in bulk). Its threads read at the lower I/O priority of a background scan
// (set on each thread, as the kernel keeps it per thread).
//
// Work is handed in through a Group: a set of tasks whose end one waits
// for. A task gets the group's stop token; cancelling is cooperative: a
// task tests the token (or its owner's own flag) and returns early, and the
// pool never ends a task itself. Waiting never starves the pool: wait()
// first runs on the waiting thread every task of its group that no pool
// thread has begun, and only then waits for those already running. So a
// task may wait for tasks of its own (a search started from inside a walk,
// a sort split in pieces), and two runs may share the pool at once, however
// few its threads: nothing waits for a task that is only queued.
class WorkerPool {
public:
    using Task = std::function<void(std::stop_token)>;

    // A pool of this many threads (at least one), started at its first task.
    explicit WorkerPool(int threads);
    // Ends the threads; every group must have ended before.
    ~WorkerPool();
    WorkerPool(const WorkerPool &) = delete;
    WorkerPool &operator=(const WorkerPool &) = delete;

    // The program's pool: machineSize() threads. It lives as long as the
    // process; a process forked from one that used it gets a pool of its
    // own (the parent's threads do not exist there).
    static WorkerPool &shared();
    // The machine's processors, at least two (a thread blocked on a read
    // then does not leave the pool without one that works).
    static int machineSize();
    int size() const { return size_; }

    class Group {
    public:
        explicit Group(WorkerPool &pool = WorkerPool::shared());
        // Asks its tasks to stop and waits for them.
        ~Group();
        Group(const Group &) = delete;
        Group &operator=(const Group &) = delete;

        void submit(Task task);
        // Every task of the group, running or still to begin, sees its token stopped.
        void requestStop() { stop_.request_stop(); }
        bool stopRequested() const { return stop_.stop_requested(); }
        std::stop_token token() const { return stop_.get_token(); }
        // Waits at most ms for every task to end, running none itself (a
        // thread that must stay responsive waits this way); true when all ended.
        bool waitFor(int ms);
        // Runs the tasks no pool thread has begun on this thread, then waits
        // for the rest; also those submitted while it waits.
        void wait();

    private:
        friend class WorkerPool;
        WorkerPool &pool_;
        std::stop_source stop_;
        // Guarded by the pool's mutex.
        std::deque<Task> queued_;
        int running_ = 0;
        std::condition_variable changed_;
    };

    // Runs chunk(0) ... chunk(n - 1) at once, chunk(0) and any chunk no pool
    // thread took in time on the calling thread; returns when all are done.
    // For work split in pieces of about equal size (sorting, hashing, look-ups).
    void runChunks(size_t n, const std::function<void(size_t)> &chunk);

private:
    void threadLoop();
    // With the mutex held: runs the group's next queued task on this thread.
    void runOne(Group &g, std::unique_lock<std::mutex> &lock);

    const int size_;
    std::mutex mutex_;
    std::condition_variable work_;
    // One ticket per task submitted, in order; a ticket whose group has no
    // queued task left (its waiter ran it) is dropped.
    std::deque<Group *> tickets_;
    std::vector<std::thread> threads_;
    bool ending_ = false;
};
