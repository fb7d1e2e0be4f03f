#pragma once
#include "finders/HashStore.h"
#include "platform/LargeBlocks.h"
#include "platform/VolumeIds.h"

#include <QString>

#include <atomic>
#include <cstdint>
#include <memory>
#include <string>
#include <vector>

// What one search by contents takes from, and gives to, the store of
// remembered hashes. Before the first round, begin() looks up every
// candidate's entry (on the search's thread, in one read transaction). A
// worker that meets a file with an entry stats it: recall() accepts the
// entry only when the file is the same (device, inode) in the same state
// (size, modification and change times to the nanosecond), and its hashes
// then stand for the reads. Hashes the rounds compute are handed to
// computed(); end() hands them, with the day of the entries used, to a
// writer thread that stores them in one transaction while the window lists
// the groups; the next begin() (or settle()) waits for it. A failure of that
// write is noted by the next search.
//
// Workers call recall(), hash() and computed() for different files at once;
// each touches only its file's slot. A store that fails leaves the search
// without remembered hashes; note() then says why, once.
//
// Volumes: a file system whose block device has a UUID (/dev/disk/by-uuid)
// is known by that UUID, so removable disks keep their entries whatever
// device number they get at the next mount; others by their device number.
class RememberedHashes {
public:
    using Hash = HashStore::Hash;
    struct Candidate {
        uint32_t file = 0;
        uint64_t device = 0, inode = 0;
    };

    explicit RememberedHashes(std::string storePath = HashStore::defaultPath());

    // Tests: the day that counts as today (-1: the clock's), how long to
    // wait for another copy's write, and where the UUID links are.
    int64_t day = -1;
    int busyMs = 3000;
    std::string uuidFolder = "/dev/disk/by-uuid";

    // Opens the store and looks up the candidates' entries.
    void begin(const std::vector<Candidate> &candidates);
    // begin() was called and end() not yet: a search that is handed a
    // begun store does not begin it again.
    bool begun() const { return begun_; }
    // After begin(): file number k from now on is the file order[k] was
    // (a caller that looked the files up before putting them in order).
    void renumber(const std::vector<uint32_t> &order);
    // Whether the file has an entry worth a stat.
    bool knows(uint32_t file) const;
    // The file's state now: true when its entry holds for it.
    bool recall(uint32_t file, const VolumeIds::Stat &now);
    // The remembered hash of a round (1 first block, 2 last block, 3 whole
    // file) of a recalled file.
    bool hash(uint32_t file, int round, Hash &out) const;
    // A hash a round computed for the file in the given state.
    void computed(uint32_t file, int round, const Hash &h, int64_t size, int64_t modifiedNs, int64_t changedNs);
    // Closes the store, handing what is new to the writer thread (nothing
    // written when save is false).
    void end(bool save = true);
    // Waits for the writer thread's last write.
    static void settle();

    // Files whose entry held (this search), as the caller counts the
    // recall() calls that returned true.
    int64_t recalled() const { return recalled_; }
    void countRecalled(int64_t files) { recalled_ += files; }
    // Empty, or why the store was not used ("remembered hashes not used: ...").
    QString note() const;

    // Drops every remembered hash. The problem when the store could not be
    // emptied (None when it was, or when there is none).
    static HashStore::Problem forget(const std::string &storePath = HashStore::defaultPath());
    // How the hashes are made (block lengths); entries of another scheme are dropped.
    static std::string scheme();

private:
    struct Slot {
        HashStore::Entry entry;
        uint32_t volume = 0;  // index into volumes_
        uint64_t device = 0;
        bool stored = false;  // the store had an entry
        bool matched = false; // ... and it held for the file
        bool dirty = false;   // hashes computed this search
    };
    static constexpr uint32_t kNone = UINT32_MAX;

    std::string path_;
    std::unique_ptr<HashStore> store_;
    std::vector<uint32_t> slotOf_; // by file index
    std::vector<Slot, LargeBlockAllocator<Slot>> slots_;
    std::vector<int64_t> volumes_; // store ids
    int64_t today_ = 0;
    std::atomic<int64_t> recalled_{0};
    bool begun_ = false;
    HashStore::Problem problem_ = HashStore::Problem::None;
};
