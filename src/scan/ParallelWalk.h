#pragma once
#include "common/WorkerPool.h"
#include "platform/DirReader.h"
#include "scan/FoundFile.h"
#include "scan/WildMatch.h"

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <memory>
#include <mutex>
#include <string>
#include <unordered_set>
#include <vector>

// Where a folder of a parallel walk lies.
struct WalkPlace {
    int depth = 0; // levels below the walk's root (0: the root)
    int top = -1;  // which subfolder of the root the folder lies in (a number given in listing order), -1: the root
    // The folder's number in this walk (the root's is 0; a folder's number
    // is above its parent's) and its parent's (kNoFolder for the root), so a
    // worker can keep folders by their parents instead of their whole paths.
    uint32_t folder = 0;
    uint32_t parent = kNoFolder;
    static constexpr uint32_t kNoFolder = ~0u;
};

// What one worker of a parallel walk does with the entries it meets. Each
// worker thread has its own, so it keeps its own tallies and needs no lock.
// A worker handles one folder at a time: the folder's entries, then
// folderDone; the folders themselves come in no particular order.
class WalkWorker {
public:
    virtual ~WalkWorker() = default;
    // An entry the walk returns, as the walker's visitor would get it but
    // with folderText left empty. false ends the whole walk (a collection is full).
    virtual bool visit(const FoundFile &f, const WalkPlace &at) = 0;
    // After a folder's own entries, with a record whose name, path and
    // folder are the folder's (folderText empty). Not called for a folder
    // whose entries were cut short by a stop.
    virtual bool folderDone(const FoundFile &, const WalkPlace &) { return true; }
    // On the worker's own thread once it takes no more folders (the walk is
    // done or stopping): work on what it collected, such as sorting it, is
    // spread over the threads instead of waiting for the calling thread.
    virtual void walkEnded() {}
    // True once the walk is stopping (an abort): a worker that takes long
    // over one entry may give up early.
    bool stopRequested() const { return stop_ != nullptr && stop_->load(std::memory_order_relaxed); }

protected:
    // False for a worker that reads only the size, attributes and access
    // stamp of the entries it visits: their name, path and written and
    // created stamps are then not made (the walk spends less per file; the
    // record keeps the folder's name), and a folder entry (returned with
    // FileAttr::Folder) comes as listed, without a look-up: size and stamp
    // 0, attributes Folder (and Hidden for a dot-name). A file with more
    // than one name (links > 1) gets its name all the same, so that a
    // worker can tell its names apart.
    bool fullRecords = true;

private:
    friend class ParallelWalk;
    const std::atomic<bool> *stop_ = nullptr;
};

// The walk of one root by the worker pool's threads, for scans whose results
// do not depend on the order in which entries are met. The rules are the
// walker's: no link is followed, no folder on another mount is entered,
// dot-folders only when asked for, at most maxDepth levels, and a folder
// that cannot be opened is skipped (and counted). Each folder is listed once
// by the thread that takes it; its subfolders become tasks for any thread,
// each naming its parent folder (not a path) so that it is opened relative
// to it without following links. Tasks are taken last-in first-out, so the
// walk goes deep first. At most kOpenFolders parent folders are held open,
// the deepest ones: a shallower one is closed and opened again, name by name
// from the nearest open folder above it and checked to be the same folder,
// when its subfolders' turn comes; so a tree of any depth is walked whole
// under any limit of open files.
class ParallelWalk {
public:
    struct Rules {
        WildPattern mask;
        unsigned returned = 0;
        bool enterHidden = false;
        int maxDepth = 0;
    };

    // Parent folders held open at once (besides the one each thread lists).
    static constexpr size_t kOpenFolders = 16;

    // One pool task per worker, submitted by start().
    ParallelWalk(Rules rules, std::vector<WalkWorker *> workers, WorkerPool &pool = WorkerPool::shared());
    ~ParallelWalk();
    ParallelWalk(const ParallelWalk &) = delete;
    ParallelWalk &operator=(const ParallelWalk &) = delete;

    // Starts the walk of root, an open folder whose path is rootPath (no
    // trailing "/" but for "/"). Returns at once.
    void start(std::shared_ptr<DirReader> root, const std::string &rootPath);
    // Waits at most ms for the walk's end; true when every folder was done
    // (or the walk stopped).
    bool waitFor(int ms);
    // Asks every worker to stop before its next entry, and waits for them.
    void stop();
    // Waits for every worker to end (a worker no pool thread has begun runs
    // on this thread).
    void join();
    // A worker's visit or folderDone returned false.
    bool stoppedByWorker() const { return stoppedByWorker_.load(); }
    // Folders that were to be walked but could not be opened (denied,
    // no descriptor left, changed since they were listed); one that
    // vanished is not counted.
    int64_t foldersNotOpened() const { return notOpened_.load(); }
    // Folders at maxDepth whose subfolders were not entered.
    int64_t foldersBeyondDepth() const { return beyondDepth_.load(); }
    // A folder a thread began since the last call (the first one begun
    // after it), for showing the walk's progress; false when none was.
    bool latestFolder(std::string &out);

    // The workers the parallel scans use: as many as the shared pool has
    // threads, or what setDefaultWorkers chose (0: those scans use the
    // walker's own walk on the calling thread).
    static int defaultWorkers();
    // A negative count goes back to the number of cores. Benchmarks compare
    // counts; tests that pace a walk by its events choose 0.
    static void setDefaultWorkers(int n);
    // Workers of parallel walks still running in the process.
    static int liveWorkers();

private:
    // A folder whose subfolders are tasks. Its descriptor (dir) is held
    // while it is among the kOpenFolders deepest such folders, and guarded
    // by openMutex_.
    struct Node {
        std::shared_ptr<Node> up; // null for the root
        std::string name;         // in up
        uint64_t inode = 0;
        int depth = 0;
        std::shared_ptr<DirReader> dir;
    };
    struct Task {
        std::shared_ptr<Node> parent;    // null for the root
        std::shared_ptr<DirReader> open; // the root only
        std::string name;                // in parent (empty for the root)
        int depth = 0;
        int top = -1;
        uint32_t id = 0, parentId = WalkPlace::kNoFolder; // WalkPlace::folder, parent
    };
    struct Listed {
        size_t offset;
        uint32_t length;
        uint8_t kind;
    };
    // One thread's reused state.
    struct Local {
        std::vector<Listed> listed;
        std::vector<char> names;
        std::vector<Task> children;
        std::vector<const Node *> chain; // a folder's nodes up to the root
        FoundFile file;
        DosTime::Converter written, accessed, created;
        WildPattern mask;
    };
    void run(WalkWorker *worker);
    bool take(Task &t);
    // Queues a folder's subfolders (children is emptied).
    void push(std::vector<Task> &children);
    // false when the worker refused (the walk ends); a stop returns true.
    bool walkFolder(Task &t, WalkWorker &worker, Local &l);
    bool stopping() const { return stop_.load(std::memory_order_relaxed); }
    // Puts the path of t's folder in out, made from its parent's chain of
    // names: a task keeps only its own name, so a deep tree's tasks do not
    // hold a copy of every path above them.
    void pathOf(const Task &t, Local &l, std::string &out) const;
    // The open folder of node, opened again when it was closed; null when
    // it can no longer be reached as the same folder.
    std::shared_ptr<DirReader> openOf(const std::shared_ptr<Node> &node);
    // With openMutex_ held: node holds its descriptor; the shallowest other
    // holder beyond kOpenFolders lets its own go.
    void holdOpen(const std::shared_ptr<Node> &node);

    Rules rules_;
    std::vector<WalkWorker *> workers_;
    WorkerPool &pool_;
    std::unique_ptr<WorkerPool::Group> group_;
    std::mutex openMutex_;
    std::vector<std::weak_ptr<Node>> held_; // the nodes holding a descriptor (the root's never closes)
    std::atomic<int64_t> notOpened_{0}, beyondDepth_{0};
    MountPlace place_;
    // The mount points below the root (another drive's roots, never an
    // entry of this walk) and the folders holding them.
    struct PathHash : std::hash<std::string_view> {
        using is_transparent = void;
    };
    std::unordered_set<std::string, PathHash, std::equal_to<>> mountPoints_, mountParents_;
    std::string rootPath_;
    std::mutex mutex_;
    std::condition_variable work_, done_;
    std::vector<Task> tasks_;
    int64_t outstanding_ = 0; // tasks queued or being done
    std::atomic<uint32_t> nextFolder_{1}; // the next folder's number (WalkPlace::folder)
    int nextTop_ = 0;         // only the root's thread numbers the top folders
    std::atomic<bool> stop_{false};
    std::atomic<bool> stoppedByWorker_{false};
    // The progress shown: a thread notes the folder it begins only when the
    // last one noted was taken, so the walk does not copy every path.
    std::atomic<bool> latestWanted_{true};
    std::mutex latestMutex_;
    std::string latest_;
    bool latestChanged_ = false;
};
