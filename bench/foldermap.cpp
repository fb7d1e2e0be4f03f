// The folder map's build and layout on synthetic trees of 10K, 100K and 1M
// folders.
//   bench_foldermap
// Each tree grows by preferential attachment (a new folder goes below an
// existing one with a chance that grows with the children it has), which
// gives a few folders with thousands of sub-folders, many leaves and a depth
// of a few levels to a few dozen, as on a real drive. Own sizes are
// log-normal (a third of the folders hold no files of their own); seed fixed.
// The folders are handed over children first, as the folder hogs list them,
// so build() meets most parents as missing ancestors.
// Printed: the build time once, the layout time (1600x1000, minArea 24,
// label strips 14 high) as the median of five runs, the tiles laid out, and
// at the end the peak memory and the ratio of the 1M layout time to the 100K one.
// For 100K folders also the window's drawing: layout and paint by the map
// view into a 1600x1000 image (offscreen), the median of five runs.
#include "BenchSupport.h"
#include "finders/FolderMap.h"
#include "finders/TFolderMapView.h"

#include <QApplication>
#include <QImage>
#include <QPainter>
#include <cstdlib>
#include <memory>

#include <cmath>
#include <cstdio>
#include <random>
#include <string>
#include <vector>

namespace {
constexpr int kRuns = 5;

std::vector<FolderMap::Folder> syntheticTree(int count, unsigned seed)
{
    std::mt19937_64 rng(seed);
    std::lognormal_distribution<double> size(9.5, 2.5);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<std::string> paths;
    paths.reserve(size_t(count));
    paths.push_back("/bench");
    std::vector<int> targets{0}; // each folder once, and once more per child
    targets.reserve(size_t(count) * 2);
    for (int i = 1; i < count; ++i) {
        const int parent = targets[std::uniform_int_distribution<size_t>(0, targets.size() - 1)(rng)];
        paths.push_back(paths[size_t(parent)] + "/d" + std::to_string(i));
        targets.push_back(parent);
        targets.push_back(i);
    }
    std::vector<FolderMap::Folder> folders;
    folders.reserve(size_t(count));
    for (int i = count; i-- > 0;) {
        const bool empty = unit(rng) < 1.0 / 3;
        const int64_t bytes = empty ? 0 : int64_t(size(rng));
        folders.push_back({std::move(paths[size_t(i)]), bytes, empty ? 0 : 1 + bytes / 40000});
    }
    return folders;
}

double runTree(const char *label, int count)
{
    const std::vector<FolderMap::Folder> folders = syntheticTree(count, 20261209u);
    FolderMap m;
    std::vector<FolderMap::Folder> copy = folders;
    const double t0 = bench::now();
    m.build({"/bench"}, std::move(copy), 0);
    const double buildSecs = bench::now() - t0;
    int maxDepth = 0;
    for (const FolderMap::Node &n : m.nodes())
        maxDepth = std::max(maxDepth, n.depth);
    std::vector<double> times;
    size_t tiles = 0;
    for (int r = 0; r < kRuns; ++r) {
        m.layout(-1, QRectF()); // forget the last layout
        const double l0 = bench::now();
        tiles = m.layout(m.top(), QRectF(0, 0, 1600, 1000), 24, 14).size();
        times.push_back(bench::now() - l0);
    }
    const double layoutSecs = bench::median(times);
    std::printf("build of %s folders took %.3f s (%zu nodes, %zu below the root, deepest %d)\n", label, buildSecs,
                m.nodes().size(), m.nodes()[0].children.size(), maxDepth);
    std::printf("%s folders: %.4f s\n", label, layoutSecs);
    std::printf("  (%zu tiles laid out)\n", tiles);
    std::fflush(stdout);
    return layoutSecs;
}
// The map view's paint routine, layout included, into an image.
void paintTree(const char *label, int count)
{
    auto m = std::make_shared<FolderMap>();
    m->build({"/bench"}, syntheticTree(count, 20261209u), 0);
    TFolderMapView view;
    view.setMap(m);
    QImage image(1600, 1000, QImage::Format_RGB32);
    std::vector<double> times;
    for (int r = 0; r < kRuns; ++r) {
        m->layout(-1, QRectF()); // forget the last layout
        const double t0 = bench::now();
        QPainter p(&image);
        view.paintMap(p, image.rect());
        p.end();
        times.push_back(bench::now() - t0);
    }
    std::printf("%s folders, layout and paint of the map view at 1600x1000: %.4f s (%zu tiles)\n", label,
                bench::median(times), m->tiles().size());
    std::fflush(stdout);
}
} // namespace

int main(int argc, char **argv)
{
    if (!std::getenv("QT_QPA_PLATFORM"))
        setenv("QT_QPA_PLATFORM", "offscreen", 1);
    QApplication app(argc, argv);
    runTree("10K", 10000);
    const double t100k = runTree("100K", 100000);
    paintTree("100K", 100000);
    const double t1m = runTree("1M", 1000000);
    struct rusage ru {};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("peak memory: %ld MB\n", ru.ru_maxrss / 1024);
    std::printf("ratio 1M/100K: %.2f\n", t100k > 0 ? t1m / t100k : 0.0);
    return 0;
}
