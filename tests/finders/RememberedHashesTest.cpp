#include "finders/ContentSearch.h"
#include "finders/HashStore.h"
#include "finders/RememberedHashes.h"
#include "platform/Paths.h"
#include "platform/VolumeIds.h"
#include "support/TempTree.h"
#include "support/TestChild.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <sqlite3.h>

#include <algorithm>
#include <deque>
#include <filesystem>
#include <fstream>
#include <fcntl.h>
#include <map>
#include <mutex>
#include <set>
#include <tuple>
#include <sys/stat.h>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;

// The regular files under a root, in path order, as the walk hands them over.
struct Tree {
    std::vector<std::string> folders, paths;
    std::deque<std::string> names;
    std::vector<ContentSearch::File> files;

    // walkTimes: each file carries its times as the walk would.
    explicit Tree(const std::string &root, bool walkTimes = false)
    {
        std::vector<std::string> all;
        for (const auto &e : fs::recursive_directory_iterator(root))
            if (e.is_regular_file() && !e.is_symlink())
                all.push_back(e.path().string());
        std::sort(all.begin(), all.end());
        for (const std::string &p : all) {
            struct stat st;
            if (::lstat(p.c_str(), &st) != 0)
                continue;
            const std::string folder = p.substr(0, p.rfind('/'));
            if (folders.empty() || folders.back() != folder)
                folders.push_back(folder);
            names.push_back(p.substr(p.rfind('/') + 1));
            files.push_back({uint32_t(folders.size() - 1), uint32_t(names.back().size()), names.back().data(),
                             int64_t(st.st_size), uint64_t(st.st_ino), uint64_t(st.st_dev)});
            if (walkTimes) {
                files.back().modifiedNs = int64_t(st.st_mtim.tv_sec) * 1000000000 + st.st_mtim.tv_nsec;
                files.back().changedNs = int64_t(st.st_ctim.tv_sec) * 1000000000 + st.st_ctim.tv_nsec;
            }
            paths.push_back(p);
        }
    }
    size_t index(const std::string &path) const
    {
        return size_t(std::find(paths.begin(), paths.end(), path) - paths.begin());
    }
};

// One search as the window runs it, with a store: its groups (as paths),
// the files it read (by round 1) and what the store said.
struct Outcome {
    std::set<std::set<std::string>> groups;
    std::set<std::string> read;
    int64_t recalled = 0;
    QString note;
    bool counted = false; // the progress ended at every file and byte
};

Outcome search(const std::string &root, int busyMs = 3000, int64_t day = 20000, bool walkTimes = false)
{
    Tree t(root, walkTimes);
    RememberedHashes memory;
    memory.busyMs = busyMs;
    memory.day = day;
    ContentSearch s(t.folders, t.files);
    s.memory = &memory;
    std::mutex m;
    Outcome out;
    s.afterRead = [&](size_t file, int) {
        std::lock_guard lock(m);
        out.read.insert(t.paths[file]);
    };
    s.run(2);
    for (const auto &g : s.groups()) {
        std::set<std::string> paths;
        for (uint32_t k : g)
            paths.insert(t.paths[k]);
        out.groups.insert(paths);
    }
    out.recalled = memory.recalled();
    out.note = memory.note();
    const ContentSearch::Progress p = s.progress();
    out.counted = p.files == p.filesTotal && p.bytes == p.bytesTotal;
    RememberedHashes::settle(); // its write done
    return out;
}

// Two groups read in all three rounds, one of small files read whole, and
// files that differ from them only in their last byte.
void makeTree(const TempTree &t)
{
    const std::string big = TempTree::randomBytes(50000, 7);
    std::string bigMiss = big;
    bigMiss.back() ^= 1;
    t.file("a/big1", big);
    t.file("b/big2", big);
    t.file("b/big3", bigMiss);
    t.file("a/small1", "twelve bytes");
    t.file("b/small2", "twelve bytes");
    t.file("b/small3", "twelve bytez");
}

void setMtime(const std::string &path, timespec t)
{
    const timespec times[2] = {t, t};
    ASSERT_EQ(::utimensat(AT_FDCWD, path.c_str(), times, AT_SYMLINK_NOFOLLOW), 0);
}

timespec mtimeOf(const std::string &path)
{
    struct stat st {};
    ::lstat(path.c_str(), &st);
    return st.st_mtim;
}

// Overwrites a file's bytes in place (same size, same inode).
void overwrite(const std::string &path, const std::string &bytes)
{
    const int fd = ::open(path.c_str(), O_WRONLY);
    ASSERT_GE(fd, 0);
    ASSERT_EQ(::pwrite(fd, bytes.data(), bytes.size(), 0), ssize_t(bytes.size()));
    ::close(fd);
}

std::string storePath() { return HashStore::defaultPath(); }
}

TEST(RememberedHashes, ASecondSearchReadsNothingAndFindsTheSameGroups)
{
    // With the walk's times, and with a look of the search's own.
    for (const bool walkTimes : {false, true}) {
        TempTree t("hashes");
        makeTree(t);
        RememberedHashes::forget();
        const Outcome first = search(t.root(), 3000, 20000, walkTimes);
        EXPECT_TRUE(first.note.isEmpty()) << first.note.toStdString();
        EXPECT_EQ(first.groups, (std::set<std::set<std::string>>{{t.path("a/big1"), t.path("b/big2")},
                                                                {t.path("a/small1"), t.path("b/small2")}}));
        EXPECT_EQ(first.read.size(), 6u);
        EXPECT_TRUE(first.counted);
        // The store lives in the (redirected) cache folder.
        EXPECT_EQ(storePath(), Paths::cacheHome() + "/vantor/hashes.sqlite");
        EXPECT_TRUE(TempTree::exists(storePath()));

        // The second search takes its hashes in parts of one file each,
        // on the pool's threads at once.
        const size_t parts = ContentSearch::filesAPart;
        ContentSearch::filesAPart = 1;
        const Outcome second = search(t.root(), 3000, 20000, walkTimes);
        ContentSearch::filesAPart = parts;
        EXPECT_EQ(second.groups, first.groups);
        EXPECT_TRUE(second.read.empty());
        EXPECT_EQ(second.recalled, 6);
        // Files taken from the store count in the progress as read.
        EXPECT_TRUE(second.counted);
    }
}

TEST(RememberedHashes, AFileWhoseStateMovedIsReadAgain)
{
    TempTree t("hashes");
    makeTree(t);
    search(t.root());

    // A later modification time.
    timespec m = mtimeOf(t.path("b/big3"));
    m.tv_nsec = (m.tv_nsec + 1) % 1000000000;
    setMtime(t.path("b/big3"), m);
    Outcome o = search(t.root());
    EXPECT_EQ(o.read, std::set<std::string>{t.path("b/big3")});

    // Rewritten with the same size, its modification time set back: only
    // the change time tells, and the new bytes join the group.
    const timespec before = mtimeOf(t.path("b/small3"));
    overwrite(t.path("b/small3"), "twelve bytes");
    setMtime(t.path("b/small3"), before);
    o = search(t.root());
    EXPECT_EQ(o.read, std::set<std::string>{t.path("b/small3")});
    EXPECT_TRUE(o.groups.count({t.path("a/small1"), t.path("b/small2"), t.path("b/small3")}));

    // Another file (inode) under the same name, with the old times.
    const timespec bigTime = mtimeOf(t.path("b/big2"));
    std::string changed = TempTree::read(t.path("b/big2"));
    changed[0] ^= 1;
    t.file("b/big2.new", changed);
    setMtime(t.path("b/big2.new"), bigTime);
    ASSERT_EQ(::rename(t.path("b/big2.new").c_str(), t.path("b/big2").c_str()), 0);
    o = search(t.root());
    EXPECT_EQ(o.read, std::set<std::string>{t.path("b/big2")});
    EXPECT_FALSE(o.groups.count({t.path("a/big1"), t.path("b/big2")}));
}

TEST(RememberedHashes, AnEntryHoldsOnlyForTheSameDeviceInodeSizeAndTimes)
{
    const HashStore::Hash h{1, 2};
    const uint64_t dev = 0x801, ino = 42;
    {
        RememberedHashes m;
        m.day = 100;
        m.begin({{0, dev, ino}});
        m.computed(0, 1, h, 5000, 111, 222);
        m.end();
    }
    const VolumeIds::Stat same{dev, ino, 5000, 111, 222, true};
    auto recalls = [&](VolumeIds::Stat now) {
        RememberedHashes m;
        m.day = 100;
        m.begin({{0, dev, ino}});
        EXPECT_TRUE(m.knows(0));
        HashStore::Hash got;
        const bool recalled = m.recall(0, now) && m.hash(0, 1, got) && got == h;
        m.end(false);
        return recalled;
    };
    EXPECT_TRUE(recalls(same));
    VolumeIds::Stat s = same;
    s.device = 0x802;
    EXPECT_FALSE(recalls(s));
    s = same;
    s.inode = 43;
    EXPECT_FALSE(recalls(s));
    s = same;
    s.size = 5001;
    EXPECT_FALSE(recalls(s));
    s = same;
    s.modifiedNs = 112;
    EXPECT_FALSE(recalls(s));
    s = same;
    s.changedNs = 223;
    EXPECT_FALSE(recalls(s));
    s = same;
    s.regular = false;
    EXPECT_FALSE(recalls(s));
    // A hash not computed is not made up; another device holds nothing.
    RememberedHashes m;
    m.day = 100;
    m.begin({{0, dev, ino}, {1, 0x802, ino}});
    HashStore::Hash got;
    EXPECT_TRUE(m.recall(0, same));
    EXPECT_FALSE(m.hash(0, 2, got) || m.hash(0, 3, got));
    EXPECT_FALSE(m.knows(1));
}

TEST(RememberedHashes, HashesOfLaterRoundsAddToTheEntryOfTheSameState)
{
    const HashStore::Hash a{1, 1}, b{2, 2}, c{3, 3};
    const uint64_t dev = 0x801;
    {
        RememberedHashes m;
        m.begin({{0, dev, 7}});
        m.computed(0, 1, a, 90000, 1, 1);
        m.end();
    }
    {
        RememberedHashes m;
        m.begin({{0, dev, 7}});
        ASSERT_TRUE(m.recall(0, {dev, 7, 90000, 1, 1, true}));
        m.computed(0, 2, b, 90000, 1, 1);
        m.computed(0, 3, c, 90000, 1, 1);
        m.end();
    }
    RememberedHashes m;
    m.begin({{0, dev, 7}});
    ASSERT_TRUE(m.recall(0, {dev, 7, 90000, 1, 1, true}));
    HashStore::Hash got[3];
    ASSERT_TRUE(m.hash(0, 1, got[0]) && m.hash(0, 2, got[1]) && m.hash(0, 3, got[2]));
    EXPECT_EQ(got[0], a);
    EXPECT_EQ(got[1], b);
    EXPECT_EQ(got[2], c);
    // A file in a new state keeps only what was computed for it.
    m.computed(0, 1, c, 90001, 1, 2);
    m.end();
    RememberedHashes n;
    n.begin({{0, dev, 7}});
    ASSERT_TRUE(n.recall(0, {dev, 7, 90001, 1, 2, true}));
    EXPECT_TRUE(n.hash(0, 1, got[0]) && got[0] == c);
    EXPECT_FALSE(n.hash(0, 2, got[1]));
}

// Runs SQL on the store file as another program would.
void runSql(const std::string &store, const char *sql)
{
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
    EXPECT_EQ(sqlite3_exec(db, sql, nullptr, nullptr, nullptr), SQLITE_OK) << sqlite3_errmsg(db);
    sqlite3_close(db);
}

TEST(HashStore, AWriteAddsToTheHashesStoredForTheSameStateAndReplacesAnother)
{
    RememberedHashes::forget();
    HashStore s(storePath());
    ASSERT_TRUE(s.open(RememberedHashes::scheme(), 20000));
    const int64_t v = s.volume("dev:8:1");
    const auto entry = [](uint64_t inode, int64_t size, uint8_t have, uint64_t h) {
        HashStore::Entry e;
        e.inode = inode;
        e.size = size;
        e.modifiedNs = 1;
        e.changedNs = 2;
        e.have = have;
        for (auto &x : e.hash)
            x = {h, h + 1};
        return e;
    };
    // Inode 7 as another copy left it; inode 8 written under two names at once.
    ASSERT_TRUE(s.write({{v, entry(7, 100, HashStore::First, 1)}}, 20000));
    ASSERT_TRUE(s.write({{v, entry(7, 100, HashStore::Whole, 5)},
                         {v, entry(8, 300, HashStore::First, 3)},
                         {v, entry(8, 300, HashStore::Last, 4)}},
                        20000));
    std::vector<HashStore::Entry> got;
    ASSERT_TRUE(s.lookup(v, {7, 8}, got));
    ASSERT_EQ(got.size(), 2u);
    EXPECT_EQ(got[0].have, HashStore::First | HashStore::Whole);
    EXPECT_EQ(got[0].hash[0], (HashStore::Hash{1, 2}));
    EXPECT_EQ(got[0].hash[2], (HashStore::Hash{5, 6}));
    EXPECT_EQ(got[1].have, HashStore::First | HashStore::Last);
    EXPECT_EQ(got[1].hash[1], (HashStore::Hash{4, 5}));
    // Another size: what was stored said nothing of this state.
    ASSERT_TRUE(s.write({{v, entry(7, 101, HashStore::Last, 9)}}, 20001));
    ASSERT_TRUE(s.lookup(v, {7}, got));
    ASSERT_EQ(got.size(), 1u);
    EXPECT_EQ(got[0].have, HashStore::Last);
    EXPECT_EQ(got[0].size, 101);
    EXPECT_EQ(got[0].seen, 20001);
    s.close();
    RememberedHashes::forget();
}

// Entries are packed by neighbouring inodes: whatever the inodes (block
// edges, the largest numbers, dense runs, scattered ones), what is read is
// what was written, and a block whose value is damaged reads as empty
// without hiding the others.
TEST(HashStore, EntriesPackedTogetherReadBackAsWritten)
{
    RememberedHashes::forget();
    HashStore s(storePath());
    ASSERT_TRUE(s.open(RememberedHashes::scheme(), 20000));
    const int64_t v = s.volume("dev:8:1"), other = s.volume("dev:8:2");
    std::map<uint64_t, HashStore::Entry> model;
    std::vector<HashStore::Write> writes;
    const auto put = [&](uint64_t inode, int64_t day) {
        HashStore::Entry e;
        e.inode = inode;
        e.size = int64_t(inode % 1000);
        e.modifiedNs = int64_t(inode * 3);
        e.changedNs = -int64_t(inode);
        e.have = uint8_t(1 + inode % 7);
        for (int h = 0; h < 3; ++h)
            e.hash[h] = (e.have & (1 << h)) ? HashStore::Hash{inode + uint64_t(h), ~inode} : HashStore::Hash{};
        writes.push_back({v, e});
        e.seen = day;
        model[inode] = e;
    };
    for (uint64_t i : {uint64_t(0), uint64_t(1), uint64_t(63), uint64_t(64), uint64_t(127), uint64_t(128),
                       uint64_t(1) << 40, UINT64_MAX - 64, UINT64_MAX - 1, UINT64_MAX})
        put(i, 20000);
    for (uint64_t i = 1000; i < 3000; i += 3)
        put(i, 20000);
    for (uint64_t i = 0; i < 300; ++i)
        put(uint64_t(50000) + i * 997, 20000); // one a block
    writes.push_back({other, model[64]}); // another volume's inode 64
    ASSERT_TRUE(s.write(writes, 20000));
    // A second write into the same blocks: new inodes between the others,
    // and a day brought up to date without new hashes.
    writes.clear();
    for (uint64_t i = 1001; i < 1200; i += 3)
        put(i, 20001);
    HashStore::Write touch;
    touch.volume = v;
    touch.entry.inode = 1000;
    touch.seenOnly = true;
    writes.push_back(touch);
    model[1000].seen = 20001;
    ASSERT_TRUE(s.write(writes, 20001));

    std::vector<uint64_t> asked;
    for (const auto &[inode, e] : model)
        asked.push_back(inode);
    for (uint64_t missing : {uint64_t(2), uint64_t(65), uint64_t(999), uint64_t(1) << 41})
        asked.push_back(missing);
    const auto check = [&](const std::vector<uint64_t> &inodes) {
        std::vector<HashStore::Entry> got;
        ASSERT_TRUE(s.lookup(v, inodes, got));
        std::vector<HashStore::Entry> want;
        for (uint64_t i : std::set<uint64_t>(inodes.begin(), inodes.end()))
            if (model.count(i))
                want.push_back(model[i]);
        ASSERT_EQ(got.size(), want.size());
        for (size_t k = 0; k < got.size(); ++k) {
            const HashStore::Entry &a = got[k], &b = want[k];
            EXPECT_TRUE(a.inode == b.inode && a.sameState(b) && a.seen == b.seen && a.have == b.have
                        && std::equal(a.hash, a.hash + 3, b.hash))
                << "inode " << b.inode;
        }
    };
    check(asked);
    check({1000, 1003, 64, UINT64_MAX});
    EXPECT_EQ(s.count(), int64_t(model.size()) + 1);

    // The block of inode 1030 damaged by hand: it reads as empty; a write
    // into it starts it again.
    s.close();
    const uint64_t block = 1030 / HashStore::kBlockInodes;
    runSql(storePath(), ("UPDATE blocks SET entries = x'0102' WHERE block = " + std::to_string(block)
                         + " AND volume = " + std::to_string(v)).c_str());
    ASSERT_TRUE(s.open(RememberedHashes::scheme(), 20001));
    const size_t had = model.size();
    std::erase_if(model, [&](const auto &m) { return m.first / HashStore::kBlockInodes == block; });
    ASSERT_LT(model.size(), had);
    check(asked);
    writes.clear();
    put(1030, 20001);
    ASSERT_TRUE(s.write(writes, 20001));
    check(asked);
    s.close();
    RememberedHashes::forget();
}

TEST(RememberedHashes, ARemountedDiskIsKnownByItsUuid)
{
    struct stat d0, d1;
    if (::stat("/dev/loop0", &d0) != 0 || ::stat("/dev/loop1", &d1) != 0 || !S_ISBLK(d0.st_mode))
        GTEST_SKIP() << "no loop devices to stand for the disk";
    TempTree t("uuids");
    const std::string links = t.dir("by-uuid");
    ASSERT_EQ(::symlink("/dev/loop0", (links + "/0A1B-2C3D").c_str()), 0);
    ASSERT_EQ(::symlink(t.file("plain").c_str(), (links + "/not-a-device").c_str()), 0);
    const auto uuids = VolumeIds::uuidsByDevice(links);
    EXPECT_EQ(uuids, (std::unordered_map<uint64_t, std::string>{{uint64_t(d0.st_rdev), "0A1B-2C3D"}}));

    const HashStore::Hash h{5, 6};
    {
        RememberedHashes m;
        m.uuidFolder = links;
        m.begin({{0, uint64_t(d0.st_rdev), 99}});
        m.computed(0, 1, h, 10, 1, 1);
        m.end();
    }
    // Mounted again, the disk's device number is another one.
    fs::remove(links + "/0A1B-2C3D");
    ASSERT_EQ(::symlink("/dev/loop1", (links + "/0A1B-2C3D").c_str()), 0);
    RememberedHashes m;
    m.uuidFolder = links;
    m.begin({{0, uint64_t(d1.st_rdev), 99}});
    HashStore::Hash got;
    EXPECT_TRUE(m.recall(0, {uint64_t(d1.st_rdev), 99, 10, 1, 1, true}) && m.hash(0, 1, got) && got == h);
    m.end(false);
}

TEST(RememberedHashes, EntriesNotSeenFor90DaysAreDropped)
{
    const uint64_t dev = 0x801;
    auto write = [&](int64_t day, uint64_t inode) {
        RememberedHashes m;
        m.day = day;
        m.begin({{0, dev, inode}});
        m.computed(0, 1, {inode, inode}, 10, 1, 1);
        m.end();
    };
    // Used again: its day moves on.
    auto use = [&](int64_t day, uint64_t inode) {
        RememberedHashes m;
        m.day = day;
        m.begin({{0, dev, inode}});
        const bool held = m.recall(0, {dev, inode, 10, 1, 1, true});
        m.end();
        return held;
    };
    write(1000, 1);
    write(1000, 2);
    EXPECT_TRUE(use(1050, 2));
    EXPECT_TRUE(use(1090, 1)); // 90 days on: still there
    EXPECT_TRUE(use(1140, 2)); // seen on day 1050
    EXPECT_FALSE(use(1181, 1)); // last seen on day 1090
    RememberedHashes::settle();
    HashStore s(storePath());
    ASSERT_TRUE(s.open(RememberedHashes::scheme(), 1181));
    EXPECT_EQ(s.count(), 1);
}

TEST(RememberedHashes, AStoreOfAnEarlierLayoutStartsAfreshAndOneOfALaterIsLeftAlone)
{
    TempTree t("hashes");
    makeTree(t);
    const std::string store = storePath();
    Paths::makeFolders(store.substr(0, store.rfind('/')));
    // The first layout (a column per hash), then the second (an entry per
    // row), each holding the files' inodes with other hashes.
    Outcome o;
    for (const char *layout :
         {"CREATE TABLE hashes(volume INTEGER NOT NULL, inode INTEGER NOT NULL, size INTEGER NOT NULL,"
          " mtime INTEGER NOT NULL, ctime INTEGER NOT NULL, seen INTEGER NOT NULL, first BLOB, last BLOB,"
          " whole BLOB, PRIMARY KEY(volume, inode)) WITHOUT ROWID;"
          "INSERT INTO hashes VALUES(1, 2, 3, 4, 5, 6, NULL, NULL, NULL); PRAGMA user_version=1",
          "DROP TABLE IF EXISTS blocks; CREATE TABLE entries(volume INTEGER NOT NULL, inode INTEGER NOT NULL,"
          " seen INTEGER NOT NULL, state BLOB NOT NULL, PRIMARY KEY(volume, inode)) WITHOUT ROWID;"
          "PRAGMA user_version=2"}) {
        runSql(store, layout);
        o = search(t.root());
        EXPECT_TRUE(o.note.isEmpty()) << o.note.toStdString();
        EXPECT_EQ(o.read.size(), 6u);
        EXPECT_EQ(search(t.root()).recalled, 6);
        HashStore s(store);
        ASSERT_TRUE(s.open(RememberedHashes::scheme(), 20000));
        EXPECT_EQ(s.count(), 6);
    }

    // A later version's store is not touched: the search goes without it.
    const Outcome plain = o;
    runSql(store, "PRAGMA user_version=9");
    o = search(t.root());
    EXPECT_EQ(o.groups, plain.groups);
    EXPECT_EQ(o.read.size(), 6u);
    EXPECT_FALSE(o.note.isEmpty());
    runSql(store, "PRAGMA user_version=3");
    EXPECT_EQ(search(t.root()).recalled, 6);
}

TEST(RememberedHashes, AStoreThatCannotBeUsedLeavesTheGroupsAsTheyAre)
{
    TempTree t("hashes");
    makeTree(t);
    const Outcome plain = search(t.root());
    ASSERT_TRUE(plain.note.isEmpty());
    const std::string store = storePath();

    // Damaged: the search goes without it, and the next one starts afresh.
    {
        std::ofstream(store, std::ios::binary | std::ios::trunc) << std::string(8192, 'x');
        fs::remove(store + "-wal");
        fs::remove(store + "-shm");
        const Outcome o = search(t.root());
        EXPECT_EQ(o.groups, plain.groups);
        EXPECT_EQ(o.read.size(), 6u);
        EXPECT_EQ(o.note, "remembered hashes not used: their store was damaged and has been cleared");
        EXPECT_TRUE(search(t.root()).note.isEmpty());
        EXPECT_EQ(search(t.root()).recalled, 6);
    }

    // Held by another process: after the wait the search goes without it.
    {
        TestChild::Process holder = TestChild::Process::child("hash-store-holder", {"VANTOR_TEST_STORE=" + store});
        ASSERT_TRUE(holder.waitForLine("holding", 20000)) << holder.err();
        const Outcome o = search(t.root(), 50);
        EXPECT_EQ(o.groups, plain.groups);
        EXPECT_EQ(o.note, "remembered hashes not used: another program holds their store");
    }

    // A cache folder that cannot be written.
    if (!TestEnv::privileged()) {
        fs::remove(store);
        fs::remove(store + "-wal");
        fs::remove(store + "-shm");
        const std::string folder = Paths::cacheHome() + "/vantor";
        ASSERT_EQ(::chmod(folder.c_str(), 0555), 0);
        const Outcome o = search(t.root());
        ::chmod(folder.c_str(), 0755);
        EXPECT_EQ(o.groups, plain.groups);
        EXPECT_EQ(o.note, QString::fromStdString("remembered hashes not used: their store in " + folder
                                                 + " cannot be opened"));
    }
}

namespace {
// Holds the store's write lock (exclusive locking) until killed.
const TestChild::Registration holder("hash-store-holder", [] {
    sqlite3 *db = nullptr;
    if (sqlite3_open(std::getenv("VANTOR_TEST_STORE"), &db) != SQLITE_OK
        || sqlite3_exec(db, "PRAGMA locking_mode=EXCLUSIVE; BEGIN EXCLUSIVE", nullptr, nullptr, nullptr) != SQLITE_OK)
        return 1;
    std::printf("holding\n");
    std::fflush(stdout);
    for (;;)
        ::pause();
});

// Writes 40 batches of 50 entries (inodes from VANTOR_TEST_FIRST on), each
// batch its own search's worth.
int writeBatches(const std::string &store, uint64_t first)
{
    for (int b = 0; b < 40; ++b) {
        HashStore s(store, 20000);
        if (!s.open(RememberedHashes::scheme(), 500))
            return 2;
        const int64_t vol = s.volume("dev:8:1");
        std::vector<HashStore::Write> w;
        for (uint64_t k = 0; k < 50; ++k) {
            HashStore::Write one;
            one.volume = vol;
            one.entry.inode = first + uint64_t(b) * 50 + k;
            one.entry.size = int64_t(one.entry.inode);
            one.entry.have = HashStore::First;
            one.entry.hash[0] = {one.entry.inode, ~one.entry.inode};
            w.push_back(one);
        }
        if (vol < 0 || !s.write(w, 500))
            return 3;
    }
    return 0;
}

const TestChild::Registration writer("hash-store-writer", [] {
    return writeBatches(std::getenv("VANTOR_TEST_STORE"), std::stoull(std::getenv("VANTOR_TEST_FIRST")));
});
}

TEST(RememberedHashes, ProcessesWritingAtOnceLoseAndCorruptNothing)
{
    const std::string store = storePath();
    std::vector<TestChild::Process> writers;
    for (int p = 0; p < 3; ++p)
        writers.push_back(TestChild::Process::child(
            "hash-store-writer", {"VANTOR_TEST_STORE=" + store, "VANTOR_TEST_FIRST=" + std::to_string(p * 100000)}));
    EXPECT_EQ(writeBatches(store, 900000), 0);
    for (auto &w : writers)
        EXPECT_EQ(w.waitForEnd(120000), 0) << w.err();

    HashStore s(store);
    ASSERT_TRUE(s.open(RememberedHashes::scheme(), 500));
    EXPECT_EQ(s.count(), 4 * 2000);
    std::vector<HashStore::Entry> found;
    const int64_t vol = s.volume("dev:8:1");
    ASSERT_TRUE(s.lookup(vol, {0, 1999, 100000, 201999, 900000, 901999}, found));
    ASSERT_EQ(found.size(), 6u);
    for (const auto &e : found)
        EXPECT_TRUE(e.size == int64_t(e.inode) && e.hash[0] == (HashStore::Hash{e.inode, ~e.inode}));
    s.close();
    sqlite3 *db = nullptr;
    ASSERT_EQ(sqlite3_open(store.c_str(), &db), SQLITE_OK);
    sqlite3_stmt *st = nullptr;
    ASSERT_EQ(sqlite3_prepare_v2(db, "PRAGMA integrity_check", -1, &st, nullptr), SQLITE_OK);
    ASSERT_EQ(sqlite3_step(st), SQLITE_ROW);
    EXPECT_STREQ(reinterpret_cast<const char *>(sqlite3_column_text(st, 0)), "ok");
    sqlite3_finalize(st);
    sqlite3_close(db);
}

// A file whose walk gave its times is judged by them, without a stat of its
// own; when it must be read after all (a round whose hash was not
// remembered), it must still be in the state the walk saw.
TEST(RememberedHashes, TheWalksTimesStandForTheFileUntilItIsRead)
{
    TempTree t("hashes");
    makeTree(t);
    search(t.root()); // big3 is told apart by its last block: its whole-file hash is never made

    const auto run = [&](const Tree &tree, std::set<std::string> &read) {
        RememberedHashes memory;
        memory.day = 20000;
        ContentSearch s(tree.folders, tree.files);
        s.memory = &memory;
        std::mutex m;
        s.afterRead = [&](size_t file, int) {
            std::lock_guard lock(m);
            read.insert(tree.paths[file]);
        };
        s.run(2);
        RememberedHashes::settle();
        std::set<std::set<std::string>> groups;
        for (const auto &g : s.groups()) {
            std::set<std::string> paths;
            for (uint32_t k : g)
                paths.insert(tree.paths[k]);
            groups.insert(paths);
        }
        return std::make_pair(groups, s.leftOut());
    };

    // Walk times that hold: nothing read.
    std::set<std::string> read;
    auto [groups, leftOut] = run(Tree(t.root(), true), read);
    EXPECT_TRUE(read.empty());
    EXPECT_EQ(groups.size(), 2u);

    // A walk that saw another change time: read again.
    Tree moved(t.root(), true);
    moved.files[moved.index(t.path("a/small1"))].changedNs += 1;
    read.clear();
    std::tie(groups, leftOut) = run(moved, read);
    EXPECT_EQ(read, std::set<std::string>{t.path("a/small1")});
    EXPECT_TRUE(groups.count({t.path("a/small1"), t.path("b/small2")}));

    // A copy of big3 makes big3's whole file wanted. big3 is rewritten in
    // place after the walk: its remembered first and last blocks stand (the
    // walk's state), but its whole read finds it changed and leaves it out.
    t.file("a/big4", TempTree::read(t.path("b/big3")));
    const Tree walked(t.root(), true);
    overwrite(t.path("b/big3"), TempTree::read(t.path("b/big3")));
    read.clear();
    std::tie(groups, leftOut) = run(walked, read);
    EXPECT_EQ(leftOut, 1);
    EXPECT_FALSE(groups.count({t.path("a/big4"), t.path("b/big3")}));
    EXPECT_TRUE(groups.count({t.path("a/big1"), t.path("b/big2")}));
}
