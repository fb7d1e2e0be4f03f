#include "finders/HashStore.h"

#include "platform/Paths.h"

#include <QFile>
#include <QtEndian>

#include <sqlite3.h>

#include <algorithm>
#include <bit>
#include <chrono>
#include <cstring>

namespace {
constexpr int kSchemaVersion = 3;

// Finalizes a statement when it goes out of scope.
struct Statement {
    sqlite3_stmt *st = nullptr;
    ~Statement() { sqlite3_finalize(st); }
};

// Entries are stored by blocks of kBlockInodes inode numbers: one row per
// volume and block, whose value holds the block's entries one after the
// other. The files of a folder mostly have neighbouring inodes, so a search
// reads one row for several entries instead of a row each (the cost of a
// look-up is the rows stepped through). A block's value stays within what
// SQLite keeps in the row's own page (about a quarter of a 4 KB page for a
// table without row ids), so no value spills onto a page of its own. An
// entry in a block's value, ascending by inode: its inode's place in the
// block (1 byte), the day it was last seen (4), which hashes it holds (1),
// size, modification and change times (8 each), then the hashes it holds in
// round order (16 each); numbers little-endian.
constexpr int kBlockShift = std::countr_zero(HashStore::kBlockInodes);
constexpr size_t kEntryHead = 1 + 4 + 1 + 3 * 8;
uint64_t blockOf(uint64_t inode) { return inode >> kBlockShift; }

void putNumber(unsigned char *at, uint64_t v) { qToLittleEndian(v, at); }
uint64_t getNumber(const unsigned char *at) { return qFromLittleEndian<uint64_t>(at); }

void packEntry(const HashStore::Entry &e, std::vector<unsigned char> &out)
{
    const size_t at = out.size();
    out.resize(at + kEntryHead + 16 * size_t(std::popcount(unsigned(e.have & 7))));
    unsigned char *b = out.data() + at;
    b[0] = uint8_t(e.inode & (HashStore::kBlockInodes - 1));
    qToLittleEndian(uint32_t(std::clamp<int64_t>(e.seen, 0, UINT32_MAX)), b + 1);
    b[5] = e.have & 7;
    putNumber(b + 6, uint64_t(e.size));
    putNumber(b + 14, uint64_t(e.modifiedNs));
    putNumber(b + 22, uint64_t(e.changedNs));
    size_t n = kEntryHead;
    for (int k = 0; k < 3; ++k)
        if (e.have & (1 << k)) {
            putNumber(b + n, e.hash[k].low);
            putNumber(b + n + 8, e.hash[k].high);
            n += 16;
        }
}

// Steps put (INSERT OR REPLACE of volume, block, entries) for the entries
// packed in value; the statement's result.
int putBlock(sqlite3_stmt *put, int64_t volume, uint64_t block, const std::vector<unsigned char> &value)
{
    sqlite3_bind_int64(put, 1, volume);
    sqlite3_bind_int64(put, 2, int64_t(block));
    sqlite3_bind_blob(put, 3, value.data(), int(value.size()), SQLITE_STATIC);
    const int rc = sqlite3_step(put);
    sqlite3_reset(put);
    return rc;
}

// The entries of one block's value, appended to out; false (nothing
// appended) for a value that is not one: the block is then taken as empty.
bool unpackBlock(const void *blob, int bytes, uint64_t block, std::vector<HashStore::Entry> &out)
{
    const auto *b = static_cast<const unsigned char *>(blob);
    const size_t first = out.size(), end = bytes > 0 ? size_t(bytes) : 0;
    int last = -1;
    for (size_t at = 0; at < end;) {
        if (end - at < kEntryHead || b[at] >= HashStore::kBlockInodes || int(b[at]) <= last || (b[at + 5] & ~7) != 0
            || end - at < kEntryHead + 16 * size_t(std::popcount(unsigned(b[at + 5])))) {
            out.resize(first);
            return false;
        }
        last = b[at];
        HashStore::Entry &e = out.emplace_back();
        e.inode = block << kBlockShift | uint64_t(last);
        e.seen = qFromLittleEndian<uint32_t>(b + at + 1);
        e.have = b[at + 5];
        e.size = int64_t(getNumber(b + at + 6));
        e.modifiedNs = int64_t(getNumber(b + at + 14));
        e.changedNs = int64_t(getNumber(b + at + 22));
        at += kEntryHead;
        for (int k = 0; k < 3; ++k)
            if (e.have & (1 << k)) {
                e.hash[k] = {getNumber(b + at), getNumber(b + at + 8)};
                at += 16;
            }
    }
    return true;
}
}

std::string HashStore::defaultPath() { return Paths::cacheHome() + "/vantor/hashes.sqlite"; }

int64_t HashStore::today()
{
    using namespace std::chrono;
    return duration_cast<days>(system_clock::now().time_since_epoch()).count();
}

HashStore::HashStore(std::string path, int busyMs) : path_(std::move(path)), busyMs_(busyMs) {}

HashStore::~HashStore() { close(); }

void HashStore::close()
{
    if (db_) {
        sqlite3_close_v2(db_);
        db_ = nullptr;
    }
}

bool HashStore::fail(int rc)
{
    switch (rc & 0xff) {
    case SQLITE_BUSY:
    case SQLITE_LOCKED:
        problem_ = Problem::Locked;
        break;
    case SQLITE_CORRUPT:
    case SQLITE_NOTADB:
        problem_ = Problem::Damaged;
        break;
    case SQLITE_FULL:
        problem_ = Problem::Full;
        break;
    default:
        problem_ = Problem::CannotOpen;
    }
    close();
    if (problem_ == Problem::Damaged) {
        // A cache that cannot be read is of no further use: the next opening
        // starts an empty store in its place.
        for (const char *suffix : {"", "-wal", "-shm"})
            QFile::remove(QString::fromLocal8Bit(path_ + suffix));
    }
    return false;
}

bool HashStore::exec(const char *sql)
{
    if (!db_)
        return false;
    const int rc = sqlite3_exec(db_, sql, nullptr, nullptr, nullptr);
    return rc == SQLITE_OK || fail(rc);
}

bool HashStore::prepare(sqlite3_stmt *&st, const char *sql)
{
    if (!db_)
        return false;
    const int rc = sqlite3_prepare_v3(db_, sql, -1, SQLITE_PREPARE_PERSISTENT, &st, nullptr);
    return rc == SQLITE_OK || fail(rc);
}

bool HashStore::open(const std::string &scheme, int64_t day)
{
    close();
    problem_ = Problem::None;
    const auto slash = path_.rfind('/');
    if (slash != std::string::npos && slash > 0 && !Paths::makeFolders(path_.substr(0, slash))) {
        problem_ = Problem::CannotOpen;
        return false;
    }
    const int rc = sqlite3_open_v2(path_.c_str(), &db_,
                                   SQLITE_OPEN_READWRITE | SQLITE_OPEN_CREATE | SQLITE_OPEN_NOMUTEX, nullptr);
    if (rc != SQLITE_OK)
        return fail(rc);
    sqlite3_busy_timeout(db_, busyMs_);
    sqlite3_extended_result_codes(db_, 1);
    return setUp(scheme, day);
}

bool HashStore::setUp(const std::string &scheme, int64_t day)
{
    // WAL: readers go on while another copy writes; a cut write is rolled
    // back at the next opening. NORMAL synchronisation: a power cut may lose
    // the last writes of a cache, never its consistency.
    {
        Statement s;
        if (!prepare(s.st, "PRAGMA journal_mode=WAL"))
            return false;
        const int rc = sqlite3_step(s.st);
        if (rc != SQLITE_ROW)
            return fail(rc);
        if (std::strcmp(reinterpret_cast<const char *>(sqlite3_column_text(s.st, 0)), "wal") != 0)
            return fail(SQLITE_CANTOPEN);
    }
    // The store is read through a memory map and written through a cache
    // that holds a large search's pages, so neither costs a system call per
    // page.
    if (!exec("PRAGMA synchronous=NORMAL; PRAGMA mmap_size=268435456; PRAGMA cache_size=-32768"))
        return false;
    int version = 0;
    {
        Statement s;
        if (!prepare(s.st, "PRAGMA user_version"))
            return false;
        const int rc = sqlite3_step(s.st);
        if (rc != SQLITE_ROW)
            return fail(rc);
        version = sqlite3_column_int(s.st, 0);
    }
    if (version > kSchemaVersion) // a later version's layout: left alone
        return fail(SQLITE_CANTOPEN);
    if (version < kSchemaVersion) {
        // A store of an earlier layout (an entry per row) is emptied: it is
        // a cache, and the next search fills it again.
        if (!exec("BEGIN IMMEDIATE"))
            return false;
        const bool made =
            exec("DROP TABLE IF EXISTS hashes; DROP TABLE IF EXISTS entries;"
                 "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID;"
                 "CREATE TABLE IF NOT EXISTS volumes(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);"
                 "CREATE TABLE IF NOT EXISTS blocks(volume INTEGER NOT NULL, block INTEGER NOT NULL,"
                 " entries BLOB NOT NULL, PRIMARY KEY(volume, block)) WITHOUT ROWID;"
                 "PRAGMA user_version=3")
            && exec("COMMIT");
        if (!made)
            return false;
    }

    // Once a day: entries of another scheme, or not seen for kKeepDays, go.
    Statement get;
    if (!prepare(get.st, "SELECT (SELECT value FROM meta WHERE key = 'scheme'),"
                         " (SELECT value FROM meta WHERE key = 'expired')"))
        return false;
    int rc = sqlite3_step(get.st);
    if (rc != SQLITE_ROW)
        return fail(rc);
    const char *stored = reinterpret_cast<const char *>(sqlite3_column_text(get.st, 0));
    const bool sameScheme = stored && scheme == stored;
    const bool expiredToday =
        sqlite3_column_type(get.st, 1) == SQLITE_INTEGER && sqlite3_column_int64(get.st, 1) == day;
    sqlite3_reset(get.st);
    if (sameScheme && expiredToday)
        return true;
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    Statement put;
    if (!prepare(put.st, "INSERT OR REPLACE INTO meta(key, value) VALUES('scheme', ?), ('expired', ?)"))
        return false;
    if (!(sameScheme ? expire(day - kKeepDays) : exec("DELETE FROM blocks")))
        return false;
    sqlite3_bind_text(put.st, 1, scheme.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(put.st, 2, day);
    if ((rc = sqlite3_step(put.st)) != SQLITE_DONE)
        return fail(rc);
    return exec("COMMIT");
}

bool HashStore::expire(int64_t before)
{
    // The blocks holding an entry last seen before that day, rewritten
    // without it (dropped once empty); a block that cannot be read goes.
    struct Change {
        int64_t volume, block;
        std::vector<unsigned char> value; // empty: the row goes
    };
    std::vector<Change> changes;
    {
        Statement all;
        if (!prepare(all.st, "SELECT volume, block, entries FROM blocks"))
            return false;
        std::vector<Entry> entries;
        int rc;
        while ((rc = sqlite3_step(all.st)) == SQLITE_ROW) {
            entries.clear();
            const int64_t block = sqlite3_column_int64(all.st, 1);
            const bool read = unpackBlock(sqlite3_column_blob(all.st, 2), sqlite3_column_bytes(all.st, 2),
                                          uint64_t(block), entries);
            const size_t had = entries.size();
            std::erase_if(entries, [&](const Entry &e) { return e.seen < before; });
            if (read && entries.size() == had)
                continue;
            Change &c = changes.emplace_back(Change{sqlite3_column_int64(all.st, 0), block, {}});
            for (const Entry &e : entries)
                packEntry(e, c.value);
        }
        if (rc != SQLITE_DONE)
            return fail(rc);
    }
    Statement put, drop;
    if (!prepare(put.st, "INSERT OR REPLACE INTO blocks(volume, block, entries) VALUES(?1, ?2, ?3)")
        || !prepare(drop.st, "DELETE FROM blocks WHERE volume = ?1 AND block = ?2"))
        return false;
    for (const Change &c : changes) {
        int rc;
        if (c.value.empty()) {
            sqlite3_bind_int64(drop.st, 1, c.volume);
            sqlite3_bind_int64(drop.st, 2, c.block);
            rc = sqlite3_step(drop.st);
            sqlite3_reset(drop.st);
        } else {
            rc = putBlock(put.st, c.volume, uint64_t(c.block), c.value);
        }
        if (rc != SQLITE_DONE)
            return fail(rc);
    }
    return true;
}

int64_t HashStore::volume(const std::string &name)
{
    Statement find, add;
    if (!prepare(find.st, "SELECT id FROM volumes WHERE name = ?"))
        return -1;
    sqlite3_bind_text(find.st, 1, name.c_str(), int(name.size()), SQLITE_TRANSIENT);
    int rc = sqlite3_step(find.st);
    if (rc == SQLITE_ROW)
        return sqlite3_column_int64(find.st, 0);
    if (rc != SQLITE_DONE)
        return fail(rc), -1;
    // Another copy may add the same name at once: the name is unique, so
    // the insert is skipped and the id read again.
    if (!prepare(add.st, "INSERT OR IGNORE INTO volumes(name) VALUES(?)"))
        return -1;
    sqlite3_bind_text(add.st, 1, name.c_str(), int(name.size()), SQLITE_TRANSIENT);
    if ((rc = sqlite3_step(add.st)) != SQLITE_DONE)
        return fail(rc), -1;
    sqlite3_reset(find.st);
    rc = sqlite3_step(find.st);
    if (rc == SQLITE_ROW)
        return sqlite3_column_int64(find.st, 0);
    return fail(rc == SQLITE_DONE ? SQLITE_CORRUPT : rc), -1;
}

bool HashStore::hasEntries(int64_t volume)
{
    Statement s;
    if (!prepare(s.st, "SELECT 1 FROM blocks WHERE volume = ? LIMIT 1"))
        return false;
    sqlite3_bind_int64(s.st, 1, volume);
    const int rc = sqlite3_step(s.st);
    if (rc == SQLITE_ROW)
        return true;
    if (rc != SQLITE_DONE)
        fail(rc);
    return false;
}

bool HashStore::lookup(int64_t volume, const std::vector<uint64_t> &inodes, std::vector<Entry> &found)
{
    found.clear();
    std::vector<uint64_t> sorted(inodes);
    std::sort(sorted.begin(), sorted.end());
    sorted.erase(std::unique(sorted.begin(), sorted.end()), sorted.end());
    const bool ok = lookupSorted(volume, sorted, [&](const Entry &e) { found.push_back(e); });
    if (!ok)
        found.clear();
    return ok;
}

bool HashStore::lookupSorted(int64_t volume, const std::vector<uint64_t> &sorted,
                             const std::function<void(const Entry &)> &each)
{
    // One read transaction: one consistent view, one lock taken.
    // A failure closes the store, which ends the transaction.
    if (!exec("BEGIN"))
        return false;
    std::vector<uint64_t> blocks;
    for (uint64_t inode : sorted)
        if (blocks.empty() || blocks.back() != blockOf(inode))
            blocks.push_back(blockOf(inode));
    size_t at = 0;
    const bool read = readBlocks(volume, blocks, [&](uint64_t, const std::vector<Entry> &entries) {
        for (const Entry &e : entries) {
            while (at < sorted.size() && sorted[at] < e.inode)
                ++at;
            if (at < sorted.size() && sorted[at] == e.inode)
                each(e);
        }
    });
    return read && exec("COMMIT");
}

bool HashStore::readBlocks(int64_t volume, const std::vector<uint64_t> &blocks,
                           const std::function<void(uint64_t, const std::vector<Entry> &)> &each)
{
    Statement one, range;
    if (!prepare(one.st, "SELECT block, entries FROM blocks WHERE volume = ?1 AND block = ?2")
        || !prepare(range.st, "SELECT block, entries FROM blocks WHERE volume = ?1 AND block BETWEEN ?2 AND ?3"))
        return false;
    sqlite3_bind_int64(one.st, 1, volume);
    sqlite3_bind_int64(range.st, 1, volume);
    std::vector<Entry> entries;
    // Steps a statement; false (the store closed) on a failure. A block is
    // handed over when it is next among those asked for (at).
    size_t at = 0;
    const auto step = [&](sqlite3_stmt *st, bool &row, size_t end) {
        const int rc = sqlite3_step(st);
        row = rc == SQLITE_ROW;
        if (row) {
            const uint64_t block = uint64_t(sqlite3_column_int64(st, 0));
            while (at < end && blocks[at] < block)
                ++at;
            if (at == end || blocks[at] != block)
                return true;
            entries.clear();
            if (unpackBlock(sqlite3_column_blob(st, 1), sqlite3_column_bytes(st, 1), block, entries)
                && !entries.empty())
                each(block, entries);
            return true;
        }
        return rc == SQLITE_DONE || fail(rc);
    };
    // Blocks close together (as those of a tree's files mostly are) are read
    // in one pass over their key range; scattered ones one by one.
    constexpr size_t kRun = 256;
    for (size_t k = 0; k < blocks.size(); k += kRun) {
        const size_t n = std::min(kRun, blocks.size() - k);
        const uint64_t lo = blocks[k], hi = blocks[k + n - 1];
        bool row = false;
        at = k;
        if (hi - lo < 4 * n) {
            sqlite3_bind_int64(range.st, 2, int64_t(lo));
            sqlite3_bind_int64(range.st, 3, int64_t(hi));
            do {
                if (!step(range.st, row, k + n))
                    return false;
            } while (row);
            sqlite3_reset(range.st);
        } else {
            for (size_t m = k; m < k + n; ++m) {
                sqlite3_bind_int64(one.st, 2, int64_t(blocks[m]));
                at = m;
                if (!step(one.st, row, m + 1))
                    return false;
                sqlite3_reset(one.st);
            }
        }
    }
    return true;
}

bool HashStore::write(std::vector<Write> writes, int64_t day)
{
    if (writes.empty())
        return db_ != nullptr;
    // In key order: each block is merged once, the pages filled one after
    // the other.
    std::stable_sort(writes.begin(), writes.end(), [](const Write &a, const Write &b) {
        return a.volume != b.volume ? a.volume < b.volume : a.entry.inode < b.entry.inode;
    });
    Statement put;
    if (!prepare(put.st, "INSERT OR REPLACE INTO blocks(volume, block, entries) VALUES(?1, ?2, ?3)"))
        return false;
    // A failure closes the store, which rolls the transaction back.
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    std::vector<uint64_t> blocks;
    std::vector<Entry> stored;        // the blocks' entries, read in this transaction
    std::vector<size_t> storedAt;     // where each block's entries begin in stored
    std::vector<Entry> merged;
    std::vector<unsigned char> value;
    for (size_t k = 0; k < writes.size();) {
        const int64_t volume = writes[k].volume;
        size_t j = k;
        blocks.clear();
        for (; j < writes.size() && writes[j].volume == volume; ++j)
            if (blocks.empty() || blocks.back() != blockOf(writes[j].entry.inode))
                blocks.push_back(blockOf(writes[j].entry.inode));
        // What is stored in them, read in this transaction: another copy
        // may have added hashes since this one looked.
        stored.clear();
        storedAt.assign(blocks.size() + 1, 0);
        size_t b = 0;
        const bool read = readBlocks(volume, blocks, [&](uint64_t block, const std::vector<Entry> &entries) {
            while (blocks[b] < block)
                storedAt[++b] = stored.size();
            stored.insert(stored.end(), entries.begin(), entries.end());
        });
        if (!read)
            return false;
        while (b < blocks.size())
            storedAt[++b] = stored.size();

        for (b = 0; k < j; ++b) {
            const uint64_t block = blocks[b];
            merged.assign(stored.begin() + std::ptrdiff_t(storedAt[b]), stored.begin() + std::ptrdiff_t(storedAt[b + 1]));
            bool changed = false;
            for (; k < j && blockOf(writes[k].entry.inode) == block; ++k) {
                const Write &w = writes[k];
                auto old = std::lower_bound(merged.begin(), merged.end(), w.entry.inode,
                                            [](const Entry &e, uint64_t inode) { return e.inode < inode; });
                const bool found = old != merged.end() && old->inode == w.entry.inode;
                if (w.seenOnly) {
                    if (found && old->seen != day) {
                        old->seen = day;
                        changed = true;
                    }
                    continue;
                }
                // Hashes stored for the file in the same state are kept
                // beside the new ones; an entry of another state is replaced.
                // A second write of the file (another of its names) adds to
                // the first.
                Entry e = w.entry;
                e.seen = day;
                if (found && old->sameState(e))
                    for (int h = 0; h < 3; ++h)
                        if (!(e.have & (1 << h)) && (old->have & (1 << h))) {
                            e.hash[h] = old->hash[h];
                            e.have |= uint8_t(1 << h);
                        }
                if (found)
                    *old = e;
                else
                    merged.insert(old, e);
                changed = true;
            }
            if (!changed)
                continue;
            value.clear();
            for (const Entry &e : merged)
                packEntry(e, value);
            if (const int rc = putBlock(put.st, volume, block, value); rc != SQLITE_DONE)
                return fail(rc);
        }
    }
    return exec("COMMIT");
}

bool HashStore::forgetAll()
{
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    if (!exec("DELETE FROM blocks; DELETE FROM volumes") || !exec("COMMIT"))
        return false;
    // Give the room back; another copy reading at the moment keeps it.
    sqlite3_exec(db_, "VACUUM", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    return true;
}

int64_t HashStore::count()
{
    Statement s;
    if (!prepare(s.st, "SELECT block, entries FROM blocks"))
        return -1;
    int64_t n = 0;
    std::vector<Entry> entries;
    int rc;
    while ((rc = sqlite3_step(s.st)) == SQLITE_ROW) {
        entries.clear();
        unpackBlock(sqlite3_column_blob(s.st, 1), sqlite3_column_bytes(s.st, 1),
                    uint64_t(sqlite3_column_int64(s.st, 0)), entries);
        n += int64_t(entries.size());
    }
    return rc == SQLITE_DONE ? n : (fail(rc), -1);
}

QString HashStore::problemText(Problem p, const std::string &path)
{
    const QString folder = QString::fromLocal8Bit(path.substr(0, path.rfind('/')));
    switch (p) {
    case Problem::None:
        return {};
    case Problem::Locked:
        return QStringLiteral("remembered hashes not used: another program holds their store");
    case Problem::Damaged:
        return QStringLiteral("remembered hashes not used: their store was damaged and has been cleared");
    case Problem::Full:
        return QStringLiteral("hashes not remembered: the disk of %1 is full").arg(folder);
    case Problem::CannotOpen:
        break;
    }
    return QStringLiteral("remembered hashes not used: their store in %1 cannot be opened").arg(folder);
}
