#include "platform/AnchoredPath.h"
#include "platform/DirReader.h"
#include "platform/Drives.h"

#include <atomic>
#include <cerrno>
#include <chrono>
#include <climits>
#include <fcntl.h>
#include <linux/openat2.h>
#include <stdio.h>
#include <sys/stat.h>
#include <sys/syscall.h>
#include <unistd.h>
#include <vector>

namespace {
std::atomic<bool> g_useOpenat2{true};

bool fail(int *error, int e)
{
    if (error)
        *error = e;
    return false;
}

std::string stripSlashes(std::string p)
{
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}

std::string absolute(const std::string &path)
{
    if (!path.empty() && path[0] == '/')
        return stripSlashes(path);
    char buf[PATH_MAX];
    if (!::getcwd(buf, sizeof buf))
        return {};
    return stripSlashes(std::string(buf) + "/" + path);
}

// folder is path itself or one of the folders above it.
bool isWithin(const std::string &path, const std::string &folder)
{
    if (folder == "/")
        return true;
    return path.compare(0, folder.size(), folder) == 0 && (path.size() == folder.size() || path[folder.size()] == '/');
}

// The mount points of this system, read again at most once a second.
const std::vector<std::string> &mountPoints()
{
    static std::vector<std::string> points;
    static std::chrono::steady_clock::time_point readAt;
    const auto now = std::chrono::steady_clock::now();
    if (!points.empty() && now - readAt < std::chrono::seconds(1))
        return points;
    readAt = now;
    std::string text;
    if (FILE *f = std::fopen("/proc/self/mountinfo", "re")) {
        char buf[65536];
        size_t n;
        while ((n = std::fread(buf, 1, sizeof buf, f)) > 0)
            text.append(buf, n);
        std::fclose(f);
    }
    points.clear();
    for (const MountEntry &m : Drives::parseMountInfo(text))
        points.push_back(stripSlashes(m.mountPoint));
    if (points.empty())
        points.push_back("/");
    return points;
}

// The components of rel, which must not climb with "..".
bool splitComponents(const std::string &rel, std::vector<std::string> &out)
{
    size_t i = 0;
    while (i < rel.size()) {
        size_t j = rel.find('/', i);
        if (j == std::string::npos)
            j = rel.size();
        const std::string c = rel.substr(i, j - i);
        if (c == "..")
            return false;
        if (!c.empty() && c != ".")
            out.push_back(c);
        i = j + 1;
    }
    return true;
}

// Opens rel below anchor one component at a time, never following a link
// and never leaving the anchor's mount.
UniqueFd walkDown(UniqueFd anchor, const std::vector<std::string> &parts, int finalFlags, int *error)
{
    MountPlace top;
    if (!MountPlace::of(anchor.get(), top)) {
        fail(error, errno);
        return {};
    }
    UniqueFd cur = std::move(anchor);
    for (size_t i = 0; i < parts.size(); ++i) {
        const bool last = i + 1 == parts.size();
        const int flags = last ? finalFlags : (O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
        UniqueFd next(::openat(cur.get(), parts[i].c_str(), flags));
        if (!next) {
            fail(error, errno);
            return {};
        }
        MountPlace here;
        if (!MountPlace::of(next.get(), here)) {
            fail(error, errno);
            return {};
        }
        if (!top.sameAs(here)) {
            fail(error, EXDEV);
            return {};
        }
        cur = std::move(next);
    }
    return cur;
}

long openat2(int dirfd, const char *path, int flags)
{
    struct open_how how {};
    how.flags = uint64_t(flags);
    how.resolve = RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_BENEATH | RESOLVE_NO_MAGICLINKS;
    return ::syscall(SYS_openat2, dirfd, path, &how, sizeof how);
}

// One openat2 call for rel below from, retried when a rename elsewhere raced
// the lookup. -1 with errno; ENOSYS also when this kernel (or its filter)
// has no openat2.
long openat2Retrying(int from, const std::string &rel, int flags)
{
    for (int attempt = 0; attempt < 4; ++attempt) {
        const long fd = openat2(from, rel.c_str(), flags);
        if (fd >= 0)
            return fd;
        if (errno == EAGAIN || errno == EINTR)
            continue;
        if (errno == ENOSYS || errno == EPERM || errno == E2BIG)
            errno = ENOSYS;
        return -1;
    }
    return -1;
}

// The longest relative path one openat2 call is given: the kernel refuses
// a path of PATH_MAX bytes or more (ENAMETOOLONG), so a deeper path is
// opened in stretches, each from the folder the last one reached. Each
// stretch keeps to the mount it starts on, which is the anchor's.
constexpr size_t kStretch = PATH_MAX - 1;

// Opens the components parts below the open anchor top: in one openat2
// call where the kernel has it (a stretch at a time for a path too long
// for one call), else component by component. Touches no shared state but
// the openat2 switch, so any thread may call it.
UniqueFd openParts(UniqueFd top, const std::vector<std::string> &parts, int finalFlags, int *error)
{
    if (g_useOpenat2) {
        UniqueFd cur = UniqueFd::dup(top.get());
        size_t i = 0;
        while (cur && i < parts.size()) {
            std::string rel = parts[i++];
            while (i < parts.size() && rel.size() + 1 + parts[i].size() <= kStretch)
                rel += "/" + parts[i++];
            const bool last = i == parts.size();
            const int flags = last ? finalFlags : (O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
            const long fd = openat2Retrying(cur.get(), rel, flags);
            if (fd < 0 && errno == ENOSYS) {
                g_useOpenat2 = false;
                cur = UniqueFd();
                break;
            }
            if (fd < 0) {
                fail(error, errno);
                return {};
            }
            cur = UniqueFd(int(fd));
        }
        if (cur)
            return cur;
    }
    return walkDown(std::move(top), parts, finalFlags, error);
}

// The components of abs below anchor; false when abs is not below it.
bool partsBelow(const std::string &abs, const std::string &anchor, std::vector<std::string> &parts)
{
    if (!isWithin(abs, anchor))
        return false;
    return splitComponents(abs.substr(anchor == "/" ? 1 : anchor.size()), parts);
}

UniqueFd openBelowAnchor(const std::string &abs, int finalFlags, int *error)
{
    if (abs.empty()) {
        fail(error, ENOENT);
        return {};
    }
    const std::string anchor = AnchoredPath::anchorOf(abs);
    std::vector<std::string> parts;
    if (!partsBelow(abs, anchor, parts)) {
        fail(error, EXDEV);
        return {};
    }
    if (parts.empty()) {
        UniqueFd fd(::open(anchor.c_str(), finalFlags & ~O_NOFOLLOW));
        if (!fd)
            fail(error, errno);
        return fd;
    }
    UniqueFd top(::open(anchor.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!top) {
        fail(error, errno);
        return {};
    }
    return openParts(std::move(top), parts, finalFlags, error);
}

// path's folder and last component; empty name for a path that has none.
void splitLast(const std::string &abs, std::string &folder, std::string &name)
{
    const size_t slash = abs.find_last_of('/');
    folder = slash == 0 ? "/" : abs.substr(0, slash);
    name = abs.substr(slash + 1);
}
}

FileIdentity FileIdentity::of(const struct stat &st)
{
    FileIdentity id;
    id.device = uint64_t(st.st_dev);
    id.inode = uint64_t(st.st_ino);
    id.mode = uint32_t(st.st_mode);
    id.size = int64_t(st.st_size);
    id.links = uint64_t(st.st_nlink);
    id.modified = st.st_mtim;
    id.changed = st.st_ctim;
    return id;
}

bool FileIdentity::sameFile(const FileIdentity &o) const { return device == o.device && inode == o.inode; }

bool FileIdentity::sameState(const FileIdentity &o) const
{
    return sameFile(o) && size == o.size && modified.tv_sec == o.modified.tv_sec
        && modified.tv_nsec == o.modified.tv_nsec && changed.tv_sec == o.changed.tv_sec
        && changed.tv_nsec == o.changed.tv_nsec;
}

bool FileIdentity::isRegular() const { return S_ISREG(mode); }

void AnchoredPath::setUseOpenat2(bool on) { g_useOpenat2 = on; }

std::string AnchoredPath::anchorOf(const std::string &path)
{
    const std::string abs = absolute(path);
    std::string best = "/";
    if (const auto drive = Drives::driveOfPath(abs)) {
        const std::string root = stripSlashes(drive->root);
        if (isWithin(abs, root))
            best = root;
    }
    for (const std::string &m : mountPoints())
        if (m.size() > best.size() && isWithin(abs, m))
            best = m;
    return best;
}

AnchoredPath::Anchor AnchoredPath::openAnchor(const std::string &path, int *error)
{
    Anchor a;
    a.path = anchorOf(path);
    a.folder = UniqueFd(::open(a.path.c_str(), O_PATH | O_DIRECTORY | O_CLOEXEC));
    if (!a.folder)
        fail(error, errno);
    return a;
}

UniqueFd AnchoredPath::openFolderBelow(const Anchor &anchor, const std::string &path, int *error)
{
    const int flags = O_PATH | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    std::vector<std::string> parts;
    if (!anchor.folder || path.empty() || path[0] != '/' || !partsBelow(stripSlashes(path), anchor.path, parts)) {
        fail(error, anchor.folder ? EXDEV : EBADF);
        return {};
    }
    UniqueFd top = UniqueFd::dup(anchor.folder.get());
    if (!top) {
        fail(error, errno);
        return {};
    }
    if (parts.empty())
        return top;
    return openParts(std::move(top), parts, flags, error);
}

UniqueFd AnchoredPath::openFolder(const std::string &path, bool readable, int *error)
{
    const int flags = (readable ? O_RDONLY : O_PATH) | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC;
    return openBelowAnchor(absolute(path), flags, error);
}

AnchoredPath::Parent AnchoredPath::openParent(const std::string &path)
{
    Parent p;
    const std::string abs = absolute(path);
    std::string folder;
    if (abs.empty() || abs == "/") {
        p.error = abs.empty() ? ENOENT : EINVAL;
        return p;
    }
    splitLast(abs, folder, p.name);
    if (p.name == "." || p.name == "..") {
        p.error = EINVAL;
        return p;
    }
    p.folder = openFolder(folder, false, &p.error);
    return p;
}

bool AnchoredPath::statAt(int folder, const std::string &name, FileIdentity &out, int *error)
{
    struct stat st;
    if (::fstatat(folder, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
        return fail(error, errno);
    out = FileIdentity::of(st);
    return true;
}

UniqueFd AnchoredPath::openAt(int folder, const std::string &name, int flags, int *error, unsigned mode)
{
    UniqueFd fd(::openat(folder, name.c_str(), flags | O_NOFOLLOW | O_CLOEXEC, mode));
    if (!fd)
        fail(error, errno);
    return fd;
}

bool AnchoredPath::unlinkAt(int folder, const std::string &name, int *error)
{
    return ::unlinkat(folder, name.c_str(), 0) == 0 || fail(error, errno);
}

bool AnchoredPath::renameAt(int fromFolder, const std::string &fromName, int toFolder, const std::string &toName,
                            bool noReplace, int *error)
{
    if (::renameat2(fromFolder, fromName.c_str(), toFolder, toName.c_str(), noReplace ? RENAME_NOREPLACE : 0) == 0)
        return true;
    if (!noReplace || (errno != EINVAL && errno != ENOSYS))
        return fail(error, errno);
    struct stat st;
    if (::fstatat(toFolder, toName.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0)
        return fail(error, EEXIST);
    return ::renameat(fromFolder, fromName.c_str(), toFolder, toName.c_str()) == 0 || fail(error, errno);
}

bool AnchoredPath::stat(const std::string &path, FileIdentity &out, int *error)
{
    const Parent p = openParent(path);
    if (!p)
        return fail(error, p.error);
    return statAt(p.folder.get(), p.name, out, error);
}

UniqueFd AnchoredPath::openFile(const std::string &path, int flags, int *error)
{
    const Parent p = openParent(path);
    if (!p) {
        fail(error, p.error);
        return {};
    }
    return openAt(p.folder.get(), p.name, flags, error);
}

bool AnchoredPath::unlink(const std::string &path, int *error, const FileIdentity *expected, int64_t *size,
                          int64_t *freed)
{
    const Parent p = openParent(path);
    if (!p)
        return fail(error, p.error);
    if (expected || size || freed) {
        FileIdentity now;
        if (!statAt(p.folder.get(), p.name, now, error))
            return false;
        if (expected && !now.sameFile(*expected))
            return fail(error, ESTALE);
        if (size)
            *size = now.size;
        if (freed)
            *freed = now.links > 1 ? 0 : now.size;
    }
    return unlinkAt(p.folder.get(), p.name, error);
}
