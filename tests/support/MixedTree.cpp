#include "support/MixedTree.h"
#include "support/TempTree.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// A small generator of our own, so the tree is the same everywhere.
struct Lcg {
    uint32_t s;
    uint32_t next(uint32_t n)
    {
        s = s * 1664525u + 1013904223u;
        return (s >> 8) % n;
    }
};

const char *const kExtensions[] = {".txt", ".TXT", ".c", ".C", "", ".tar.gz", ".jpeg", ".verylong", ".dat", "."};
const int64_t kSizes[] = {0, 1, 4095, 4096, 4097, 16384, 16385, 65536, 100000, 1048577, 5000000, 20000000};

void build(const TempTree &t, const std::string &folder, int depth, Lcg &g, int &made)
{
    const int files = int(g.next(7));
    for (int i = 0; i < files; ++i) {
        const bool dot = g.next(6) == 0;
        const std::string name = std::string(dot ? "." : "") + "f" + std::to_string(made++)
            + kExtensions[g.next(sizeof kExtensions / sizeof *kExtensions)];
        const std::string path = t.dir(folder) + "/" + name;
        const int64_t size = kSizes[g.next(sizeof kSizes / sizeof *kSizes)];
        const int fd = ::open(path.c_str(), O_CREAT | O_WRONLY | O_TRUNC, 0644);
        if (fd >= 0) {
            if (size > 0 && ::ftruncate(fd, size) != 0) {
            }
            ::close(fd);
        }
        // Stamps from 1985 to 2026, times of day included.
        const time_t written = time_t(500000000) + time_t(g.next(1300)) * 1000000 + time_t(g.next(86400));
        TempTree::setTimes(path, written, written + time_t(g.next(100000000)));
        if (g.next(5) == 0)
            ::chmod(path.c_str(), 0444);
    }
    if (g.next(4) == 0) {
        const std::string link = t.path(folder + "/link" + std::to_string(made++));
        if (::symlink(g.next(2) ? ".." : "missing", link.c_str()) != 0) {
        }
    }
    if (depth >= 4)
        return;
    const int subs = depth == 0 ? 6 : int(g.next(4));
    for (int i = 0; i < subs; ++i) {
        const uint32_t kind = g.next(8);
        const std::string name = kind == 0 ? ".hidden" + std::to_string(i)
                                 : kind == 1 ? "Case" + std::to_string(i)
                                             : "d" + std::to_string(i);
        t.dir(folder + "/" + name);
        if (kind == 1)
            t.dir(folder + "/case" + std::to_string(i)); // the same name in another case, left empty
        build(t, folder + "/" + name, depth + 1, g, made);
    }
}
}

std::string makeMixedTree(const TempTree &t, const std::string &rel, unsigned seed)
{
    Lcg g{seed};
    int made = 0;
    const std::string root = t.dir(rel);
    ::mkfifo((root + "/pipe").c_str(), 0644);
    build(t, rel, 0, g, made);
    return root;
}
