#include "scan/Walker.h"

#include "platform/DirReader.h"
#include "platform/Drives.h"
#include "scan/SubFolders.h"
#include "support/MountSandbox.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QCoreApplication>
#include <QTimer>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Maps drive letters to folders for one test.
struct MappedDrives {
    explicit MappedDrives(const std::map<char, std::string> &m) { Drives::setMapping(m); }
    ~MappedDrives() { Drives::setMapping({}); }
};

// Sets the drive list for one test (drives that are not ready included).
struct FixedDrives {
    explicit FixedDrives(const std::map<char, std::string> &m)
    {
        std::vector<Drive> drives;
        for (const auto &[letter, root] : m) {
            Drive d;
            d.letter = letter;
            d.root = root;
            d.label = QString::fromStdString(root);
            drives.push_back(d);
        }
        Drives::setDrives(drives);
    }
    ~FixedDrives() { Drives::setDrives({}); }
};

QString entryOf(char letter)
{
    return Drives::entryText(*Drives::find(letter));
}

// A walker whose visitor records every path it is given.
struct Recorder {
    Walker w;
    std::vector<std::string> paths;
    std::vector<FoundFile> files;
    Recorder()
    {
        w.pumpIntervalMs = 0;
        w.visitor = [this](const FoundFile &f) {
            paths.push_back(f.path);
            files.push_back(f);
            return true;
        };
    }
    // Paths relative to root, in visiting order.
    std::vector<std::string> relative(const std::string &root) const
    {
        std::vector<std::string> out;
        for (const std::string &p : paths)
            out.push_back(p.substr(0, root.size() + 1) == root + "/" ? p.substr(root.size() + 1) : p);
        return out;
    }
};

size_t indexOf(const std::vector<std::string> &v, const std::string &s)
{
    return size_t(std::find(v.begin(), v.end(), s) - v.begin());
}
}

TEST(Walker, SubfoldersBeforeFilesAndTheRecordOfEachFile)
{
    ScriptedDialogs dlg;
    TempTree t("drive");
    t.file("root.txt", "12345");
    t.file("A/a.txt");
    t.file("A/B/b1.txt");
    t.file("A/B/b2.txt");
    t.file("C/c.txt");
    const std::string ro = t.file("A/readonly.txt", "x");
    ::chmod(ro.c_str(), 0444);
    TempTree::setTimes(t.path("root.txt"), 981173106, 1000000000); // 2001-02-03 04:05:06 UTC
    TempTree::setTimes(t.path("C/c.txt"), 981173107, 1000000000);  // an odd second
    MappedDrives m({{'D', t.root()}});

    Recorder r;
    QStringList statuses;
    r.w.status = [&](const QString &s) { statuses << s; };
    r.w.scanAllDrives({entryOf('D')});
    const auto rel = r.relative(t.root());
    ASSERT_EQ(rel.size(), 6u);
    // The files of A/B before those of A, those of A before the root's; the root's last.
    EXPECT_LT(indexOf(rel, "A/B/b1.txt"), indexOf(rel, "A/a.txt"));
    EXPECT_LT(indexOf(rel, "A/B/b2.txt"), indexOf(rel, "A/readonly.txt"));
    EXPECT_LT(indexOf(rel, "A/a.txt"), indexOf(rel, "root.txt"));
    EXPECT_LT(indexOf(rel, "C/c.txt"), indexOf(rel, "root.txt"));
    EXPECT_EQ(rel.back(), "root.txt");

    const FoundFile &root = r.files.back();
    EXPECT_EQ(root.name, "root.txt");
    EXPECT_EQ(root.size, 5);
    EXPECT_EQ(root.attributes, FileAttr::Archive);
    EXPECT_EQ(root.written, DosTime::pack(QDateTime(QDate(2001, 2, 3), QTime(4, 5, 6))));
    EXPECT_EQ(root.accessed, DosTime::fromUnix(1000000000));
    // The stamp keeps seconds / 2; the odd second is kept beside it.
    EXPECT_FALSE(root.writtenOdd);
    EXPECT_TRUE(r.files[indexOf(rel, "C/c.txt")].writtenOdd);
    EXPECT_EQ(r.files[indexOf(rel, "C/c.txt")].written, root.written);
    // The root's folder text ends in "/", any other folder's does not.
    EXPECT_EQ(root.folder, t.root() + "/");
    const FoundFile &ronly = r.files[indexOf(rel, "A/readonly.txt")];
    EXPECT_EQ(ronly.folder, t.root() + "/A");
    EXPECT_EQ(ronly.folderText, QString::fromStdString(t.root() + "/A"));
    EXPECT_EQ(ronly.attributes, FileAttr::Archive | FileAttr::ReadOnly);
    // The status showed the folders as they were walked.
    EXPECT_TRUE(statuses.contains(QString::fromStdString(t.root() + "/A/B")));
    EXPECT_EQ(statuses.front(), QString::fromStdString(t.root() + "/"));
    EXPECT_TRUE(dlg.boxes.empty());
}

TEST(Walker, HiddenSystemAndLinkedEntriesAreNeitherListedNorEntered)
{
    ScriptedDialogs dlg;
    TempTree t("drive");
    t.file("visible.txt");
    t.file(".hidden.txt");
    t.file(".cache/inside.txt");
    t.file("sub/.dot/deep.txt");
    t.file("sub/plain.txt");
    ASSERT_EQ(::symlink("/", t.path("to-root").c_str()), 0);
    ASSERT_EQ(::symlink(".", t.path("loop").c_str()), 0);
    ASSERT_EQ(::symlink("..", t.path("sub/up").c_str()), 0);
    ASSERT_EQ(::symlink("visible.txt", t.path("link.txt").c_str()), 0);
    ASSERT_EQ(::mkfifo(t.path("fifo").c_str(), 0644), 0);
    MappedDrives m({{'D', t.root()}});

    Recorder r;
    r.w.scanAllDrives({entryOf('D')});
    EXPECT_EQ(r.relative(t.root()), (std::vector<std::string>{"sub/plain.txt", "visible.txt"}));

    // Asking for hidden files lists them, but hidden folders stay unentered.
    Recorder h;
    h.w.returned = FileAttr::Hidden;
    h.w.scanAllDrives({entryOf('D')});
    auto rel = h.relative(t.root());
    std::sort(rel.begin(), rel.end());
    EXPECT_EQ(rel, (std::vector<std::string>{".hidden.txt", "sub/plain.txt", "visible.txt"}));
    EXPECT_EQ(h.files[indexOf(h.relative(t.root()), ".hidden.txt")].attributes,
              FileAttr::Hidden | FileAttr::Archive);

    // Asking for system entries and folders lists links, the FIFO and the
    // folders themselves, still without following a link anywhere.
    Recorder s;
    s.w.returned = FileAttr::System | FileAttr::Folder;
    s.w.scanAllDrives({entryOf('D')});
    rel = s.relative(t.root());
    std::sort(rel.begin(), rel.end());
    EXPECT_EQ(rel, (std::vector<std::string>{"fifo", "link.txt", "loop", "sub", "sub/plain.txt", "sub/up", "to-root",
                                             "visible.txt"}));
    const FoundFile &link = s.files[indexOf(s.relative(t.root()), "to-root")];
    EXPECT_EQ(link.attributes & (FileAttr::System | FileAttr::Archive), FileAttr::System);
    EXPECT_EQ(link.size, 1); // the link itself, not what it names
    const FoundFile &folder = s.files[indexOf(s.relative(t.root()), "sub")];
    EXPECT_EQ(folder.attributes & FileAttr::Folder, FileAttr::Folder);
    EXPECT_EQ(folder.size, 0);
}

TEST(Walker, MaskMatchesWithoutRegardToCaseAndNamesStayIntact)
{
    ScriptedDialogs dlg;
    TempTree t("drive");
    const std::vector<std::string> odd = {"tab\there.txt", "new\nline.TXT", "back\\slash.txt", "  lead.txt",
                                          std::string("bad\xff\xfe.txt"), "trail.txt ", "noext"};
    for (const std::string &n : odd)
        t.file(n, "x");
    MappedDrives m({{'D', t.root()}});

    Recorder all;
    all.w.scanAllDrives({entryOf('D')});
    auto names = all.relative(t.root());
    std::sort(names.begin(), names.end());
    auto want = odd;
    std::sort(want.begin(), want.end());
    EXPECT_EQ(names, want); // "*.*" also matches a name without a dot

    Recorder txt;
    txt.w.mask = WildPattern("*.TxT");
    txt.w.scanAllDrives({entryOf('D')});
    EXPECT_EQ(txt.paths.size(), 5u);
    for (const FoundFile &f : txt.files)
        EXPECT_EQ(f.path, t.root() + "/" + f.name);

    Recorder q;
    q.w.mask = WildPattern("?lead.txt");
    q.w.scanAllDrives({entryOf('D')});
    EXPECT_TRUE(q.paths.empty());
    q.w.mask = WildPattern("??lead.txt");
    q.w.scanAllDrives({entryOf('D')});
    EXPECT_EQ(q.paths.size(), 1u);
}

TEST(Walker, AFolderTooLargeForOneListingReadIsVisitedWholeBeforeItsParentsFiles)
{
    ScriptedDialogs dlg;
    TempTree t("drive");
    // Long names, so the big folder's listing takes several reads.
    const std::string pad(120, 'p');
    std::set<std::string> big;
    for (int i = 0; i < 3000; ++i) {
        const std::string name = "e" + std::to_string(i) + pad + (i % 2 ? ".txt" : ".dat");
        t.file("big/" + name);
        if (i % 2)
            big.insert("big/" + name);
    }
    t.file("big/inner/deep.txt");
    for (int i = 0; i < 5; ++i)
        t.file("root" + std::to_string(i) + ".txt");
    t.file("root.dat");
    MappedDrives m({{'D', t.root()}});

    Recorder r;
    r.w.mask = WildPattern("*.txt");
    r.w.folderDone = [&](const FoundFile &f) { r.paths.push_back("done " + f.path); };
    r.w.scanAllDrives({entryOf('D')});
    const auto rel = r.relative(t.root());
    ASSERT_EQ(rel.size(), 1 + 1 + big.size() + 1 + 5 + 1);
    EXPECT_EQ(rel[0], "big/inner/deep.txt");
    EXPECT_EQ(rel[1], "done " + t.root() + "/big/inner");
    // Every matching entry of the big folder once, then the folder's end.
    const std::set<std::string> seen(rel.begin() + 2, rel.begin() + 2 + long(big.size()));
    EXPECT_EQ(seen, big);
    EXPECT_EQ(rel[2 + big.size()], "done " + t.root() + "/big");
    // The root's own files come last, with their names intact.
    std::vector<std::string> root(rel.end() - 6, rel.end() - 1);
    std::sort(root.begin(), root.end());
    EXPECT_EQ(root, (std::vector<std::string>{"root0.txt", "root1.txt", "root2.txt", "root3.txt", "root4.txt"}));
    EXPECT_EQ(rel.back(), "done " + t.root());
    for (const FoundFile &f : r.files)
        EXPECT_EQ(f.path, f.folder + (f.folder.back() == '/' ? "" : "/") + f.name);
}

TEST(Walker, SizesAreSixtyFourBit)
{
    ScriptedDialogs dlg;
    TempTree t("drive");
    const std::string big = t.file("big.iso");
    ASSERT_EQ(::truncate(big.c_str(), 5368709121LL), 0); // sparse, 5 GB and a byte
    MappedDrives m({{'D', t.root()}});
    Recorder r;
    r.w.scanAllDrives({entryOf('D')});
    ASSERT_EQ(r.files.size(), 1u);
    EXPECT_EQ(r.files[0].size, 5368709121LL);
}

TEST(Walker, DrivesThatAreNotReadyOrCannotBeOpened)
{
    ScriptedDialogs dlg;
    TempTree t("drive");
    t.file("d.txt");
    TempTree locked("locked");
    FixedDrives m({{'D', t.root()}, {'E', TestEnv::home() + "/gone"}, {'F', locked.root()}});
    Recorder r;
    r.w.scanAllDrives({entryOf('E'), entryOf('D')});
    EXPECT_TRUE(dlg.boxes.empty()); // a drive that is not ready is skipped silently
    EXPECT_EQ(r.paths.size(), 1u);

    if (TestEnv::privileged())
        GTEST_SKIP() << "running as root: permission checks do not apply";
    ::chmod(locked.root().c_str(), 0);
    r.paths.clear();
    r.w.scanAllDrives({entryOf('F'), entryOf('D')});
    ::chmod(locked.root().c_str(), 0755);
    ASSERT_EQ(dlg.boxes.size(), 1u);
    EXPECT_EQ(dlg.boxes[0].kind, Dialogs::Kind::Error);
    EXPECT_EQ(dlg.boxes[0].text, "Can't open drive " + entryOf('F'));
    EXPECT_EQ(r.paths.size(), 1u); // the next drive is still walked
}

TEST(Walker, DeniedFolderIsSkippedAndItsSiblingsWalked)
{
    if (TestEnv::privileged())
        GTEST_SKIP() << "running as root: permission checks do not apply";
    ScriptedDialogs dlg;
    TempTree t("drive");
    t.file("a/1.txt");
    t.file("denied/secret.txt");
    t.file("z/2.txt");
    ::chmod(t.path("denied").c_str(), 0);
    MappedDrives m({{'D', t.root()}});
    Recorder r;
    r.w.scanAllDrives({entryOf('D')});
    ::chmod(t.path("denied").c_str(), 0755);
    auto rel = r.relative(t.root());
    std::sort(rel.begin(), rel.end());
    EXPECT_EQ(rel, (std::vector<std::string>{"a/1.txt", "z/2.txt"}));
    EXPECT_TRUE(dlg.boxes.empty());
}

TEST(Walker, AnotherFileSystemBelowTheRootIsNotEntered)
{
    // /dev/shm is a file system of its own below /dev on Linux; a drive
    // mapped to /dev must not reach into it.
    struct stat dev, shm;
    if (::stat("/dev", &dev) != 0 || ::stat("/dev/shm", &shm) != 0 || dev.st_dev == shm.st_dev
        || ::access("/dev/shm", W_OK) != 0)
        GTEST_SKIP() << "no separate, writable /dev/shm";
    const std::string marker = "/dev/shm/vantor-walker-" + std::to_string(::getpid());
    ASSERT_TRUE(::close(::open(marker.c_str(), O_CREAT | O_WRONLY, 0644)) == 0);
    ScriptedDialogs dlg;
    MappedDrives m({{'D', "/dev"}});
    Recorder r;
    r.w.returned = FileAttr::Hidden | FileAttr::System;
    r.w.scanAllDrives({entryOf('D')});
    ::unlink(marker.c_str());
    for (const std::string &p : r.paths)
        EXPECT_NE(p.rfind("/dev/shm/", 0), 0u) << p;
    EXPECT_FALSE(r.paths.empty()); // /dev's own device nodes were seen
}

// A bind mount of the same file system below a folder has the folder's
// device but is another mount: neither the walk nor a folder tree enters it.
TEST(Walker, ABindMountOfTheSameFileSystemIsNotEntered)
{
    TempTree t("drive");
    t.file("D/own.txt", "12345");
    t.dir("D/mnt");
    t.dir("D/sub");
    t.file("elsewhere/a.txt", "ab");
    t.file("elsewhere/deeper/b.txt", "cd");
    const MountSandbox::Outcome o = MountSandbox::runWithBinds({{t.path("elsewhere"), t.path("D/mnt")}}, [&] {
        struct stat here {}, bound {};
        if (::stat(t.path("D").c_str(), &here) != 0 || ::stat(t.path("D/mnt/a.txt").c_str(), &bound) != 0
            || here.st_dev != bound.st_dev)
            return std::string("the bind mount is not in place on the same device");
        ScriptedDialogs dlg;
        Recorder r;
        r.w.returned = FileAttr::Folder;
        r.w.reset();
        r.w.scanFolder(t.path("D"));
        std::string failures;
        auto rel = r.relative(t.path("D"));
        std::sort(rel.begin(), rel.end());
        // The mount point is another drive's root: no entry of this walk.
        if (rel != std::vector<std::string>{"own.txt", "sub"}) {
            failures += "walked:";
            for (const std::string &p : rel)
                failures += " " + p;
            failures += "\n";
        }
        if (SubFolders::list(t.path("D")) != std::vector<std::string>{"sub"})
            failures += "the folder tree lists the bind mount\n";
        return failures;
    });
    if (!o.mounted)
        GTEST_SKIP() << MountSandbox::kCannotMount;
    EXPECT_EQ(o.failure, "");
}

TEST(Walker, EntriesVanishingDuringTheWalkAreSkipped)
{
    ScriptedDialogs dlg;
    TempTree t("drive");
    for (int i = 0; i < 20; ++i)
        t.file("f" + std::to_string(i) + ".txt");
    t.file("sub1/x.txt");
    t.file("sub2/y.txt");
    MappedDrives m({{'D', t.root()}});
    Recorder r;
    bool removed = false;
    r.w.visitor = [&](const FoundFile &f) {
        EXPECT_TRUE(TempTree::exists(f.path)) << f.path;
        r.paths.push_back(f.path);
        if (!removed) {
            removed = true;
            // The first file visited is in a subfolder: drop the other
            // subfolder (walked or not) and every root file.
            std::system(("rm -rf '" + t.path("sub2") + "' '" + t.path("sub1") + "'").c_str());
            for (int i = 0; i < 20; i += 2)
                ::unlink(t.path("f" + std::to_string(i) + ".txt").c_str());
        }
        return true;
    };
    r.w.scanAllDrives({entryOf('D')});
    EXPECT_GE(r.paths.size(), 11u);
    EXPECT_LE(r.paths.size(), 12u);
}

TEST(Walker, AbortFromAPumpedEventEndsTheWalkAfterOneWarning)
{
    ScriptedDialogs dlg;
    TempTree t("drive"), second("second");
    for (int i = 0; i < 30; ++i)
        t.file("d" + std::to_string(i % 3) + "/f" + std::to_string(i) + ".txt");
    second.file("never.txt");
    MappedDrives m({{'D', t.root()}, {'E', second.root()}});
    Recorder r;
    r.w.pump = [] { QCoreApplication::processEvents(); };
    r.w.visitor = [&](const FoundFile &f) {
        r.paths.push_back(f.path);
        if (r.paths.size() == 5) // the user presses Abort; the click arrives with the next pump
            QTimer::singleShot(0, [&] { r.w.abortByUser(); });
        return true;
    };
    r.w.scanAllDrives({entryOf('D'), entryOf('E')});
    EXPECT_TRUE(r.w.scanAborted);
    ASSERT_EQ(dlg.boxes.size(), 1u);
    EXPECT_EQ(dlg.boxes[0].kind, Dialogs::Kind::Warning);
    EXPECT_EQ(dlg.boxes[0].text, "LIST INCOMPLETE ... ABORTED BY USER");
    EXPECT_GE(r.paths.size(), 5u);
    EXPECT_LE(r.paths.size(), 6u);
    for (const std::string &p : r.paths)
        EXPECT_EQ(p.rfind(t.root(), 0), 0u);
    // The next scan starts afresh.
    r.paths.clear();
    r.w.visitor = [&](const FoundFile &f) {
        r.paths.push_back(f.path);
        return true;
    };
    r.w.scanAllDrives({entryOf('E')});
    EXPECT_FALSE(r.w.scanAborted);
    EXPECT_EQ(r.paths.size(), 1u);
}

TEST(Walker, FullCollectionWarnsOnceAndEndsTheWalk)
{
    ScriptedDialogs dlg;
    TempTree t("drive"), second("second");
    for (int i = 0; i < 10; ++i)
        t.file("f" + std::to_string(i));
    second.file("never.txt");
    MappedDrives m({{'D', t.root()}, {'E', second.root()}});
    Walker w;
    w.capacity = 3;
    std::vector<std::string> kept;
    int calls = 0;
    w.visitor = [&](const FoundFile &f) {
        ++calls;
        if (!w.keep())
            return false;
        kept.push_back(f.path);
        return true;
    };
    w.scanAllDrives({entryOf('D'), entryOf('E')});
    EXPECT_EQ(kept.size(), 3u);
    EXPECT_EQ(calls, 4);
    EXPECT_TRUE(w.scanAborted);
    ASSERT_EQ(dlg.boxes.size(), 1u);
    EXPECT_EQ(dlg.boxes[0].kind, Dialogs::Kind::Warning);
    EXPECT_EQ(dlg.boxes[0].text, "Due to the file list's size limit ... cannot process any more files.\n\n"
                                 "Try increasing the file size limits or file match and re-scan.");

    // Appending at once has no limit and no warning.
    w.keeping = Walker::Keeping::Append;
    kept.clear();
    w.scanAllDrives({entryOf('D')});
    EXPECT_EQ(kept.size(), 10u);
    EXPECT_EQ(dlg.boxes.size(), 1u);
}

TEST(Walker, PumpingIsThrottledByTheClock)
{
    ScriptedDialogs dlg;
    TempTree t("drive");
    for (int i = 0; i < 300; ++i)
        t.file("f" + std::to_string(i));
    MappedDrives m({{'D', t.root()}});
    Walker w;
    int64_t now = 0;
    int pumps = 0;
    w.clockMs = [&] { return now; };
    w.pump = [&] { ++pumps; };
    w.visitor = [&](const FoundFile &) {
        now += 1; // each file takes a millisecond
        return true;
    };
    w.scanAllDrives({entryOf('D')});
    EXPECT_GE(pumps, 300 / 15 - 1);
    EXPECT_LE(pumps, 300 / 15 + 1);
}

TEST(Walker, FolderDoneFollowsEachFoldersFiles)
{
    ScriptedDialogs dlg;
    TempTree t("drive");
    t.file("A/B/b.txt");
    t.file("A/a.txt");
    MappedDrives m({{'D', t.root()}});
    Walker w;
    w.pumpIntervalMs = 0;
    std::vector<std::string> events;
    w.visitor = [&](const FoundFile &f) {
        events.push_back("file " + f.name);
        return true;
    };
    w.folderDone = [&](const FoundFile &f) {
        events.push_back("done " + std::to_string(w.depth()) + " " + f.name + " " + f.folder);
    };
    w.scanAllDrives({entryOf('D')});
    const std::string base = t.root().substr(t.root().rfind('/') + 1);
    EXPECT_EQ(events, (std::vector<std::string>{"file b.txt", "done 2 B " + t.root() + "/A/B", "file a.txt",
                                                "done 1 A " + t.root() + "/A", "done 0 " + base + " " + t.root() + "/"}));
    EXPECT_EQ(w.depth(), -1);
}
