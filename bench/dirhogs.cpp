// Folder hogs against du(1) and gdu, on a generated tree (with dot-folders)
// and on /usr.
//   bench_dirhogs [tree-folder]   (default /tmp/vantor-bench-dirhogs; removed at the end)
// Side by side in each round: the window's "&All Folders" (walk, lines,
// grid, ranking) walked in parallel (one thread per core) and with one
// worker, "&Main folders" in parallel, `du -x -b -S ROOT` and
// `gdu --non-interactive --no-progress ROOT`. Three warm rounds (order
// alternating) and a cold one (caches dropped before each run, where
// allowed). The last line is the median warm ratio of the parallel "&All
// Folders" to du on the generated tree.
#include "BenchSupport.h"
#include "common/Dialogs.h"
#include "finders/TfrmDirHog.h"
#include "platform/Drives.h"
#include "scan/ParallelWalk.h"

#include <QApplication>
#include <QPushButton>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <vector>

namespace {
constexpr int kFolders = 20000, kPerFolder = 25; // 500,000 files
constexpr int kRounds = 3;

double timeWindow(TfrmDirHog &w, bool all, int workers)
{
    ParallelWalk::setDefaultWorkers(workers);
    const double t0 = bench::now();
    (all ? w.btAll : w.btTop)->click();
    const double secs = bench::now() - t0;
    ParallelWalk::setDefaultWorkers(-1);
    return secs;
}

std::vector<double> rounds(const std::string &root, const char *label)
{
    Drives::setMapping({{'C', root}});
    TfrmDirHog w;
    w.show();
    const int cores = ParallelWalk::defaultWorkers();
    std::vector<bench::Contender> cs = {
        {"all folders (parallel, " + std::to_string(cores) + ")", [&w, cores] { return timeWindow(w, true, cores); }},
        {"all folders (one worker)", [&w] { return timeWindow(w, true, 1); }},
        {"main folders (parallel)", [&w, cores] { return timeWindow(w, false, cores); }}};
    for (bench::Contender &c : bench::diskUsagePeers(root))
        cs.push_back(std::move(c));
    const std::vector<double> m = bench::sideBySide(label, cs, kRounds);
    std::printf("%-5s ratios (warm medians): parallel/du %.2f, parallel/gdu %.2f, one worker/du %.2f, main "
                "folders/du %.2f\n",
                label, m[0] / m[3], m[0] / m[4], m[1] / m[3], m[2] / m[3]);
    Drives::setMapping({});
    return m;
}
}

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    bench::QuietDialogs quiet;
    setDialogs(&quiet);
    const std::string tree = argc > 1 ? argv[1] : "/tmp/vantor-bench-dirhogs";
    bench::makeSparseTree(tree, kFolders, kPerFolder, 4242, {".dat"});
    const std::vector<double> t = rounds(tree, "tree");
    rounds("/usr", "/usr");
    std::error_code ec;
    std::filesystem::remove_all(tree, ec);
    std::printf("ratio parallel/gdu: %.2f\n", t[0] / t[4]);
    std::printf("ratio parallel/du: %.2f\n", t[0] / t[3]);
    return 0;
}
