#include "platform/Paths.h"

#include <cerrno>
#include <cstdlib>
#include <fcntl.h>
#include <pwd.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
std::string envOr(const char *name, const std::string &fallback)
{
    const char *v = std::getenv(name);
    if (v && *v == '/')
        return v;
    return fallback;
}
}

std::string Paths::homeFolder()
{
    const char *h = std::getenv("HOME");
    if (h && *h)
        return h;
    if (const passwd *pw = getpwuid(getuid()); pw && pw->pw_dir)
        return pw->pw_dir;
    return "/";
}

std::string Paths::settingsFolder()
{
    return envOr("XDG_CONFIG_HOME", homeFolder() + "/.config") + "/vantor";
}

std::string Paths::settingsFile(const std::string &name)
{
    return settingsFolder() + "/" + name;
}

std::string Paths::dataHome()
{
    return envOr("XDG_DATA_HOME", homeFolder() + "/.local/share");
}

std::string Paths::cacheHome()
{
    return envOr("XDG_CACHE_HOME", homeFolder() + "/.cache");
}

bool Paths::makeFolders(const std::string &path)
{
    if (path.empty())
        return false;
    struct stat st;
    if (::stat(path.c_str(), &st) == 0)
        return S_ISDIR(st.st_mode);
    const auto slash = path.find_last_of('/');
    if (slash != std::string::npos && slash > 0 && !makeFolders(path.substr(0, slash)))
        return false;
    if (::mkdir(path.c_str(), 0755) == 0) {
        // The new name is put on disk with its parent folder.
        const std::string parent = slash == std::string::npos ? "." : slash == 0 ? "/" : path.substr(0, slash);
        if (const int fd = ::open(parent.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC); fd >= 0) {
            ::fsync(fd);
            ::close(fd);
        }
    } else if (errno != EEXIST) {
        return false;
    }
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}
