#pragma once
#include "common/WorkerPool.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The "Same contents" search: which of the files a walk found hold the same
// bytes. Files of equal size (above 0) are narrowed in three rounds, each a
// hash (XXH3, 128 bits) of what the round reads: the first block (a small
// file whole), then the last block, then the whole file; files whose hashes
// agree in every round are duplicates. Hard links (one device and inode)
// are one file: the first of them in the given order stands for all.
//
// The search runs on the worker pool (WorkerPool): one task leads it round
// by round and splits each round into chunks for the pool, each file opened
// below its drive's anchor (AnchoredPath) without following links and read
// through ContentFile, so the user's page cache keeps what it held. A file
// whose identity or state (device, inode, size, modification and change
// times) differs from the walk's, or changes between its rounds or while it
// is read, is left out (counted by leftOut); so is one that cannot be read
// (counted by unreadable). Each file carries its own device: files of one
// folder may lie on different file systems (an overlay's layers).
//
// With remembered hashes, a file is taken to be in the state the walk saw
// (when the walk gave its times; else in the state a stat sees at its first
// round): an entry made in that very state stands for the reads. A file
// that is read in a later round after all must still be in that state.
class RememberedHashes;

class FolderAnchors;
class ContentSearch {
public:
    struct File {
        uint32_t folder = 0;        // index into the folders
        uint32_t nameLen = 0;
        const char *name = nullptr; // bytes, nameLen long; must stay valid during the search
        int64_t size = 0;
        uint64_t inode = 0;  // as the walk saw it
        uint64_t device = 0; // as the walk saw it
        // Modification and change times to the nanosecond as the walk saw
        // them (changedNs 0: not known). When known, they decide whether a
        // remembered hash holds for the file without a look of its own.
        int64_t modifiedNs = 0, changedNs = 0;
    };
    // Grouping, and taking remembered hashes, over more than this many
    // files are split in parts run on the pool's threads at once (below it
    // a thread costs more than it saves; tests split small searches).
    static inline size_t filesAPart = 8192;
    struct Progress {
        uint64_t files = 0, filesTotal = 0, bytes = 0, bytesTotal = 0;
    };

    // The folders; the files in the order their groups are to be listed (a
    // group's files in this order, groups in the order of their first files).
    ContentSearch(std::vector<std::string> folders, std::vector<File> files);
    ~ContentSearch();
    ContentSearch(const ContentSearch &) = delete;
    ContentSearch &operator=(const ContentSearch &) = delete;

    // Starts the search on the worker pool, in at most threads chunks at
    // once (0: as many as the pool has threads). The drives' anchors are
    // opened here, on the caller's thread.
    void start(unsigned threads = 0);
    // Stops every chunk at its next block; the result is then empty.
    void cancel();
    bool finished() const { return finished_; }
    // Waits for the search's end (after finished() or cancel()); a search no
    // pool thread has begun runs here.
    void wait();
    // start() and wait().
    void run(unsigned threads = 0);

    // Called once on the search's thread when it has finished (also after
    // cancel()); set before start().
    std::function<void()> onFinished;
    // Tests: called on a worker after a file's bytes were read in a round
    // (1, 2 or 3), before its state is looked at again.
    std::function<void(size_t file, int round)> afterRead;
    // Remembered hashes (none when null; set before start()): a file in the
    // state its entry was made in is not read, its remembered hashes stand
    // for the rounds' reads; what the rounds compute is remembered.
    RememberedHashes *memory = nullptr;
    // Run first on the search's thread (a caller that began memory on
    // another thread waits for it there).
    std::function<void()> beforeSearch;

    Progress progress() const;
    // "Comparing contents: N of M files, X of Y bytes".
    static QString progressText(const Progress &p);

    // After the search: the groups, each the indices of its files ascending,
    // groups in the order of their first files; empty when cancelled.
    const std::vector<std::vector<uint32_t>> &groups() const { return groups_; }
    std::vector<std::vector<uint32_t>> takeGroups() { return std::move(groups_); }
    // Files that could not be opened or read (not those that vanished).
    int64_t unreadable() const { return unreadable_; }
    // Files left out because they were no longer as the walk saw them, or
    // changed while they were read, or went away.
    int64_t leftOut() const { return leftOut_; }
    bool cancelled() const { return cancel_; }

    // The first block's and the last block's length; files up to
    // kWholeAtOnce bytes are read whole in the first round.
    static constexpr size_t kBlock = 4096;
    static constexpr size_t kWholeAtOnce = 16384;
    static constexpr size_t kChunk = size_t(256) << 10;

private:
    struct State;
    struct Worker;
    enum class Outcome : uint8_t { Ok, Vanished, Changed, Unreadable };

    void search(unsigned threads);
    void runRound(int round, const std::vector<uint32_t> &todo, unsigned threads);
    void readOne(Worker &w, uint32_t i, int round);
    // Progress (and recalled files) one thread counted, added to the
    // search's shared counts at once.
    struct Tally {
        uint64_t files = 0, bytes = 0, recalls = 0;
    };
    void add(const Tally &t);
    // With remembered hashes: takes the round's hash of file i from them
    // when they hold for it (its progress added to t); false when it is to
    // be read.
    bool recalled(uint32_t i, int round, Tally &t);
    // Splits every group by the round's hashes; a file left alone is
    // counted as done. Groups of complete files (read whole) are final.
    void regroup(std::vector<std::vector<uint32_t>> &open, unsigned threads);
    // Work over many files is split in parts run on the pool's threads at
    // once (WorkerPool::runChunks): how many parts, and where the parts of
    // the groups begin (and the end).
    static size_t partsFor(size_t files, unsigned threads);
    static std::vector<size_t> groupParts(const std::vector<std::vector<uint32_t>> &open, unsigned threads);

    uint64_t device(uint32_t file) const { return files_[file].device; }

    std::vector<std::string> folders_;
    std::vector<File> files_;
    std::vector<State> state_;
    std::unique_ptr<FolderAnchors> anchors_;

    std::unique_ptr<WorkerPool::Group> task_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> finished_{false};
    std::atomic<uint64_t> filesDone_{0}, bytesDone_{0};
    std::atomic<int64_t> unreadable_{0};
    std::atomic<int64_t> leftOut_{0};
    std::atomic<uint64_t> filesTotal_{0}, bytesTotal_{0};
    std::vector<std::vector<uint32_t>> groups_;
};
