// Folder hogs against du(1), warm cache, on a generated tree (with
// dot-folders) and on /usr.
//   bench_dirhogs [tree-folder]   (default /tmp/vantor-bench-dirhogs; removed at the end)
// Each round runs the window's "&All Folders" (walk, lines, grid, ranking)
// on a drive mapped to the root and `du -x -b -S ROOT`; then "&Main
// folders" and `du -x -b --max-depth=1 ROOT` (du first in every other
// round). The last line is the largest of the median ratios.
#include "BenchSupport.h"
#include "common/Dialogs.h"
#include "finders/TfrmDirHog.h"
#include "platform/Drives.h"
#include "scan/TResultGrid.h"

#include <QApplication>
#include <QPushButton>

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <fcntl.h>
#include <filesystem>
#include <string>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
constexpr int kFolders = 20000, kPerFolder = 25; // 500,000 files
constexpr int kRounds = 5;

double timeWindow(TfrmDirHog &w, bool all, int &rows)
{
    const double t0 = bench::now();
    (all ? w.btAll : w.btTop)->click();
    const double secs = bench::now() - t0;
    rows = w.foundCount();
    return secs;
}

double median(std::vector<double> v)
{
    std::sort(v.begin(), v.end());
    return v[v.size() / 2];
}

// The median ratios (all folders, main folders) of one root.
std::pair<double, double> rounds(const std::string &root, const char *label)
{
    Drives::setMapping({{'C', root}});
    TfrmDirHog w;
    w.show();
    int rows = 0;
    const std::vector<std::string> duAll = {"du", "-x", "-b", "-S", root};
    const std::vector<std::string> duMain = {"du", "-x", "-b", "--max-depth=1", root};
    timeWindow(w, true, rows); // warm the cache
    bench::timeCommand(duAll);
    std::vector<double> all, main;
    for (int i = 0; i < kRounds; ++i) {
        // Every other round du goes first, so neither side always meets the
        // cache (and the other engineers' load) as the other left it.
        const bool duFirst = i % 2 == 1;
        double a = 0, da = 0, m = 0, dm = 0;
        if (duFirst)
            da = bench::timeCommand(duAll);
        a = timeWindow(w, true, rows);
        if (!duFirst)
            da = bench::timeCommand(duAll);
        std::printf("%-5s round %d: all folders %.3f s (%d rows), du -S %.3f s, ratio %.2f\n", label, i + 1, a, rows,
                    da, a / da);
        if (duFirst)
            dm = bench::timeCommand(duMain);
        m = timeWindow(w, false, rows);
        if (!duFirst)
            dm = bench::timeCommand(duMain);
        std::printf("%-5s round %d: main folders %.3f s (%d rows), du --max-depth=1 %.3f s, ratio %.2f\n", label,
                    i + 1, m, rows, dm, m / dm);
        std::fflush(stdout);
        all.push_back(a / da);
        main.push_back(m / dm);
    }
    Drives::setMapping({});
    return {median(all), median(main)};
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
    const auto [treeAll, treeMain] = rounds(tree, "tree");
    const auto [usrAll, usrMain] = rounds("/usr", "/usr");
    std::error_code ec;
    std::filesystem::remove_all(tree, ec);
    std::printf("median ratios: tree all %.2f, tree main %.2f, /usr all %.2f, /usr main %.2f\n", treeAll, treeMain,
                usrAll, usrMain);
    std::printf("ratio dirhogs/du: %.2f\n", std::max({treeAll, treeMain, usrAll, usrMain}));
    return 0;
}
