// The statistics collection against du(1) and gdu, on a generated tree
// (with dot-folders) and on /usr.
//   bench_stats [tree-folder]   (default /tmp/vantor-bench-stats; removed at the end)
// Side by side in each round: the collection walked in parallel (one thread
// per core), the same with one worker, the walker's own walk on the calling
// thread, `du -x -b -S ROOT` and `gdu --non-interactive --no-progress ROOT`.
// Three warm rounds (order alternating) and a cold one (caches dropped
// before each run, where allowed). The last line is the median warm ratio of
// the parallel collection to du on the generated tree.
#include "BenchSupport.h"
#include "scan/ParallelWalk.h"
#include "stats/StatScan.h"

#include <QCoreApplication>

#include <cstdio>
#include <filesystem>
#include <string>
#include <sys/resource.h>
#include <vector>

namespace {
constexpr int kFolders = 20000, kPerFolder = 25; // 500,000 files
constexpr int kRounds = 3;
const char *const kExtensions[] = {".txt", ".dat", ".jpeg", ".c", ".h", "", ".tar.gz", ".Doc"};

long rssPeakKb()
{
    rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    return ru.ru_maxrss;
}

double timeStats(const std::string &root, int workers)
{
    StatScan s;
    s.workers = workers;
    s.tallies.countOverhang = true;
    s.status = [](const QString &) {};
    const double t0 = bench::now();
    s.scanFolder(root);
    return bench::now() - t0;
}

std::vector<double> rounds(const std::string &root, const char *label)
{
    const int cores = ParallelWalk::defaultWorkers();
    std::vector<bench::Contender> cs = {
        {"ours (parallel, " + std::to_string(cores) + ")", [root, cores] { return timeStats(root, cores); }},
        {"ours (one worker)", [root] { return timeStats(root, 1); }},
        {"ours (walker)", [root] { return timeStats(root, 0); }}};
    for (bench::Contender &c : bench::diskUsagePeers(root))
        cs.push_back(std::move(c));
    const long before = rssPeakKb();
    const std::vector<double> m = bench::sideBySide(label, cs, kRounds);
    std::printf("%-5s ratios (warm medians): parallel/du %.2f, parallel/gdu %.2f, one worker/du %.2f; peak memory "
                "grew by %ld KB\n",
                label, m[0] / m[3], m[0] / m[4], m[1] / m[3], rssPeakKb() - before);
    return m;
}
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const std::string tree = argc > 1 ? argv[1] : "/tmp/vantor-bench-stats";
    bench::makeSparseTree(tree, kFolders, kPerFolder, 777, {std::begin(kExtensions), std::end(kExtensions)});
    std::printf("peak memory at start %ld KB\n", rssPeakKb());
    const std::vector<double> t = rounds(tree, "tree");
    rounds("/usr", "/usr");
    std::error_code ec;
    std::filesystem::remove_all(tree, ec);
    std::printf("ratio parallel/gdu: %.2f\n", t[0] / t[4]);
    std::printf("ratio parallel/du: %.2f\n", t[0] / t[3]);
    return 0;
}
