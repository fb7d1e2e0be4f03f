#include "finders/ScanFile.h"
#include "support/MountSandbox.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>
#include <zlib.h>

#include <cstdio>
#include <dirent.h>
#include <fcntl.h>
#include <fstream>
#include <map>
#include <sstream>
#include <set>
#include <sys/mount.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string quoted(const std::string &s)
{
    std::string out = "'";
    for (char c : s)
        out += c == '\'' ? std::string("'\\''") : std::string(1, c);
    return out + "'";
}

bool hasTool(const char *name) { return std::system((std::string("command -v ") + name + " >/dev/null 2>&1").c_str()) == 0; }

std::string output(const std::string &command)
{
    std::string out;
    if (FILE *p = ::popen(command.c_str(), "r")) {
        char buf[4096];
        size_t n;
        while ((n = fread(buf, 1, sizeof buf, p)) > 0)
            out.append(buf, n);
        ::pclose(p);
    }
    return out;
}

void writeFile(const std::string &path, const std::string &content)
{
    std::ofstream(path, std::ios::binary) << content;
}

// Names no text encoding would keep: quotes, backslashes, control
// characters, a newline, bytes that are not UTF-8, and UTF-8 itself.
const std::vector<std::string> kOddNames = {
    "quo\"te", "back\\slash", "new\nline", std::string("ctl\x01\x1f\x7f", 6), "\xff\xfe not utf-8", "caf\xc3\xa9",
    "tab\there", "sp ace"};

// Per folder (path as bytes): files and bytes directly in it, and the bytes
// of its whole tree, counted as du -b counts files (a file of several names
// once); folders made unreadable (mode 0) are listed with nothing in them.
struct Expected {
    std::map<std::string, int64_t> treeBytes;
    std::map<std::string, int64_t> ownFiles;
    std::map<std::string, int> subFolders;
    std::set<std::string> mixedLinks; // folders holding some but not all names of a file
    int64_t allEntries = 0;           // every entry's size, folders included, files of several names once
};

// Which folders mounted below the tree a walk enters: every one (no mount
// here), those of the tree's own device (du -x, ncdu -x), or none (gdu -x,
// this program).
enum class Mounts { Enter, SameDevice, None };

uint64_t mountOf(const std::string &path)
{
    struct statx sx {};
    statx(AT_FDCWD, path.c_str(), AT_SYMLINK_NOFOLLOW, STATX_MNT_ID, &sx);
    return sx.stx_mnt_id;
}

void walkExpected(const std::string &dir, Expected &e, std::map<std::pair<dev_t, ino_t>, std::vector<std::string>> &links,
                  std::set<std::pair<dev_t, ino_t>> &seen, std::vector<std::pair<std::string, int64_t>> &files,
                  Mounts mounts = Mounts::Enter)
{
    struct stat st {};
    lstat(dir.c_str(), &st);
    e.allEntries += st.st_size;
    e.treeBytes[dir];
    e.ownFiles[dir];
    e.subFolders[dir];
    if ((st.st_mode & 07777) == 0)
        return;
    DIR *d = opendir(dir.c_str());
    while (dirent *de = readdir(d)) {
        const std::string name = de->d_name;
        if (name == "." || name == "..")
            continue;
        const std::string p = dir + "/" + name;
        lstat(p.c_str(), &st);
        if (S_ISDIR(st.st_mode)) {
            struct stat parent {};
            lstat(dir.c_str(), &parent);
            if ((mounts == Mounts::SameDevice && st.st_dev != parent.st_dev)
                || (mounts == Mounts::None && mountOf(p) != mountOf(dir)))
                continue; // another drive: no folder of this tree
            ++e.subFolders[dir];
            walkExpected(p, e, links, seen, files, mounts);
            continue;
        }
        if (st.st_nlink > 1) {
            links[{st.st_dev, st.st_ino}].push_back(dir);
            if (!seen.insert({st.st_dev, st.st_ino}).second)
                continue;
        }
        e.allEntries += st.st_size;
        e.ownFiles[dir] += S_ISREG(st.st_mode);
        files.emplace_back(dir, st.st_size);
    }
    closedir(d);
}

Expected expectedOf(const std::string &root, Mounts mounts = Mounts::Enter)
{
    Expected e;
    std::map<std::pair<dev_t, ino_t>, std::vector<std::string>> links;
    std::set<std::pair<dev_t, ino_t>> seen;
    std::vector<std::pair<std::string, int64_t>> files;
    walkExpected(root, e, links, seen, files, mounts);
    for (const auto &[folder, bytes] : files)
        for (std::string f = folder;; f = f.substr(0, f.rfind('/'))) {
            e.treeBytes[f] += bytes;
            if (f == root)
                break;
        }
    // A folder below which only some names of a file lie counts the file or
    // not depending on which name was met first: such folders are not compared.
    for (const auto &[key, dirs] : links)
        for (const auto &[folder, bytes] : e.treeBytes) {
            size_t in = 0;
            for (const std::string &d : dirs)
                in += d == folder || d.starts_with(folder + "/");
            if (in > 0 && in < dirs.size())
                e.mixedLinks.insert(folder);
        }
    return e;
}

// The whole tree's bytes below each folder of a loaded scan.
std::map<std::string, int64_t> treeBytesOf(const ScanFile::Loaded &l)
{
    std::map<std::string, int64_t> out;
    for (uint32_t n = 0; n < l.names.size(); ++n)
        for (uint32_t f = n;; f = l.names.parent(f)) {
            out[l.names.path(f)] += l.own[n].asize;
            if (l.names.parent(f) == FolderNames::kNone)
                break;
        }
    return out;
}

// A tree with odd names on files and folders, files of several names (in
// one folder and across folders), a link, and an unreadable folder.
std::string oddTree(const TempTree &t)
{
    const std::string root = t.dir("scanned");
    int size = 1;
    for (const std::string &name : kOddNames) {
        t.sized("scanned/" + name + "/" + name, size * 1000 + 7);
        t.sized("scanned/files/" + name, size++);
    }
    t.sized("scanned/deep/er/still/f", 12345);
    t.sized("scanned/links/one", 4000);
    link(t.path("scanned/links/one").c_str(), t.path("scanned/links/two").c_str());
    link(t.path("scanned/links/one").c_str(), t.path("scanned/deep/three").c_str());
    symlink("nowhere", t.path("scanned/files/link").c_str());
    t.dir("scanned/empty");
    t.sized("scanned/locked/hidden", 999);
    chmod(t.path("scanned/locked").c_str(), 0);
    return root;
}

// As root the tools could read the locked folder: they run as nobody, who
// may pass through the test's folders.
std::string asUser(const std::string &command)
{
    if (geteuid() != 0)
        return command;
    return "setpriv --reuid=65534 --regid=65534 --clear-groups " + command;
}

void openToOthers(const std::string &from)
{
    for (std::string p = from; p.size() > 1; p = p.substr(0, p.rfind('/'))) {
        struct stat st {};
        if (stat(p.c_str(), &st) == 0 && (st.st_mode & 07777) != 0)
            chmod(p.c_str(), (st.st_mode & 07777) | 0005 | (S_ISDIR(st.st_mode) ? 0 : 0));
    }
}

// Puts the locked folder back so the test's folder can be removed.
struct Unlock {
    std::string folder;
    ~Unlock() { chmod(folder.c_str(), 0700); }
};

// gdu writes a name that is not UTF-8 with replacement characters: its
// exports keep every other name.
bool lossless(const std::string &tool, const std::string &path)
{
    return tool != "gdu" || (path.find('\xff') == std::string::npos && path.find("\xef\xbf\xbd") == std::string::npos);
}

void expectTotals(const ScanFile::Loaded &l, const Expected &e, const std::string &root, const std::string &tool,
                  bool lockedUnread = true)
{
    SCOPED_TRACE(tool);
    const std::map<std::string, int64_t> got = treeBytesOf(l);
    std::set<std::string> folders;
    for (const auto &[f, b] : got)
        if (lossless(tool, f))
            folders.insert(f);
    std::set<std::string> expectedFolders;
    for (const auto &[f, b] : e.treeBytes)
        if (lossless(tool, f))
            expectedFolders.insert(f);
    EXPECT_EQ(folders, expectedFolders); // every folder, its name byte for byte
    for (const auto &[folder, bytes] : e.treeBytes) {
        if (!e.mixedLinks.contains(folder) && got.contains(folder)) {
            EXPECT_EQ(got.at(folder), bytes) << folder;
        }
    }
    EXPECT_EQ(got.at(root), e.treeBytes.at(root));
    for (uint32_t n = 0; n < l.names.size(); ++n) {
        const std::string p = l.names.path(n);
        if (!lossless(tool, p))
            continue;
        if (!e.mixedLinks.contains(p)) {
            EXPECT_EQ(l.own[n].files, e.ownFiles.at(p)) << p;
        }
        EXPECT_EQ(l.own[n].folders, e.subFolders.at(p)) << p;
    }
    if (lockedUnread) {
        EXPECT_GE(l.readErrors, 1u); // the locked folder
    }
}
}

TEST(ScanFileTools, ExportsOfBothToolsOpenWithTheTreesTotals)
{
    TempTree t("tools");
    const std::string root = oddTree(t);
    const Unlock unlock{t.path("scanned/locked")};
    const Expected e = expectedOf(root);
    const std::string out = t.dir("out");
    chmod(out.c_str(), 0777);
    openToOthers(out);
    int tools = 0;
    for (const char *tool : {"ncdu", "gdu"}) {
        if (!hasTool(tool))
            continue;
        ++tools;
        const std::string file = out + "/" + tool + ".json";
        const std::string opts = std::string(tool) == "gdu" ? " -n -p" : "";
        ASSERT_EQ(std::system(asUser(std::string(tool) + opts + " -o " + quoted(file) + " " + quoted(root)
                                     + " >/dev/null 2>&1").c_str()),
                  0);
        ScanFile::Loaded l;
        QString error;
        ASSERT_EQ(ScanFile::read(file, l, error), ScanFile::Outcome::Done) << error.toStdString();
        EXPECT_EQ(l.progname, tool);
        EXPECT_GT(l.timestamp, 0);
        // gdu lists a folder it could not read as an empty one, unmarked.
        expectTotals(l, e, root, tool, std::string(tool) == "ncdu");
        // The same export gzip-compressed reads alike.
        ASSERT_EQ(std::system(("gzip -k " + quoted(file)).c_str()), 0);
        ScanFile::Loaded z;
        ASSERT_EQ(ScanFile::read(file + ".gz", z, error), ScanFile::Outcome::Done) << error.toStdString();
        EXPECT_EQ(treeBytesOf(z), treeBytesOf(l));
    }
    chmod(t.path("scanned/locked").c_str(), 0700);
    if (tools == 0)
        GTEST_SKIP() << "neither ncdu nor gdu is installed";
}

TEST(ScanFileTools, OwnExportReadsBackInBothTools)
{
    TempTree t("own");
    const std::string root = oddTree(t);
    const Unlock unlock{t.path("scanned/locked")};
    const Expected e = expectedOf(root);
    const std::string file = t.path("saved.json");
    QString error;
    // The walk runs as root here (the locked folder is read): compare with
    // what a reader of everything sees.
    chmod(t.path("scanned/locked").c_str(), 0700);
    const Expected all = expectedOf(root);
    chmod(t.path("scanned/locked").c_str(), 0);
    ASSERT_EQ(ScanFile::save(root, file, error), ScanFile::Outcome::Done) << error.toStdString();
    ScanFile::Loaded mine;
    ASSERT_EQ(ScanFile::read(file, mine, error), ScanFile::Outcome::Done) << error.toStdString();
    EXPECT_EQ(mine.progname, "vantor");
    // Root may or may not be let into the locked folder.
    const Expected &seen = mine.readErrors == 0 ? all : e;
    expectTotals(mine, seen, root, "own", mine.readErrors != 0);
    if (hasTool("ncdu")) {
        // ncdu reads the file and writes it again: the same folders, names
        // and totals come back.
        const std::string again = t.path("again.json");
        ASSERT_EQ(std::system(("ncdu -f " + quoted(file) + " -o " + quoted(again) + " >/dev/null 2>&1").c_str()), 0);
        ScanFile::Loaded back;
        ASSERT_EQ(ScanFile::read(again, back, error), ScanFile::Outcome::Done)
            << error.toStdString() << "\n" << TempTree::read(again).substr(0, 3000);
        EXPECT_EQ(treeBytesOf(back), treeBytesOf(mine));
        EXPECT_EQ(back.readErrors, mine.readErrors);
    }
    if (hasTool("gdu")) {
        // gdu's total counts every entry, folders included, a file of
        // several names once.
        const std::string total =
            output("gdu -f " + quoted(file) + " -n -p -a -s --no-prefix 2>/dev/null");
        EXPECT_EQ(std::strtoll(total.c_str(), nullptr, 10), seen.allEntries) << total;
    }
    chmod(t.path("scanned/locked").c_str(), 0700);
}

// The same comparison as expectTotals for checks that run in a child
// process: what differs, as text.
std::string totalsDiffer(const ScanFile::Loaded &l, const Expected &e, const std::string &what)
{
    std::ostringstream out;
    const std::map<std::string, int64_t> got = treeBytesOf(l);
    if (got != e.treeBytes) {
        out << what << ": folder totals differ\n";
        for (const auto &[f, b] : got)
            out << "  got " << f << " " << b << (e.treeBytes.contains(f) ? "" : " (not expected)") << "\n";
        for (const auto &[f, b] : e.treeBytes)
            out << "  expected " << f << " " << b << "\n";
    }
    for (uint32_t n = 0; n < l.names.size(); ++n) {
        const std::string p = l.names.path(n);
        if (e.subFolders.contains(p) && l.own[n].folders != e.subFolders.at(p))
            out << what << ": " << p << " has " << l.own[n].folders << " sub-folders, expected "
                << e.subFolders.at(p) << "\n";
    }
    return out.str();
}

std::string readInto(const std::string &file, ScanFile::Loaded &l)
{
    QString error;
    return ScanFile::read(file, l, error) == ScanFile::Outcome::Done ? std::string()
                                                                      : file + ": " + error.toStdString() + "\n";
}

// Below the tree, a folder of the same file system is bound and a fresh
// file system mounted. ncdu -x enters the first (its device is the tree's,
// as for du -x) and marks the second; gdu -x and this program's own walk
// stop at both. Each export opens with the totals of an independent walk
// under the same rule, and this program's export reads back in both tools.
TEST(ScanFileTools, MountsBelowTheTreeCountAsEachToolWalksThem)
{
    TempTree t("mounts");
    const std::string root = t.dir("scanned");
    t.sized("scanned/in/g", 300);
    t.dir("scanned/bound");
    t.dir("scanned/fresh");
    t.sized("outside/f", 5000);
    t.sized("outside/sub/h", 70);
    const std::string out = t.dir("out");
    const MountSandbox::Outcome o =
        MountSandbox::runWithBinds({{t.path("outside"), t.path("scanned/bound")}}, [&]() -> std::string {
            if (::mount("none", t.path("scanned/fresh").c_str(), "tmpfs", 0, nullptr) != 0)
                return "cannot mount a tmpfs in the sandbox";
            writeFile(t.path("scanned/fresh/z"), std::string(777, 'z'));
            std::string failures;
            if (hasTool("ncdu")) {
                if (std::system(("ncdu -x -o " + quoted(out + "/ncdu.json") + " " + quoted(root) + " >/dev/null 2>&1")
                                    .c_str())
                    != 0)
                    return "ncdu -o failed";
                ScanFile::Loaded l;
                failures += readInto(out + "/ncdu.json", l);
                failures += totalsDiffer(l, expectedOf(root, Mounts::SameDevice), "ncdu");
                if (l.otherFs != 1)
                    failures += "ncdu: " + std::to_string(l.otherFs) + " other file systems, expected 1\n";
            }
            if (hasTool("gdu")) {
                if (std::system(("gdu -n -p -x -o " + quoted(out + "/gdu.json") + " " + quoted(root)
                                 + " >/dev/null 2>&1").c_str())
                    != 0)
                    return "gdu -o failed";
                ScanFile::Loaded l;
                failures += readInto(out + "/gdu.json", l);
                failures += totalsDiffer(l, expectedOf(root, Mounts::None), "gdu");
            }
            const Expected mine = expectedOf(root, Mounts::None);
            QString error;
            if (ScanFile::save(root, out + "/own.json", error) != ScanFile::Outcome::Done)
                return "save: " + error.toStdString();
            ScanFile::Loaded own;
            failures += readInto(out + "/own.json", own);
            failures += totalsDiffer(own, mine, "own");
            if (own.otherFs != 2)
                failures += "own: " + std::to_string(own.otherFs) + " other file systems, expected 2\n";
            // A mount point's stat is the other drive's root folder: its size
            // is not this tree's (ncdu would add it to the folder's total).
            std::istringstream lines(TempTree::read(out + "/own.json"));
            for (std::string line; std::getline(lines, line);)
                if (line.find("\"excluded\"") != std::string::npos && line.find("size") != std::string::npos)
                    failures += "own: a mount point listed with a size: " + line + "\n";
            if (hasTool("ncdu")) {
                if (std::system(("ncdu -f " + quoted(out + "/own.json") + " -o " + quoted(out + "/again.json")
                                 + " >/dev/null 2>&1").c_str())
                    != 0)
                    return "ncdu -f failed";
                ScanFile::Loaded back;
                failures += readInto(out + "/again.json", back);
                failures += totalsDiffer(back, mine, "own, read back by ncdu");
                if (back.otherFs != 2)
                    failures += "own, read back by ncdu: " + std::to_string(back.otherFs)
                                + " other file systems, expected 2\n";
            }
            if (hasTool("gdu")) {
                const std::string total =
                    output("gdu -f " + quoted(out + "/own.json") + " -n -p -a -s --no-prefix 2>/dev/null");
                // gdu counts every folder it lists as 4,096 bytes, the two
                // mount points too.
                if (std::strtoll(total.c_str(), nullptr, 10) != mine.allEntries + 2 * 4096)
                    failures += "own, read back by gdu: " + total + " against " + std::to_string(mine.allEntries)
                                + " and the mount points\n";
            }
            return failures;
        });
    if (!o.mounted)
        GTEST_SKIP() << MountSandbox::kCannotMount;
    EXPECT_EQ(o.failure, "");
}

TEST(ScanFile, NamesRoundTripAsBytesPlainAndCompressed)
{
    TempTree t("names");
    // Every byte but NUL and "/" in some folder's and some file's name.
    std::vector<std::string> names = kOddNames;
    std::string every;
    for (int c = 1; c < 256; ++c)
        if (c != '/')
            every += char(c);
    names.push_back(every);
    std::string doc;
    ScanFile::Writer w([&](std::string_view b) {
        doc += b;
        return true;
    });
    w.begin("vantor", "1", 1700000000);
    ScanFile::Entry root;
    root.name = "/srv/\xff root";
    root.folder = true;
    w.openFolder(root);
    int64_t size = 1;
    for (const std::string &n : names) {
        ScanFile::Entry f;
        f.name = n;
        f.folder = true;
        w.openFolder(f);
        ScanFile::Entry file;
        file.name = n;
        file.asize = size;
        file.dsize = 4096 * size++;
        w.file(file);
        w.closeFolder();
    }
    w.closeFolder();
    ASSERT_TRUE(w.end());
    const std::string plain = t.path("plain.json");
    writeFile(plain, doc);
    const std::string packed = t.path("packed.json.gz");
    gzFile z = gzopen(packed.c_str(), "wb");
    gzwrite(z, doc.data(), unsigned(doc.size()));
    gzclose(z);
    for (const std::string &file : {plain, packed}) {
        ScanFile::Loaded l;
        QString error;
        ASSERT_EQ(ScanFile::read(file, l, error), ScanFile::Outcome::Done) << error.toStdString();
        ASSERT_EQ(l.names.size(), names.size() + 1);
        EXPECT_EQ(l.names.path(0), "/srv/\xff root");
        for (size_t i = 0; i < names.size(); ++i) {
            EXPECT_EQ(l.names.name(uint32_t(i + 1)), names[i]);
            EXPECT_EQ(l.own[i + 1].asize, int64_t(i + 1));
            EXPECT_EQ(l.own[i + 1].dsize, int64_t(4096 * (i + 1)));
        }
        EXPECT_EQ(l.timestamp, 1700000000);
        EXPECT_EQ(l.minor, 2);
    }
}

TEST(ScanFile, CountsFollowTheFormat)
{
    TempTree t("counts");
    // Names of one file count once per scan (at the first name met, with the
    // device of its folder); excluded, other and kernel file systems and
    // read errors are counted apart and add nothing below them; a link or
    // device is no file but its bytes count; keys the reader does not know
    // (with any value) are passed over.
    const std::string doc = R"([1,1,{"progname":"x","extra":[1,{"a":[]}],"timestamp":5},
[{"name":"/r","dev":7,"asize":4096},
 {"name":"f","asize":10,"dsize":4096,"ino":1,"hlnkc":true,"future":{"k":[1,2]}},
 {"name":"g","asize":10,"dsize":4096,"ino":1,"hlnkc":true},
 {"name":"sym","asize":3,"notreg":true},
 {"name":"bad","read_error":true},
 [{"name":"d","asize":4096},
  {"name":"h","asize":10,"dsize":4096,"ino":1,"nlink":3},
  {"name":"other","asize":10,"dsize":4096,"ino":1,"dev":8,"hlnkc":true}],
 [{"name":"mnt","dev":39,"excluded":"othfs"}],
 [{"name":"proc","excluded":"kernfs"},{"name":"inside","asize":99}],
 {"name":"skip","excluded":"pattern"},
 [{"name":"unreadable","read_error":true}]
],"later",[1]])";
    const std::string file = t.path("c.json");
    writeFile(file, doc);
    ScanFile::Loaded l;
    QString error;
    ASSERT_EQ(ScanFile::read(file, l, error), ScanFile::Outcome::Done) << error.toStdString();
    ASSERT_EQ(l.names.size(), 3u); // /r, d, unreadable: mounts not entered are no folders
    EXPECT_EQ(l.own[0].asize, 13);  // f and sym
    EXPECT_EQ(l.own[0].files, 1);
    EXPECT_EQ(l.own[0].folders, 2);
    EXPECT_EQ(l.own[1].asize, 10); // "other" lies on device 8: another file
    EXPECT_EQ(l.own[1].files, 1);
    EXPECT_EQ(l.linkedOnce, 2u);
    EXPECT_EQ(l.otherFs, 1u);
    EXPECT_EQ(l.kernFs, 1u);
    EXPECT_EQ(l.excluded, 1u);
    EXPECT_EQ(l.readErrors, 2u);
    EXPECT_EQ(l.totalAsize, 23);
    EXPECT_EQ(l.timestamp, 5);
}

TEST(ScanFile, BadInputIsRefusedWithItsReasonAndChangesNothing)
{
    TempTree t("bad");
    const std::string head = R"([1,2,{"progname":"x"},)";
    std::string deep = head;
    for (int i = 0; i < 100000; ++i)
        deep += R"([{"name":"d"},)";
    deep += R"({"name":"f"})";
    deep += std::string(100000, ']') + "]";
    struct Case {
        const char *label;
        std::string content;
        const char *reason;
    };
    const std::vector<Case> cases = {
        {"truncated", head + R"([{"name":"/r"},{"name":"f","asize":1})", "cut short"},
        {"empty", "", "empty"},
        {"not json", "Filesystem 1K-blocks Used\n/dev/sda1 100 50\n", "not valid JSON"},
        {"not an export", R"({"name":"x"})", "not a scan export"},
        {"wrong major", R"([2,0,{},[{"name":"/r"}]])", "version 2"},
        {"huge size", head + R"([{"name":"/r"},{"name":"f","asize":99999999999999999999}]])", "too large"},
        {"beyond int64", head + R"([{"name":"/r"},{"name":"f","asize":18446744073709551615}]])", "too large"},
        {"fraction", head + R"([{"name":"/r"},{"name":"f","dsize":1.5}]])", "not whole"},
        {"negative", head + R"([{"name":"/r"},{"name":"f","asize":-1}]])", "negative"},
        {"too deep", deep, "nested more than"},
        {"long name", head + R"([{"name":"/r"},{"name":")" + std::string(1 << 20, 'n') + R"("}]])", "longer than"},
        {"dot-dot", head + R"([{"name":"/r"},[{"name":".."}]])", "no file can be named"},
        {"slash", head + R"([{"name":"/r"},{"name":"a/b"}])", "no file can be named"},
        {"nameless", head + R"([{"asize":1}]])", "without a name"},
        {"no folder", R"([1,2,{}])", "before its folder"},
        {"folder first", head + R"([[{"name":"x"}]]])", "without its own entry"},
    };
    for (const Case &c : cases) {
        SCOPED_TRACE(c.label);
        const std::string file = t.path(std::string("in-") + c.label);
        writeFile(file, c.content);
        ScanFile::Loaded l;
        l.progname = "kept";
        QString error;
        EXPECT_EQ(ScanFile::read(file, l, error), ScanFile::Outcome::Failed);
        EXPECT_TRUE(error.startsWith(QString::fromStdString(file) + ": ")) << error.toStdString();
        EXPECT_TRUE(error.contains(QLatin1String(c.reason))) << error.toStdString();
        EXPECT_EQ(l.progname, "kept");
        EXPECT_EQ(l.names.size(), 0u);
    }
    // A gzip file cut short is said so, as is a file that is not there.
    std::string good = head + R"([{"name":"/r"})";
    for (int i = 0; i < 20000; ++i)
        good += R"(,{"name":"file)" + std::to_string(i) + R"(","asize":1})";
    good += "]]";
    const std::string gz = t.path("cut.gz");
    gzFile z = gzopen(gz.c_str(), "wb");
    gzwrite(z, good.data(), unsigned(good.size()));
    gzclose(z);
    truncate(gz.c_str(), 2000);
    ScanFile::Loaded l;
    QString error;
    EXPECT_EQ(ScanFile::read(gz, l, error), ScanFile::Outcome::Failed);
    EXPECT_TRUE(error.contains("cut short") || error.contains("truncated")) << error.toStdString();
    EXPECT_EQ(ScanFile::read(t.path("missing.json"), l, error), ScanFile::Outcome::Failed);
    EXPECT_TRUE(error.contains("cannot be opened")) << error.toStdString();
}

TEST(ScanFile, AGiganticStringStopsEarlyAndAbortStopsTheRead)
{
    TempTree t("huge");
    // 2 GB of one string, compressed: the read stops after a few MB.
    const std::string file = t.path("string.json.gz");
    gzFile z = gzopen(file.c_str(), "wb1");
    gzwrite(z, "[\"", 2);
    const std::string block(64 << 20, 'a');
    for (int i = 0; i < 32; ++i)
        gzwrite(z, block.data(), unsigned(block.size()));
    gzwrite(z, "\"]", 2);
    gzclose(z);
    ScanFile::Loaded l;
    QString error;
    uint64_t read = 0;
    EXPECT_EQ(ScanFile::read(file, l, error, [&](uint64_t n) { return (read = n), true; }), ScanFile::Outcome::Failed);
    EXPECT_TRUE(error.contains("without a whole value")) << error.toStdString();
    EXPECT_LT(read, 16u << 20);
    // Abort: the read stops at the next block, nothing taken.
    std::string doc = R"([1,2,{},[{"name":"/r"})";
    for (int i = 0; i < 100000; ++i)
        doc += R"(,{"name":"f)" + std::to_string(i) + R"(","asize":1})";
    doc += "]]";
    const std::string plain = t.path("many.json");
    writeFile(plain, doc);
    int asked = 0;
    EXPECT_EQ(ScanFile::read(plain, l, error, [&](uint64_t) { return ++asked < 2; }), ScanFile::Outcome::Aborted);
    EXPECT_EQ(asked, 2);
    EXPECT_EQ(l.names.size(), 0u);
}

TEST(ScanFile, SaveReplacesTheFileOnlyWhenWhole)
{
    TempTree t("atomic");
    t.sized("tree/a", 10);
    const std::string file = t.path("scan.json");
    writeFile(file, "old");
    QString error;
    // A folder that is not there, and an aborted walk: the old file stays,
    // no temporary file is left.
    EXPECT_EQ(ScanFile::save(t.path("gone"), file, error), ScanFile::Outcome::Failed);
    EXPECT_TRUE(error.contains("gone")) << error.toStdString();
    for (int i = 0; i < 600; ++i)
        t.sized("tree/f" + std::to_string(i), 1);
    EXPECT_EQ(ScanFile::save(t.path("tree"), file, error, [] { return false; }), ScanFile::Outcome::Aborted);
    EXPECT_EQ(TempTree::read(file), "old");
    EXPECT_EQ(output("ls " + quoted(t.root())), "scan.json\ntree\n");
    ASSERT_EQ(ScanFile::save(t.path("tree"), file, error), ScanFile::Outcome::Done);
    ScanFile::Loaded l;
    ASSERT_EQ(ScanFile::read(file, l, error), ScanFile::Outcome::Done);
    EXPECT_EQ(l.own[0].files, 601);
    EXPECT_EQ(l.own[0].asize, 610);
}
