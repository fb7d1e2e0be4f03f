#include "finders/ContentSearch.h"
#include "platform/AnchoredPath.h"
#include "platform/Drives.h"
#include "scan/Walker.h"
#include "support/MountSandbox.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <climits>
#include <deque>
#include <filesystem>
#include <fstream>
#include <map>
#include <random>
#include <set>
#include <sstream>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
namespace fs = std::filesystem;

using InodeGroups = std::set<std::set<uint64_t>>;

uint64_t inodeOf(const std::string &path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 ? uint64_t(st.st_ino) : 0;
}

// The regular files under a root as the walk hands them over (folder,
// name, size, device, inode), in path order.
struct Found {
    std::vector<std::string> folders;
    std::deque<std::string> names;
    std::vector<ContentSearch::File> files;
    std::vector<std::string> paths;

    explicit Found(const std::string &root)
    {
        std::vector<std::string> all;
        for (const auto &e : fs::recursive_directory_iterator(root))
            if (e.is_regular_file() && !e.is_symlink())
                all.push_back(e.path().string());
        std::sort(all.begin(), all.end());
        std::map<std::string, uint32_t> folderOf;
        for (const std::string &p : all) {
            struct stat st;
            if (::lstat(p.c_str(), &st) != 0)
                continue;
            const std::string folder = p.substr(0, p.rfind('/'));
            auto it = folderOf.emplace(folder, uint32_t(folders.size())).first;
            if (it->second == folders.size())
                folders.push_back(folder);
            names.push_back(p.substr(p.rfind('/') + 1));
            files.push_back({it->second, uint32_t(names.back().size()), names.back().data(), int64_t(st.st_size),
                             uint64_t(st.st_ino), uint64_t(st.st_dev)});
            paths.push_back(p);
        }
    }
};

// The groups a search found, each as the inodes of its files.
InodeGroups groupsOf(const ContentSearch &s, const Found &f)
{
    InodeGroups out;
    for (const auto &g : s.groups()) {
        std::set<uint64_t> inodes;
        for (uint32_t k : g)
            inodes.insert(f.files[k].inode);
        EXPECT_EQ(inodes.size(), g.size()) << "a file listed twice";
        out.insert(inodes);
    }
    return out;
}

// The reference: files of equal bytes (above 0) read whole, by inode.
InodeGroups referenceGroups(const Found &f)
{
    std::map<std::string, std::set<uint64_t>> byContent;
    for (size_t i = 0; i < f.paths.size(); ++i) {
        if (f.files[i].size == 0 || ::access(f.paths[i].c_str(), R_OK) != 0)
            continue;
        byContent[TempTree::read(f.paths[i])].insert(f.files[i].inode);
    }
    InodeGroups out;
    for (const auto &[content, inodes] : byContent)
        if (inodes.size() >= 2)
            out.insert(inodes);
    return out;
}

std::string flipped(std::string s, size_t at)
{
    s[at] = char(s[at] ^ 0x5a);
    return s;
}

// A tree holding every kind of near miss: differences in the first, the
// middle and the last byte at each read size, hard links and empty files.
void nearMisses(const TempTree &t)
{
    for (const size_t size : {size_t(100), size_t(16384), size_t(16385), size_t(700000)}) {
        const std::string base = TempTree::randomBytes(size, unsigned(size));
        const std::string dir = "n" + std::to_string(size) + "/";
        t.file(dir + "a1", base);
        t.file(dir + "sub/a2", base);
        t.file(dir + "first", flipped(base, 0));
        t.file(dir + "first2", flipped(base, 0));
        t.file(dir + "last", flipped(base, size - 1));
        t.file(dir + "middle", flipped(base, size / 2));
        t.file(dir + "middle2", flipped(base, size / 2));
        t.file(dir + "alone", flipped(base, size / 3));
    }
    // A link of a1 beside it, and a file whose only twin is its own link.
    ASSERT_EQ(::link(t.path("n700000/a1").c_str(), t.path("n700000/link-of-a1").c_str()), 0);
    t.file("single/x", "only me, twice linked");
    ASSERT_EQ(::link(t.path("single/x").c_str(), t.path("single/y").c_str()), 0);
    t.file("empty/e1");
    t.file("empty/e2");
}
}

TEST(ContentSearch, GroupsMatchTheBytesWhereverTheyDiffer)
{
    TempTree t("contents");
    nearMisses(t);
    Found f(t.root());
    ContentSearch s(f.folders, f.files);
    s.run(2);
    const InodeGroups found = groupsOf(s, f);
    EXPECT_EQ(found, referenceGroups(f));
    // Four sizes, each with a1/a2, first/first2, middle/middle2.
    EXPECT_EQ(found.size(), 12u);
    EXPECT_EQ(s.unreadable(), 0);
    // The first of the linked pair stands for it; the lone linked pair and
    // the empty files make no group.
    const uint64_t a1 = inodeOf(t.path("n700000/a1"));
    const uint64_t x = inodeOf(t.path("single/x"));
    for (const auto &g : found)
        EXPECT_FALSE(g.count(x));
    bool linkListed = false;
    for (const auto &g : s.groups())
        for (uint32_t k : g)
            linkListed |= f.paths[k] == t.path("n700000/link-of-a1");
    EXPECT_FALSE(linkListed);
    EXPECT_TRUE(std::any_of(found.begin(), found.end(), [&](const auto &g) { return g.count(a1) == 1; }));
    // Groups come in the order of their first files, each file in order.
    for (size_t i = 0; i < s.groups().size(); ++i) {
        EXPECT_TRUE(std::is_sorted(s.groups()[i].begin(), s.groups()[i].end()));
        if (i > 0) {
            EXPECT_LT(s.groups()[i - 1].front(), s.groups()[i].front());
        }
    }
    // Every file compared is counted, every byte of it too.
    const ContentSearch::Progress p = s.progress();
    EXPECT_EQ(p.files, p.filesTotal);
    EXPECT_EQ(p.bytes, p.bytesTotal);
    EXPECT_EQ(ContentSearch::progressText({3, 1200, 4096, 1234567}),
              "Comparing contents: 3 of 1,200 files, 4,096 of 1,234,567 bytes");
}

TEST(ContentSearch, AFileThatChangesOrVanishesWhileReadIsLeftOut)
{
    TempTree t("changing");
    for (const size_t size : {size_t(1000), size_t(300000)}) {
        const std::string base = TempTree::randomBytes(size, 7);
        const std::string dir = "s" + std::to_string(size) + "/";
        for (const char *n : {"keep1", "keep2", "touched", "gone"})
            t.file(dir + n, base);
    }
    Found f(t.root());
    ContentSearch s(f.folders, f.files);
    std::atomic<int> hits{0};
    s.afterRead = [&](size_t i, int round) {
        const std::string &p = f.paths[i];
        // Rewritten in place with the same bytes at the last round the file
        // is read in: only its times tell.
        const bool last = round == 3 || f.files[i].size <= int64_t(ContentSearch::kWholeAtOnce);
        if (last && p.ends_with("/touched")) {
            const std::string bytes = TempTree::read(p);
            std::ofstream(p, std::ios::binary | std::ios::trunc) << bytes;
            // Times change by the clock's tick: make sure this one shows.
            TempTree::setTimes(p, 1000000000, 1000000000);
            ++hits;
        }
        if (round == 1 && p.ends_with("/gone")) {
            ::unlink(p.c_str());
            ++hits;
        }
    };
    s.run(2);
    EXPECT_EQ(hits, 4);
    std::set<std::set<std::string>> names;
    for (const auto &g : s.groups()) {
        std::set<std::string> n;
        for (uint32_t k : g)
            n.insert(f.paths[k].substr(t.root().size() + 1));
        names.insert(n);
    }
    EXPECT_EQ(names, (std::set<std::set<std::string>>{{"s1000/keep1", "s1000/keep2"},
                                                      {"s300000/keep1", "s300000/keep2"}}));
    EXPECT_EQ(s.unreadable(), 0);
    EXPECT_EQ(s.leftOut(), 4); // every file left out is counted
    // Files left out are counted in the progress, and their bytes, once.
    const ContentSearch::Progress p = s.progress();
    EXPECT_EQ(p.files, p.filesTotal);
    EXPECT_EQ(p.bytes, p.bytesTotal);
}

TEST(ContentSearch, AnUnreadableFileIsLeftOutAndCounted)
{
    if (TestEnv::privileged())
        GTEST_SKIP() << "permissions do not apply";
    TempTree t("unreadable");
    const std::string base = TempTree::randomBytes(50000, 3);
    t.file("a", base);
    t.file("b", base);
    const std::string denied = t.file("c", base);
    ASSERT_EQ(::chmod(denied.c_str(), 0), 0);
    Found f(t.root());
    ContentSearch s(f.folders, f.files);
    s.run();
    ASSERT_EQ(s.groups().size(), 1u);
    EXPECT_EQ(s.groups()[0].size(), 2u);
    EXPECT_EQ(s.unreadable(), 1);
    ::chmod(denied.c_str(), 0644);
}

TEST(ContentSearch, CancelEndsWithNoGroups)
{
    TempTree t("cancel");
    const std::string base = TempTree::randomBytes(40000, 9);
    for (int i = 0; i < 40; ++i)
        t.file("f" + std::to_string(i), base);
    Found f(t.root());
    ContentSearch s(f.folders, f.files);
    s.afterRead = [&](size_t, int) { s.cancel(); };
    bool told = false;
    s.onFinished = [&] { told = true; };
    s.run(2);
    EXPECT_TRUE(s.cancelled());
    EXPECT_TRUE(told);
    EXPECT_TRUE(s.groups().empty());
}

// The groups of an independent duplicate finder on a generated tree.
TEST(ContentSearch, GroupsAreThoseOfAnIndependentFinder)
{
    if (TestEnv::commandOutput("command -v jdupes").empty())
        GTEST_SKIP() << "jdupes is not installed";
    TempTree t("peer");
    std::mt19937 rng(42);
    std::vector<std::string> bases;
    for (int i = 0; i < 30; ++i)
        bases.push_back(TempTree::randomBytes(1 + rng() % (i % 5 == 0 ? 400000 : 20000), unsigned(i)));
    for (int i = 0; i < 400; ++i) {
        std::string c = bases[rng() % bases.size()];
        switch (rng() % 4) {
        case 0: c = flipped(c, 0); break;
        case 1: c = flipped(c, c.size() - 1); break;
        case 2: c = flipped(c, rng() % c.size()); break;
        default: break;
        }
        t.file("d" + std::to_string(i % 17) + "/f" + std::to_string(i), c);
    }
    ASSERT_EQ(::link(t.path("d0/f0").c_str(), t.path("d1/hard").c_str()), 0);
    t.file("d2/empty1");
    t.file("d3/empty2");

    Found f(t.root());
    ContentSearch s(f.folders, f.files);
    s.run();
    // The same search split in parts of a few files, on more threads than
    // the pool has: the same groups, and the progress ends at every file.
    const size_t parts = ContentSearch::filesAPart;
    ContentSearch::filesAPart = 3;
    ContentSearch split(f.folders, f.files);
    split.run(5);
    ContentSearch::filesAPart = parts;
    EXPECT_EQ(groupsOf(split, f), groupsOf(s, f));
    const ContentSearch::Progress p = split.progress(), whole = s.progress();
    EXPECT_TRUE(p.files == p.filesTotal && p.bytes == p.bytesTotal && p.filesTotal == whole.filesTotal
                && p.bytesTotal == whole.bytesTotal);
    InodeGroups peer;
    std::istringstream out(TestEnv::commandOutput("jdupes -r -q '" + t.root() + "'"));
    std::set<uint64_t> group;
    for (std::string line; std::getline(out, line);) {
        if (!line.empty()) {
            group.insert(inodeOf(line));
            continue;
        }
        if (group.size() >= 2)
            peer.insert(group);
        group.clear();
    }
    if (group.size() >= 2)
        peer.insert(group);
    EXPECT_FALSE(peer.empty());
    EXPECT_EQ(groupsOf(s, f), peer);
}

// Files in a folder deeper than one path can name are read and grouped
// like any other.
TEST(ContentSearch, FilesBelowPathsTooLongForOneCallAreCompared)
{
    TempTree t("deep");
    const std::string deep = TempTree::deepChain(t.root(), 22, 220);
    ASSERT_GE(deep.size(), size_t(PATH_MAX));
    const std::string same = TempTree::randomBytes(30000, 5);
    std::string other = same;
    other[20000] ^= 1;
    std::vector<ContentSearch::File> files;
    std::deque<std::string> names{"p1", "p2", "q"};
    for (const std::string &n : names) {
        const std::string p = TempTree::deepFile(deep, n, n == "q" ? other : same);
        FileIdentity id;
        ASSERT_TRUE(AnchoredPath::stat(p, id));
        files.push_back({0, uint32_t(n.size()), n.data(), id.size, id.inode, id.device});
    }
    ContentSearch s({deep}, files);
    s.run(2);
    EXPECT_EQ(s.groups(), (std::vector<std::vector<uint32_t>>{{0, 1}}));
    EXPECT_EQ(s.unreadable(), 0);
    EXPECT_EQ(s.leftOut(), 0);
}

// An overlay whose layers lie on two other file systems (a live system, a
// container with a tmpfs upper layer): its folders report the overlay's
// device, its files their layer's. The walk hands each file over with its
// own device, and pairs from both layers side by side in one folder are all
// found. Runs in a child with its own user and mount namespaces.
TEST(ContentSearch, PairsOnAnOverlayOfTwoFileSystemsAreAllFound)
{
    TempTree t("overlay");
    const std::string lower = t.dir("lower"), upper = t.dir("upper"), merged = t.dir("merged");
    const MountSandbox::Outcome o = MountSandbox::run({lower, upper}, [&]() -> std::string {
        t.file("lower/a1", "the lower pair");
        t.file("lower/a2", "the lower pair");
        t.file("upper/up/b1", "the upper pair!");
        t.file("upper/up/b2", "the upper pair!");
        t.dir("upper/work");
        const std::string opts = "lowerdir=" + lower + ",upperdir=" + upper + "/up,workdir=" + upper + "/work";
        if (::mount("overlay", merged.c_str(), "overlay", 0, opts.c_str()) != 0)
            return "no overlay";
        struct stat folder {}, a {}, b {};
        if (::stat(merged.c_str(), &folder) != 0 || ::stat((merged + "/a1").c_str(), &a) != 0
            || ::stat((merged + "/b1").c_str(), &b) != 0 || a.st_dev == b.st_dev)
            return "the overlay's layers do not show two devices";
        Drives::setMapping({{'D', merged}});
        ScriptedDialogs dialogs;
        Walker w;
        w.pumpIntervalMs = -1;
        std::vector<std::string> folders;
        std::deque<std::string> names;
        std::vector<ContentSearch::File> files;
        w.visitor = [&](const FoundFile &f) {
            if (folders.empty() || folders.back() != f.folder)
                folders.push_back(f.folder);
            names.push_back(f.name);
            files.push_back({uint32_t(folders.size() - 1), uint32_t(f.name.size()), names.back().data(), f.size,
                             f.inode, f.device});
            return true;
        };
        w.scanFolder(merged);
        ContentSearch s(folders, files);
        s.run(2);
        std::string failures;
        if (files.size() != 4)
            failures += "walked " + std::to_string(files.size()) + " files\n";
        if (s.groups().size() != 2 || s.leftOut() != 0 || s.unreadable() != 0)
            failures += std::to_string(s.groups().size()) + " groups, " + std::to_string(s.leftOut())
                + " left out, " + std::to_string(s.unreadable()) + " unreadable\n";
        ::umount2(merged.c_str(), MNT_DETACH);
        return failures;
    });
    if (!o.mounted || o.failure == "no overlay")
        GTEST_SKIP() << (o.mounted ? "cannot mount an overlay here" : MountSandbox::kCannotMount);
    EXPECT_EQ(o.failure, "");
}
