// A zip-and-delete run killed at every step where it writes to disk: after
// each kill, every original file is still in place or can be read back,
// CRC-checked, from an archive that opens.
#include "app/AppState.h"
#include "common/EventPump.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"
#include "platform/RawFile.h"
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

// What the child does: a whole run, dying at its step-th write, truncate or sync.
[[noreturn]] void child(const std::vector<std::string> &paths, int step)
{
    g_stepsLeft = step;
    RawFile::setFaultHook(killAtStep);
    EventPump::setDefaultInterval(-1); // no window here: nothing to pump
    ZipRun run("TempClean", "kill test", QDateTime(QDate(2027, 3, 1), QTime(9, 5)));
    ZipRun::finish(run.run(paths));
    _exit(0);
}
}

TEST(ZipKill, NoFileIsLostWhereverTheRunIsKilled)
{
    int points = 0;
    for (int step = 0; step < 400; ++step) {
        TempTree t("kill" + std::to_string(step));
        const std::string archives = t.dir("archives");
        Drives::setMapping({{'C', t.dir("c")}, {'E', t.dir("e")}});
        AppState::defaultZipPath = QString::fromStdString(archives);
        const auto files = makeFiles(t);
        std::vector<std::string> paths;
        for (const auto &f : files)
            paths.push_back(f.first);

        const pid_t pid = fork();
        ASSERT_GE(pid, 0);
        if (pid == 0)
            child(paths, step);
        int status = 0;
        ASSERT_EQ(waitpid(pid, &status, 0), pid);
        const bool killed = WIFSIGNALED(status) && WTERMSIG(status) == SIGKILL;
        ASSERT_TRUE(killed || (WIFEXITED(status) && WEXITSTATUS(status) == 0)) << "step " << step;

        // Every archive left behind opens; collect what each one holds.
        std::map<std::string, std::string> zipped; // stored name with drive letter -> data
        DirReader dir(archives);
        const char *name;
        size_t len;
        DirReader::Kind kind;
        while (dir.next(name, len, kind)) {
            const std::string zipPath = archives + "/" + name;
            if (TempTree::read(zipPath).empty())
                continue; // created, killed before its first write: holds nothing
            ZipArchive z;
            ASSERT_NO_THROW(z.openRead(zipPath)) << zipPath << " step " << step;
            for (size_t i = 0; i < z.entries().size(); ++i) {
                std::string data;
                ASSERT_NO_THROW(z.readEntry(i, [&](const char *p, size_t n) { data.append(p, n); }))
                    << z.entries()[i].name << " step " << step;
                zipped[std::string(1, name[6]) + ":" + z.entries()[i].name] = data;
            }
            // Opening for writing repairs it for every other program too.
            ZipArchive w;
            ASSERT_NO_THROW(w.open(zipPath));
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
            ASSERT_TRUE(it != zipped.end()) << path << " is lost at step " << step;
            EXPECT_TRUE(it->second == data) << path << " step " << step;
        }
        Drives::setMapping({});
        AppState::defaultZipPath.clear();
        std::filesystem::remove_all(t.root());
        if (!killed) {
            EXPECT_TRUE(zipped.size() == files.size());
            break;
        }
        ++points;
    }
    EXPECT_GE(points, 50);
    std::printf("killed at %d points\n", points);
}
