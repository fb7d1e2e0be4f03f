#include "platform/ExportWalk.h"

#include "platform/DirReader.h"

#include <cerrno>
#include <cstring>
#include <dirent.h>
#include <sys/syscall.h>
#include <sys/sysmacros.h>
#include <fcntl.h>
#include <linux/magic.h>
#include <memory>
#include <sys/stat.h>
#include <sys/vfs.h>
#include <unistd.h>
#include <vector>

namespace ExportWalk {
namespace {
void describe(const struct stat &st, Item &it)
{
    it.asize = int64_t(st.st_size);
    it.dsize = int64_t(st.st_blocks) * 512;
    it.dev = uint64_t(st.st_dev);
    it.ino = uint64_t(st.st_ino);
    it.nlink = uint32_t(st.st_nlink);
    it.folder = S_ISDIR(st.st_mode);
    it.notreg = !it.folder && !S_ISREG(st.st_mode);
}

// A file system of the kernel's own (its files take no disk).
bool kernelFs(int fd)
{
    struct statfs fs {};
    if (fstatfs(fd, &fs) != 0)
        return false;
    switch (static_cast<unsigned long>(fs.f_type)) {
    case PROC_SUPER_MAGIC:
    case SYSFS_MAGIC:
    case DEBUGFS_MAGIC:
    case TRACEFS_MAGIC:
    case SECURITYFS_MAGIC:
    case CGROUP_SUPER_MAGIC:
    case CGROUP2_SUPER_MAGIC:
    case BPF_FS_MAGIC:
    case PSTOREFS_MAGIC:
    case DEVPTS_SUPER_MAGIC:
    case SELINUX_MAGIC:
    case EFIVARFS_MAGIC:
        return true;
    default:
        return false;
    }
}
}

namespace {
// One open folder of the walk: its descriptor and a listing buffer that is
// kept for the folders met at the same depth afterwards.
struct Level {
    int fd = -1;
    std::vector<char> buf = std::vector<char>(64 * 1024);
    size_t filled = 0, at = 0;
    bool ended = false;
    // The next name other than "." and ".."; null at the end.
    const char *next(size_t &length)
    {
        for (;;) {
            if (at >= filled) {
                if (ended)
                    return nullptr;
                const long n = ::syscall(SYS_getdents64, fd, buf.data(), buf.size());
                if (n <= 0) {
                    ended = true;
                    return nullptr;
                }
                filled = size_t(n);
                at = 0;
            }
            // A kernel record: inode (8 bytes), offset (8), record length
            // (2), type (1), then the name.
            const char *rec = buf.data() + at;
            uint16_t reclen = 0;
            std::memcpy(&reclen, rec + 16, sizeof reclen);
            at += reclen;
            const char *name = rec + 19;
            if (name[0] == '.' && (name[1] == 0 || (name[1] == '.' && name[2] == 0)))
                continue;
            length = std::strlen(name);
            return name;
        }
    }
    void close()
    {
        if (fd >= 0)
            ::close(fd);
        fd = -1;
    }
};

// A folder opened and described in one go (its mount too).
bool describeOpen(int fd, Item &it, uint64_t &mount, bool &hasMount)
{
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_BASIC_STATS | STATX_MNT_ID, &sx) != 0)
        return false;
    it.asize = int64_t(sx.stx_size);
    it.dsize = int64_t(sx.stx_blocks) * 512;
    it.dev = uint64_t(makedev(sx.stx_dev_major, sx.stx_dev_minor));
    it.ino = sx.stx_ino;
    it.nlink = sx.stx_nlink;
    it.folder = true;
    hasMount = (sx.stx_mask & STATX_MNT_ID) != 0;
    mount = hasMount ? uint64_t(sx.stx_mnt_id) : 0;
    return true;
}
}

Result walk(const std::string &root, const Visitor &v, int *errorOut)
{
    struct stat st {};
    // The root is the folder the user named: a link to it is followed.
    if (::stat(root.c_str(), &st) != 0 || !S_ISDIR(st.st_mode)) {
        const int error = errno;
        if (errorOut)
            *errorOut = S_ISDIR(st.st_mode) || error == ENOENT || error == EACCES ? error : ENOTDIR;
        return Result::RootMissing;
    }
    DirReader::raiseOpenLimit();
    Item it;
    describe(st, it);
    it.name = root;
    std::vector<Level> levels(1);
    levels[0].fd = ::open(root.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    uint64_t topMount = 0;
    bool topHasMount = false;
    it.readError = levels[0].fd < 0 || !describeOpen(levels[0].fd, it, topMount, topHasMount);
    v.openFolder(it);
    if (it.readError) {
        levels[0].close();
        v.closeFolder();
        return Result::Walked;
    }
    const uint64_t topDev = it.dev;
    size_t depth = 1; // levels in use
    unsigned count = 0;
    while (depth > 0) {
        Level &dir = levels[depth - 1];
        size_t length = 0;
        const char *name = dir.next(length);
        if (!name) {
            dir.close();
            --depth;
            v.closeFolder();
            continue;
        }
        if (++count % 256 == 0 && v.keepGoing && !v.keepGoing()) {
            for (size_t i = 0; i < depth; ++i)
                levels[i].close();
            return Result::Aborted;
        }
        if (::fstatat(dir.fd, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone since it was listed
        Item e;
        describe(st, e);
        e.name = std::string_view(name, length);
        if (!e.folder) {
            v.file(e);
            continue;
        }
        const int fd = ::openat(dir.fd, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0) {
            e.readError = true;
            v.openFolder(e);
            v.closeFolder();
            continue;
        }
        uint64_t mount = 0;
        bool hasMount = false;
        Item opened = e;
        if (!describeOpen(fd, opened, mount, hasMount) || opened.dev != topDev
            || (hasMount && topHasMount && mount != topMount)) {
            e.excluded = kernelFs(fd) ? std::string_view("kernfs") : std::string_view("otherfs");
            e.asize = e.dsize = 0; // what the entry's stat shows is the other drive's root folder
            ::close(fd);
            v.openFolder(e);
            v.closeFolder();
            continue;
        }
        v.openFolder(e);
        if (levels.size() == depth)
            levels.emplace_back();
        Level &sub = levels[depth];
        sub.fd = fd;
        sub.filled = sub.at = 0;
        sub.ended = false;
        ++depth;
    }
    return Result::Walked;
}
}
