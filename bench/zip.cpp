// Zips about 200 MB of mixed files (text, random bytes, zeros) with the
// archive component, with and without the sync after each file, and with
// Info-ZIP's "zip -6 -q", side by side. Prints times and sizes; the last
// line is the time ratio of the component without sync to Info-ZIP.
#include "platform/Paths.h"
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
double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

std::string textOf(size_t n, std::mt19937 &gen)
{
    static const char *words[] = {"the ", "disk ", "space ", "manager ", "found ", "duplicate ", "files ",
                                  "in ", "folder ", "temporary ", "archive ", "of ", "and ", "a ", "to ",
                                  "report ", "size ", "date ", "bytes ", "cluster ", "total ", "user\n"};
    std::string s;
    s.reserve(n + 16);
    while (s.size() < n) {
        s += words[gen() % (sizeof words / sizeof *words)];
        if (gen() % 9 == 0)
            s += std::to_string(gen() % 100000) + " ";
    }
    s.resize(n);
    return s;
}

struct Bench {
    std::string root;
    std::vector<std::string> files; // relative to root/data
    uint64_t total = 0;

    void write(const std::string &rel, const std::string &data)
    {
        const std::string p = root + "/data/" + rel;
        Paths::makeFolders(p.substr(0, p.find_last_of('/')));
        std::ofstream(p, std::ios::binary) << data;
        files.push_back(rel);
        total += data.size();
    }

    void make()
    {
        std::mt19937 gen(42);
        const size_t sizes[] = {4096, 16384, 65536, 262144, 1 << 20, 4 << 20, 8 << 20};
        for (int i = 0; i < 1000; ++i)
            write("small/t" + std::to_string(i) + ".txt", textOf(2000 + gen() % 18000, gen));
        for (int round = 0; total < 200ull * 1000 * 1000; ++round) {
            for (size_t k = 0; k < std::size(sizes) && total < 200ull * 1000 * 1000; ++k) {
                const size_t n = sizes[k] + gen() % 1000;
                const std::string tag = std::to_string(round) + "_" + std::to_string(k);
                switch ((round + k) % 3) {
                case 0: write("text/t" + tag + ".log", textOf(n, gen)); break;
                case 1: {
                    std::string r(n, '\0');
                    for (auto &c : r)
                        c = char(gen());
                    write("random/r" + tag + ".bin", r);
                    break;
                }
                default: write("zeros/z" + tag + ".img", std::string(n, '\0')); break;
                }
            }
        }
        std::sort(files.begin(), files.end());
    }

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
