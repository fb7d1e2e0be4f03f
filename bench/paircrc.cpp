// The pair comparison's checksum and compare of two identical files (1 GiB
// each by default, warm cache), side by side with "cmp" on the same pair and
// with Python's zlib.crc32 streamed in 1 MiB blocks over one of them; the
// goal is at most 1.2 times the sum of the two. Also two files that differ
// in their last byte. The files are written under /tmp/vantor-bench-paircrc
// and removed at the end. Each figure is the best of three runs.
//   bench_paircrc [MiB]
#include "BenchSupport.h"
#include "finders/PairChecksum.h"

#include <QCoreApplication>

#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <functional>
#include <random>
#include <string>

namespace {
const std::string kRoot = "/tmp/vantor-bench-paircrc";

void writeFile(const std::string &path, size_t mib, bool flipLast)
{
    std::mt19937_64 gen(42);
    std::string block(size_t(1) << 20, '\0');
    std::ofstream out(path, std::ios::binary);
    for (size_t i = 0; i < mib; ++i) {
        for (size_t j = 0; j < block.size(); j += 8) {
            const uint64_t v = gen();
            std::memcpy(&block[j], &v, 8);
        }
        if (flipLast && i + 1 == mib)
            block.back() = char(block.back() ^ 1);
        out.write(block.data(), std::streamsize(block.size()));
    }
}
}

int main(int argc, char **argv)
{
    QCoreApplication app(argc, argv);
    const size_t mib = argc > 1 ? size_t(std::atol(argv[1])) : 1024;
    std::filesystem::remove_all(kRoot);
    std::filesystem::create_directories(kRoot);
    const std::string a = kRoot + "/a.bin", b = kRoot + "/b.bin", c = kRoot + "/c.bin";
    writeFile(a, mib, false);
    writeFile(b, mib, false);
    writeFile(c, mib, true);
    // Warm the cache.
    std::system(("cat " + a + " " + b + " " + c + " > /dev/null").c_str());

    PairChecksum::Result r;
    const double ours = bench::bestMs(3, [&] { r = PairChecksum::compare(a, b); });
    const bool identical = r.verdict == PairChecksum::Verdict::Identical;
    const double cmp = bench::shellMs("cmp " + a + " " + b);
    const std::string py = "python3 -c 'import sys,zlib\nc=0\nwith open(sys.argv[1],\"rb\") as f:\n"
                           " for b in iter(lambda: f.read(1<<20), b\"\"): c=zlib.crc32(b,c)\nprint(\"%08X\"%c)' ";
    const double crc = bench::shellMs(py + a);
    PairChecksum::Result d;
    const double differ = bench::bestMs(3, [&] { d = PairChecksum::compare(a, c); });
    const double cmpDiffer = bench::bestMs(3, [&] { std::system(("cmp -s " + a + " " + c).c_str()); });

    std::printf("two identical files of %zu MiB, warm cache, best of 3\n", mib);
    std::printf("  checksum and compare (ours)   %8.0f ms  %s, CRC %08X\n", ours,
                identical ? "identical" : "NOT identical", unsigned(r.left.crc));
    std::printf("  cmp                           %8.0f ms\n", cmp);
    std::printf("  python zlib.crc32, 1 MiB      %8.0f ms\n", crc);
    std::printf("  ratio ours / (cmp + python)   %8.2f  (goal <= 1.2)\n", ours / (cmp + crc));
    std::printf("files differing in the last byte\n");
    std::printf("  checksum and compare (ours)   %8.0f ms  %s\n", differ,
                d.verdict == PairChecksum::Verdict::Differ ? "differ" : "WRONG VERDICT");
    std::printf("  cmp -s                        %8.0f ms\n", cmpDiffer);
    std::filesystem::remove_all(kRoot);
    return identical ? 0 : 1;
}
