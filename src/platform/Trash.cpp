#include "platform/Trash.h"
#include "platform/AnchoredPath.h"
#include "platform/AtomicFile.h"
#include "platform/PathInfo.h"
#include "platform/Paths.h"

#include <cerrno>
#include <climits>
#include <cstdio>
#include <cstdlib>
#include <ctime>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

namespace {
// Longest trash name kept, so that name + ".trashinfo" and a counter fit in
// one file name.
constexpr size_t kMaxBase = 230;

struct Place {
    std::string folder; // the trash folder
    std::string topdir; // the file system's top folder; empty for the home trash
};

std::string parentOf(const std::string &p)
{
    const auto slash = p.find_last_of('/');
    if (slash == std::string::npos)
        return ".";
    return slash == 0 ? "/" : p.substr(0, slash);
}

// The path made absolute, without trailing slashes.
std::string absolute(std::string p)
{
    if (p.empty() || p[0] != '/') {
        char buf[PATH_MAX];
        if (!::getcwd(buf, sizeof buf))
            return {};
        p = std::string(buf) + "/" + p;
    }
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

// The highest folder above dir (a real path) that is still on device dev.
std::string mountTop(std::string dir, dev_t dev)
{
    while (dir != "/") {
        const std::string up = parentOf(dir);
        struct stat st;
        if (::stat(up.c_str(), &st) != 0 || st.st_dev != dev)
            return dir;
        dir = up;
    }
    return dir;
}

// A folder of ours: it exists (made with mode 0700 when missing), is a real
// folder and not a symbolic link, and belongs to this user.
bool ownFolder(const std::string &path)
{
    if (::mkdir(path.c_str(), 0700) != 0 && errno != EEXIST)
        return false;
    struct stat st;
    return ::lstat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && st.st_uid == ::getuid();
}

bool hasSubfolders(const std::string &trash)
{
    return ownFolder(trash + "/files") && ownFolder(trash + "/info");
}

std::string joinName(const std::string &folder, const std::string &name)
{
    return folder == "/" ? "/" + name : folder + "/" + name;
}

Place placeFor(const std::string &abs, dev_t dev)
{
    const std::string data = Paths::dataHome();
    Paths::makeFolders(data);
    struct stat st;
    if (::stat(data.c_str(), &st) == 0 && st.st_dev == dev) {
        const std::string home = data + "/Trash";
        if (::mkdir(home.c_str(), 0700) != 0 && errno != EEXIST)
            return {};
        if (::stat(home.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && hasSubfolders(home))
            return {home, {}};
        return {};
    }

    const std::string parent = PathInfo::resolved(parentOf(abs));
    if (parent.empty())
        return {};
    const std::string top = mountTop(parent, dev);
    const std::string uid = std::to_string(::getuid());

    // An administrator's shared trash: a sticky folder, not a link, holding
    // one folder per user.
    const std::string shared = joinName(top, ".Trash");
    if (::lstat(shared.c_str(), &st) == 0 && S_ISDIR(st.st_mode) && (st.st_mode & S_ISVTX)) {
        const std::string mine = shared + "/" + uid;
        if (ownFolder(mine) && ::lstat(mine.c_str(), &st) == 0 && st.st_dev == dev && hasSubfolders(mine))
            return {mine, top};
    }
    const std::string own = joinName(top, ".Trash-" + uid);
    if (ownFolder(own) && ::lstat(own.c_str(), &st) == 0 && st.st_dev == dev && hasSubfolders(own))
        return {own, top};
    return {};
}

std::string deletionDate()
{
    const time_t now = ::time(nullptr);
    struct tm tm {};
    ::localtime_r(&now, &tm);
    char buf[32];
    std::strftime(buf, sizeof buf, "%Y-%m-%dT%H:%M:%S", &tm);
    return buf;
}

// The name in the trash: the file's own name, cut at a character boundary
// when it is too long to carry the ".trashinfo" suffix.
std::string baseName(const std::string &abs)
{
    std::string base = abs.substr(abs.find_last_of('/') + 1);
    if (base.size() > kMaxBase) {
        size_t cut = kMaxBase;
        while (cut > 0 && (static_cast<unsigned char>(base[cut]) & 0xC0) == 0x80)
            --cut;
        base.resize(cut);
    }
    return base;
}
}

std::string Trash::escapePath(const std::string &path)
{
    static const char hex[] = "0123456789ABCDEF";
    std::string out;
    out.reserve(path.size());
    for (const unsigned char c : path) {
        const bool keep = (c >= 'A' && c <= 'Z') || (c >= 'a' && c <= 'z') || (c >= '0' && c <= '9') || c == '-'
            || c == '_' || c == '.' || c == '~' || c == '/';
        if (keep) {
            out += char(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::string Trash::trashFolderFor(const std::string &path)
{
    const std::string abs = absolute(path);
    FileIdentity id;
    if (abs.empty() || !AnchoredPath::stat(abs, id))
        return {};
    return placeFor(abs, dev_t(id.device)).folder;
}

int &Trash::Names::next(const std::string &trashFolder, const std::string &name)
{
    int &n = next_[trashFolder + '/' + name];
    if (n < 1)
        n = 1;
    return n;
}

Trash::Result Trash::moveToTrash(const std::string &path, Names *names)
{
    const std::string abs = absolute(path);
    if (abs.empty() || abs == "/") {
        Result r;
        r.error = EINVAL;
        return r;
    }
    // The file is reached from its drive without following any link on the
    // way, and moved relative to its folder's descriptor.
    const AnchoredPath::Parent from = AnchoredPath::openParent(abs);
    if (!from) {
        Result r;
        r.error = from.error;
        return r;
    }
    return moveToTrashAt(from.folder.get(), from.name, abs, names);
}

Trash::Result Trash::moveToTrashAt(int folder, const std::string &fromName, const std::string &path, Names *names)
{
    Result r;
    const std::string abs = absolute(path);
    if (abs.empty() || abs == "/") {
        r.error = EINVAL;
        return r;
    }
    FileIdentity id;
    if (!AnchoredPath::statAt(folder, fromName, id, &r.error))
        return r;
    const Place place = placeFor(abs, dev_t(id.device));
    if (place.folder.empty()) {
        r.error = EXDEV;
        return r;
    }
    const UniqueFd files(::open((place.folder + "/files").c_str(), O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
    if (!files) {
        r.error = errno;
        return r;
    }

    // Below a file system's own trash the original place is kept relative to
    // its top folder, so the entry stays valid wherever the medium is mounted.
    std::string original = abs;
    if (!place.topdir.empty()) {
        const std::string parent = PathInfo::resolved(parentOf(abs));
        const std::string real = joinName(parent, abs.substr(abs.find_last_of('/') + 1));
        const std::string prefix = place.topdir == "/" ? "/" : place.topdir + "/";
        if (!parent.empty() && real.compare(0, prefix.size(), prefix) == 0)
            original = real.substr(prefix.size());
    }
    const std::string info = "[Trash Info]\nPath=" + escapePath(original) + "\nDeletionDate=" + deletionDate() + "\n";

    const std::string base = baseName(abs);
    int first = 1;
    int &next = names ? names->next(place.folder, base) : first;
    for (int &n = next, tries = 0; tries < 100000; ++n, ++tries) {
        const std::string name = n == 1 ? base : base + "." + std::to_string(n);
        const std::string infoPath = place.folder + "/info/" + name + ".trashinfo";
        const std::string target = place.folder + "/files/" + name;
        const int fd = ::open(infoPath.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd < 0) {
            if (errno == EEXIST)
                continue;
            r.error = errno;
            return r;
        }
        FileIdentity taken;
        if (AnchoredPath::statAt(files.get(), name, taken)) {
            ::close(fd);
            ::unlink(infoPath.c_str());
            continue;
        }
        const bool written = AtomicFile::writeAll(fd, info.data(), info.size());
        const int writeErr = errno;
        if (::close(fd) != 0 || !written) {
            r.error = written ? EIO : writeErr;
            ::unlink(infoPath.c_str());
            return r;
        }
        if (!AnchoredPath::renameAt(folder, fromName, files.get(), name, true, &r.error)) {
            ::unlink(infoPath.c_str());
            return r;
        }
        ++n; // taken now
        r.ok = true;
        r.size = id.size;
        r.trashedAs = target;
        r.infoFile = infoPath;
        return r;
    }
    r.error = EEXIST;
    return r;
}
