// A statistics collection against find(1), warm cache, on a generated tree
// (with dot-folders) and on /usr.
//   bench_stats [tree-folder]   (default /tmp/vantor-bench-stats; removed at the end)
// Each round tallies a root as the statistics window does (every file, every
// tally, overhang on) and then runs
//   find ROOT -xdev -printf '%s %A@ %C@ %T@ %m %f\n' > /dev/null
// The last line is the median ratio over every paired round.
#include "BenchSupport.h"
#include "stats/StatScan.h"

#include <QCoreApplication>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <fcntl.h>
#include <filesystem>
#include <spawn.h>
#include <string>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
#include <vector>

extern char **environ;

namespace {
constexpr int kFolders = 20000, kPerFolder = 25; // 500,000 files
constexpr int kRounds = 3;
const char *const kExtensions[] = {".txt", ".dat", ".jpeg", ".c", ".h", "", ".tar.gz", ".Doc"};

double now()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long rssPeakKb()
{
    rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

double timeFind(const std::string &root)
{
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    const std::string fmt = "%s %A@ %C@ %T@ %m %f\\n";
    const char *argv[] = {"find", root.c_str(), "-xdev", "-printf", fmt.c_str(), nullptr};
    const double t0 = now();
    pid_t pid;
    int status = 0;
    if (posix_spawnp(&pid, "find", &fa, nullptr, const_cast<char **>(argv), environ) != 0)
        return -1;
    waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&fa);
    return now() - t0;
}

double timeStats(const std::string &root, int64_t &files, int &types)
{
    StatScan s;
    s.tallies.countOverhang = true;
    s.status = [](const QString &) {};
    const double t0 = now();
    s.scanFolder(root);
    const double secs = now() - t0;
    files = s.tallies.filesCounted;
    types = s.tallies.typeCount();
    return secs;
}

std::vector<double> rounds(const std::string &root, const char *label)
{
    int64_t files = 0;
    int types = 0;
    timeStats(root, files, types); // warm the cache
    timeFind(root);
    const long before = rssPeakKb();
    std::vector<double> ratios;
    for (int i = 0; i < kRounds; ++i) {
        const double s = timeStats(root, files, types);
        const double f = timeFind(root);
        ratios.push_back(s / f);
        std::printf("%-5s round %d: stats %.3f s (%lld files, %d types), find %.3f s, ratio %.2f\n", label, i + 1, s,
                    static_cast<long long>(files), types, f, s / f);
        std::fflush(stdout);
    }
    std::printf("%-5s peak memory grew by %ld KB over %d collections\n", label, rssPeakKb() - before, kRounds);
    return ratios;
}
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string tree = argc > 1 ? argv[1] : "/tmp/vantor-bench-stats";
    bench::makeSparseTree(tree, kFolders, kPerFolder, 777, {std::begin(kExtensions), std::end(kExtensions)});
    std::printf("peak memory at start %ld KB\n", rssPeakKb());
    std::vector<double> all = rounds(tree, "tree");
    const std::vector<double> usr = rounds("/usr", "/usr");
    all.insert(all.end(), usr.begin(), usr.end());
    std::error_code ec;
    std::filesystem::remove_all(tree, ec);
    std::sort(all.begin(), all.end());
    std::printf("ratio stats/find: %.2f\n", all[all.size() / 2]);
    return 0;
}
