#include "platform/ContentFile.h"

#include <atomic>
#include <cerrno>
#include <cstring>
#include <memory>
#include <fcntl.h>
#include <sys/stat.h>
#include <sys/uio.h>
#include <unistd.h>

namespace {
// Whether this kernel takes RWF_NOWAIT on buffered reads (it answers
// EOPNOTSUPP once otherwise; every read is then a plain one).
std::atomic<bool> g_noWait{true};

// What the cache holds at offset, read without waiting for the drive: the
// count (0 when nothing there is cached), -1 when the kernel cannot tell.
ssize_t readCached(int fd, uint64_t offset, void *buf, size_t n)
{
    if (!g_noWait)
        return -1;
    iovec v{buf, n};
    for (;;) {
        const ssize_t r = ::preadv2(fd, &v, 1, off_t(offset), RWF_NOWAIT);
        if (r >= 0)
            return r;
        if (errno == EINTR)
            continue;
        if (errno == EAGAIN)
            return 0;
        if (errno == EOPNOTSUPP || errno == ENOSYS || errno == EINVAL)
            g_noWait = false;
        return -1;
    }
}

ssize_t readPlain(int fd, uint64_t offset, void *buf, size_t n)
{
    for (;;) {
        const ssize_t r = ::pread(fd, buf, n, off_t(offset));
        if (r >= 0 || errno != EINTR)
            return r;
    }
}
}

bool ContentFile::open(int folder, const char *name, int &error)
{
    close();
    fd_ = UniqueFd(::openat(folder, name, O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY));
    if (!fd_) {
        error = errno;
        return false;
    }
    struct stat st;
    if (::fstat(fd_.get(), &st) != 0) {
        error = errno;
        fd_.reset();
        return false;
    }
    if (!S_ISREG(st.st_mode)) {
        error = EINVAL;
        fd_.reset();
        return false;
    }
    return true;
}

bool ContentFile::identity(FileIdentity &out) const
{
    struct stat st;
    if (!fd_ || ::fstat(fd_.get(), &st) != 0)
        return false;
    out = FileIdentity::of(st);
    return true;
}

int64_t ContentFile::read(uint64_t offset, void *buf, size_t n, Pattern pattern, int &error)
{
    auto *p = static_cast<char *>(buf);
    size_t got = 0;
    // Whatever the cache holds comes first; the rest from the drive.
    const ssize_t cached = readCached(fd_.get(), offset, p, n);
    if (cached > 0)
        got = size_t(cached);
    if (got == n)
        return int64_t(got);
    // Something is missing: tell the kernel how this file is read, once.
    if (!advised_) {
        ::posix_fadvise(fd_.get(), 0, 0, pattern == Pattern::Whole ? POSIX_FADV_SEQUENTIAL : POSIX_FADV_RANDOM);
        advised_ = true;
    }
    const uint64_t from = offset + got;
    while (got < n) {
        const ssize_t r = readPlain(fd_.get(), offset + got, p + got, n - got);
        if (r < 0) {
            error = errno;
            return -1;
        }
        if (r == 0)
            break;
        got += size_t(r);
    }
    // A kernel that cannot tell what was cached: nothing is dropped.
    if (cached >= 0 && offset + got > from)
        brought(from, offset + got);
    return int64_t(got);
}

void ContentFile::brought(uint64_t from, uint64_t to)
{
    if (!brought_.empty() && brought_.back().second == from)
        brought_.back().second = to;
    else
        brought_.emplace_back(from, to);
    // A whole file read from the drive is dropped as it goes, so the
    // search never holds more than a few blocks of it in the cache.
    if (brought_.back().second - brought_.back().first >= (uint64_t(8) << 20))
        dropBrought();
}

void ContentFile::dropBrought()
{
    for (const auto &[from, to] : brought_)
        ::posix_fadvise(fd_.get(), off_t(from), off_t(to - from), POSIX_FADV_DONTNEED);
    brought_.clear();
}

void ContentFile::close()
{
    if (!fd_)
        return;
    dropBrought();
    fd_.reset();
    advised_ = false;
}

namespace {
bool openPath(ContentFile &f, const std::string &path, int &error)
{
    const AnchoredPath::Parent parent = AnchoredPath::openParent(path);
    if (!parent) {
        error = parent.error;
        return false;
    }
    return f.open(parent.folder.get(), parent.name.c_str(), error);
}
}

ContentFile::Match ContentFile::compare(const std::string &a, const std::string &b, int &error)
{
    ContentFile fa, fb;
    if (!openPath(fa, a, error))
        return Match::FirstUnreadable;
    if (!openPath(fb, b, error))
        return Match::SecondUnreadable;
    FileIdentity ia, ib;
    if (!fa.identity(ia)) {
        error = errno;
        return Match::FirstUnreadable;
    }
    if (!fb.identity(ib)) {
        error = errno;
        return Match::SecondUnreadable;
    }
    if (ia.sameFile(ib))
        return Match::Same;
    if (ia.size != ib.size)
        return Match::Differ;
    constexpr size_t kChunk = size_t(256) << 10;
    const std::unique_ptr<char[]> ba(new char[kChunk]), bb(new char[kChunk]);
    for (uint64_t at = 0;;) {
        const int64_t na = fa.read(at, ba.get(), kChunk, Pattern::Whole, error);
        if (na < 0)
            return Match::FirstUnreadable;
        const int64_t nb = fb.read(at, bb.get(), kChunk, Pattern::Whole, error);
        if (nb < 0)
            return Match::SecondUnreadable;
        // A file that grew or shrank since its size was taken ends apart
        // from the other.
        if (na != nb || std::memcmp(ba.get(), bb.get(), size_t(na)) != 0)
            return Match::Differ;
        if (na == 0)
            return Match::Same;
        at += uint64_t(na);
    }
}
