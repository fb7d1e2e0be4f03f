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
constexpr int kSchemaVersion = 2;

// Finalizes a statement when it goes out of scope.
struct Statement {
    sqlite3_stmt *st = nullptr;
    ~Statement() { sqlite3_finalize(st); }
};

// An entry's state (everything but its key and day) as one value of the
// row: which hashes it holds, size, modification and change times, then
// the hashes it holds in round order; numbers little-endian. One value
// instead of six columns makes a row about a third cheaper to read.
constexpr size_t kStateHead = 1 + 3 * 8;

void putNumber(unsigned char *at, uint64_t v) { qToLittleEndian(v, at); }
uint64_t getNumber(const unsigned char *at) { return qFromLittleEndian<uint64_t>(at); }

size_t packState(const HashStore::Entry &e, unsigned char (&out)[kStateHead + 3 * 16])
{
    out[0] = e.have & 7;
    putNumber(out + 1, uint64_t(e.size));
    putNumber(out + 9, uint64_t(e.modifiedNs));
    putNumber(out + 17, uint64_t(e.changedNs));
    size_t n = kStateHead;
    for (int k = 0; k < 3; ++k)
        if (e.have & (1 << k)) {
            putNumber(out + n, e.hash[k].low);
            putNumber(out + n + 8, e.hash[k].high);
            n += 16;
        }
    return n;
}

// False for a value that is not a state (the entry is then taken as absent).
bool unpackState(const void *blob, int bytes, HashStore::Entry &e)
{
    const auto *b = static_cast<const unsigned char *>(blob);
    if (!b || bytes < int(kStateHead) || (b[0] & ~7) != 0
        || bytes != int(kStateHead) + 16 * std::popcount(unsigned(b[0])))
        return false;
    e.have = b[0];
    e.size = int64_t(getNumber(b + 1));
    e.modifiedNs = int64_t(getNumber(b + 9));
    e.changedNs = int64_t(getNumber(b + 17));
    size_t n = kStateHead;
    for (int k = 0; k < 3; ++k)
        if (e.have & (1 << k)) {
            e.hash[k] = {getNumber(b + n), getNumber(b + n + 8)};
            n += 16;
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
        // A store of the first layout (hashes in columns of their own) is
        // emptied: it is a cache, and the next search fills it again.
        if (!exec("BEGIN IMMEDIATE"))
            return false;
        const bool made =
            exec("DROP TABLE IF EXISTS hashes;"
                 "CREATE TABLE IF NOT EXISTS meta(key TEXT PRIMARY KEY, value) WITHOUT ROWID;"
                 "CREATE TABLE IF NOT EXISTS volumes(id INTEGER PRIMARY KEY, name TEXT NOT NULL UNIQUE);"
                 "CREATE TABLE IF NOT EXISTS entries(volume INTEGER NOT NULL, inode INTEGER NOT NULL,"
                 " seen INTEGER NOT NULL, state BLOB NOT NULL, PRIMARY KEY(volume, inode)) WITHOUT ROWID;"
                 "PRAGMA user_version=2")
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
    Statement del, put;
    if (!prepare(del.st, sameScheme ? "DELETE FROM entries WHERE seen < ?" : "DELETE FROM entries WHERE ? IS NOT NULL")
        || !prepare(put.st, "INSERT OR REPLACE INTO meta(key, value) VALUES('scheme', ?), ('expired', ?)"))
        return false;
    sqlite3_bind_int64(del.st, 1, day - kKeepDays);
    sqlite3_bind_text(put.st, 1, scheme.c_str(), -1, SQLITE_TRANSIENT);
    sqlite3_bind_int64(put.st, 2, day);
    if ((rc = sqlite3_step(del.st)) != SQLITE_DONE || (rc = sqlite3_step(put.st)) != SQLITE_DONE) {
        sqlite3_exec(db_, "ROLLBACK", nullptr, nullptr, nullptr);
        return fail(rc);
    }
    return exec("COMMIT");
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
    if (!prepare(s.st, "SELECT 1 FROM entries WHERE volume = ? LIMIT 1"))
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
    return exec("BEGIN") && readSorted(volume, sorted, each) && exec("COMMIT");
}

bool HashStore::readSorted(int64_t volume, const std::vector<uint64_t> &sorted,
                           const std::function<void(const Entry &)> &each)
{
    constexpr const char *columns = "SELECT inode, seen, state FROM entries";
    Statement one, range;
    if (!prepare(one.st, (std::string(columns) + " WHERE volume = ?1 AND inode = ?2").c_str())
        || !prepare(range.st, (std::string(columns) + " WHERE volume = ?1 AND inode BETWEEN ?2 AND ?3").c_str()))
        return false;
    sqlite3_bind_int64(one.st, 1, volume);
    sqlite3_bind_int64(range.st, 1, volume);
    // Steps a statement; false (the store closed) on a failure. A row is
    // handed over when its inode is next among those asked for (at).
    size_t at = 0;
    const auto step = [&](sqlite3_stmt *st, bool &row, size_t end) {
        const int rc = sqlite3_step(st);
        row = rc == SQLITE_ROW;
        if (row) {
            const uint64_t inode = uint64_t(sqlite3_column_int64(st, 0));
            while (at < end && sorted[at] < inode)
                ++at;
            if (at == end || sorted[at] != inode)
                return true;
            Entry e;
            e.inode = inode;
            e.seen = sqlite3_column_int64(st, 1);
            const void *state = sqlite3_column_blob(st, 2);
            if (unpackState(state, sqlite3_column_bytes(st, 2), e))
                each(e);
            return true;
        }
        return rc == SQLITE_DONE || fail(rc);
    };
    // Inodes close together (as a folder's files mostly are) are read in
    // one pass over their key range, which is several times cheaper than a
    // lookup each; scattered ones one by one.
    constexpr size_t kRun = 256;
    for (size_t k = 0; k < sorted.size(); k += kRun) {
        const size_t n = std::min(kRun, sorted.size() - k);
        const uint64_t lo = sorted[k], hi = sorted[k + n - 1];
        bool row = false;
        at = k;
        if (hi <= uint64_t(INT64_MAX) && hi - lo < 16 * n) {
            sqlite3_bind_int64(range.st, 2, int64_t(lo));
            sqlite3_bind_int64(range.st, 3, int64_t(hi));
            do {
                if (!step(range.st, row, k + n))
                    return false;
            } while (row);
            sqlite3_reset(range.st);
        } else {
            for (size_t m = k; m < k + n; ++m) {
                sqlite3_bind_int64(one.st, 2, int64_t(sorted[m]));
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
    // In key order: the pages are filled one after the other.
    std::stable_sort(writes.begin(), writes.end(), [](const Write &a, const Write &b) {
        return a.volume != b.volume ? a.volume < b.volume : a.entry.inode < b.entry.inode;
    });
    Statement put, touch;
    if (!prepare(put.st, "INSERT OR REPLACE INTO entries(volume, inode, seen, state) VALUES(?1, ?2, ?3, ?4)")
        || !prepare(touch.st, "UPDATE entries SET seen = ?1 WHERE volume = ?2 AND inode = ?3 AND seen <> ?1"))
        return false;
    // A failure closes the store, which rolls the transaction back.
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    std::vector<uint64_t> inodes;
    std::vector<Entry> stored;
    for (size_t k = 0; k < writes.size();) {
        const int64_t volume = writes[k].volume;
        size_t j = k;
        inodes.clear();
        for (; j < writes.size() && writes[j].volume == volume; ++j)
            if (!writes[j].seenOnly && (inodes.empty() || inodes.back() != writes[j].entry.inode))
                inodes.push_back(writes[j].entry.inode);
        // What is stored for them, read in this transaction: another copy
        // may have added hashes since this one looked.
        stored.clear();
        if (!readSorted(volume, inodes, [&](const Entry &e) { stored.push_back(e); }))
            return false;
        size_t m = 0;
        bool written = false;
        Entry last;
        for (; k < j; ++k) {
            const Write &w = writes[k];
            int rc;
            if (w.seenOnly) {
                sqlite3_bind_int64(touch.st, 1, day);
                sqlite3_bind_int64(touch.st, 2, volume);
                sqlite3_bind_int64(touch.st, 3, int64_t(w.entry.inode));
                rc = sqlite3_step(touch.st);
                sqlite3_reset(touch.st);
            } else {
                // Hashes stored for the file in the same state are kept
                // beside the new ones; an entry of another state is replaced.
                // A second write of the file (another of its names) adds
                // to the first.
                Entry e = w.entry;
                const Entry *old = nullptr;
                if (written && last.inode == e.inode) {
                    old = &last;
                } else {
                    while (m < stored.size() && stored[m].inode < e.inode)
                        ++m;
                    if (m < stored.size() && stored[m].inode == e.inode)
                        old = &stored[m];
                }
                if (old && old->sameState(e))
                    for (int h = 0; h < 3; ++h)
                        if (!(e.have & (1 << h)) && (old->have & (1 << h))) {
                            e.hash[h] = old->hash[h];
                            e.have |= uint8_t(1 << h);
                        }
                last = e;
                written = true;
                unsigned char state[kStateHead + 3 * 16];
                const size_t n = packState(e, state);
                sqlite3_bind_int64(put.st, 1, volume);
                sqlite3_bind_int64(put.st, 2, int64_t(e.inode));
                sqlite3_bind_int64(put.st, 3, day);
                sqlite3_bind_blob(put.st, 4, state, int(n), SQLITE_TRANSIENT);
                rc = sqlite3_step(put.st);
                sqlite3_reset(put.st);
            }
            if (rc != SQLITE_DONE)
                return fail(rc);
        }
    }
    return exec("COMMIT");
}

bool HashStore::forgetAll()
{
    if (!exec("BEGIN IMMEDIATE"))
        return false;
    if (!exec("DELETE FROM entries; DELETE FROM volumes") || !exec("COMMIT"))
        return false;
    // Give the room back; another copy reading at the moment keeps it.
    sqlite3_exec(db_, "VACUUM", nullptr, nullptr, nullptr);
    sqlite3_exec(db_, "PRAGMA wal_checkpoint(TRUNCATE)", nullptr, nullptr, nullptr);
    return true;
}

int64_t HashStore::count()
{
    Statement s;
    if (!prepare(s.st, "SELECT count(*) FROM entries"))
        return -1;
    const int rc = sqlite3_step(s.st);
    return rc == SQLITE_ROW ? sqlite3_column_int64(s.st, 0) : (fail(rc), -1);
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
