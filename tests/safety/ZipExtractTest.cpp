#include "platform/ExtractTarget.h"
#include "safety/ZipArchive.h"
#include "safety/ZipExtract.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"
#include "ZipTestData.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <deque>
#include <filesystem>
#include <map>
#include <sys/resource.h>
#include <sys/stat.h>
#include <unistd.h>

namespace fs = std::filesystem;

namespace {
std::string quoted(const std::string &s)
{
    std::string q = "'";
    for (char c : s)
        q += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return q + "'";
}

// Runs a Python script with arguments; returns its output (and errors).
std::string python(const TempTree &t, const std::string &script, const std::string &args)
{
    const std::string file = t.file("script.py", script);
    return TestEnv::commandOutput("python3 " + quoted(file) + " " + args + " 2>&1");
}

// Names of everything below folder, relative, sorted ("a/", "a/b.txt").
std::vector<std::string> listing(const std::string &folder)
{
    std::vector<std::string> v;
    for (auto it = fs::recursive_directory_iterator(folder); it != fs::recursive_directory_iterator(); ++it) {
        std::string rel = it->path().lexically_relative(folder).string();
        if (it->is_directory() && !it->is_symlink())
            rel += "/";
        v.push_back(rel);
    }
    std::sort(v.begin(), v.end());
    return v;
}

// A run whose failures are collected as "name: reason".
struct Extraction {
    std::vector<std::string> failures;
    std::vector<std::string> asked;
    std::deque<std::optional<std::string>> passwords;
    bool abortNow = false;
    ZipExtract::Result result;

    ZipExtract::Result extract(const std::string &archive, const std::string &dest)
    {
        ZipArchive z;
        z.openRead(archive);
        ZipExtract::Hooks h;
        h.itemFailed = [&](const ZipEntry &e, const std::string &why) { failures.push_back(e.name + ": " + why); };
        h.needPassword = [&](const ZipEntry &e) -> std::optional<std::string> {
            asked.push_back(e.name);
            if (passwords.empty())
                return std::nullopt;
            auto p = passwords.front();
            passwords.pop_front();
            return p;
        };
        h.progress = [&](int) { return abortNow; };
        result = ZipExtract::extractAll(z, dest, h);
        return result;
    }
    bool failed(const std::string &name, const std::string &reasonPart) const
    {
        for (const auto &f : failures)
            if (f.rfind(name + ": ", 0) == 0 && f.find(reasonPart) != std::string::npos)
                return true;
        return false;
    }
};

const char *kHostile = R"(
import sys, zipfile, struct
out = sys.argv[1]
z = zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED)
def add(name, data, mode=None):
    zi = zipfile.ZipInfo(name, (2020, 1, 2, 3, 4, 6))
    zi.compress_type = zipfile.ZIP_DEFLATED
    if mode is not None:
        zi.create_system = 3
        zi.external_attr = mode << 16
    z.writestr(zi, data)
add('ok.txt', b'fine')
add('../x', b'evil')
add('/abs', b'evil')
add('a/../../y', b'evil')
add('..\\z', b'evil')
add('sym', b'/etc/passwd', 0o120777)
add('link/through.txt', b'evil')
add('setid.sh', b'#!/bin/sh\n', 0o106755)
add('sub/deep/ok2.txt', b'also fine' * 100)
add('big', b'A' * 100000)
z.close()
# 'big' now claims 1000 bytes: its data inflates past that.
info = zipfile.ZipFile(out).getinfo('big')
data = bytearray(open(out, 'rb').read())
struct.pack_into('<I', data, info.header_offset + 22, 1000)
i = data.find(b'PK\x01\x02')
while i >= 0:
    n = struct.unpack_from('<H', data, i + 28)[0]
    if data[i + 46:i + 46 + n] == b'big':
        struct.pack_into('<I', data, i + 24, 1000)
    i = data.find(b'PK\x01\x02', i + 4)
open(out, 'wb').write(data)
)";
}

TEST(ZipExtract, StoredNamesThatCouldLeaveTheDestinationAreRefused)
{
    std::vector<std::string> parts;
    std::string why;
    for (const char *bad : {"../x", "/abs", "a/../../x", "..\\x", "a\\..\\b", "\\abs", "C:/x", "c:\\x", "..", "",
                            "./", "/"}) {
        EXPECT_FALSE(ZipExtract::splitStoredName(bad, parts, why)) << bad;
        EXPECT_FALSE(why.empty());
    }
    EXPECT_FALSE(ZipExtract::splitStoredName(std::string("a\0b", 3), parts, why));
    ASSERT_TRUE(ZipExtract::splitStoredName("./a//b/./c.txt", parts, why));
    EXPECT_EQ(parts, (std::vector<std::string>{"a", "b", "c.txt"}));
    // "\" is an ordinary character of a Linux name; "..." and "..a" are names.
    ASSERT_TRUE(ZipExtract::splitStoredName("back\\slash/.../..a", parts, why));
    EXPECT_EQ(parts, (std::vector<std::string>{"back\\slash", "...", "..a"}));
    ASSERT_TRUE(ZipExtract::splitStoredName("folder/", parts, why));
    EXPECT_EQ(parts, (std::vector<std::string>{"folder"}));
}

TEST(ZipExtract, HostileItemsAreRefusedAndNothingLandsOutsideTheDestination)
{
    TempTree t("hostile");
    const std::string archive = t.path("hostile.zip");
    ASSERT_EQ(python(t, kHostile, quoted(archive)), "");
    const std::string dest = t.dir("top/dest"), outside = t.dir("top/outside");
    ASSERT_EQ(symlink(outside.c_str(), (dest + "/link").c_str()), 0);

    for (bool unnamed : {true, false}) {
        ExtractTarget::setUnnamedFiles(unnamed);
        Extraction r;
        r.extract(archive, dest);
        ExtractTarget::setUnnamedFiles(true);
        EXPECT_EQ(r.result.items, 10u);
        EXPECT_EQ(r.result.extracted, unnamed ? 3u : 0u) << "the second run finds them there";
        EXPECT_TRUE(r.failed("../x", "leads out of the destination"));
        EXPECT_TRUE(r.failed("/abs", "absolute path"));
        EXPECT_TRUE(r.failed("a/../../y", "leads out of the destination"));
        EXPECT_TRUE(r.failed("..\\z", "leads out of the destination"));
        EXPECT_TRUE(r.failed("sym", "symbolic link"));
        EXPECT_TRUE(r.failed("link/through.txt", "symbolic link"));
        EXPECT_TRUE(r.failed("big", "longer than its recorded size"));
        if (!unnamed) {
            EXPECT_TRUE(r.failed("ok.txt", "a file of that name exists"));
            EXPECT_EQ(r.result.failed, 10u);
        } else {
            EXPECT_EQ(r.result.failed, 7u);
        }
        EXPECT_EQ(listing(t.path("top")), (std::vector<std::string>{"dest/", "dest/link", "dest/ok.txt",
                                                                    "dest/setid.sh", "dest/sub/", "dest/sub/deep/",
                                                                    "dest/sub/deep/ok2.txt", "outside/"}));
    }
    EXPECT_EQ(TempTree::read(dest + "/sub/deep/ok2.txt"), [] {
        std::string s;
        for (int i = 0; i < 100; ++i)
            s += "also fine";
        return s;
    }());
    // Set-user-ID and set-group-ID are dropped; the rest of the mode stays.
    struct stat st;
    ASSERT_EQ(stat((dest + "/setid.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
    // The stored time is the file's modification time.
    EXPECT_EQ(st.st_mtime, 1577934246); // 2020-01-02 03:04:06 UTC
}

TEST(ZipExtract, ExistingNamesAreNeverReplacedAndFailedItemsLeaveNothing)
{
    TempTree t("exist");
    const std::string a = t.file("src/a.txt", "archived a"), b = t.file("src/b.bin", randomBytes(300000, 3));
    const std::string c = t.file("src/c.txt", "archived c");
    const std::string archive = t.path("e.zip");
    {
        ZipArchive z;
        z.open(archive);
        z.addFile(a, "a.txt");
        z.addFile(b, "dir/b.bin");
        z.addFile(c, "c.txt");
    }
    const std::string dest = t.dir("dest");
    t.file("dest/a.txt", "mine");
    ASSERT_EQ(symlink("/nonexistent-target", (dest + "/c.txt").c_str()), 0);
    Extraction r;
    r.extract(archive, dest);
    EXPECT_EQ(r.result.extracted, 1u);
    EXPECT_TRUE(r.failed("a.txt", "a file of that name exists"));
    EXPECT_TRUE(r.failed("c.txt", "a file of that name exists"));
    EXPECT_EQ(TempTree::read(dest + "/a.txt"), "mine");
    EXPECT_EQ(TempTree::read(dest + "/dir/b.bin"), randomBytes(300000, 3));
    EXPECT_FALSE(TempTree::exists("/nonexistent-target"));
    EXPECT_EQ(ZipExtract::closingMessage(r.result),
              "1 of 3 files were unzipped; the other 2 are already there and were left untouched.");

    // A damaged entry (a flipped byte in the middle of b's data) fails its
    // check and leaves no file and no temporary file, in either way of writing.
    std::string bytes = TempTree::read(archive);
    ZipArchive z;
    z.openRead(archive);
    const uint64_t at = z.entries()[1].localOffset + 30 + 9 + z.entries()[1].compressedSize / 2;
    z.close();
    bytes[at] = char(bytes[at] ^ 0x55);
    const std::string damaged = t.file("damaged.zip", bytes);
    for (bool unnamed : {true, false}) {
        ExtractTarget::setUnnamedFiles(unnamed);
        const std::string d2 = t.dir(unnamed ? "d2" : "d3");
        Extraction r2;
        r2.extract(damaged, d2);
        ExtractTarget::setUnnamedFiles(true);
        EXPECT_EQ(r2.result.extracted, 2u);
        ASSERT_EQ(r2.failures.size(), 1u);
        EXPECT_EQ(r2.failures[0].rfind("dir/b.bin: The data of dir/b.bin", 0), 0u) << r2.failures[0];
        // The folder made only for the failed item goes with it.
        EXPECT_EQ(listing(d2), (std::vector<std::string>{"a.txt", "c.txt"}));
    }

    // An abort stops at once; the item under way leaves nothing.
    const std::string d4 = t.dir("d4");
    Extraction r3;
    r3.abortNow = true;
    r3.extract(archive, d4);
    EXPECT_TRUE(r3.result.aborted);
    EXPECT_TRUE(listing(d4).empty());
    EXPECT_EQ(ZipExtract::closingMessage(r3.result), "Unzipping was aborted: 0 of 3 files were unzipped.");
}

TEST(ZipExtract, AFailedWriteStopsThatItemOnly)
{
    // A file-size limit makes writes fail past 64 KiB, as a full disk would.
    TempTree t("full");
    const std::string archive = t.path("f.zip");
    {
        ZipArchive z;
        z.open(archive);
        z.addFile(t.file("src/small1", "one"), "small1");
        z.addFile(t.file("src/large", randomBytes(200000, 4)), "large");
        z.addFile(t.file("src/small2", "two"), "small2");
    }
    const std::string dest = t.dir("dest");
    Extraction r;
    withSmallFileLimit([&] { r.extract(archive, dest); });
    EXPECT_EQ(r.result.extracted, 2u);
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_EQ(r.failures[0].rfind("large: Cannot write " + dest + "/large: ", 0), 0u) << r.failures[0];
    EXPECT_EQ(listing(dest), (std::vector<std::string>{"small1", "small2"}));
}

TEST(ZipExtract, TraditionalEncryptionWithPasswordsAskedOnlyWhenNeeded)
{
    TempTree t("crypt");
    t.file("in/one.txt", "first secret file\n");
    t.file("in/two/two.bin", randomBytes(70000, 9));
    t.file("in/three.txt", std::string(50000, 'z'));
    const std::string archive = t.path("secret.zip");
    ASSERT_EQ(TestEnv::commandOutput("cd " + quoted(t.path("in")) + " && zip -q -r -P secret " + quoted(archive)
                                     + " one.txt two three.txt 2>&1"),
              "");
    {
        ZipArchive z;
        z.openRead(archive);
        ASSERT_TRUE(z.entries()[0].encrypted());
        EXPECT_TRUE(z.passwordMatches(0, "secret"));
        EXPECT_FALSE(z.passwordMatches(0, "Secret"));
    }
    // The right password is asked once and then used for every item.
    Extraction good;
    good.passwords = {std::string("secret")};
    good.extract(archive, t.dir("good"));
    EXPECT_EQ(good.asked.size(), 1u);
    EXPECT_TRUE(good.failures.empty()) << good.failures[0];
    EXPECT_EQ(TempTree::read(t.path("good/one.txt")), "first secret file\n");
    EXPECT_EQ(TempTree::read(t.path("good/two/two.bin")), randomBytes(70000, 9));
    EXPECT_EQ(TempTree::read(t.path("good/three.txt")), std::string(50000, 'z'));

    // A wrong password fails its item; no answer fails the item too; each
    // item asks again until one works.
    Extraction wrong;
    wrong.passwords = {std::string("guess"), std::nullopt, std::string("secret")};
    wrong.extract(archive, t.dir("wrong"));
    EXPECT_EQ(wrong.asked, (std::vector<std::string>{"one.txt", "two/two.bin", "three.txt"}));
    ASSERT_EQ(wrong.failures.size(), 2u);
    EXPECT_TRUE(wrong.failed("one.txt", "The password for one.txt is wrong")) << wrong.failures[0];
    EXPECT_TRUE(wrong.failed("two/two.bin", "No password was given")) << wrong.failures[1];
    EXPECT_EQ(listing(t.path("wrong")), (std::vector<std::string>{"three.txt", "two/"}));

    // Encryption of another kind is reported without asking.
    std::string bytes = TempTree::read(archive);
    for (size_t i = bytes.find("PK\x01\x02"); i != std::string::npos; i = bytes.find("PK\x01\x02", i + 4))
        bytes[i + 10] = 99; // method 99
    for (size_t i = bytes.find("PK\x03\x04"); i != std::string::npos; i = bytes.find("PK\x03\x04", i + 4))
        bytes[i + 8] = 99;
    Extraction aes;
    aes.extract(t.file("aes.zip", bytes), t.dir("aes"));
    EXPECT_TRUE(aes.asked.empty());
    EXPECT_EQ(aes.failures.size(), 3u);
    EXPECT_TRUE(aes.failed("one.txt", "encrypted in a way this program cannot decrypt"));
}

TEST(ZipExtract, ArchivesOfPeersAndZip64ComeBackByteIdentical)
{
    TempTree t("peers");
    const std::map<std::string, std::string> files = {{"a.txt", std::string(200000, 'a') + "end"},
                                                      {"sub/b.bin", randomBytes(100000, 5)},
                                                      {"sub/deeper/c", "c"},
                                                      {"empty", ""},
                                                      // Runs of zeros inflate to far more than one
                                                      // piece from the last piece of input.
                                                      {"zeros/one", std::string((1 << 20) + 123, '\0')},
                                                      {"zeros/five", std::string(5 << 20, '\0')}};
    for (const auto &[name, data] : files)
        t.file("in/" + name, data);
    const std::string in = quoted(t.path("in"));
    const char *py = R"(
import sys, zipfile, os
src, out, z64 = sys.argv[1], sys.argv[2], sys.argv[3] == '1'
with zipfile.ZipFile(out, 'w', zipfile.ZIP_DEFLATED) as z:
    for root, dirs, names in sorted(os.walk(src)):
        for n in sorted(names):
            p = os.path.join(root, n)
            with open(p, 'rb') as f, z.open(os.path.relpath(p, src), 'w', force_zip64=z64) as w:
                w.write(f.read())
)";
    ASSERT_EQ(python(t, py, in + " " + quoted(t.path("py.zip")) + " 0"), "");
    ASSERT_EQ(python(t, py, in + " " + quoted(t.path("py64.zip")) + " 1"), "");
    ASSERT_EQ(TestEnv::commandOutput("cd " + in + " && zip -q -r ../info.zip . && zip -q -r -fz ../info64.zip . 2>&1"),
              "");
    {
        ZipArchive z;
        z.open(t.path("ours64.zip"));
        z.setZip64Limit(1000);
        for (const auto &[name, data] : files)
            z.addFile(t.path("in/" + name), name);
    }
    for (const char *archive : {"py.zip", "py64.zip", "info.zip", "info64.zip", "ours64.zip"}) {
        const std::string dest = t.dir(std::string("out-") + archive);
        Extraction r;
        r.extract(t.path(archive), dest);
        EXPECT_TRUE(r.failures.empty()) << archive << ": " << r.failures[0];
        EXPECT_EQ(ZipExtract::closingMessage(r.result), "Files were unzipped") << archive;
        for (const auto &[name, data] : files)
            EXPECT_TRUE(TempTree::read(dest + "/" + name) == data) << archive << " " << name;
    }
}

namespace {

// Removes a chain of folders named "a" (too deep for paths) and the files at its bottom.
void removeChain(const std::string &top)
{
    int fd = open(top.c_str(), O_RDONLY | O_DIRECTORY);
    for (int next; (next = openat(fd, "a", O_RDONLY | O_DIRECTORY | O_NOFOLLOW)) >= 0;) {
        close(fd);
        fd = next;
    }
    for (const char *leaf : {"f.txt", "g.bin"})
        unlinkat(fd, leaf, 0);
    for (;;) {
        const int parent = openat(fd, "..", O_RDONLY | O_DIRECTORY);
        close(fd);
        fd = parent;
        if (fd < 0 || unlinkat(fd, "a", AT_REMOVEDIR) != 0)
            break;
    }
    if (fd >= 0)
        close(fd);
}
}

TEST(ZipExtract, TheClosingMessageCountsFilesOnlyAndSaysWhatTheArchiveLacked)
{
    TempTree t("counts");
    // Every file exists already (a second try): no file came back, whatever
    // the folder items did.
    const std::string folders = damagedArchive(t, "folders");
    Extraction first;
    first.extract(folders, t.dir("dest"));
    EXPECT_EQ(ZipExtract::closingMessage(first.result), "Files were unzipped");
    Extraction again;
    again.extract(folders, t.path("dest"));
    EXPECT_EQ(ZipExtract::closingMessage(again.result),
              "The files of this archive are already there: all 3 exist in the destination folder and were left "
              "untouched, so nothing was unzipped.");
    EXPECT_TRUE(ZipExtract::onlyExisting(again.result));

    // An archive cut inside its fourth item: what came back was all it held,
    // but the message says what it lacked.
    Extraction cut;
    cut.extract(damagedArchive(t, "cut4"), t.dir("cut"));
    EXPECT_EQ(cut.result.extracted, 3u);
    const QString message = ZipExtract::closingMessage(cut.result);
    EXPECT_TRUE(message.startsWith("3 of 3 files were unzipped")) << message.toStdString();
    EXPECT_TRUE(message.contains("d.txt")) << message.toStdString();
}

TEST(ZipExtract, TimesComeBackToTheSecondAndModesLoseWhatTheUmaskTakes)
{
    TempTree t("stamps");
    const std::string file = t.file("src/odd.txt", "odd");
    struct timespec times[2] = {{0, UTIME_OMIT}, {1700000001, 0}};
    ASSERT_EQ(utimensat(AT_FDCWD, file.c_str(), times, 0), 0);
    const std::string archive = t.path("t.zip");
    {
        ZipArchive z;
        z.open(archive);
        z.addFile(file, "odd.txt");
    }
    const mode_t oldMask = umask(022);
    Extraction r;
    r.extract(archive, t.dir("dest"));
    Extraction m;
    m.extract(damagedArchive(t, "modes"), t.dir("modes"));
    umask(oldMask);
    struct stat st;
    ASSERT_EQ(stat(t.path("dest/odd.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mtime, 1700000001);
    ASSERT_EQ(stat(t.path("modes/rw.txt").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0644u);
    ASSERT_EQ(stat(t.path("modes/rwx.sh").c_str(), &st), 0);
    EXPECT_EQ(st.st_mode & 07777, 0755u);
}

TEST(ZipExtract, AWrongPasswordThatPassesTheCheckByteIsCalledPossiblyWrong)
{
    TempTree t("check");
    t.file("in/one.txt", std::string(5000, 'q'));
    const std::string archive = t.path("secret.zip");
    ASSERT_EQ(TestEnv::commandOutput("cd " + quoted(t.path("in")) + " && zip -q -P secret " + quoted(archive)
                                     + " one.txt 2>&1"),
              "");
    // One wrong password in 256 passes the check byte of the header.
    std::string lucky;
    {
        ZipArchive z;
        z.openRead(archive);
        for (int i = 0; lucky.empty() && i < 100000; ++i)
            if (z.passwordMatches(0, "guess" + std::to_string(i)))
                lucky = "guess" + std::to_string(i);
    }
    ASSERT_FALSE(lucky.empty());
    Extraction r;
    r.passwords = {lucky};
    r.extract(archive, t.dir("dest"));
    ASSERT_EQ(r.failures.size(), 1u);
    EXPECT_TRUE(r.failed("one.txt", "The password for one.txt may be wrong")) << r.failures[0];
    EXPECT_TRUE(listing(t.path("dest")).empty());
}

TEST(ZipExtract, VeryDeepNamesHoldFewDescriptorsAndAFailureLeavesNoFolders)
{
    TempTree t("deep");
    const std::string deep = damagedArchive(t, "deep");
    const std::string deepBig = damagedArchive(t, "deep-big");
    const std::string dest = t.dir("dest");
    struct rlimit old;
    ASSERT_EQ(getrlimit(RLIMIT_NOFILE, &old), 0);
    struct rlimit few = old;
    few.rlim_cur = 128;
    ASSERT_EQ(setrlimit(RLIMIT_NOFILE, &few), 0);
    Extraction r;
    r.extract(deep, dest);
    setrlimit(RLIMIT_NOFILE, &old);
    EXPECT_TRUE(r.failures.empty()) << r.failures[0].substr(r.failures[0].size() - 200);
    EXPECT_EQ(r.result.extracted, 1u);
    // The file is at the bottom of 29,999 folders.
    int fd = open(dest.c_str(), O_RDONLY | O_DIRECTORY);
    int depth = 0;
    for (int next; (next = openat(fd, "a", O_RDONLY | O_DIRECTORY | O_NOFOLLOW)) >= 0; ++depth) {
        close(fd);
        fd = next;
    }
    struct stat st;
    EXPECT_EQ(fstatat(fd, "f.txt", &st, 0), 0);
    close(fd);
    EXPECT_EQ(depth, 29999);
    removeChain(dest);
    EXPECT_TRUE(listing(dest).empty());

    // A file that cannot be written 2,000 folders down takes its folders with it.
    Extraction big;
    withSmallFileLimit([&] { big.extract(deepBig, dest); });
    EXPECT_EQ(big.result.failed, 1u);
    const bool empty = listing(dest).empty();
    EXPECT_TRUE(empty);
    if (!empty)
        removeChain(dest);
}

TEST(ZipExtract, DeclaredSizesMustFitTheFreeSpaceBeforeAnythingIsWritten)
{
    TempTree t("space");
    Extraction r;
    r.extract(damagedArchive(t, "huge"), t.dir("dest"));
    EXPECT_NE(r.result.destinationError.find("not enough free space"), std::string::npos)
        << r.result.destinationError;
    EXPECT_EQ(r.result.extracted, 0u);
    EXPECT_TRUE(listing(t.path("dest")).empty());
}
