#include "platform/AtomicFile.h"
#include "platform/Paths.h"

#include <cerrno>
#include <cstdio>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

bool AtomicFile::write(const std::string &path, const std::string &content)
{
    const auto slash = path.find_last_of('/');
    const std::string folder = slash == std::string::npos ? "." : (slash == 0 ? "/" : path.substr(0, slash));
    if (!Paths::makeFolders(folder))
        return false;

    mode_t mode = 0644;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        mode = st.st_mode & 07777;

    std::string tmp = path + ".XXXXXX";
    const int fd = ::mkstemp(tmp.data());
    if (fd < 0)
        return false;
    bool ok = writeAll(fd, content.data(), content.size());
    ok = ok && ::fchmod(fd, mode) == 0;
    ok = ok && ::fsync(fd) == 0;
    ok = (::close(fd) == 0) && ok;
    ok = ok && ::rename(tmp.c_str(), path.c_str()) == 0;
    if (!ok) {
        ::unlink(tmp.c_str());
        return false;
    }
    const int dfd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (dfd >= 0) {
        ::fsync(dfd);
        ::close(dfd);
    }
    return true;
}

bool AtomicFile::read(const std::string &path, std::string &content)
{
    content.clear();
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd < 0)
        return false;
    char buf[65536];
    for (;;) {
        const ssize_t n = ::read(fd, buf, sizeof buf);
        if (n < 0) {
            if (errno == EINTR)
                continue;
            ::close(fd);
            return false;
        }
        if (n == 0)
            break;
        content.append(buf, size_t(n));
    }
    ::close(fd);
    return true;
}

bool AtomicFile::readLines(const std::string &path, std::vector<std::string> &lines)
{
    lines.clear();
    std::string content;
    if (!read(path, content))
        return false;
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
    return true;
}
