#include "platform/ExtractTarget.h"

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstring>
#include <fcntl.h>
#include <random>
#include <sys/stat.h>
#include <sys/statvfs.h>
#include <unistd.h>

namespace {
std::atomic<bool> unnamedAllowed{true};
std::atomic<unsigned> userMask{022}; // the umask, read when a target is opened

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

// The process's umask, read without changing it where the kernel tells it.
mode_t processUmask()
{
    if (FILE *f = std::fopen("/proc/self/status", "re")) {
        char line[256];
        unsigned mask = 0;
        bool found = false;
        while (!found && std::fgets(line, sizeof line, f))
            found = std::sscanf(line, "Umask: %o", &mask) == 1;
        std::fclose(f);
        if (found)
            return mode_t(mask);
    }
    const mode_t m = ::umask(022);
    ::umask(m);
    return m;
}

// Descriptors held for the top levels of a path and for its deepest levels.
constexpr size_t kKeepTop = 8;
constexpr size_t kKeepDeep = 24;

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
    userMask = unsigned(processUmask());
    root_ = ::open(destination.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (root_ < 0)
        fail(Failure::System, errno);
}

ExtractTarget::~ExtractTarget()
{
    closeFrom(0);
    if (root_ >= 0)
        ::close(root_);
}

bool ExtractTarget::freeSpace(uint64_t &bytes) const
{
    struct statvfs st;
    if (root_ < 0 || ::fstatvfs(root_, &st) != 0)
        return false;
    bytes = uint64_t(st.f_bavail) * uint64_t(st.f_frsize);
    return true;
}

void ExtractTarget::closeFrom(size_t level)
{
    while (openFds_.size() > level) {
        if (openFds_.back() >= 0) {
            ::close(openFds_.back());
            --held_;
        }
        openFds_.pop_back();
        openParts_.pop_back();
    }
}

int ExtractTarget::openLevel(size_t level, const std::string &name, bool create)
{
    // The nearest folder above that is held (the destination at worst); the
    // levels between are opened again on the way down.
    size_t from = level;
    while (from > 0 && openFds_[from - 1] < 0)
        --from;
    for (size_t i = from; i <= level; ++i) {
        const int parent = i == 0 ? root_ : openFds_[i - 1];
        const char *part = i == level ? name.c_str() : openParts_[i].c_str();
        int fd = ::openat(parent, part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        if (fd < 0 && errno == ENOENT && create && i == level) {
            if (::mkdirat(parent, part, 0777) != 0 && errno != EEXIST)
                return fail(Failure::System, errno), -1;
            fd = ::openat(parent, part, O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            struct stat st;
            if (fd >= 0 && ::fstat(fd, &st) == 0)
                created_.push_back({level, uint64_t(st.st_dev), uint64_t(st.st_ino)});
        }
        if (fd < 0) {
            const int err = errno;
            struct stat st;
            if (::fstatat(parent, part, &st, AT_SYMLINK_NOFOLLOW) == 0) {
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
        if (i == level) {
            openFds_.push_back(fd);
            openParts_.push_back(name);
        } else {
            openFds_[i] = fd;
        }
        ++held_;
        // Let go of a middle level once the deepest ones are enough.
        if (i >= kKeepTop + kKeepDeep && openFds_[i - kKeepDeep] >= 0) {
            ::close(openFds_[i - kKeepDeep]);
            openFds_[i - kKeepDeep] = -1;
            --held_;
        }
    }
    return openFds_[level];
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
    created_.clear();
    if (root_ < 0) {
        fail(Failure::System, EBADF);
        return -1;
    }
    // Keep the folders this path shares with the last one.
    size_t keep = 0;
    while (keep < parts.size() && keep < openParts_.size() && parts[keep] == openParts_[keep])
        ++keep;
    closeFrom(keep);
    if (keep == parts.size() && keep > 0 && openFds_[keep - 1] < 0) {
        // The folder itself was let go: open it again from above.
        closeFrom(keep - 1);
        keep -= 1;
    }
    for (size_t i = keep; i < parts.size(); ++i) {
        if (openLevel(i, parts[i], create) < 0) {
            const Failure f = failure_;
            const std::string why = error_;
            undoCreated();
            failure_ = f;
            error_ = why;
            return -1;
        }
    }
    return parts.empty() ? root_ : openFds_.back();
}

void ExtractTarget::undoCreated()
{
    if (created_.empty())
        return;
    // From the deepest folder made up to the first one, through "..": each
    // goes only while its parent still holds it under its name and it is
    // empty (unlinkat refuses a folder that is not).
    const Made deepest = created_.back();
    int fd = deepest.level < openFds_.size() && openFds_[deepest.level] >= 0
        ? ::fcntl(openFds_[deepest.level], F_DUPFD_CLOEXEC, 0)
        : -1;
    const std::vector<std::string> names(openParts_.begin(), openParts_.begin() + std::min(openParts_.size(), deepest.level + 1));
    closeFrom(0);
    for (size_t k = created_.size(); fd >= 0 && k-- > 0;) {
        const Made &m = created_[k];
        struct stat self, named;
        const int parent = ::openat(fd, "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        const bool same = parent >= 0 && m.level < names.size() && ::fstat(fd, &self) == 0
            && uint64_t(self.st_dev) == m.device && uint64_t(self.st_ino) == m.inode
            && ::fstatat(parent, names[m.level].c_str(), &named, AT_SYMLINK_NOFOLLOW) == 0
            && named.st_dev == self.st_dev && named.st_ino == self.st_ino;
        ::close(fd);
        fd = parent;
        if (!same || ::unlinkat(parent, names[m.level].c_str(), AT_REMOVEDIR) != 0)
            break;
        if (k > 0 && created_[k - 1].level + 1 != m.level)
            break; // not made in one run down: stop rather than guess
    }
    if (fd >= 0)
        ::close(fd);
    created_.clear();
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
    // The recorded mode, less what the user's umask takes away from new files.
    const mode_t perms = (mode < 0 ? 0666 : (mode_t(mode) & 0777)) & ~mode_t(userMask.load());
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
