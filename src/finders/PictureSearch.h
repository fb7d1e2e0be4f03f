#pragma once
#include "common/WorkerPool.h"
#include "finders/PictureHash.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

// The "Similar pictures" search: which of the pictures a walk found show the
// same photo at another size, quality or format. Each file is read whole
// (below its drive's anchor, no link followed, through ContentFile so the
// user's page cache keeps what it held), decoded at reduced size and hashed
// (PictureHash); the hashes are then grouped around centres
// (PictureGroups) within the threshold.
//
// The reading and decoding run on the worker pool, as the search by
// contents does: one task leads, the pool's threads take files a few at a
// time. A file whose identity or state (device, inode, size, modification
// and change times) differs from the walk's, or changes while it is read,
// is left out (leftOut); one that cannot be read is counted by unreadable;
// one whose bytes are not a picture the image plugins read, or are cut
// short, or that is larger than PictureHash::kMaxBytes, by skipped. Hard
// links (one device and inode) are one picture: the first in the given
// order stands for all.
class FolderAnchors;
class PictureSearch {
public:
    struct File {
        uint32_t folder = 0;        // index into the folders
        uint32_t nameLen = 0;
        const char *name = nullptr; // bytes, nameLen long; must stay valid during the search
        int64_t size = 0;
        uint64_t inode = 0;  // as the walk saw it
        uint64_t device = 0; // as the walk saw it
        uint32_t written = 0; // DosDateTime of the last write: an older copy is preferred
    };
    struct Progress {
        uint64_t files = 0, filesTotal = 0, bytes = 0, bytesTotal = 0;
    };

    // The folders; the files in list order (groups are listed in the order
    // of their earliest files). threshold: the most bits a member's hash may
    // differ in from its group's centre.
    PictureSearch(std::vector<std::string> folders, std::vector<File> files, int threshold);
    ~PictureSearch();
    PictureSearch(const PictureSearch &) = delete;
    PictureSearch &operator=(const PictureSearch &) = delete;

    // Starts the search on the worker pool (at most threads files at once;
    // 0: as many as the pool has threads). Anchors are opened here.
    void start(unsigned threads = 0);
    // Stops the reading at its next chunk; the result is then empty.
    void cancel();
    bool finished() const { return finished_; }
    void wait();
    void run(unsigned threads = 0);

    // Called once on the search's thread when it has finished (also after
    // cancel()); set before start().
    std::function<void()> onFinished;
    // Tests: called on a worker after a file's bytes were read, before its
    // state is looked at again.
    std::function<void(size_t file)> afterRead;

    Progress progress() const;
    // "Comparing pictures: N of M files, X of Y bytes".
    static QString progressText(const Progress &p);

    // After the search: the groups, each the indices of its files, the copy
    // most worth keeping first (most pixels, then largest file, then oldest),
    // groups in the order of their earliest files; empty when cancelled.
    const std::vector<std::vector<uint32_t>> &groups() const { return groups_; }
    std::vector<std::vector<uint32_t>> takeGroups() { return std::move(groups_); }
    // What a file decoded to (zero for one that was not decoded).
    const PictureHash::Picture &picture(uint32_t file) const { return state_[file].picture; }
    // A file's path as found (its folder joined with its name).
    std::string path(uint32_t file) const;
    int64_t unreadable() const { return unreadable_; }
    int64_t leftOut() const { return leftOut_; }
    int64_t skipped() const { return skipped_; }
    bool cancelled() const { return cancel_; }

    static constexpr size_t kChunk = size_t(256) << 10;

private:
    struct State {
        PictureHash::Picture picture;
        bool ok = false; // decoded, and unchanged while read
    };
    struct Worker;
    void search(unsigned threads);
    void readOne(Worker &w, uint32_t i);

    std::vector<std::string> folders_;
    std::vector<File> files_;
    int threshold_;
    std::vector<State> state_;
    std::unique_ptr<FolderAnchors> anchors_;

    std::unique_ptr<WorkerPool::Group> task_;
    std::atomic<bool> cancel_{false};
    std::atomic<bool> finished_{false};
    std::atomic<uint64_t> filesDone_{0}, bytesDone_{0};
    std::atomic<uint64_t> filesTotal_{0}, bytesTotal_{0};
    std::atomic<int64_t> unreadable_{0}, leftOut_{0}, skipped_{0};
    std::vector<std::vector<uint32_t>> groups_;
};
