// A zip-and-delete run killed at every step where it writes to disk or
// deletes a zipped file: after
// each kill, every original file is still in place or can be read back,
// CRC-checked, from an archive that opens. Runs that write the archive's
// directory after every add and runs that write it only on close are both
// killed; the next run repairs what a killed one left, for every peer.
#include "settings/AppState.h"
#include "common/EventPump.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"
#include "platform/RawFile.h"
#include "safety/FolderRemoval.h"
#include "safety/ZipArchive.h"
#include "safety/ZipRun.h"
#include "support/TempTree.h"
#include "ZipTestData.h"

#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <filesystem>
#include <map>
#include <random>
#include <sys/wait.h>
#include <unistd.h>

namespace {
int g_stepsLeft = 0;

void killAtStep(const char *, size_t)
{
    if (g_stepsLeft-- == 0)
        raise(SIGKILL);
}

std::map<std::string, std::string> makeFiles(const TempTree &t)
{
    std::map<std::string, std::string> files;
    auto add = [&](const std::string &rel, std::string data) { files[t.file(rel, data)] = std::move(data); };
    for (int i = 0; i < 6; ++i)
        add("c/docs/note" + std::to_string(i) + ".txt", std::string(size_t(200 + 3000 * i), char('a' + i)));
    add("c/docs/empty.txt", "");
    static const std::string big = randomBytes(4 * 1024 * 1024 + 300000, 1);
    add("c/media/noise.bin", big); // streamed, then stored
    add("e/stick/a.dat", randomBytes(700, 2));
    add("e/stick/deep/b.txt", "on the other drive");
    return files;
}

int shell(const std::string &cmd, std::string &out)
{
    out.clear();
    FILE *p = popen((cmd + " 2>&1").c_str(), "r");
    char buf[4096];
    size_t n;
    while ((n = fread(buf, 1, sizeof buf, p)) > 0)
        out.append(buf, n);
    return pclose(p);
}

// What the child does: a whole run, dying at its step-th write, truncate,
// sync or deletion of a zipped file. A negative directoryInterval removes the
// folders c/docs and c/media in zip mode instead, each file zipped as the walk
// meets it and deleted once its batch is synced. batchFiles 0 leaves the
// batches at their default size (every file of the run in one).
[[noreturn]] void child(const std::vector<std::string> &paths, int step, int directoryInterval, size_t batchFiles)
{
    g_stepsLeft = step;
    RawFile::setFaultHook(killAtStep);
    EventPump::setDefaultInterval(-1); // no window here: nothing to pump
    if (directoryInterval < 0) {
        const std::string c = paths.front().substr(0, paths.front().find("/c/") + 2);
        for (const char *folder : {"/docs", "/media"}) {
            FolderRemoval removal(c + folder);
            removal.mode = FolderRemoval::Mode::Zip;
            removal.zipTime = QDateTime(QDate(2027, 3, 1), QTime(9, 5));
            if (batchFiles)
                removal.zipBatch.files = batchFiles;
            removal.run();
        }
        _exit(0);
    }
    ZipRun run("TempClean", "kill test", QDateTime(QDate(2027, 3, 1), QTime(9, 5)));
    run.directoryIntervalMs = directoryInterval;
    if (batchFiles)
        run.batch.files = batchFiles;
    ZipRun::finish(run.run(paths));
    _exit(0);
}

// One killed run: the files, the archive folder, whether the child was killed.
struct KilledRun {
    std::map<std::string, std::string> files;
    std::string archives;
    bool killed = false;
};

KilledRun killRun(const TempTree &t, int step, int directoryInterval, size_t batchFiles = 0)
{
    KilledRun k;
    k.archives = t.dir("archives");
    Drives::setMapping({{'C', t.dir("c")}, {'E', t.dir("e")}});
    AppState::defaultZipPath = QString::fromStdString(k.archives);
    k.files = makeFiles(t);
    std::vector<std::string> paths;
    for (const auto &f : k.files)
        paths.push_back(f.first);
    const pid_t pid = fork();
    if (pid == 0)
        child(paths, step, directoryInterval, batchFiles);
    int status = 0;
    EXPECT_EQ(waitpid(pid, &status, 0), pid);
    k.killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
    EXPECT_TRUE(k.killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << "step " << step;
    return k;
}

// Every file is on disk, or byte for byte in an archive that opens; the
// number of files found in archives.
size_t expectNothingLost(const KilledRun &k, int step)
{
    const std::string &archives = k.archives;
    const auto &files = k.files;
    {
        // Every archive left behind opens; collect what each one holds.
        std::map<std::string, std::string> zipped; // stored name with drive letter -> data
        DirReader dir(archives);
        const char *name;
        size_t len;
        DirReader::Kind kind;
        while (dir.next(name, len, kind)) {
            const std::string zipPath = archives + "/" + name;
            if (name[0] == '.')
                continue; // the record of an unfinished run, or the note of a repair
            if (TempTree::read(zipPath).empty())
                continue; // created, killed before its first write: holds nothing
            ZipArchive z;
            EXPECT_NO_THROW(z.openRead(zipPath)) << zipPath << " step " << step;
            for (size_t i = 0; i < z.entries().size(); ++i) {
                std::string data;
                EXPECT_NO_THROW(z.readEntry(i, [&](const char *p, size_t n) { data.append(p, n); }))
                    << z.entries()[i].name << " step " << step;
                zipped[std::string(1, name[6]) + ":" + z.entries()[i].name] = data;
            }
            // Opening for writing repairs it for every other program too.
            {
                ZipArchive w;
                EXPECT_NO_THROW(w.open(zipPath));
            }
            std::string out;
            if (!z.entries().empty()) { // unzip calls an empty archive a warning
                EXPECT_EQ(shell("unzip -tqq '" + zipPath + "'", out), 0) << out << " step " << step;
            }
        }
        for (const auto &[path, data] : files) {
            if (TempTree::exists(path)) {
                EXPECT_TRUE(TempTree::read(path) == data) << path << " step " << step;
                continue;
            }
            const bool onE = path.find("/e/") != std::string::npos;
            const std::string key = std::string(onE ? "E:" : "C:")
                + path.substr(path.find(onE ? "/e/" : "/c/") + 3);
            const auto it = zipped.find(key);
            EXPECT_TRUE(it != zipped.end()) << path << " is lost at step " << step;
            if (it != zipped.end()) {
                EXPECT_TRUE(it->second == data) << path << " step " << step;
            }
        }
        return zipped.size();
    }
}

void cleanUp(const TempTree &t)
{
    Drives::setMapping({});
    AppState::defaultZipPath.clear();
    std::filesystem::remove_all(t.root());
}
}

// The directory interval (negative: folder removal) and the batch size (0:
// the default, one batch for the whole run).
struct KillCase {
    int directoryInterval;
    size_t batchFiles;
    const char *name;
};

class ZipKill : public ::testing::TestWithParam<KillCase> {};

TEST_P(ZipKill, NoFileIsLostWhereverTheRunIsKilled)
{
    const KillCase c = GetParam();
    int points = 0;
    for (int step = 0; step < 400; ++step) {
        TempTree t("kill" + std::to_string(step));
        const KilledRun k = killRun(t, step, c.directoryInterval, c.batchFiles);
        const size_t zipped = expectNothingLost(k, step);
        cleanUp(t);
        if (!k.killed) {
            // folder removal leaves drive E:'s two files alone
            EXPECT_EQ(zipped, c.directoryInterval < 0 ? k.files.size() - 2 : k.files.size());
            break;
        }
        ++points;
    }
    EXPECT_GE(points, 20);
    std::printf("killed at %d points\n", points);
}

// Small batches put kills between one batch's deletions and the next
// batch's adds, and folder removal holds emptied folders across them.
INSTANTIATE_TEST_SUITE_P(Directory, ZipKill,
                         ::testing::Values(KillCase{0, 0, "EveryAdd"}, KillCase{2000, 0, "OnClose"},
                                           KillCase{-1, 0, "FolderRemoval"}, KillCase{2000, 3, "OnCloseBatchesOf3"},
                                           KillCase{-1, 2, "FolderRemovalBatchesOf2"}),
                         [](const auto &info) { return std::string(info.param.name); });

TEST(ZipKillRepair, TheNextRunRepairsWhatAKilledRunLeftForEveryPeer)
{
    int repairedArchives = 0;
    for (int step = 1; step < 400; step += 6) {
        TempTree t("cut" + std::to_string(step));
        const KilledRun k = killRun(t, step, 2000);
        if (!k.killed) {
            cleanUp(t);
            break;
        }
        // The next run, a minute later, into the same folder.
        const std::string later = t.file("c/later.txt", "later");
        EventPump::setDefaultInterval(-1);
        ZipRun next("TempClean", "", QDateTime(QDate(2027, 3, 1), QTime(9, 6)));
        EXPECT_EQ(next.run({later}).files, 1);
        // Nothing of a run is unfinished any more: no record is left.
        for (const auto &entry : std::filesystem::directory_iterator(k.archives)) {
            const std::string zipPath = entry.path().string();
            EXPECT_EQ(zipPath.find(".unfinished"), std::string::npos) << " step " << step;
            if (entry.path().filename().string()[0] == '.')
                continue; // the note of a repair
            ZipArchive z;
            ASSERT_NO_THROW(z.openRead(zipPath)) << zipPath << " step " << step;
            EXPECT_FALSE(z.repaired()) << zipPath << " step " << step;
            if (z.entries().empty())
                continue; // unzip calls an empty archive a warning
            std::string out;
            EXPECT_EQ(shell("unzip -tqq '" + zipPath + "'", out), 0) << out << " step " << step;
            EXPECT_EQ(shell("python3 -c 'import sys, zipfile; sys.exit(zipfile.ZipFile(sys.argv[1]).testzip() is not None)' '"
                                + zipPath + "'",
                            out),
                      0)
                << out << " step " << step;
            ++repairedArchives;
        }
        expectNothingLost(k, step);
        cleanUp(t);
    }
    EXPECT_GE(repairedArchives, 10);
}
