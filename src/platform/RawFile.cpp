#include "platform/RawFile.h"
#include "platform/AnchoredPath.h"

#include <algorithm>

#include <cerrno>
#include <climits>
#include <cstring>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
RawFile::FaultHook g_hook = nullptr;

void fault(const char *step, size_t bytes)
{
    if (g_hook)
        g_hook(step, bytes);
}
}

void RawFile::setFaultHook(FaultHook hook) { g_hook = hook; }

void RawFile::faultStep(const char *step) { fault(step, 0); }

RawFile::~RawFile() { close(); }

RawFile::RawFile(RawFile &&other) noexcept
    : fd_(other.fd_), errorCode_(other.errorCode_), error_(std::move(other.error_))
{
    other.fd_ = -1;
}

RawFile &RawFile::operator=(RawFile &&other) noexcept
{
    if (this != &other) {
        close();
        fd_ = other.fd_;
        errorCode_ = other.errorCode_;
        error_ = std::move(other.error_);
        other.fd_ = -1;
    }
    return *this;
}

bool RawFile::fail()
{
    errorCode_ = errno;
    error_ = std::strerror(errno);
    return false;
}

namespace {
int flagsOf(RawFile::Mode mode)
{
    switch (mode) {
    case RawFile::Mode::Read: return O_CLOEXEC | O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    case RawFile::Mode::ReadWrite: return O_CLOEXEC | O_RDWR | O_NOFOLLOW | O_NONBLOCK | O_NOCTTY;
    case RawFile::Mode::ReadFollowing: return O_CLOEXEC | O_RDONLY | O_NONBLOCK | O_NOCTTY;
    case RawFile::Mode::CreateNew: break;
    }
    return O_CLOEXEC | O_RDWR | O_CREAT | O_EXCL;
}
}

bool RawFile::open(const std::string &path, Mode mode)
{
    close();
    if (path.size() >= PATH_MAX && mode != Mode::CreateNew) {
        // Too long for one call: the folder is reached from its anchor a
        // stretch at a time, and the file opened in it.
        const AnchoredPath::Parent parent = AnchoredPath::openParent(path);
        if (!parent) {
            errno = parent.error;
            return fail();
        }
        if (mode == Mode::ReadFollowing) {
            struct stat before;
            if (::fstatat(parent.folder.get(), parent.name.c_str(), &before, 0) != 0)
                return fail();
            if (!S_ISREG(before.st_mode)) {
                error_ = "not a regular file";
                return false;
            }
            return adopt(::openat(parent.folder.get(), parent.name.c_str(), flagsOf(mode), 0644), mode);
        }
        return openAt(parent.folder.get(), parent.name, mode);
    }
    if (mode == Mode::ReadFollowing) {
        // Looked at before it is opened, so that a FIFO, socket or device
        // is never opened at all.
        struct stat before;
        if (::stat(path.c_str(), &before) != 0)
            return fail();
        if (!S_ISREG(before.st_mode)) {
            error_ = "not a regular file";
            return false;
        }
    }
    return adopt(::open(path.c_str(), flagsOf(mode), 0644), mode);
}

bool RawFile::openAt(int folder, const std::string &name, Mode mode)
{
    close();
    return adopt(::openat(folder, name.c_str(), flagsOf(mode) | O_NOFOLLOW, 0644), mode);
}

bool RawFile::adopt(int fd, Mode mode)
{
    fd_ = fd;
    if (fd_ < 0)
        return fail();
    struct stat st;
    if (::fstat(fd_, &st) != 0 || !S_ISREG(st.st_mode)) {
        if (::fstat(fd_, &st) != 0)
            fail();
        else
            error_ = "not a regular file";
        ::close(fd_);
        fd_ = -1;
        return false;
    }
    // Regular files never block; clear the flag so reads and writes behave normally.
    ::fcntl(fd_, F_SETFL, ::fcntl(fd_, F_GETFL) & ~O_NONBLOCK);
    if (mode == Mode::Read || mode == Mode::ReadFollowing)
        ::posix_fadvise(fd_, 0, 0, POSIX_FADV_SEQUENTIAL);
    error_.clear();
    return true;
}

void RawFile::close()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
}

bool RawFile::stat(Info &info) const
{
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return false;
    info.size = uint64_t(st.st_size);
    info.mtime = int64_t(st.st_mtime);
    info.mode = uint32_t(st.st_mode);
    info.device = uint64_t(st.st_dev);
    info.inode = uint64_t(st.st_ino);
    return true;
}

bool RawFile::identity(FileIdentity &out) const
{
    struct stat st;
    if (fd_ < 0 || ::fstat(fd_, &st) != 0)
        return false;
    out = FileIdentity::of(st);
    return true;
}

uint64_t RawFile::size() const
{
    Info i;
    return stat(i) ? i.size : 0;
}

bool RawFile::lockExclusive()
{
    return ::flock(fd_, LOCK_EX | LOCK_NB) == 0 || fail();
}

int64_t RawFile::readAt(uint64_t offset, void *buf, size_t n) const
{
    for (;;) {
        const ssize_t r = ::pread(fd_, buf, n, off_t(offset));
        if (r < 0 && errno == EINTR)
            continue;
        if (r < 0)
            const_cast<RawFile *>(this)->fail();
        return r;
    }
}

bool RawFile::readFully(uint64_t offset, void *buf, size_t n) const
{
    auto *p = static_cast<char *>(buf);
    while (n > 0) {
        const int64_t r = readAt(offset, p, n);
        if (r <= 0) {
            if (r == 0)
                const_cast<RawFile *>(this)->error_ = "unexpected end of file";
            return false;
        }
        p += r;
        offset += uint64_t(r);
        n -= size_t(r);
    }
    return true;
}

bool RawFile::writeAt(uint64_t offset, const void *buf, size_t n)
{
    fault("write", n);
    const auto *p = static_cast<const char *>(buf);
    while (n > 0) {
        const ssize_t r = ::pwrite(fd_, p, n, off_t(offset));
        if (r < 0) {
            if (errno == EINTR)
                continue;
            return fail();
        }
        p += r;
        offset += uint64_t(r);
        n -= size_t(r);
    }
    return true;
}

bool RawFile::truncate(uint64_t size)
{
    fault("truncate", 0);
    return ::ftruncate(fd_, off_t(size)) == 0 || fail();
}

bool RawFile::sync()
{
    fault("sync", 0);
    return ::fsync(fd_) == 0 || fail();
}

bool RawFile::syncFolder(const std::string &folder)
{
    const int dfd = ::open(folder.empty() ? "." : folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd < 0)
        return false;
    const bool ok = ::fsync(dfd) == 0;
    ::close(dfd);
    return ok;
}

uint64_t RawFile::dataAfter(uint64_t offset) const
{
    const off_t r = ::lseek(fd_, off_t(offset), SEEK_DATA);
    if (r >= 0)
        return uint64_t(r);
    return errno == ENXIO ? std::max(offset, size()) : offset;
}

uint64_t RawFile::holeAfter(uint64_t offset) const
{
    const off_t r = ::lseek(fd_, off_t(offset), SEEK_HOLE);
    if (r >= 0)
        return uint64_t(r);
    return std::max(offset, size());
}
