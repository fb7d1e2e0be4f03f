#include "platform/PathInfo.h"
#include "platform/AnchoredPath.h"

#include <cerrno>
#include <climits>
#include <cstdlib>
#include <sys/stat.h>
#include <unistd.h>

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

bool PathInfo::removeFile(const std::string &path)
{
    int error = 0;
    return AnchoredPath::unlink(path, &error) || error == ENOENT;
}

bool PathInfo::removeOwnFile(const std::string &path)
{
    return ::unlink(path.c_str()) == 0 || errno == ENOENT;
}
