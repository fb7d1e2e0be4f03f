#include "common/WorkerPool.h"

#include "platform/IoPriority.h"
#include "platform/ProcessFork.h"

#include <algorithm>
#include <chrono>

WorkerPool::WorkerPool(int threads) : size_(std::max(1, threads)) {}

WorkerPool::~WorkerPool()
{
    {
        const std::lock_guard<std::mutex> lock(mutex_);
        ending_ = true;
    }
    work_.notify_all();
    for (std::thread &t : threads_)
        t.join();
}

int WorkerPool::machineSize() { return std::max(2, int(std::thread::hardware_concurrency())); }

WorkerPool &WorkerPool::shared()
{
    static std::mutex m;
    static WorkerPool *pool = nullptr;
    static unsigned generation = 0;
    const std::lock_guard<std::mutex> lock(m);
    const unsigned now = ProcessFork::generation();
    if (pool == nullptr || generation != now) {
        // Never destroyed: its threads idle until the process ends (every
        // run waits for its own tasks before it returns). After a fork the
        // parent's pool is left as it is: its threads are not in this process.
        pool = new WorkerPool(machineSize());
        generation = now;
    }
    return *pool;
}

void WorkerPool::runOne(Group &g, std::unique_lock<std::mutex> &lock)
{
    Task task = std::move(g.queued_.front());
    g.queued_.pop_front();
    ++g.running_;
    const std::stop_token token = g.stop_.get_token();
    lock.unlock();
    task(token);
    task = nullptr; // what it holds is let go before the group may end
    lock.lock();
    --g.running_;
    g.changed_.notify_all();
}

void WorkerPool::threadLoop()
{
    IoPriority::lowerThisThread();
    std::unique_lock<std::mutex> lock(mutex_);
    for (;;) {
        work_.wait(lock, [this] { return ending_ || !tickets_.empty(); });
        if (ending_)
            return;
        Group *g = tickets_.front();
        tickets_.pop_front();
        if (!g->queued_.empty())
            runOne(*g, lock);
    }
}

WorkerPool::Group::Group(WorkerPool &pool) : pool_(pool) {}

WorkerPool::Group::~Group()
{
    requestStop();
    wait();
    const std::lock_guard<std::mutex> lock(pool_.mutex_);
    std::erase(pool_.tickets_, this);
}

void WorkerPool::Group::submit(Task task)
{
    {
        const std::lock_guard<std::mutex> lock(pool_.mutex_);
        if (pool_.threads_.empty())
            for (int i = 0; i < pool_.size_; ++i)
                pool_.threads_.emplace_back([p = &pool_] { p->threadLoop(); });
        queued_.push_back(std::move(task));
        pool_.tickets_.push_back(this);
        changed_.notify_all(); // a waiter runs it if no thread is free
    }
    pool_.work_.notify_one();
}

bool WorkerPool::Group::waitFor(int ms)
{
    std::unique_lock<std::mutex> lock(pool_.mutex_);
    return changed_.wait_for(lock, std::chrono::milliseconds(ms),
                             [this] { return running_ == 0 && queued_.empty(); });
}

void WorkerPool::Group::wait()
{
    std::unique_lock<std::mutex> lock(pool_.mutex_);
    for (;;) {
        if (!queued_.empty())
            pool_.runOne(*this, lock);
        else if (running_ == 0)
            return;
        else
            changed_.wait(lock);
    }
}

void WorkerPool::runChunks(size_t n, const std::function<void(size_t)> &chunk)
{
    if (n == 0)
        return;
    Group group(*this);
    for (size_t i = 1; i < n; ++i)
        group.submit([&chunk, i](std::stop_token) { chunk(i); });
    chunk(0);
    group.wait();
}
