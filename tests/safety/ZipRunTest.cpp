#include "settings/AppState.h"
#include "settings/IniFile.h"
#include "common/EventPump.h"
#include "platform/Drives.h"
#include "platform/RawFile.h"
#include "safety/ZipArchive.h"
#include "safety/ZipRun.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"
#include "ZipTestData.h"

#include <QTimer>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

namespace {
const QDateTime kRunTime(QDate(2027, 3, 1), QTime(9, 5, 12));

// Drives C: and E: mapped to folders of a tree, the archive folder in a third.
struct RunSetup {
    TempTree t{"run"};
    std::string c = t.dir("c"), e = t.dir("e"), archives = t.dir("archives");
    ScriptedDialogs dlg;
    RunSetup()
    {
        Drives::setMapping({{'C', c}, {'E', e}});
        AppState::defaultZipPath = QString::fromStdString(archives);
    }
    ~RunSetup()
    {
        Drives::setMapping({});
        AppState::defaultZipPath.clear();
    }
    std::string archive(const std::string &name) const { return archives + "/" + name; }
};

std::vector<std::string> storedNames(const std::string &zipPath)
{
    ZipArchive z;
    z.openRead(zipPath);
    std::vector<std::string> v;
    for (const auto &e : z.entries())
        v.push_back(e.name);
    return v;
}

std::string contentOf(const std::string &zipPath, const std::string &name)
{
    ZipArchive z;
    z.openRead(zipPath);
    std::string data;
    z.readEntry(*z.find(name), [&](const char *p, size_t n) { data.append(p, n); });
    return data;
}

int64_t tally(const char *key) { return IniFile().readInt("Vantor", key, -1); }

// The whole run as the deletion window makes it.
ZipRun::Result runAll(ZipRun &run, const std::vector<std::string> &files)
{
    const ZipRun::Result r = run.run(files);
    ZipRun::finish(r);
    return r;
}
ZipRun::Result runAll(ZipRun &&run, const std::vector<std::string> &files) { return runAll(run, files); }
}

TEST(ZipRun, FilesOfTwoDrivesGoToOneArchivePerDriveAndAreDeleted)
{
    RunSetup s;
    const std::string a = s.t.file("c/TEMP/A.TMP", "alpha file");
    const std::string b = s.t.file("e/X/B.TMP", std::string(5000, 'b'));
    const std::string a2 = s.t.file("c/TEMP/sub/C.TMP", "third");
    ZipRun run("TempClean", "my comment", kRunTime);
    std::vector<std::string> started;
    run.hooks.fileStarted = [&](size_t i, const std::string &p) { started.push_back(std::to_string(i) + p); };
    const ZipRun::Result r = runAll(run, {a, b, a2});

    EXPECT_EQ(started, (std::vector<std::string>{"0" + a, "1" + b, "2" + a2}));
    const std::string zc = s.archive("Drive-C-TempClean01Mar270905.zip");
    const std::string ze = s.archive("Drive-E-TempClean01Mar270905.zip");
    EXPECT_EQ(storedNames(zc), (std::vector<std::string>{"TEMP/A.TMP", "TEMP/sub/C.TMP"}));
    EXPECT_EQ(storedNames(ze), std::vector<std::string>{"X/B.TMP"});
    EXPECT_EQ(contentOf(ze, "X/B.TMP"), std::string(5000, 'b'));
    ZipArchive z;
    z.openRead(zc);
    EXPECT_EQ(z.comment(), "my comment");
    for (const auto &p : {a, b, a2})
        EXPECT_FALSE(TempTree::exists(p)) << p;

    EXPECT_EQ(r.files, 3);
    EXPECT_EQ(r.bytes, 10 + 5000 + 5);
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(tally("NZip"), 3);
    EXPECT_EQ(tally("SizeZip"), 5015);
    EXPECT_EQ(tally("ZipDate"), dateSerial(QDate::currentDate()));
    ASSERT_EQ(s.dlg.boxes.size(), 1u);
    EXPECT_EQ(s.dlg.boxes[0].kind, Dialogs::Kind::Plain);
    EXPECT_EQ(s.dlg.boxes[0].text,
              QString::fromStdString("Files deleted and stored in archive zip files in the folder \"" + s.archives + "\""));

    // The folder browser's empty tag; a second run in the same minute adds to
    // the same archive, and a name it already holds is refused.
    const std::string d = s.t.file("c/D.TXT", "d");
    runAll(ZipRun("", "", kRunTime), {d});
    EXPECT_EQ(storedNames(s.archive("Drive-C-01Mar270905.zip")), std::vector<std::string>{"D.TXT"});
    const std::string again = s.t.file("c/TEMP/A.TMP", "new alpha");
    const std::string other = s.t.file("c/TEMP/B.TMP", "b");
    s.dlg.boxes.clear();
    const ZipRun::Result r2 = runAll(ZipRun("TempClean", "my comment", kRunTime), {again, other});
    EXPECT_EQ(s.dlg.boxes.at(0).text, QString::fromStdString("Couldn't zip up file - " + again));
    EXPECT_EQ(s.dlg.boxes.at(0).kind, Dialogs::Kind::Error);
    EXPECT_TRUE(TempTree::exists(again));
    EXPECT_FALSE(TempTree::exists(other));
    EXPECT_EQ(r2.files, 1);
    EXPECT_EQ(storedNames(zc), (std::vector<std::string>{"TEMP/A.TMP", "TEMP/sub/C.TMP", "TEMP/B.TMP"}));
    EXPECT_EQ(contentOf(zc, "TEMP/A.TMP"), "alpha file");
    EXPECT_EQ(tally("NZip"), 5);

    // The run's own archive among the files (the archive folder on drive C)
    // is refused while it is being written, never zipped into itself and deleted.
    Drives::setMapping({{'C', s.t.root()}, {'E', s.e}});
    const std::string own = s.archive("Drive-C-TempClean01Mar270905.zip");
    const std::string last = s.t.file("c/last.txt", "last");
    s.dlg.boxes.clear();
    const ZipRun::Result r3 = runAll(ZipRun("TempClean", "", kRunTime), {own, last, own});
    EXPECT_EQ(s.dlg.count(QString::fromStdString("Couldn't zip up file - " + own)), 2);
    EXPECT_EQ(r3.done, std::vector<std::string>{last});
    EXPECT_TRUE(TempTree::exists(own));
    EXPECT_EQ(storedNames(own).back(), "c/last.txt");
}

TEST(ZipRun, FilesThatCannotBeReadOrDeletedStayAndAreReported)
{
    RunSetup s;
    const std::string good = s.t.file("c/good.txt", "good");
    const std::string vanished = s.t.path("c/vanished.txt");
    const std::string fifo = s.t.path("c/pipe");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0644), 0);
    std::vector<std::string> files = {good, vanished, fifo};
    std::string locked, keep;
    if (!TestEnv::privileged()) {
        locked = s.t.file("c/locked.txt", "locked");
        chmod(locked.c_str(), 0);
        keep = s.t.file("c/ro/keep.txt", "kept");
        chmod(s.t.path("c/ro").c_str(), 0555); // zipped, but cannot be deleted
        files.push_back(locked);
        files.push_back(keep);
    }
    const ZipRun::Result r = runAll(ZipRun("Duplicates", "", kRunTime), files);
    chmod(s.t.path("c/ro").c_str(), 0755);

    EXPECT_FALSE(TempTree::exists(good));
    EXPECT_TRUE(TempTree::exists(fifo));
    EXPECT_EQ(s.dlg.count(QString::fromStdString("Couldn't zip up file - " + vanished)), 1);
    EXPECT_EQ(s.dlg.count(QString::fromStdString("Couldn't zip up file - " + fifo)), 1);
    std::vector<std::string> expected = {"good.txt"};
    if (!locked.empty()) {
        EXPECT_TRUE(TempTree::exists(locked));
        EXPECT_EQ(s.dlg.count(QString::fromStdString("Couldn't zip up file - " + locked)), 1);
        EXPECT_TRUE(TempTree::exists(keep));
        EXPECT_EQ(s.dlg.count(QString::fromStdString("Couldn't delete file - " + keep)), 1);
        expected.push_back("ro/keep.txt");
    }
    EXPECT_EQ(storedNames(s.archive("Drive-C-Duplicates01Mar270905.zip")), expected);
    // Only the file zipped and deleted counts.
    EXPECT_EQ(r.files, 1);
    EXPECT_EQ(r.done, std::vector<std::string>{good});
    EXPECT_EQ(tally("NZip"), 1);
    EXPECT_EQ(tally("SizeZip"), 4);
    EXPECT_EQ(s.dlg.boxes.back().kind, Dialogs::Kind::Plain); // the closing message still follows
}

TEST(ZipRun, AnArchiveThatCannotBeCreatedIsReportedOnceAndNothingIsDeleted)
{
    RunSetup s;
    const std::string a = s.t.file("c/a.txt", "a"), b = s.t.file("c/b.txt", "b"), e = s.t.file("e/c.txt", "c");
    // A folder that cannot be made: its parent is a plain file.
    std::vector<std::string> folders = {s.t.file("plain", "x") + "/missing"};
    if (!TestEnv::privileged())
        folders.push_back(s.t.dir("readonly"));
    chmod(s.t.path("readonly").c_str(), 0555);
    // Also a file in the way that is not an archive: it is left as it is.
    s.t.file("blocked/Drive-C-FileDates01Mar270905.zip", "not a zip");
    folders.push_back(s.t.path("blocked"));
    for (const auto &folder : folders) {
        AppState::defaultZipPath = QString::fromStdString(folder);
        s.dlg.boxes.clear();
        const ZipRun::Result r = runAll(ZipRun("FileDates", "", kRunTime), {a, b, e});
        EXPECT_TRUE(r.archiveFailed) << folder;
        EXPECT_EQ(r.files, 0);
        ASSERT_EQ(s.dlg.boxes.size(), 1u) << folder;
        EXPECT_TRUE(s.dlg.boxes[0].text.startsWith(QString::fromStdString(
            "Couldn't create archive zip file - " + folder + "/Drive-C-FileDates01Mar270905.zip")))
            << s.dlg.boxes[0].text.toStdString();
        for (const auto &p : {a, b, e})
            EXPECT_TRUE(TempTree::exists(p));
    }
    chmod(s.t.path("readonly").c_str(), 0755);
    EXPECT_EQ(TempTree::read(s.t.path("plain")), "x");
    EXPECT_EQ(TempTree::read(s.t.path("blocked/Drive-C-FileDates01Mar270905.zip")), "not a zip");
    EXPECT_EQ(tally("NZip"), -1);

    // The default folder (~/VantorArchives) is made when first needed.
    AppState::defaultZipPath.clear();
    EXPECT_EQ(runAll(ZipRun("FileDates", "", kRunTime), {a}).files, 1);
    EXPECT_TRUE(TempTree::exists(TestEnv::home() + "/VantorArchives/Drive-C-FileDates01Mar270905.zip"));
}

TEST(ZipRun, AbortStopsBeforeTheNextFileOrInsideALargeOne)
{
    RunSetup s;
    const std::string a = s.t.file("c/a.txt", "a"), b = s.t.file("c/b.txt", "b");
    const std::string big = s.t.file("c/big.txt", std::string(9 * 1024 * 1024, 'z'));
    bool abort = false;
    ZipRun run("TempClean", "", kRunTime);
    run.hooks.abortRequested = [&] { return abort; };
    run.hooks.fileStarted = [&](size_t i, const std::string &) { abort = i == 1; }; // Close pressed during b
    ZipRun::Result r = runAll(run, {a, b, big});
    EXPECT_TRUE(r.aborted);
    EXPECT_EQ(r.done, (std::vector<std::string>{a}));
    EXPECT_TRUE(TempTree::exists(b));
    EXPECT_TRUE(TempTree::exists(big));
    EXPECT_TRUE(s.dlg.boxes.empty()); // no error for the aborted file, no closing message
    EXPECT_EQ(tally("NZip"), 1);

    // An abort asked while a large file is half done leaves it on disk.
    abort = false;
    ZipRun run2("TempClean2", "", kRunTime);
    std::vector<int> gauge;
    run2.hooks.itemProgress = [&](int p) {
        gauge.push_back(p);
        abort = p >= 50;
    };
    run2.hooks.abortRequested = [&] { return abort; };
    r = runAll(run2, {big, b});
    EXPECT_TRUE(r.aborted);
    EXPECT_TRUE(r.done.empty());
    EXPECT_TRUE(TempTree::exists(big));
    EXPECT_TRUE(TempTree::exists(b));
    EXPECT_TRUE(storedNames(s.archive("Drive-C-TempClean201Mar270905.zip")).empty());
    EXPECT_EQ(gauge.front(), 0);
    EXPECT_GE(gauge.back(), 50);
    EXPECT_TRUE(s.dlg.boxes.empty());
}

TEST(ZipRun, PendingEventsRunWhileALargeFileIsZipped)
{
    RunSetup s;
    const std::string big = s.t.file("c/big.txt", std::string(12 * 1024 * 1024, 'q'));
    EventPump::setDefaultInterval(0);
    ZipRun run("X", "", kRunTime);
    int lastReport = -1, ranAt = -1;
    run.hooks.itemProgress = [&](int p) { lastReport = p; };
    QTimer::singleShot(0, [&] { ranAt = lastReport; });
    runAll(run, {big});
    EventPump::setDefaultInterval(15);
    EXPECT_GE(ranAt, 0);
    EXPECT_LT(ranAt, 100); // during the add, not after it
}

TEST(ZipRun, AFolderSwappedForALinkIsNeitherZippedNorDeleted)
{
    RunSetup s;
    // Found: c/x/a/f.txt (x the walked root, a a middle folder), c/y/g.txt,
    // and a link c/y/link.txt. Look-alikes wait outside the drive.
    const std::string f = s.t.file("c/x/a/f.txt", "found"), g = s.t.file("c/y/g.txt", "other file");
    const std::string lookA = s.t.file("elsewhere/a/f.txt", "not yours"), lookX = s.t.file("far/x/a/f.txt", "nor this");
    const std::string link = s.t.path("c/y/link.txt");
    ASSERT_EQ(::symlink(lookA.c_str(), link.c_str()), 0);
    const std::string zc = s.archive("Drive-C-TempClean01Mar270905.zip");

    TempTree::swapForLink(s.t.path("c/x/a"), s.t.path("elsewhere/a"));
    const ZipRun::Result r = ZipRun("TempClean", "", kRunTime).run({f, link, g});
    EXPECT_EQ(s.dlg.texts(), (std::vector<QString>{"Couldn't zip up file - " + QString::fromStdString(f),
                                          "Couldn't zip up file - " + QString::fromStdString(link)}));
    EXPECT_EQ(r.done, std::vector<std::string>{g});
    EXPECT_EQ(r.bytes, 10);
    EXPECT_EQ(storedNames(zc), std::vector<std::string>{"y/g.txt"});
    EXPECT_TRUE(TempTree::exists(link));

    ::unlink(s.t.path("c/x/a").c_str());
    ::rename(s.t.path("c/x/a.moved").c_str(), s.t.path("c/x/a").c_str());
    TempTree::swapForLink(s.t.path("c/x"), s.t.path("far/x"));
    s.dlg.boxes.clear();
    const ZipRun::Result r2 = ZipRun("TempClean", "", kRunTime).run({f});
    EXPECT_EQ(s.dlg.texts(), std::vector<QString>{"Couldn't zip up file - " + QString::fromStdString(f)});
    EXPECT_EQ(r2.files, 0);
    EXPECT_EQ(storedNames(zc), std::vector<std::string>{"y/g.txt"});
    EXPECT_EQ(TempTree::read(lookA), "not yours");
    EXPECT_EQ(TempTree::read(lookX), "nor this");
    EXPECT_EQ(TempTree::read(s.t.path("c/x.moved/a/f.txt")), "found");
}

TEST(ZipRun, AFileChangedWhileItIsZippedStaysOrIsArchivedExactly)
{
    RunSetup s;
    const std::string zc = s.archive("Drive-C-TempClean01Mar270905.zip");
    const char *points[] = {"after the read", "after the sync", "before the unlink"};
    const char *kinds[] = {"append", "replace", "rewrite"};
    for (int point = 0; point < 3; ++point) {
        for (const std::string kind : kinds) {
            const std::string name = "log" + std::to_string(point) + kind + ".txt";
            const std::string path = s.t.file("c/" + name, "line 1\n");
            TempTree::setTimes(path, 1700000000, 1700000000); // a change now moves its stamp
            std::string now = kind == "append" ? "line 1\nline 2\n" : "LINE 1\n";
            auto write = [&](const std::string &p) {
                if (kind == "replace") {
                    const std::string fresh = s.t.file("c/" + name + ".new", now);
                    ASSERT_EQ(::rename(fresh.c_str(), p.c_str()), 0);
                    return;
                }
                FILE *out = std::fopen(p.c_str(), kind == "append" ? "a" : "r+");
                std::fputs(kind == "append" ? "line 2\n" : "LINE", out);
                std::fclose(out);
            };
            ZipRun run("TempClean", "", kRunTime);
            (point == 0 ? run.hooks.afterRead : point == 1 ? run.hooks.afterSync : run.hooks.beforeUnlink) = write;
            s.dlg.boxes.clear();
            const ZipRun::Result r = run.run({path});
            // Never neither: the file is whole on disk, and the archive holds
            // exactly the bytes that were read.
            const std::string where = std::string(points[point]) + ", " + kind;
            EXPECT_EQ(TempTree::read(path), now) << where;
            EXPECT_EQ(contentOf(zc, name), "line 1\n") << where;
            EXPECT_EQ(r.files, 0) << where;
            EXPECT_EQ(s.dlg.texts(),
                      std::vector<QString>{"Couldn't delete file - " + QString::fromStdString(path)
                                  + "\n\nThe file changed while it was being zipped, so it was not deleted."})
                << where;
        }
    }

    // A large file rewritten in place while it is read fails its add: it
    // stays, and the archive has no torn entry of it.
    const std::string big = s.t.file("c/big.bin", std::string(6 * 1024 * 1024, 'b'));
    TempTree::setTimes(big, 1700000000, 1700000000);
    ZipRun run("TempClean", "", kRunTime);
    bool rewritten = false;
    run.hooks.itemProgress = [&](int percent) {
        if (percent > 0 && percent < 100 && !rewritten) {
            rewritten = true;
            FILE *out = std::fopen(big.c_str(), "r+");
            std::fputs("changed", out);
            std::fclose(out);
        }
    };
    s.dlg.boxes.clear();
    EXPECT_EQ(run.run({big}).files, 0);
    EXPECT_TRUE(rewritten);
    EXPECT_EQ(s.dlg.texts(), std::vector<QString>{"Couldn't zip up file - " + QString::fromStdString(big)});
    EXPECT_EQ(TempTree::read(big).substr(0, 8), "changedb");
    ZipArchive z;
    z.openRead(zc);
    EXPECT_FALSE(z.find("big.bin"));
}

namespace {
// What a run did, in order: "read X", "sync", "unlink X" (X the file's name).
std::vector<std::string> g_events;
void recordSync(const char *step, size_t)
{
    if (std::string(step) == "sync")
        g_events.push_back("sync");
}
std::string nameOf(const std::string &path) { return path.substr(path.rfind('/') + 1); }
}

TEST(ZipRun, EachFileIsDeletedOnlyAfterASyncThatFollowedItsAdd)
{
    for (const int ms : {1000, 0}) {
        RunSetup s;
        std::vector<std::string> files;
        for (int i = 0; i < 7; ++i)
            files.push_back(s.t.file("c/f" + std::to_string(i), std::string(size_t(100 + i), 'a')));
        ZipRun run(ms ? "Batched" : "Steady", "", kRunTime);
        run.batch.files = 3;
        run.batch.ms = ms; // 0: every add is its own batch, as in a slow run
        run.hooks.afterRead = [](const std::string &p) { g_events.push_back("read " + nameOf(p)); };
        run.hooks.beforeUnlink = [](const std::string &p) { g_events.push_back("unlink " + nameOf(p)); };
        g_events.clear();
        RawFile::setFaultHook(recordSync);
        const ZipRun::Result r = runAll(run, files);
        RawFile::setFaultHook(nullptr);
        EXPECT_EQ(r.files, 7);
        size_t syncs = 0, unlinks = 0;
        for (size_t i = 0; i < g_events.size(); ++i) {
            if (g_events[i] == "sync")
                ++syncs;
            if (g_events[i].rfind("unlink ", 0) != 0)
                continue;
            ++unlinks;
            // Between the file's read and its deletion there is a sync.
            const std::string read = "read " + g_events[i].substr(7);
            const auto at = std::find(g_events.begin(), g_events.begin() + long(i), read);
            ASSERT_NE(at, g_events.begin() + long(i)) << g_events[i];
            EXPECT_NE(std::find(at, g_events.begin() + long(i), "sync"), g_events.begin() + long(i))
                << g_events[i] << " with ms " << ms;
        }
        EXPECT_EQ(unlinks, 7u);
        // The archive's creation syncs, then batches of one, two, three and
        // one (the last with the directory, on close); without time to wait,
        // each file is deleted before the next is read.
        if (ms > 0) {
            EXPECT_EQ(syncs, 5u);
        } else {
            for (size_t i = 0; i + 1 < files.size(); ++i) {
                const auto gone = std::find(g_events.begin(), g_events.end(), "unlink " + nameOf(files[i]));
                const auto next = std::find(g_events.begin(), g_events.end(), "read " + nameOf(files[i + 1]));
                EXPECT_LT(gone, next) << files[i];
            }
        }
        for (const auto &f : files)
            EXPECT_FALSE(TempTree::exists(f));
    }
}

namespace {
int g_syncsToPass = 0;
void failSync(const char *step, size_t)
{
    if (std::string(step) == "sync" && g_syncsToPass-- == 0)
        throw ZipError("Cannot write to the archive: No space left on device");
}
}

TEST(ZipRun, ABatchWhoseSyncFailsKeepsItsFilesAndLeavesTheArchive)
{
    // The first sync fails, or the second (after the first batch, of one
    // file, was deleted).
    for (const int passing : {0, 1}) {
        RunSetup s;
        std::vector<std::string> files;
        for (int i = 0; i < 6; ++i)
            files.push_back(s.t.file("c/f" + std::to_string(i), "data " + std::to_string(i)));
        const std::string tag = "Full" + std::to_string(passing);
        ZipRun run(QString::fromStdString(tag), "", kRunTime);
        run.batch.files = 3;
        g_syncsToPass = passing;
        // Counted from the first add on (the archive's creation syncs too).
        run.hooks.afterRead = [](const std::string &) { RawFile::setFaultHook(failSync); };
        const ZipRun::Result r = runAll(run, files);
        RawFile::setFaultHook(nullptr);
        const std::string where = "syncs passing " + std::to_string(passing);
        // Only the batch that was synced went and counts.
        EXPECT_TRUE(r.archiveFailed) << where;
        EXPECT_EQ(r.files, passing) << where;
        EXPECT_EQ(tally("NZip"), passing ? 1 : -1) << where;
        for (int i = 0; i < 6; ++i)
            EXPECT_EQ(TempTree::exists(files[size_t(i)]), i >= passing) << where << " f" << i;
        ASSERT_EQ(s.dlg.boxes.size(), 1u) << where; // the failure, and no closing message
        EXPECT_TRUE(s.dlg.boxes[0].text.startsWith(QString::fromStdString("Couldn't zip up file - " + files[size_t(passing)])))
            << s.dlg.boxes[0].text.toStdString();
        EXPECT_TRUE(s.dlg.boxes[0].text.contains("No space left on device"));
        // The archive lists only what was synced, and its peers agree.
        const std::string zc = s.archive("Drive-C-" + tag + "01Mar270905.zip");
        std::vector<std::string> expected;
        for (int i = 0; i < passing; ++i)
            expected.push_back("f" + std::to_string(i));
        EXPECT_EQ(storedNames(zc), expected) << where;
        if (passing) {
            EXPECT_EQ(std::system(("unzip -tqq '" + zc + "' >/dev/null").c_str()), 0);
        }
    }
}

TEST(ZipRun, AFullDiskEndsTheRunWithOneMessage)
{
    // Writes fail past 150 KB, as on a full disk: the first file fits, the
    // second does not, and the other three are not tried.
    RunSetup s;
    std::vector<std::string> files;
    for (int i = 0; i < 5; ++i)
        files.push_back(s.t.file("c/f" + std::to_string(i), randomBytes(100000, unsigned(i))));
    ZipRun::Result r;
    withSmallFileLimit([&] { r = runAll(ZipRun("TempClean", "", kRunTime), files); }, 150000);
    EXPECT_TRUE(r.archiveFailed);
    EXPECT_FALSE(r.aborted);
    EXPECT_EQ(r.files, 1);
    ASSERT_EQ(s.dlg.boxes.size(), 1u);
    EXPECT_TRUE(s.dlg.boxes[0].text.startsWith(QString::fromStdString("Couldn't zip up file - " + files[1])))
        << s.dlg.boxes[0].text.toStdString();
    EXPECT_FALSE(TempTree::exists(files[0]));
    for (size_t i = 1; i < files.size(); ++i)
        EXPECT_TRUE(TempTree::read(files[i]) == randomBytes(100000, unsigned(i))) << files[i];
    EXPECT_EQ(storedNames(s.archive("Drive-C-TempClean01Mar270905.zip")), std::vector<std::string>{"f0"});
}
