// Walker speed against find(1), warm cache, on a generated tree and on /usr.
//   bench_walk [--keep] [tree-folder]   (default /tmp/vantor-bench-walk; removed
//   at the end unless --keep, and a kept tree is used again)
// Each round walks a root with a do-nothing visitor and then runs
//   find ROOT -xdev -printf '%s %T@ %A@\n' > /dev/null
// The last line is the median ratio over every paired round.
#include "platform/Drives.h"
#include "scan/Walker.h"

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
constexpr int kTop = 20, kMid = 50, kLeaf = 20, kFiles = 25; // 21,020 folders, 500,000 files
constexpr int kRounds = 5;

double seconds()
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

long peakKb()
{
    rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

void generate(const std::string &root)
{
    const std::string done = root + "/.complete";
    struct stat st;
    if (::stat(done.c_str(), &st) == 0)
        return;
    std::printf("generating %d files in %d folders under %s ...\n", kTop * kMid * kLeaf * kFiles,
                kTop * kMid * kLeaf + kTop * kMid + kTop, root.c_str());
    std::fflush(stdout);
    ::mkdir(root.c_str(), 0755);
    unsigned seed = 12345;
    for (int a = 0; a < kTop; ++a) {
        const std::string da = root + "/top" + std::to_string(a);
        ::mkdir(da.c_str(), 0755);
        for (int b = 0; b < kMid; ++b) {
            const std::string db = da + "/mid" + std::to_string(b);
            ::mkdir(db.c_str(), 0755);
            for (int c = 0; c < kLeaf; ++c) {
                const std::string dc = db + "/leaf" + std::to_string(c);
                ::mkdir(dc.c_str(), 0755);
                for (int f = 0; f < kFiles; ++f) {
                    const std::string p = dc + "/file" + std::to_string(f) + (f % 3 ? ".txt" : ".dat");
                    const int fd = ::open(p.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
                    if (fd < 0)
                        continue;
                    seed = seed * 1103515245u + 12345u;
                    if (::ftruncate(fd, off_t(seed % 200000)) != 0)
                        std::perror("ftruncate");
                    ::close(fd);
                }
            }
        }
    }
    ::close(::open(done.c_str(), O_CREAT | O_WRONLY, 0644));
}

double runFind(const std::string &root)
{
    posix_spawn_file_actions_t fa;
    posix_spawn_file_actions_init(&fa);
    posix_spawn_file_actions_addopen(&fa, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&fa, 2, "/dev/null", O_WRONLY, 0);
    std::string fmt = "%s %T@ %A@\\n";
    const char *argv[] = {"find", root.c_str(), "-xdev", "-printf", fmt.c_str(), nullptr};
    const double t0 = seconds();
    pid_t pid;
    if (posix_spawnp(&pid, "find", &fa, nullptr, const_cast<char **>(argv), environ) != 0)
        return -1;
    int status = 0;
    waitpid(pid, &status, 0);
    posix_spawn_file_actions_destroy(&fa);
    return seconds() - t0;
}

struct WalkResult {
    double secs;
    long files;
};

WalkResult runWalker(const std::string &root)
{
    Walker w;
    long files = 0;
    w.returned = 0;
    w.visitor = [&](const FoundFile &) {
        ++files;
        return true;
    };
    const double t0 = seconds();
    w.scanFolder(root);
    return {seconds() - t0, files};
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

std::vector<double> measure(const std::string &root, const char *label)
{
    runWalker(root); // warm the cache
    runFind(root);
    std::vector<double> ratios;
    long files = 0;
    const long before = peakKb();
    for (int i = 0; i < kRounds; ++i) {
        const WalkResult w = runWalker(root);
        const double f = runFind(root);
        files = w.files;
        ratios.push_back(w.secs / f);
        std::printf("%-5s round %d: walker %.3f s (%ld files), find %.3f s, ratio %.2f\n", label, i + 1, w.secs,
                    w.files, f, w.secs / f);
        std::fflush(stdout);
    }
    std::printf("%-5s median ratio %.2f; peak memory grew by %ld KB over %d walks of %ld files\n", label,
                median(ratios), peakKb() - before, kRounds, files);
    return ratios;
}
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const bool keep = argc > 1 && std::string(argv[1]) == "--keep";
    if (keep) {
        --argc;
        ++argv;
    }
    const std::string tree = argc > 1 ? argv[1] : "/tmp/vantor-bench-walk";
    for (const Drive &d : Drives::list())
        std::printf("drive %s\n", Drives::entryText(d).toUtf8().constData());
    generate(tree);
    std::printf("peak memory at start %ld KB\n", peakKb());
    std::vector<double> all = measure(tree, "tree");
    const std::vector<double> usr = measure("/usr", "/usr");
    all.insert(all.end(), usr.begin(), usr.end());
    std::printf("ratio walker/find: %.2f\n", median(all));
    if (!keep) {
        std::error_code ec;
        std::filesystem::remove_all(tree, ec);
    }
    return 0;
}
