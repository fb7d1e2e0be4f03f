#include "platform/DirReader.h"
#include "platform/AnchoredPath.h"

#include <cerrno>
#include <climits>
#include <dirent.h>
#include <fcntl.h>
#include <sys/resource.h>
#include <sys/stat.h>
#include <sys/sysmacros.h>
#include <unistd.h>

bool MountPlace::of(int fd, MountPlace &out, uint64_t *inode)
{
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_INO | STATX_MNT_ID, &sx) != 0)
        return false;
    out.device = uint64_t(makedev(sx.stx_dev_major, sx.stx_dev_minor));
    out.hasMountId = (sx.stx_mask & STATX_MNT_ID) != 0;
    out.mountId = out.hasMountId ? uint64_t(sx.stx_mnt_id) : 0;
    if (inode)
        *inode = sx.stx_ino;
    return true;
}

namespace {
DirReader::Kind kindOfType(unsigned char t)
{
    switch (t) {
    case DT_DIR: return DirReader::Kind::Folder;
    case DT_REG: return DirReader::Kind::File;
    case DT_UNKNOWN: return DirReader::Kind::Unknown;
    default: return DirReader::Kind::Other;
    }
}

// Describes name in dirFd (or, with AT_EMPTY_PATH and "", dirFd itself);
// baseName gives the hidden bit. place, when given, gets the file system
// and the mount.
bool statAt(int dirFd, const char *name, int flags, const char *baseName, EntryStat &out,
            MountPlace *place = nullptr)
{
    struct statx sx;
    const unsigned mask = STATX_TYPE | STATX_MODE | STATX_NLINK | STATX_INO | STATX_SIZE | STATX_MTIME | STATX_ATIME
        | STATX_CTIME | STATX_BTIME | STATX_MNT_ID;
    if (::statx(dirFd, name, flags | AT_SYMLINK_NOFOLLOW | AT_NO_AUTOMOUNT, mask, &sx) != 0)
        return false;
    out.place.device = uint64_t(makedev(sx.stx_dev_major, sx.stx_dev_minor));
    out.place.hasMountId = (sx.stx_mask & STATX_MNT_ID) != 0;
    out.place.mountId = out.place.hasMountId ? uint64_t(sx.stx_mnt_id) : 0;
    if (place)
        *place = out.place;
    const mode_t mode = sx.stx_mode;
    out.folder = S_ISDIR(mode);
    out.regular = S_ISREG(mode);
    out.link = S_ISLNK(mode);
    out.size = out.folder ? 0 : int64_t(sx.stx_size);
    out.inode = sx.stx_ino;
    out.links = (sx.stx_mask & STATX_NLINK) != 0 ? uint32_t(sx.stx_nlink) : 1u;
    uint8_t a = 0;
    if (baseName[0] == '.')
        a |= FileAttr::Hidden;
    if (!out.folder && !out.regular)
        a |= FileAttr::System;
    if (!(mode & S_IWUSR))
        a |= FileAttr::ReadOnly;
    if (out.regular)
        a |= FileAttr::Archive;
    if (out.folder)
        a |= FileAttr::Folder;
    out.attributes = a;
    out.written = sx.stx_mtime.tv_sec;
    out.modifiedNs = int64_t(sx.stx_mtime.tv_sec) * 1000000000 + sx.stx_mtime.tv_nsec;
    out.changedNs = (sx.stx_mask & STATX_CTIME) != 0
        ? int64_t(sx.stx_ctime.tv_sec) * 1000000000 + sx.stx_ctime.tv_nsec
        : 0;
    out.accessed = sx.stx_atime.tv_sec;
    out.hasCreated = (sx.stx_mask & STATX_BTIME) != 0;
    out.created = out.hasCreated ? int64_t(sx.stx_btime.tv_sec) : 0;
    return true;
}

// The last component of a path ("/" for the root).
std::string baseNameOf(const std::string &path)
{
    std::string_view base(path);
    while (base.size() > 1 && base.back() == '/')
        base.remove_suffix(1);
    const size_t slash = base.rfind('/');
    return std::string(slash == std::string_view::npos || base.size() == 1 ? base : base.substr(slash + 1));
}
}

namespace {
// The first block holds an ordinary folder's listing in one read (about a
// thousand entries); a folder that fills it gets ever larger blocks, so a
// huge one takes few reads.
constexpr size_t kFirstBlock = 32 * 1024;
constexpr size_t kLargestBlock = 1024 * 1024;

// A first-size block a listing released, kept for the thread's next one: a
// walk lists folder after folder, and each would otherwise ask the heap for
// (and give back) a block.
thread_local std::unique_ptr<char[]> t_spareBlock;

void releaseBlock(std::unique_ptr<char[]> &block, size_t size)
{
    if (block && size == kFirstBlock && !t_spareBlock)
        t_spareBlock = std::move(block);
    block.reset();
}
}

DirReader::DirReader(const std::string &path)
{
    adopt(::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC), baseNameOf(path).c_str());
}

DirReader::DirReader(const DirReader &parent, const char *name)
{
    if (parent.fd_ >= 0)
        adopt(::openat(parent.fd_, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC), name);
    else
        error_ = EBADF;
}

// The name is not known here: the folder's own entry gets no hidden bit.
DirReader::DirReader(UniqueFd folder) { adopt(folder.release(), ""); }

void DirReader::adopt(int fd, const char *baseName)
{
    if (fd < 0) {
        error_ = errno;
        return;
    }
    const bool described = statAt(fd, "", AT_EMPTY_PATH, baseName, own_, &place_);
    if (!described || !own_.folder) {
        error_ = described ? ENOTDIR : errno;
        ::close(fd);
        place_ = {};
        return;
    }
    fd_ = fd;
}

DirReader::~DirReader()
{
    releaseBlock(block_, blockSize_);
    if (fd_ >= 0)
        ::close(fd_);
}


// Reads the next block of raw entries; false at the end of the listing (or
// on an error, which ends it too), when the block is released.
bool DirReader::fill()
{
    if (ended_ || fd_ < 0)
        return false;
    if (!block_) {
        blockSize_ = blockSize_ ? blockSize_ : kFirstBlock;
        if (blockSize_ == kFirstBlock && t_spareBlock)
            block_ = std::move(t_spareBlock);
        else
            block_.reset(new char[blockSize_]);
    } else if (filled_ + sizeof(struct dirent64) > blockSize_ && blockSize_ < kLargestBlock) {
        // The last read stopped for want of room: the folder goes on.
        releaseBlock(block_, blockSize_);
        blockSize_ *= 2;
        block_.reset(new char[blockSize_]);
    }
    const ssize_t got = ::getdents64(fd_, block_.get(), blockSize_);
    if (got <= 0) {
        ended_ = true;
        releaseBlock(block_, blockSize_);
        filled_ = at_ = 0;
        return false;
    }
    filled_ = size_t(got);
    at_ = 0;
    return true;
}

bool DirReader::next(const char *&name, size_t &length, Kind &kind)
{
    for (;;) {
        if (at_ >= filled_ && !fill())
            return false;
        const auto *e = reinterpret_cast<const struct dirent64 *>(block_.get() + at_);
        at_ += e->d_reclen;
        const char *n = e->d_name;
        if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
            continue;
        name = n;
        length = std::char_traits<char>::length(n);
        kind = kindOfType(e->d_type);
        return true;
    }
}

bool DirReader::stat(const char *name, EntryStat &out) const
{
    return fd_ >= 0 && statAt(fd_, name, 0, name, out);
}

std::vector<std::string> DirReader::namesOfKind(const std::string &folder, Kind wanted,
                                                const std::function<bool(std::string_view)> &accept)
{
    std::vector<std::string> out;
    DirReader dir(folder);
    const char *name = nullptr;
    size_t length = 0;
    Kind kind;
    while (dir.next(name, length, kind)) {
        if (accept && !accept(std::string_view(name, length)))
            continue;
        if (kind == Kind::Unknown)
            kind = dir.kindOf(name);
        if (kind == wanted)
            out.emplace_back(name, length);
    }
    return out;
}

bool DirReader::statPath(const std::string &path, EntryStat &out)
{
    if (path.empty())
        return false;
    if (path.size() >= PATH_MAX) {
        // Too long for one call: looked at in its folder, reached from its
        // anchor a stretch at a time.
        const AnchoredPath::Parent parent = AnchoredPath::openParent(path);
        if (!parent) {
            errno = parent.error;
            return false;
        }
        return statAt(parent.folder.get(), parent.name.c_str(), 0, parent.name.c_str(), out);
    }
    return statAt(AT_FDCWD, path.c_str(), 0, baseNameOf(path).c_str(), out);
}

DirReader::Kind DirReader::kindOf(const char *name) const
{
    struct stat st;
    if (fd_ < 0 || ::fstatat(fd_, name, &st, AT_SYMLINK_NOFOLLOW) != 0)
        return Kind::Other;
    if (S_ISDIR(st.st_mode))
        return Kind::Folder;
    return S_ISREG(st.st_mode) ? Kind::File : Kind::Other;
}

void DirReader::raiseOpenLimit()
{
    struct rlimit rl;
    if (::getrlimit(RLIMIT_NOFILE, &rl) != 0)
        return;
    const rlim_t want = 8192;
    if (rl.rlim_cur >= want || rl.rlim_cur == RLIM_INFINITY)
        return;
    rl.rlim_cur = (rl.rlim_max == RLIM_INFINITY || rl.rlim_max > want) ? want : rl.rlim_max;
    ::setrlimit(RLIMIT_NOFILE, &rl);
}
