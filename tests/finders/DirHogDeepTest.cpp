#include "finders/DirHogScan.h"
#include "finders/FolderMap.h"
#include "scan/ResultGridModel.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestChild.h"

#include <gtest/gtest.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <fcntl.h>
#include <fstream>
#include <sys/stat.h>
#include <unistd.h>

namespace {
constexpr int kLevels = Walker::kMaxDepth; // as deep as the walk enters
const std::string kName(255, 'n');

// A field of /proc/self/status in kB ("VmHWM", "VmRSS").
long statusKb(const char *field)
{
    std::ifstream in("/proc/self/status");
    std::string line;
    while (std::getline(in, line))
        if (line.rfind(std::string(field) + ":", 0) == 0)
            return std::atol(line.c_str() + std::strlen(field) + 1);
    return -1;
}

// Folder hogs' all-folders scan of the chain, its grid rows and its map in a
// process of their own: prints the lines, the deepest path's length, the
// growth of the peak memory over what the process held before (kB) and the
// seconds taken.
const TestChild::Registration deepChain("hogs-deep-chain", [] {
    const std::string root = std::getenv("VANTOR_DEEP_CHAIN");
    ScriptedDialogs dialogs;
    Walker w;
    w.pumpIntervalMs = -1;
    DirHogScan scan(w);
    // The peak so far is put back to what is held now (Linux 4.0 and later).
    if (std::FILE *f = std::fopen("/proc/self/clear_refs", "w")) {
        std::fputs("5", f);
        std::fclose(f);
    }
    const long before = statusKb("VmRSS");
    const auto t0 = std::chrono::steady_clock::now();
    scan.begin(DirHogScan::Mode::AllFolders, 2, true);
    w.reset();
    w.scanFolder(root);
    const std::vector<DirHogScan::Line> lines = scan.finish();
    std::vector<GridLines> rows = scan.gridRows();
    ResultGridModel grid(DirHogScan::gridLayout());
    std::vector<ResultGridModel::BatchRow> order;
    std::vector<DirHogScan::MapFolder> folders;
    size_t longest = 0;
    for (const uint32_t i : DirHogScan::bySize(lines)) {
        order.push_back({lines[i].batch, lines[i].row});
        folders.push_back({lines[i].folder, lines[i].bytes, lines[i].files});
    }
    grid.addBatches(rows, order);
    FolderMap map;
    map.build(scan.mapTree(folders), 0);
    const double secs = std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    const long peak = statusKb("VmHWM");
    // The deepest folder's path, made once.
    for (const DirHogScan::Line &l : lines)
        longest = std::max(longest, scan.path(l).size());
    std::printf("lines %zu nodes %zu longest %zu grown-kb %ld seconds %.2f\n", lines.size(), map.nodes().size(),
                longest, peak - before, secs);
    return 0;
});

// Walks down a chain of folders one open folder at a time: no path of the
// chain is ever passed whole (it is far longer than a path may be).
void makeChain(const std::string &top)
{
    int fd = ::open(top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(fd, 0);
    for (int i = 0; i < kLevels; ++i) {
        ASSERT_EQ(::mkdirat(fd, kName.c_str(), 0755), 0) << i;
        const int next = ::openat(fd, kName.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        ::close(fd);
        ASSERT_GE(next, 0) << i;
        fd = next;
    }
    ::close(fd);
}

// Removes the chain below parent/top from the top down: each folder's one
// sub-folder is moved up beside it before it is removed.
void removeChain(const std::string &parent, const std::string &top)
{
    const int p = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    ASSERT_GE(p, 0);
    for (;;) {
        const int fd = ::openat(p, top.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
        if (fd < 0)
            break;
        const bool moved = ::renameat(fd, kName.c_str(), p, "next") == 0;
        ::close(fd);
        ::unlinkat(p, top.c_str(), AT_REMOVEDIR);
        if (!moved || ::renameat(p, "next", p, top.c_str()) != 0)
            break;
    }
    ::close(p);
}
} // namespace

// A chain of folders with the longest names, as deep as the walk goes: the
// scan, its grid rows and its map keep each folder by its parent and name,
// so their memory follows the folders and their names, not depth x path.
TEST(DirHogDeep, AChainAsDeepAsTheWalkGoesTakesLittleMemory)
{
    TempTree t("deep");
    const std::string top = t.dir("chain");
    makeChain(top);
    std::vector<std::string> env{"VANTOR_DEEP_CHAIN=" + top};
#if defined(__SANITIZE_ADDRESS__)
    // The address sanitizer keeps freed blocks in a quarantine of up to
    // 256 MB, which the peak would count; without it the peak is the
    // program's own (with the sanitizer's shadow).
    const char *asan = std::getenv("ASAN_OPTIONS");
    env.push_back(std::string("ASAN_OPTIONS=") + (asan && *asan ? std::string(asan) + ":" : std::string())
                  + "quarantine_size_mb=0");
#endif
    TestChild::Process p = TestChild::Process::child("hogs-deep-chain", env);
    const int status = p.waitForEnd(600000);
    removeChain(t.root(), "chain");
    ASSERT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "status " << status << "\n" << p.err();
    size_t lines = 0, nodes = 0, longest = 0;
    long grownKb = -1;
    double secs = -1;
    ASSERT_EQ(std::sscanf(p.out().c_str(), "lines %zu nodes %zu longest %zu grown-kb %ld seconds %lf", &lines, &nodes,
                          &longest, &grownKb, &secs),
              5)
        << p.out();
    std::printf("deep chain: %s", p.out().c_str()); // the time, for the record (not asserted)
    // The root and every level below it have their line.
    EXPECT_EQ(lines, size_t(kLevels) + 1);
    EXPECT_EQ(nodes, size_t(kLevels) + 1);
    EXPECT_EQ(longest, top.size() + size_t(kLevels) * (kName.size() + 1));
    EXPECT_LE(grownKb, 100 * 1024);
}
