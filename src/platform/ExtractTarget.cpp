#include "platform/ExtractTarget.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::atomic<bool> unnamedAllowed{true};

const char *textOf(ExtractTarget::Failure f)
{
    switch (f) {
    case ExtractTarget::Failure::Exists: return "a file of that name exists";
    case ExtractTarget::Failure::Link: return "the name passes through a symbolic link";
    case ExtractTarget::Failure::NotFolder: return "a part of the name is a file, not a folder";
    default: return nullptr;
    }
}

std::string describe(ExtractTarget::Failure f, int err)
{
    if (const char *t = textOf(f))
        return t;
    return std::strerror(err);
}

mode_t processUmask()
{
    static const mode_t mask = [] {
        const mode_t m = ::umask(022);
        ::umask(m);
        return m;
    }();
    return mask;
}

// Whether an unnamed file can be given a name through /proc.
bool procLinksWork()
{
    static const bool ok = ::access("/proc/self/fd", X_OK) == 0;
    return ok;
}

std::string tempName()
{
    static std::mt19937_64 gen{std::random_device{}()};
    char buf[32];
    std::snprintf(buf, sizeof buf, ".vantor-%012llx", static_cast<unsigned long long>(gen() & 0xFFFFFFFFFFFFull));
    return buf;
}
}

void ExtractTarget::setUnnamedFiles(bool allowed) { unnamedAllowed = allowed; }

ExtractTarget::ExtractTarget(const std::string &destination)
{
    root_ = ::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root_ < 0)
        fail(Failure::System, errno);
}

ExtractTarget::~ExtractTarget()
{
    for (int fd : openFds_)
        ::close(fd);
    if (root_ >= 0)
        ::close(root_);
}

bool ExtractTarget::fail(Failure f, int err)
{
    failure_ = f;
    error_ = describe(f, err);
    return false;
}

int ExtractTarget::folder(const std::vector<std::string> &parts, bool create)
{
    failure_ = Failure::None;
    error_.clear();
    if (root_ < 0) {
        fail(Failure::System, EBADF);
        return -1;
    }
    // Keep the descriptors of the folders this path shares with the last one.
    size_t keep = 0;
    while (keep < parts.size() && keep < openParts_.size() && parts[keep] == openParts_[keep])
        ++keep;
    while (openFds_.size() > keep) {
        ::close(openFds_.back());
        openFds_.pop_back();
        openParts_.pop_back();
    }
    for (size_t i = keep; i < parts.size(); ++i) {
        const int parent = i == 0 ? root_ : openFds_[i - 1];
        const char *name = parts[i].c_str();
        int fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT && create) {
            if (::mkdirat(parent, name, 0777) != 0 && errno != EEXIST) {
                fail(Failure::System, errno);
                return -1;
            }
            fd = ::openat(parent, name, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        }
        if (fd < 0) {
            const int err = errno;
            struct stat st;
            if (::fstatat(parent, name, &st, AT_SYMLINK_NOFOLLOW) == 0) {
                if (S_ISLNK(st.st_mode))
                    fail(Failure::Link, err);
                else if (!S_ISDIR(st.st_mode))
                    fail(Failure::NotFolder, err);
                else
                    fail(Failure::System, err);
            } else {
                fail(Failure::System, err);
            }
            return -1;
        }
        openFds_.push_back(fd);
        openParts_.push_back(parts[i]);
    }
    return parts.empty() ? root_ : openFds_.back();
}

bool ExtractTarget::exists(int dirFd, const std::string &name) const
{
    struct stat st;
    return ::fstatat(dirFd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0;
}

bool ExtractTarget::create(int dirFd, const std::string &name, NewFile &file)
{
    file.discard();
    file.dirFd_ = dirFd;
    file.name_ = name;
    file.written_ = 0;
    file.failure_ = Failure::None;
    file.error_.clear();
    if (unnamedAllowed && procLinksWork()) {
        file.fd_ = ::openat(dirFd, ".", O_TMPFILE | O_WRONLY | O_CLOEXEC, 0600);
        if (file.fd_ >= 0)
            return true;
        // The file system has no unnamed files: fall back to a named one.
    }
    for (int attempt = 0; attempt < 100; ++attempt) {
        const std::string temp = tempName();
        file.fd_ = ::openat(dirFd, temp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (file.fd_ >= 0) {
            file.tempName_ = temp;
            return true;
        }
        if (errno != EEXIST)
            break;
    }
    const int err = errno;
    failure_ = Failure::System;
    error_ = describe(Failure::System, err);
    return file.fail(Failure::System, err);
}

ExtractTarget::NewFile::~NewFile() { discard(); }

bool ExtractTarget::NewFile::fail(Failure f, int err)
{
    failure_ = f;
    error_ = describe(f, err);
    return false;
}

bool ExtractTarget::NewFile::write(const char *data, size_t n)
{
    while (n > 0) {
        const ssize_t w = ::write(fd_, data, n);
        if (w < 0) {
            if (errno == EINTR)
                continue;
            return fail(Failure::System, errno);
        }
        if (w == 0)
            return fail(Failure::System, ENOSPC);
        data += w;
        n -= size_t(w);
        written_ += uint64_t(w);
    }
    return true;
}

bool ExtractTarget::NewFile::commit(int mode, int64_t mtime)
{
    if (fd_ < 0)
        return fail(Failure::System, EBADF);
    const mode_t perms = mode < 0 ? (0666 & ~processUmask()) : (mode_t(mode) & 0777);
    if (::fchmod(fd_, perms) != 0)
        return fail(Failure::System, errno);
    if (mtime >= 0) {
        struct timespec times[2];
        times[0].tv_sec = 0;
        times[0].tv_nsec = UTIME_NOW;
        times[1].tv_sec = time_t(mtime);
        times[1].tv_nsec = 0;
        if (::futimens(fd_, times) != 0)
            return fail(Failure::System, errno);
    }
    if (tempName_.empty()) {
        char proc[64];
        std::snprintf(proc, sizeof proc, "/proc/self/fd/%d", fd_);
        if (::linkat(AT_FDCWD, proc, dirFd_, name_.c_str(), AT_SYMLINK_FOLLOW) != 0)
            return fail(errno == EEXIST ? Failure::Exists : Failure::System, errno);
    } else {
        // Rename without replacing; where the file system cannot, link the
        // temporary name to the final one (which also never replaces) and
        // remove the temporary name.
        if (::renameat2(dirFd_, tempName_.c_str(), dirFd_, name_.c_str(), RENAME_NOREPLACE) != 0) {
            if (errno == EEXIST)
                return fail(Failure::Exists, errno);
            if (errno != EINVAL && errno != ENOSYS)
                return fail(Failure::System, errno);
            if (::linkat(dirFd_, tempName_.c_str(), dirFd_, name_.c_str(), 0) != 0)
                return fail(errno == EEXIST ? Failure::Exists : Failure::System, errno);
            ::unlinkat(dirFd_, tempName_.c_str(), 0);
        }
        tempName_.clear();
    }
    ::close(fd_);
    fd_ = -1;
    return true;
}

void ExtractTarget::NewFile::discard()
{
    if (fd_ >= 0) {
        ::close(fd_);
        fd_ = -1;
    }
    if (!tempName_.empty()) {
        ::unlinkat(dirFd_, tempName_.c_str(), 0);
        tempName_.clear();
    }
}
