#include "platform/ExportWalk.h"

#include "platform/AtomicFile.h"
#include "platform/DirReader.h"

#include <cerrno>
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
    std::vector<std::unique_ptr<DirReader>> open;
    open.push_back(std::make_unique<DirReader>(root));
    it.readError = !open.back()->isOpen();
    v.openFolder(it);
    if (it.readError) {
        v.closeFolder();
        return Result::Walked;
    }
    const MountPlace top = open.back()->place();
    unsigned count = 0;
    while (!open.empty()) {
        DirReader &dir = *open.back();
        const char *name = nullptr;
        size_t length = 0;
        DirReader::Kind kind;
        if (!dir.next(name, length, kind)) {
            v.closeFolder();
            open.pop_back();
            continue;
        }
        if (++count % 256 == 0 && v.keepGoing && !v.keepGoing())
            return Result::Aborted;
        if (::fstatat(dir.fd(), name, &st, AT_SYMLINK_NOFOLLOW) != 0)
            continue; // gone since it was listed
        Item e;
        describe(st, e);
        e.name = std::string_view(name, length);
        if (!e.folder) {
            v.file(e);
            continue;
        }
        auto sub = std::make_unique<DirReader>(dir, name);
        if (sub->isOpen() && !sub->place().sameAs(top)) {
            e.excluded = kernelFs(sub->fd()) ? std::string_view("kernfs") : std::string_view("otherfs");
            v.openFolder(e);
            v.closeFolder();
            continue;
        }
        if (!sub->isOpen()) {
            e.readError = true;
            v.openFolder(e);
            v.closeFolder();
            continue;
        }
        v.openFolder(e);
        open.push_back(std::move(sub));
    }
    return Result::Walked;
}
}

AtomicOutput::~AtomicOutput() { discard(); }

bool AtomicOutput::open(const std::string &path)
{
    discard();
    path_ = AtomicFile::writeTarget(path);
    temp_ = path_ + ".XXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0) {
        error_ = errno;
        temp_.clear();
        return false;
    }
    ::fchmod(fd_, 0644);
    return true;
}

bool AtomicOutput::write(std::string_view data)
{
    if (fd_ < 0)
        return false;
    if (!AtomicFile::writeAll(fd_, data.data(), data.size())) {
        error_ = errno;
        return false;
    }
    return true;
}

bool AtomicOutput::commit()
{
    if (fd_ < 0)
        return false;
    if (::fsync(fd_) != 0 || ::close(fd_) != 0) {
        error_ = errno;
        fd_ = -1;
        discard();
        return false;
    }
    fd_ = -1;
    if (::rename(temp_.c_str(), path_.c_str()) != 0) {
        error_ = errno;
        discard();
        return false;
    }
    temp_.clear();
    return true;
}

void AtomicOutput::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
}
