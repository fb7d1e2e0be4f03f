#include "platform/Removal.h"

#include <cerrno>
#include <sys/stat.h>
#include <unistd.h>

bool Removal::deleteFile(const std::string &path, int *error)
{
    if (!path.empty() && ::unlink(path.c_str()) == 0)
        return true;
    if (error)
        *error = path.empty() ? ENOENT : errno;
    return false;
}

int64_t Removal::entrySize(const std::string &path)
{
    struct stat st;
    if (::lstat(path.c_str(), &st) != 0)
        return -1;
    return int64_t(st.st_size);
}
