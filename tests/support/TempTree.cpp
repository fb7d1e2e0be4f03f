#include "support/TempTree.h"
#include "support/TestEnv.h"

#include "platform/Paths.h"

#include <cerrno>
#include <fstream>
#include <random>
#include <sstream>
#include <stdexcept>
#include <cstdio>
#include <sys/stat.h>
#include <fcntl.h>
#include <unistd.h>
#include <utime.h>

TempTree::TempTree(const std::string &name) : root_(TestEnv::home() + "/" + name)
{
    if (!Paths::makeFolders(root_))
        throw std::runtime_error("cannot create " + root_);
}

std::string TempTree::path(const std::string &rel) const
{
    return rel.empty() ? root_ : root_ + "/" + rel;
}

std::string TempTree::dir(const std::string &rel) const
{
    const std::string p = path(rel);
    if (!Paths::makeFolders(p))
        throw std::runtime_error("cannot create " + p);
    return p;
}

std::string TempTree::file(const std::string &rel, const std::string &content) const
{
    const std::string p = path(rel);
    const auto slash = p.find_last_of('/');
    Paths::makeFolders(p.substr(0, slash));
    std::ofstream out(p, std::ios::binary | std::ios::trunc);
    out << content;
    if (!out)
        throw std::runtime_error("cannot write " + p);
    return p;
}

std::string TempTree::sized(const std::string &rel, int64_t size, char fill) const
{
    return file(rel, std::string(size_t(size), fill));
}

void TempTree::setTimes(const std::string &path, time_t modified, time_t accessed)
{
    utimbuf t{accessed, modified};
    ::utime(path.c_str(), &t);
}

void TempTree::swapForLink(const std::string &folder, const std::string &target)
{
    if (::rename(folder.c_str(), (folder + ".moved").c_str()) != 0 || ::symlink(target.c_str(), folder.c_str()) != 0)
        throw std::runtime_error("cannot swap " + folder);
}

bool TempTree::exists(const std::string &path)
{
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0;
}

std::string TempTree::read(const std::string &path)
{
    std::ifstream in(path, std::ios::binary);
    std::stringstream ss;
    ss << in.rdbuf();
    return ss.str();
}

std::string TempTree::randomBytes(size_t n, unsigned seed)
{
    std::mt19937 gen(seed);
    std::string s(n, '\0');
    for (char &c : s)
        c = char(gen());
    return s;
}

namespace {
// The folder at path opened a component at a time from "/".
int openStepwise(const std::string &path)
{
    int fd = ::open("/", O_PATH | O_DIRECTORY | O_CLOEXEC);
    size_t i = 1;
    while (fd >= 0 && i < path.size()) {
        size_t j = path.find('/', i);
        if (j == std::string::npos)
            j = path.size();
        const std::string part = path.substr(i, j - i);
        i = j + 1;
        if (part.empty())
            continue;
        const int next = ::openat(fd, part.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        fd = next;
    }
    if (fd < 0)
        throw std::runtime_error("cannot open " + path.substr(0, 200) + "...");
    return fd;
}
}

std::string TempTree::deepChain(const std::string &base, int levels, size_t nameLen, char fill)
{
    int fd = openStepwise(base);
    std::string path = base;
    const std::string name(nameLen, fill);
    for (int i = 0; i < levels; ++i) {
        if (::mkdirat(fd, name.c_str(), 0755) != 0 && errno != EEXIST)
            throw std::runtime_error("cannot make a folder in the chain");
        const int next = ::openat(fd, name.c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        ::close(fd);
        if (next < 0)
            throw std::runtime_error("cannot open a folder of the chain");
        fd = next;
        path += "/" + name;
    }
    ::close(fd);
    return path;
}

std::string TempTree::deepFile(const std::string &folder, const std::string &name, const std::string &content)
{
    const int dir = openStepwise(folder);
    const int fd = ::openat(dir, name.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_NOFOLLOW | O_CLOEXEC, 0644);
    ::close(dir);
    if (fd < 0 || ::write(fd, content.data(), content.size()) != ssize_t(content.size())) {
        if (fd >= 0)
            ::close(fd);
        throw std::runtime_error("cannot write " + name);
    }
    ::close(fd);
    return folder + "/" + name;
}
