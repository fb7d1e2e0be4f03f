#pragma once
#include <QString>

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

struct sqlite3;
struct sqlite3_stmt;

// The store of remembered content hashes: one SQLite database in WAL mode,
// shared by every running copy of the program (SQLite's own locking keeps
// two writers apart; readers are never blocked by a writer).
//
// An entry is keyed by the file's volume (a small number standing for the
// volume's name, see volume()) and inode, and holds the day it was last
// seen, the file's size, its modification and change times in nanoseconds
// and up to three 128-bit hashes (first block, last block, whole file), each
// present only when it was computed. The entries of neighbouring inodes are
// packed together in one row (a block), so that a search's look-up steps
// through a row for many files. Entries not seen for kKeepDays days are
// dropped when the store is first opened on a day.
//
// Any failure (cannot be created or opened, locked longer than the busy
// wait, damaged, disk full) closes the store and is kept in problem(): the
// caller goes on without it. A damaged store's files are removed so that the
// next opening starts an empty one.
class HashStore {
public:
    enum class Problem { None, CannotOpen, Locked, Damaged, Full };
    struct Hash {
        uint64_t low = 0, high = 0;
        bool operator==(const Hash &) const = default;
    };
    enum : uint8_t { First = 1, Last = 2, Whole = 4 };
    struct Entry {
        uint64_t inode = 0;
        int64_t size = 0, modifiedNs = 0, changedNs = 0;
        int64_t seen = 0;  // day number (days since 1970-01-01)
        uint8_t have = 0;  // First | Last | Whole
        Hash hash[3];      // first block, last block, whole file
        bool sameState(const Entry &o) const
        {
            return size == o.size && modifiedNs == o.modifiedNs && changedNs == o.changedNs;
        }
    };
    // One entry to write. Its hashes are added to those already stored for
    // the same file in the same state; a stored entry in another state is
    // replaced. seenOnly: only the entry's day is brought up to date.
    struct Write {
        int64_t volume = 0;
        Entry entry;
        bool seenOnly = false;
    };

    static constexpr int kKeepDays = 90;
    // Inode numbers whose entries share a row (a block).
    static constexpr uint64_t kBlockInodes = 8;
    // $XDG_CACHE_HOME/vantor/hashes.sqlite (~/.cache/vantor when unset).
    static std::string defaultPath();
    // Today as a day number, by the system clock.
    static int64_t today();

    explicit HashStore(std::string path, int busyMs = 3000);
    ~HashStore();
    HashStore(const HashStore &) = delete;
    HashStore &operator=(const HashStore &) = delete;

    // Opens (creating the folder and the file when missing) and checks the
    // store. scheme names how the hashes were made: a store made by another
    // scheme is emptied. today: the day number that counts as now.
    bool open(const std::string &scheme, int64_t day);
    bool isOpen() const { return db_ != nullptr; }
    // How long a locked store is waited for before it counts as Locked.
    void setBusyMs(int ms) { busyMs_ = ms; }
    void close();
    Problem problem() const { return problem_; }
    const std::string &path() const { return path_; }

    // The number standing for a volume's name; created when missing. -1
    // when the store fails.
    int64_t volume(const std::string &name);
    // Whether the volume has any entry (one indexed step). False, with
    // problem() set, also when the store failed: see isOpen().
    bool hasEntries(int64_t volume);
    // The stored entries of the given inodes of one volume, ascending by
    // inode, missing ones left out. False when the store failed.
    bool lookup(int64_t volume, const std::vector<uint64_t> &inodes, std::vector<Entry> &found);
    // The same, each entry handed to each as it is read (ascending by
    // inode, each inode once) instead of being collected; inodes must be
    // sorted ascending. On a failure, entries already handed over are
    // to be dropped by the caller.
    bool lookupSorted(int64_t volume, const std::vector<uint64_t> &inodes,
                      const std::function<void(const Entry &)> &each);
    // Writes the entries in one transaction, each seen on day. False (and
    // nothing written) when the store failed.
    bool write(std::vector<Write> writes, int64_t day);
    // Drops every entry. False when the store failed.
    bool forgetAll();
    // Entries stored (tests, benchmark).
    int64_t count();

    // "hashes could not be remembered: ..." style texts for the status line.
    static QString problemText(Problem p, const std::string &path);

private:
    bool exec(const char *sql);
    bool prepare(sqlite3_stmt *&st, const char *sql);
    // Classifies a failure, closes the store; always false.
    bool fail(int rc);
    bool setUp(const std::string &scheme, int64_t day);
    // The stored blocks among blocks (ascending), each with its entries
    // (ascending by inode), within the caller's transaction.
    bool readBlocks(int64_t volume, const std::vector<uint64_t> &blocks,
                    const std::function<void(uint64_t, const std::vector<Entry> &)> &each);
    // Drops the entries last seen before that day, within the caller's
    // transaction.
    bool expire(int64_t before);

    std::string path_;
    int busyMs_;
    sqlite3 *db_ = nullptr;
    Problem problem_ = Problem::None;
};
