#include "platform/PathInfo.h"
#include "platform/AnchoredPath.h"

#include <cerrno>
#include <cstring>
#include <fcntl.h>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

bool PathInfo::isFolder(const std::string &path)
{
    struct stat st;
    return !path.empty() && ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

bool PathInfo::exists(const std::string &path)
{
    struct stat st;
    return !path.empty() && ::lstat(path.c_str(), &st) == 0;
}

std::string PathInfo::resolved(const std::string &path)
{
    if (path.empty())
        return {};
    char *r = ::realpath(path.c_str(), nullptr);
    if (!r)
        return {};
    std::string out(r);
    std::free(r);
    return out;
}

std::string PathInfo::resolvedAsCreated(const std::string &path)
{
    std::string existing = path;
    while (existing.size() > 1 && existing.back() == '/')
        existing.pop_back();
    std::vector<std::string> missing; // the components below it, last first
    for (;;) {
        const std::string real = resolved(existing.empty() ? std::string(".") : existing);
        if (!real.empty()) {
            std::string out = real;
            for (auto it = missing.rbegin(); it != missing.rend(); ++it) {
                if (*it == "." || it->empty())
                    continue;
                if (*it == "..") {
                    const size_t slash = out.find_last_of('/');
                    out.resize(slash == 0 ? 1 : slash);
                    continue;
                }
                if (out.back() != '/')
                    out += '/';
                out += *it;
            }
            return out;
        }
        const size_t slash = existing.find_last_of('/');
        if (existing == "/" || (slash == std::string::npos && existing.empty()))
            return {};
        if (slash == std::string::npos) {
            missing.push_back(existing);
            existing.clear();
        } else {
            missing.push_back(existing.substr(slash + 1));
            existing.resize(slash == 0 ? 1 : slash);
        }
    }
}

PathInfo::NotAFolder PathInfo::firstNonFolder(const std::string &path)
{
    size_t at = 0;
    while (at < path.size()) {
        const size_t slash = path.find('/', at + 1);
        const size_t end = slash == std::string::npos ? path.size() : slash;
        const std::string prefix = path.substr(0, end);
        at = end;
        if (prefix.empty() || prefix.back() == '/')
            continue;
        struct stat st;
        if (::lstat(prefix.c_str(), &st) != 0)
            return {};
        if (S_ISLNK(st.st_mode))
            return {prefix, true};
        if (!S_ISDIR(st.st_mode))
            return {prefix, false};
    }
    return {};
}

bool PathInfo::removeFile(const std::string &path)
{
    int error = 0;
    return AnchoredPath::unlink(path, &error) || error == ENOENT;
}

bool PathInfo::removeOwnFile(const std::string &path)
{
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}

std::string PathInfo::smallFileProblem(const std::string &path, uint64_t maxBytes)
{
    const auto refusal = [maxBytes](const struct stat &st) -> std::string {
        if (!S_ISREG(st.st_mode))
            return "is not a regular file";
        if (uint64_t(st.st_size) > maxBytes)
            return "is larger than " + std::to_string(maxBytes) + " bytes";
        return {};
    };
    struct stat st;
    if (path.empty() || ::stat(path.c_str(), &st) != 0)
        return path.empty() || errno == ENOENT || errno == ENOTDIR ? "does not exist"
                                                                    : "cannot be read (" + std::string(std::strerror(errno)) + ")";
    if (std::string why = refusal(st); !why.empty())
        return why;
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC | O_NONBLOCK | O_NOCTTY);
    if (fd < 0)
        return "cannot be read (" + std::string(std::strerror(errno)) + ")";
    // The same checks on what was opened: the name may have changed between.
    std::string why = ::fstat(fd, &st) == 0 ? refusal(st) : "cannot be read (" + std::string(std::strerror(errno)) + ")";
    ::close(fd);
    return why;
}
