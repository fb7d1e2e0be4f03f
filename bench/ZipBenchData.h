#pragma once
// The mixed tree of about 200 MB that the zip benchmarks pack and unpack:
// 1,000 small text files, then text, random and zero-filled files of 4 KiB
// to 8 MiB, the same for every run.
#include "platform/Paths.h"

#include <algorithm>
#include <chrono>
#include <fstream>
#include <random>
#include <string>
#include <vector>

inline double seconds(std::chrono::steady_clock::time_point since)
{
    return std::chrono::duration<double>(std::chrono::steady_clock::now() - since).count();
}

inline std::string textOf(size_t n, std::mt19937 &gen)
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

struct BenchTree {
    std::string root;               // the files are below root/data
    std::vector<std::string> files; // relative to root/data, sorted
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
};
