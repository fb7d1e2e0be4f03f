#include "platform/RawFile.h"
#include "safety/ZipArchive.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"
#include "ZipTestData.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <fcntl.h>
#include <cstdlib>
#include <filesystem>
#include <random>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>
#include <zlib.h>

namespace {
// Runs a shell command; returns its exit status and fills out with stdout.
int run(const std::string &cmd, std::string *out = nullptr)
{
    FILE *p = popen(cmd.c_str(), "r");
    if (!p)
        return -1;
    std::string text;
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        text.append(buf, n);
    const int st = pclose(p);
    if (out)
        *out = text;
    return WIFEXITED(st) ? WEXITSTATUS(st) : -1;
}

std::string quote(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

std::string text(size_t n)
{
    static const char *words[] = {"disk ", "space ", "folder ", "archive ", "file\n", "zip "};
    std::string s;
    for (size_t i = 0; s.size() < n; ++i)
        s += words[(i * 7 + i / 3) % 6];
    s.resize(n);
    return s;
}

std::string contentOf(const ZipArchive &z, size_t i)
{
    std::string data;
    z.readEntry(i, [&](const char *p, size_t n) { data.append(p, n); });
    return data;
}

std::vector<std::string> names(const ZipArchive &z)
{
    std::vector<std::string> v;
    for (const auto &e : z.entries())
        v.push_back(e.name);
    return v;
}

const char *kPython = R"(
import sys, zipfile
z = zipfile.ZipFile(sys.argv[1])
print(z.testzip())
print(z.comment.decode())
for i in z.infolist():
    print(i.filename, i.file_size, i.compress_type, '%04d-%02d-%02d %02d:%02d:%02d' % i.date_time)
)";
}

TEST(ZipArchive, WritesArchivesThatPeersAndOurReaderAgreeOn)
{
    TempTree t("src");
    const std::string big = text(5 * 1024 * 1024) + randomBytes(1000, 1); // streamed, deflated
    const std::string noise = randomBytes(6 * 1024 * 1024, 2);           // streamed, stored
    const std::vector<std::pair<std::string, std::string>> files = {
        {"docs/readme.txt", text(20000)},
        {"docs/empty.txt", ""},
        {"bin/random.dat", randomBytes(3000, 3)},
        {"big/text.log", big},
        {"big/noise.bin", noise},
        {"names/caf\xc3\xa9 menu.txt", "utf8"},
        {"names/raw\xff.txt", "latin"},
    };
    for (const auto &[rel, data] : files)
        t.file(rel, data);
    TempTree::setTimes(t.path("docs/readme.txt"), 1803891900, 1803891900); // 2027-03-01 09:05:00 UTC

    const std::string zipPath = t.path("out.zip");
    {
        ZipArchive z;
        z.open(zipPath);
        EXPECT_TRUE(z.entries().empty());
        z.setComment("Vantor test comment");
        std::vector<int> seen;
        for (const auto &[rel, data] : files)
            z.addFile(t.path(rel), rel, [&](int p) {
                seen.push_back(p);
                return false;
            });
        EXPECT_EQ(seen.front(), 0);
        EXPECT_EQ(seen.back(), 100);
        EXPECT_GT(seen.size(), 2 * files.size()); // the big files report on the way
    }

    ZipArchive r;
    r.openRead(zipPath);
    EXPECT_FALSE(r.repaired());
    EXPECT_EQ(r.comment(), "Vantor test comment");
    ASSERT_EQ(r.entries().size(), files.size());
    for (size_t i = 0; i < files.size(); ++i) {
        const ZipEntry &e = r.entries()[i];
        EXPECT_EQ(e.name, files[i].first);
        EXPECT_EQ(e.size, files[i].second.size());
        EXPECT_TRUE(contentOf(r, i) == files[i].second) << e.name;
    }
    EXPECT_EQ(r.entries()[0].method, 8);
    EXPECT_LT(r.entries()[0].compressedSize, 20000u);
    EXPECT_EQ(r.entries()[1].method, 0); // empty
    EXPECT_EQ(r.entries()[2].method, 0); // deflate would not shrink it
    EXPECT_EQ(r.entries()[3].method, 8);
    EXPECT_EQ(r.entries()[4].method, 0);
    EXPECT_TRUE(r.entries()[5].utf8Name());
    EXPECT_FALSE(r.entries()[6].utf8Name());
    EXPECT_EQ(r.entries()[0].time, DosTime::fromUnix(1803891900));

    std::string out;
    EXPECT_EQ(run("unzip -tq " + quote(zipPath) + " 2>&1", &out), 0) << out;
    EXPECT_EQ(run("zipinfo -z " + quote(zipPath) + " 2>&1", &out), 0) << out;
    EXPECT_NE(out.find("docs/readme.txt"), std::string::npos);
    EXPECT_NE(out.find("Vantor test comment"), std::string::npos);
    EXPECT_EQ(run("python3 -c " + quote(kPython) + " " + quote(zipPath) + " 2>&1", &out), 0) << out;
    EXPECT_EQ(out.rfind("None\nVantor test comment\ndocs/readme.txt 20000 8 2027-03-01 09:05:00\n", 0), 0u) << out;
    EXPECT_NE(out.find("names/caf\xc3\xa9 menu.txt 4 0"), std::string::npos) << out;
    EXPECT_NE(out.find("big/noise.bin 6291456 0"), std::string::npos) << out;
}

TEST(ZipArchive, ReopeningAppendsAndKeepsWhatWasThere)
{
    TempTree t("src");
    const std::string zipPath = t.path("a.zip");
    {
        ZipArchive z;
        z.open(zipPath);
        z.setComment("first");
        z.addFile(t.file("a.txt", "alpha"), "a.txt");
    }
    {
        ZipArchive z;
        z.open(zipPath);
        EXPECT_EQ(z.comment(), "first");
        EXPECT_EQ(names(z), std::vector<std::string>{"a.txt"});
        z.addFile(t.file("b.txt", "beta"), "dir/b.txt");
        z.setComment("second, longer comment");
        z.setComment("third");
    }
    ZipArchive r;
    r.openRead(zipPath);
    EXPECT_EQ(names(r), (std::vector<std::string>{"a.txt", "dir/b.txt"}));
    EXPECT_EQ(r.comment(), "third");
    EXPECT_EQ(contentOf(r, 1), "beta");
    EXPECT_EQ(run("unzip -tq " + quote(zipPath) + " >/dev/null 2>&1"), 0);

    // A second writer is refused while the first holds it.
    ZipArchive first, second;
    first.open(zipPath);
    EXPECT_THROW(second.open(zipPath), ZipError);
}

TEST(ZipArchive, FailedAddsLeaveTheArchiveAsItWas)
{
    TempTree t("src");
    const std::string zipPath = t.path("a.zip");
    ZipArchive z;
    z.open(zipPath);
    z.setComment("keep me");
    z.addFile(t.file("a.txt", text(5000)), "a.txt");
    const std::string before = TempTree::read(zipPath);

    EXPECT_THROW(z.addFile(t.file("other.txt", "x"), "a.txt"), ZipError); // duplicate name
    EXPECT_THROW(z.addFile(t.path("missing.txt"), "missing.txt"), ZipError);
    EXPECT_THROW(z.addFile(t.dir("folder"), "folder"), ZipError);
    ASSERT_EQ(mkfifo(t.path("fifo").c_str(), 0644), 0);
    EXPECT_THROW(z.addFile(t.path("fifo"), "fifo"), ZipError); // refused, never blocks
    ASSERT_EQ(symlink(t.path("a.txt").c_str(), t.path("link").c_str()), 0);
    EXPECT_THROW(z.addFile(t.path("link"), "link"), ZipError);
    EXPECT_THROW(z.addFile(t.file("small.txt", "abc"), "small.txt", [](int) { return true; }), ZipError);
    const std::string large = t.file("large.bin", text(9 * 1024 * 1024));
    EXPECT_THROW(z.addFile(large, "large.bin", [](int p) { return p >= 50; }), ZipError); // aborted midway
    if (!TestEnv::privileged()) {
        const std::string locked = t.file("locked.txt", "secret");
        chmod(locked.c_str(), 0);
        EXPECT_THROW(z.addFile(locked, "locked.txt"), ZipError);
    }
    EXPECT_EQ(TempTree::read(zipPath), before);
    EXPECT_EQ(names(z), std::vector<std::string>{"a.txt"});

    // The archive is still usable after all that.
    z.addFile(large, "large.bin");
    z.close();
    ZipArchive r;
    r.openRead(zipPath);
    EXPECT_EQ(names(r), (std::vector<std::string>{"a.txt", "large.bin"}));
    EXPECT_EQ(r.comment(), "keep me");
    EXPECT_EQ(run("unzip -tq " + quote(zipPath) + " >/dev/null 2>&1"), 0);
}

namespace {
// Simulates a process that dies at its n-th write step: that step and every
// later one fail, as if nothing more reached the file.
int g_stepsLeft = -1;
void dieAtStep(const char *, size_t)
{
    if (g_stepsLeft < 0)
        return;
    if (g_stepsLeft == 0)
        throw ZipError("simulated crash");
    --g_stepsLeft;
}
}

TEST(ZipArchive, AnAddCutShortIsRepairedFromTheLocalHeaders)
{
    TempTree t("src");
    const std::vector<std::string> data = {text(3000), randomBytes(500, 4), text(5 * 1024 * 1024), "tiny"};
    for (size_t i = 0; i < data.size(); ++i)
        t.file("f" + std::to_string(i), data[i]);
    int points = 0;
    for (int step = 0;; ++step) {
        const std::string zipPath = t.path("cut" + std::to_string(step) + ".zip");
        size_t completed = 0;
        bool finished = false;
        RawFile::setFaultHook(dieAtStep);
        g_stepsLeft = step;
        try {
            ZipArchive z;
            z.open(zipPath);
            z.setComment("c");
            for (size_t i = 0; i < data.size(); ++i) {
                z.addFile(t.path("f" + std::to_string(i)), "f" + std::to_string(i));
                completed = i + 1;
            }
            finished = true;
        } catch (const ZipError &) {
        }
        g_stepsLeft = -1;
        RawFile::setFaultHook(nullptr);
        if (finished)
            break;
        ++points;
        if (!TempTree::exists(zipPath) || TempTree::read(zipPath).empty())
            continue; // died before anything was written
        // Reading lists every completed entry; opening for writing repairs the file.
        ZipArchive r;
        r.openRead(zipPath);
        ASSERT_GE(r.entries().size(), completed) << "step " << step;
        for (size_t i = 0; i < r.entries().size(); ++i)
            EXPECT_TRUE(contentOf(r, i) == data[i]) << "step " << step << " entry " << i;
        r.close();
        ZipArchive w;
        w.open(zipPath);
        ASSERT_GE(w.entries().size(), completed);
        w.addFile(t.path("f0"), "again");
        w.close();
        EXPECT_EQ(run("unzip -tq " + quote(zipPath) + " >/dev/null 2>&1"), 0) << "step " << step;
    }
    EXPECT_GT(points, 15);
}

TEST(ZipArchive, MalformedArchivesGiveErrorsNeverCrashes)
{
    TempTree t("src");
    const std::string zipPath = t.path("good.zip");
    {
        ZipArchive z;
        z.open(zipPath);
        z.setComment("comment");
        z.addFile(t.file("a.txt", text(4000)), "a.txt");
        z.addFile(t.file("b.bin", randomBytes(300, 5)), "b.bin");
        z.addFile(t.file("c.txt", text(100)), "c.txt");
    }
    const std::string good = TempTree::read(zipPath);
    auto probe = [&](const std::string &bytes) {
        const std::string p = t.file("probe.zip", bytes);
        ZipArchive r;
        try {
            r.openRead(p);
        } catch (const ZipError &e) {
            EXPECT_NE(std::string(e.what()), "");
            return;
        }
        for (size_t i = 0; i < r.entries().size(); ++i) {
            try {
                contentOf(r, i);
            } catch (const ZipError &) {
            }
        }
    };
    for (size_t len = 0; len < good.size(); ++len)
        probe(good.substr(0, len));
    std::mt19937 gen(7);
    for (int i = 0; i < 1500; ++i) {
        std::string b = good;
        const int flips = 1 + int(gen() % 4);
        for (int k = 0; k < flips; ++k)
            b[gen() % b.size()] ^= char(1 << (gen() % 8));
        probe(b);
    }
    // Hand-made damage: a comment length past the end, a huge entry count and size.
    std::string b = good;
    b[b.size() - 9] = char(0xff);
    probe(b);
    const size_t end = good.rfind("PK\x05\x06");
    b = good;
    for (size_t k : {8, 9, 10, 11, 12, 13, 14, 15})
        b[end + k] = char(0xff);
    probe(b);
    b = good;
    const size_t cd = good.find("PK\x01\x02");
    for (size_t k = 20; k < 28; ++k)
        b[cd + k] = char(0xff); // sizes of the first entry: zip64 values that are not there
    probe(b);

    // A truncated archive still gives what it can.
    ZipArchive r;
    r.openRead(t.file("cut.zip", good.substr(0, good.size() - 30)));
    EXPECT_TRUE(r.repaired());
    EXPECT_EQ(r.entries().size(), 3u);

    // A file that is not an archive is refused for writing and left alone.
    const std::string notZip = t.file("letter.zip", "Dear user, this is not an archive at all.");
    ZipArchive w;
    EXPECT_THROW(w.open(notZip), ZipError);
    EXPECT_EQ(TempTree::read(notZip), "Dear user, this is not an archive at all.");
    EXPECT_THROW(w.openRead(t.file("empty.zip", "")), ZipError);
}

TEST(ZipArchive, ReadsArchivesMadeByInfoZip)
{
    TempTree t("src");
    t.file("in/a.txt", text(10000));
    t.file("in/sub/b.bin", randomBytes(2000, 6));
    t.file("in/empty", "");
    const std::string in = quote(t.path("in"));
    std::string out;
    ASSERT_EQ(run("cd " + in + " && zip -q -r -0 ../stored.zip . && zip -q -r -9 ../deflated.zip . && "
                  "echo 'made by info-zip' | zip -q -z ../deflated.zip && "
                  "cat a.txt | zip -q ../streamed.zip - 2>&1", &out), 0) << out;
    for (const char *name : {"stored.zip", "deflated.zip", "streamed.zip"}) {
        ZipArchive r;
        r.openRead(t.path(name));
        EXPECT_FALSE(r.repaired()) << name;
        ASSERT_FALSE(r.entries().empty()) << name;
        for (size_t i = 0; i < r.entries().size(); ++i) {
            const ZipEntry &e = r.entries()[i];
            if (e.isFolder())
                continue;
            const std::string c = contentOf(r, i);
            EXPECT_EQ(c.size(), e.size) << name << " " << e.name;
            if (e.name == "a.txt" || e.name == "-") {
                EXPECT_EQ(c, text(10000));
            }
        }
    }
    ZipArchive d;
    d.openRead(t.path("deflated.zip"));
    EXPECT_EQ(d.comment(), "made by info-zip");
    EXPECT_TRUE(d.find("sub/b.bin").has_value());
    EXPECT_EQ(d.entries()[*d.find("a.txt")].method, 8);

    // A streamed archive (sizes after the data) with its directory lost is
    // still listed from its local headers.
    std::string s = TempTree::read(t.path("streamed.zip"));
    ZipArchive cut;
    cut.openRead(t.file("streamed-cut.zip", s.substr(0, s.find("PK\x01\x02"))));
    EXPECT_TRUE(cut.repaired());
    ASSERT_EQ(cut.entries().size(), 1u);
    EXPECT_EQ(contentOf(cut, 0), text(10000));

    // Adding to an archive another program made keeps its entries valid.
    ZipArchive w;
    w.open(t.path("deflated.zip"));
    w.addFile(t.path("in/a.txt"), "added/a.txt");
    w.close();
    EXPECT_EQ(run("unzip -tq " + quote(t.path("deflated.zip")) + " >/dev/null 2>&1"), 0);
}

TEST(ZipArchive, Zip64RecordsAreReadByPeersAndByUs)
{
    // With the limit lowered, ordinary files get the zip64 records that files,
    // offsets and directories past 4 GiB need.
    TempTree t("src");
    const std::string zipPath = t.path("z64.zip");
    const std::vector<std::string> data = {text(5000), randomBytes(6000, 8), text(5 * 1024 * 1024), "x"};
    {
        ZipArchive z;
        z.open(zipPath);
        z.setZip64Limit(4096);
        z.setComment("zip64");
        for (size_t i = 0; i < data.size(); ++i)
            z.addFile(t.file("f" + std::to_string(i), data[i]), "f" + std::to_string(i));
    }
    const std::string bytesOnDisk = TempTree::read(zipPath);
    EXPECT_NE(bytesOnDisk.find("PK\x06\x06"), std::string::npos);
    EXPECT_NE(bytesOnDisk.find("PK\x06\x07"), std::string::npos);
    std::string out;
    EXPECT_EQ(run("unzip -tq " + quote(zipPath) + " 2>&1", &out), 0) << out;
    EXPECT_EQ(run("python3 -c " + quote(kPython) + " " + quote(zipPath) + " 2>&1", &out), 0) << out;
    EXPECT_EQ(out.rfind("None\nzip64\nf0 5000 8", 0), 0u) << out;
    ZipArchive r;
    r.openRead(zipPath);
    EXPECT_FALSE(r.repaired());
    ASSERT_EQ(r.entries().size(), data.size());
    EXPECT_GT(r.entries()[3].localOffset, 4096u);
    for (size_t i = 0; i < data.size(); ++i)
        EXPECT_TRUE(contentOf(r, i) == data[i]) << i;
    // Without its directory it is still recovered from the local headers.
    ZipArchive cut;
    cut.openRead(t.file("cut.zip", bytesOnDisk.substr(0, bytesOnDisk.find("PK\x01\x02"))));
    EXPECT_TRUE(cut.repaired());
    EXPECT_EQ(cut.entries().size(), data.size());
}

// Real files past 4 GiB take a minute to compress; run with VANTOR_BIG_TESTS=1.
TEST(ZipArchive, FilesPastFourGigabytesUseZip64)
{
    if (!std::getenv("VANTOR_BIG_TESTS"))
        GTEST_SKIP() << "set VANTOR_BIG_TESTS=1 to zip a 4 GiB sparse file";
    TempTree t("big");
    struct statvfs vfs;
    if (statvfs(t.root().c_str(), &vfs) != 0 || uint64_t(vfs.f_bavail) * vfs.f_frsize < (uint64_t(1) << 30))
        GTEST_SKIP() << "not enough free space";
    const uint64_t size = (uint64_t(1) << 32) + 12345;
    const std::string sparse = t.path("sparse.img");
    {
        FILE *f = fopen(sparse.c_str(), "w");
        ASSERT_TRUE(f);
        fclose(f);
        ASSERT_EQ(truncate(sparse.c_str(), off_t(size)), 0);
    }
    t.file("after.txt", "after the big one");
    const std::string zipPath = t.path("big.zip");
    {
        ZipArchive z;
        z.open(zipPath);
        z.addFile(sparse, "sparse.img");
        z.addFile(t.path("after.txt"), "after.txt");
    }
    ZipArchive r;
    r.openRead(zipPath);
    ASSERT_EQ(r.entries().size(), 2u);
    EXPECT_EQ(r.entries()[0].size, size);
    EXPECT_EQ(r.entries()[0].versionNeeded, 45);
    EXPECT_EQ(contentOf(r, 1), "after the big one");
    std::string out;
    EXPECT_EQ(run("zipinfo " + quote(zipPath) + " 2>&1", &out), 0) << out;
    EXPECT_NE(out.find("4294979641"), std::string::npos) << out;
    EXPECT_EQ(run("python3 -c " + quote(kPython) + " " + quote(zipPath) + " 2>&1", &out), 0) << out;
    EXPECT_NE(out.find("sparse.img 4294979641 8"), std::string::npos) << out;

    // And the other way round: Info-ZIP's zip64 archive of the same file.
    ASSERT_EQ(run("cd " + quote(t.root()) + " && zip -q -1 info.zip sparse.img after.txt 2>&1", &out), 0) << out;
    ZipArchive i;
    i.openRead(t.path("info.zip"));
    ASSERT_EQ(i.entries().size(), 2u);
    EXPECT_EQ(i.entries()[0].size, size);
    EXPECT_EQ(contentOf(i, 1), "after the big one");
}

TEST(ZipArchive, ADirectoryWrittenOnlyNowAndThenIsRebuiltWhenCutShort)
{
    TempTree t("batched");
    const std::string zipPath = t.path("Drive-C-Batched01Mar270905.zip");
    std::vector<std::string> data;
    ZipArchive z;
    z.open(zipPath);
    z.setDirectoryInterval(-1); // only when asked and on close
    z.setComment("batched");
    for (int i = 0; i < 5; ++i) {
        data.push_back(i == 3 ? text(5 * 1024 * 1024) : text(size_t(10 + 700 * i))); // 3 is streamed
        z.addFile(t.file("f" + std::to_string(i), data.back()), "f" + std::to_string(i));
        EXPECT_TRUE(z.directoryPending());
        if (i == 1)
            z.writeDirectory(); // the next add cuts this directory off again
    }

    // What a kill now leaves: the entries and no directory. Peers refuse it;
    // our reader lists every entry; the repair makes it whole for peers.
    const std::string cut = t.path("Drive-C-Cut01Mar270905.zip");
    std::filesystem::copy_file(zipPath, cut);
    std::string out;
    EXPECT_NE(run("unzip -tqq " + quote(cut) + " 2>&1", &out), 0) << out;
    {
        ZipArchive r;
        r.openRead(cut);
        EXPECT_TRUE(r.repaired());
        ASSERT_EQ(r.entries().size(), 5u);
        for (size_t i = 0; i < 5; ++i)
            EXPECT_TRUE(contentOf(r, i) == data[i]) << i;
    }
    EXPECT_FALSE(ZipArchive::repairInterrupted(zipPath).repaired()); // its writer holds it
    // Without the record a killed writer leaves, it is never rewritten.
    const std::string unrepaired = TempTree::read(cut);
    EXPECT_EQ(ZipArchive::repairInterrupted(cut).outcome, ZipRepair::Outcome::LeftDamaged);
    EXPECT_TRUE(TempTree::read(cut) == unrepaired);
    ASSERT_TRUE(ZipArchive::recordUnfinished(cut)); // as the killed writer left it
    const ZipRepair repaired = ZipArchive::repairInterrupted(cut);
    EXPECT_TRUE(repaired.repaired());
    EXPECT_EQ(repaired.kept, 5u);
    EXPECT_FALSE(ZipArchive::repairInterrupted(cut).repaired()); // whole now: left alone
    EXPECT_EQ(run("unzip -tqq " + quote(cut) + " 2>&1", &out), 0) << out;
    EXPECT_EQ(run("python3 -c " + quote(kPython) + " " + quote(cut) + " 2>&1", &out), 0) << out;
    EXPECT_EQ(out.rfind("None\n", 0), 0u) << out;

    // Closing writes the directory, comment included.
    z.close();
    EXPECT_EQ(run("python3 -c " + quote(kPython) + " " + quote(zipPath) + " 2>&1", &out), 0) << out;
    EXPECT_EQ(out.rfind("None\nbatched\nf0 10 ", 0), 0u) << out;
    const std::string notZip = t.file("Drive-C-Not01Mar270905.zip", "not a zip");
    EXPECT_FALSE(ZipArchive::repairInterrupted(notZip).repaired());
    EXPECT_EQ(TempTree::read(notZip), "not a zip");
}

namespace {

bool readable(const ZipArchive &z, size_t i)
{
    try {
        contentOf(z, i);
        return true;
    } catch (const ZipError &) {
        return false;
    }
}
}

TEST(ZipArchive, DamagedArchivesAreReadAsFarAsTheyGoAndNeverCutShort)
{
    TempTree t("damaged");
    for (const char *kind : {"flip", "flip-nodir", "bzip2"}) {
        const std::string path = damagedArchive(t, kind);
        const std::string before = TempTree::read(path);
        // Neither the repair nor opening to add rewrites what this program did not leave.
        EXPECT_FALSE(ZipArchive::repairInterrupted(path).repaired()) << kind;
        ZipArchive w;
        EXPECT_THROW(w.open(path), ZipError) << kind;
        EXPECT_TRUE(TempTree::read(path) == before) << kind;

        ZipArchive r;
        ASSERT_NO_THROW(r.openRead(path)) << kind;
        if (std::string(kind) == "bzip2") {
            // Bytes after a valid end record are ignored, as other readers do.
            EXPECT_FALSE(r.repaired());
            ASSERT_EQ(names(r), (std::vector<std::string>{"a.txt", "b.txt"}));
            EXPECT_FALSE(readable(r, 0));
            EXPECT_TRUE(readable(r, 1));
            continue;
        }
        // An item that fails its check is passed over by its recorded sizes.
        ASSERT_EQ(names(r), (std::vector<std::string>{"a.txt", "b.txt", "c.txt", "d.txt", "e.txt"})) << kind;
        for (size_t i = 0; i < 5; ++i)
            EXPECT_EQ(readable(r, i), i != 1) << kind << " " << i;
        EXPECT_EQ(r.missing().empty(), std::string(kind) == "flip") << r.missing();
    }
}

TEST(ZipArchive, ListingWithoutADirectoryReadsRecordedSizesAndSaysWhatIsMissing)
{
    TempTree t("listing");
    // Sizes after the data: found from the descriptor, never by unpacking
    // (this data is no deflate stream at all, and claims 3.75 GiB).
    const std::string bomb = damagedArchive(t, "descriptor-bomb");
    int hooks = 0;
    ZipArchive r;
    r.setScanHook([&] { return ++hooks < 0; });
    r.openRead(bomb);
    ASSERT_EQ(r.entries().size(), 1u);
    EXPECT_EQ(r.entries()[0].size, 0xF0000000u);
    EXPECT_GT(hooks, 0);
    EXPECT_THROW(contentOf(r, 0), ZipError);
    ZipArchive stopped;
    stopped.setScanHook([] { return true; });
    EXPECT_THROW(stopped.openRead(bomb), ZipError);

    // A streamed archive that lost its directory: the stored item is listed too.
    ZipArchive s;
    s.openRead(damagedArchive(t, "streamed"));
    ASSERT_EQ(names(s), (std::vector<std::string>{"s.txt", "d.txt"}));
    EXPECT_EQ(contentOf(s, 0), [] {
        std::string v;
        for (int i = 0; i < 300; ++i)
            v += "stored ";
        return v;
    }());
    EXPECT_NE(s.missing().find("no directory"), std::string::npos) << s.missing();

    // Cut inside the fourth item: three listed, and the loss is said.
    ZipArchive c;
    c.openRead(damagedArchive(t, "cut4"));
    EXPECT_EQ(names(c), (std::vector<std::string>{"a.txt", "b.txt", "c.txt"}));
    EXPECT_NE(c.missing().find("d.txt"), std::string::npos) << c.missing();
}

TEST(ZipArchive, ItemsWhoseDataOverlapAreRefused)
{
    TempTree t("overlap");
    ZipArchive r;
    try {
        r.openRead(damagedArchive(t, "overlap"));
        ADD_FAILURE() << "an archive of 201 items sharing one item's data was opened";
    } catch (const ZipError &e) {
        EXPECT_NE(std::string(e.what()).find("overlap"), std::string::npos) << e.what();
    }
}

TEST(ZipArchive, EntriesCarryTheirTimeToTheSecondForPeers)
{
    TempTree t("time");
    const std::string file = t.file("odd.txt", "odd second");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1700000001, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    const std::string zipPath = t.path("t.zip");
    {
        ZipArchive z;
        z.open(zipPath);
        z.addFile(file, "odd.txt");
    }
    ZipArchive r;
    r.openRead(zipPath);
    ASSERT_TRUE(r.entries()[0].unixTime.has_value());
    EXPECT_EQ(*r.entries()[0].unixTime, 1700000001);
    std::string out;
    EXPECT_EQ(run("unzip -tqq " + quote(zipPath) + " 2>&1", &out), 0) << out;
    EXPECT_EQ(run("zipinfo -v " + quote(zipPath) + " 2>&1", &out), 0);
    EXPECT_NE(out.find("2023 Nov 14 22:13:21"), std::string::npos) << out;
    EXPECT_EQ(run("python3 -c 'import sys, zipfile, struct; i = zipfile.ZipFile(sys.argv[1]).infolist()[0]; "
                  "print(struct.unpack(\"<HHBi\", i.extra[-9:]))' " + quote(zipPath), &out), 0);
    EXPECT_EQ(out, "(21589, 5, 1, 1700000001)\n");
}
