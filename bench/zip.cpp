// Zips about 200 MB of mixed files (text, random bytes, zeros) with the
// archive component, with and without the sync after each file, and with
// Info-ZIP's "zip -6 -q", side by side. Prints times and sizes; the last
// line is the time ratio of the component without sync to Info-ZIP.
#include "ZipBenchData.h"
#include "safety/ZipArchive.h"

#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <random>
#include <string>
#include <vector>

namespace {
struct Bench : BenchTree {
    // Seconds and archive size for the component.
    std::pair<double, uint64_t> component(bool sync, const std::string &name)
    {
        const std::string out = root + "/" + name;
        std::filesystem::remove(out);
        const auto t0 = std::chrono::steady_clock::now();
        ZipArchive z;
        z.open(out);
        z.setSyncEachAdd(sync);
        for (const auto &rel : files)
            z.addFile(root + "/data/" + rel, rel);
        z.close();
        const double s = seconds(t0);
        return {s, std::filesystem::file_size(out)};
    }

    std::pair<double, uint64_t> infoZip(const std::string &name)
    {
        const std::string out = root + "/" + name;
        std::filesystem::remove(out);
        const std::string cmd = "cd '" + root + "/data' && zip -6 -q -r '" + out + "' .";
        const auto t0 = std::chrono::steady_clock::now();
        if (std::system(cmd.c_str()) != 0) {
            std::fprintf(stderr, "zip failed\n");
            std::exit(1);
        }
        const double s = seconds(t0);
        return {s, std::filesystem::file_size(out)};
    }
};
}

int main()
{
    char tmpl[] = "/tmp/vantor-bench-zip-XXXXXX";
    if (!mkdtemp(tmpl)) {
        std::perror("mkdtemp");
        return 1;
    }
    Bench b;
    b.root = tmpl;
    b.make();
    std::printf("input: %zu files, %llu bytes (text, random, zeros)\n", b.files.size(),
                static_cast<unsigned long long>(b.total));
    // Warm the page cache so every contender reads from memory.
    b.infoZip("warm.zip");

    double ours = 1e9, theirs = 1e9, oursSync = 0;
    uint64_t oursSize = 0, theirsSize = 0, syncSize = 0;
    for (int round = 0; round < 2; ++round) {
        const auto [t1, s1] = b.component(false, "component.zip");
        const auto [t2, s2] = b.infoZip("infozip.zip");
        ours = std::min(ours, t1);
        theirs = std::min(theirs, t2);
        oursSize = s1;
        theirsSize = s2;
    }
    std::tie(oursSync, syncSize) = b.component(true, "component-sync.zip");

    std::printf("component, sync after each file: %8.2f s %12llu bytes\n", oursSync,
                static_cast<unsigned long long>(syncSize));
    std::printf("component, no sync:              %8.2f s %12llu bytes\n", ours,
                static_cast<unsigned long long>(oursSize));
    std::printf("info-zip zip -6 -q:              %8.2f s %12llu bytes\n", theirs,
                static_cast<unsigned long long>(theirsSize));
    std::printf("size ratio zip/info-zip: %.3f\n", double(oursSize) / double(theirsSize));
    std::filesystem::remove_all(b.root);
    std::printf("ratio zip/info-zip: %.2f\n", ours / theirs);
    return 0;
}
