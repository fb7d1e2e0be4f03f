// Extracts the zip benchmark's archive (about 200 MB, 1,098 files) into an
// empty folder with the extraction component (each file written unnamed,
// checked for size and CRC, then named) and with Info-ZIP's "unzip -q -o"
// into another empty folder, side by side from a warm cache. Prints the best
// of three rounds each; the last line is the time ratio.
#include "ZipBenchData.h"
#include "common/EventPump.h"
#include "safety/ZipArchive.h"
#include "safety/ZipExtract.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <sys/resource.h>

namespace fs = std::filesystem;

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    char tmpl[] = "/tmp/vantor-bench-unzip-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        return 1;
    }
    BenchTree tree;
    tree.root = tmpl;
    tree.make();
    const std::string archive = tree.root + "/bench.zip";
    {
        ZipArchive z;
        z.open(archive);
        z.setSyncEachAdd(false);
        for (const auto &rel : tree.files)
            z.addFile(tree.root + "/data/" + rel, rel);
    }
    fs::remove_all(tree.root + "/data");
    std::printf("archive: %zu files, %llu bytes unpacked, %llu bytes packed\n", tree.files.size(),
                static_cast<unsigned long long>(tree.total),
                static_cast<unsigned long long>(fs::file_size(archive)));

    auto fresh = [&](const char *name) {
        const std::string dir = tree.root + "/" + name;
        fs::remove_all(dir);
        fs::create_directory(dir);
        return dir;
    };
    auto ours = [&]() {
        const std::string dest = fresh("ours");
        const auto t0 = std::chrono::steady_clock::now();
        ZipArchive z;
        z.openRead(archive);
        EventPump pump;
        ZipExtract::Hooks hooks;
        hooks.progress = [&](int) {
            pump.pump();
            return false;
        };
        hooks.itemFailed = [](const ZipEntry &e, const std::string &why) {
            std::fprintf(stderr, "%s: %s\n", e.name.c_str(), why.c_str());
        };
        const ZipExtract::Result r = ZipExtract::extractAll(z, dest, hooks);
        const double s = seconds(t0);
        if (r.extracted != tree.files.size()) {
            std::fprintf(stderr, "only %zu files extracted\n", r.extracted);
            std::exit(1);
        }
        return s;
    };
    auto theirs = [&]() {
        const std::string dest = fresh("unzip");
        const std::string cmd = "unzip -q -o '" + archive + "' -d '" + dest + "'";
        const auto t0 = std::chrono::steady_clock::now();
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "unzip failed\n");
            std::exit(1);
        }
        return seconds(t0);
    };

    // Warm the cache with one run of each.
    theirs();
    ours();
    double best = 1e9, bestPeer = 1e9;
    for (int round = 0; round < 3; ++round) {
        best = std::min(best, ours());
        bestPeer = std::min(bestPeer, theirs());
    }
    const int same = std::system(("diff -r -q '" + tree.root + "/ours' '" + tree.root + "/unzip'").c_str());
    struct rusage ru;
    getrusage(RUSAGE_SELF, &ru);
    std::printf("extraction component: %8.2f s\n", best);
    std::printf("unzip -q -o:          %8.2f s\n", bestPeer);
    std::printf("trees identical: %s; peak memory of this process: %ld KiB\n", same == 0 ? "yes" : "NO",
                ru.ru_maxrss);
    fs::remove_all(tree.root);
    std::printf("ratio unzip component/unzip: %.2f\n", best / bestPeer);
    return 0;
}
