#include "platform/AtomicFile.h"
#include "platform/Paths.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string folderOf(const std::string &path)
{
    const auto slash = path.find_last_of('/');
    return slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
}
}

std::string AtomicFile::writeTarget(const std::string &path)
{
    std::string at = path;
    // A bounded number of hops, as the kernel allows, so a loop of links ends.
    for (int hops = 0; hops < 40; ++hops) {
        struct stat st;
        if (::lstat(at.c_str(), &st) != 0 || !S_ISLNK(st.st_mode))
            return at;
        std::string target(size_t(st.st_size > 0 ? st.st_size : 0) + 256, '\0');
        const ssize_t n = ::readlink(at.c_str(), target.data(), target.size());
        if (n <= 0 || size_t(n) >= target.size())
            return at;
        target.resize(size_t(n));
        at = target.front() == '/' ? target : folderOf(at) + "/" + target;
    }
    return at;
}

AtomicFile::Lock::Lock(const std::string &path)
{
    const std::string target = writeTarget(path);
    if (!Paths::makeFolders(folderOf(target)))
        return;
    const std::string lockPath = target + ".lock";
    fd_ = ::open(lockPath.c_str(), O_RDWR | O_CREAT | O_CLOEXEC | O_NOFOLLOW, 0600);
    if (fd_ < 0)
        return;
    while (::flock(fd_, LOCK_EX) != 0) {
        if (errno != EINTR) {
            ::close(fd_);
            fd_ = -1;
            return;
        }
    }
}

AtomicFile::Lock::~Lock()
{
    if (fd_ >= 0)
        ::close(fd_); // closing the only descriptor releases the lock
}

bool AtomicFile::writeAll(int fd, const char *data, size_t len)
{
    while (len > 0) {
        const ssize_t n = ::write(fd, data, len);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            return false;
        }
        data += n;
        len -= size_t(n);
    }
    return true;
}

bool AtomicFile::write(const std::string &linkOrFile, const std::string &content)
{
    if (!Paths::makeFolders(folderOf(writeTarget(linkOrFile))))
        return false;
    Output out;
    return out.open(linkOrFile) && out.write(content) && out.commit();
}

AtomicFile::Output::~Output() { discard(); }

bool AtomicFile::Output::open(const std::string &linkOrFile)
{
    discard();
    path_ = writeTarget(linkOrFile);
    // A file replaced keeps its mode; a new one gets 0644.
    mode_t mode = 0644;
    struct stat st;
    if (::stat(path_.c_str(), &st) == 0)
        mode = st.st_mode & 07777;
    temp_ = path_ + ".XXXXXX";
    fd_ = ::mkostemp(temp_.data(), O_CLOEXEC);
    if (fd_ < 0 || ::fchmod(fd_, mode) != 0) {
        error_ = errno;
        discard();
        return false;
    }
    return true;
}

bool AtomicFile::Output::write(std::string_view data)
{
    if (fd_ < 0)
        return false;
    if (!writeAll(fd_, data.data(), data.size())) {
        error_ = errno;
        return false;
    }
    return true;
}

bool AtomicFile::Output::commit()
{
    if (fd_ < 0)
        return false;
    bool ok = ::fsync(fd_) == 0;
    if (!ok)
        error_ = errno;
    if (::close(fd_) != 0 && ok) {
        ok = false;
        error_ = errno;
    }
    fd_ = -1;
    if (ok && ::rename(temp_.c_str(), path_.c_str()) != 0) {
        ok = false;
        error_ = errno;
    }
    if (!ok) {
        discard();
        return false;
    }
    temp_.clear();
    const int dfd = ::open(folderOf(path_).c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

void AtomicFile::Output::discard()
{
    if (fd_ >= 0)
        ::close(fd_);
    fd_ = -1;
    if (!temp_.empty())
        ::unlink(temp_.c_str());
    temp_.clear();
}

namespace {
// Why a file of this status is not read as settings or a list; empty when it is.
std::string refusalOfStat(const struct stat &st)
{
    if (!S_ISREG(st.st_mode))
        return "it is not a regular file";
    if (uint64_t(st.st_size) > AtomicFile::kMaxReadSize)
        return "it is larger than " + std::to_string(AtomicFile::kMaxReadSize >> 20) + " MB";
    return {};
}
}

std::string AtomicFile::refusalOf(const std::string &path)
{
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return {};
    return refusalOfStat(st);
}

AtomicFile::ReadResult AtomicFile::load(const std::string &path, std::string &content)
{
    content.clear();
    // Looked at before it is opened: opening a device can have effects of its own.
    struct stat st;
    if (::stat(path.c_str(), &st) != 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    if (!refusalOfStat(st).empty())
        return ReadResult::Failed;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return errno == ENOENT || errno == ENOTDIR ? ReadResult::Missing : ReadResult::Failed;
    // The same checks on what was opened: the name may have changed between.
    if (::fstat(fd, &st) != 0 || !refusalOfStat(st).empty()) {
        ::close(fd);
        return ReadResult::Failed;
    }
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            content.clear();
            return ReadResult::Failed;
        }
        if (n == 0)
            break;
        if (content.size() + size_t(n) > kMaxReadSize) { // it grew while read
            ::close(fd);
            content.clear();
            return ReadResult::Failed;
        }
        content.append(buf, size_t(n));
    }
    ::close(fd);
    return ReadResult::Read;
}

bool AtomicFile::read(const std::string &path, std::string &content)
{
    return load(path, content) == ReadResult::Read;
}

AtomicFile::ReadResult AtomicFile::loadLines(const std::string &path, std::vector<std::string> &lines)
{
    lines.clear();
    std::string content;
    const ReadResult result = load(path, content);
    size_t start = 0;
    while (start < content.size()) {
        size_t end = content.find('\n', start);
        if (end == std::string::npos)
            end = content.size();
        size_t len = end - start;
        if (len > 0 && content[start + len - 1] == '\r')
            --len;
        lines.push_back(content.substr(start, len));
        start = end + 1;
    }
    return result;
}

bool AtomicFile::readLines(const std::string &path, std::vector<std::string> &lines)
{
    return loadLines(path, lines) == ReadResult::Read;
}
