#include "platform/TreeRemoval.h"
#include "platform/AnchoredPath.h"
#include "platform/DirReader.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
struct MountId {
    uint64_t device = 0;
    uint64_t mount = 0;
    bool hasMount = false;
    bool operator==(const MountId &o) const
    {
        return device == o.device && (!hasMount || !o.hasMount || mount == o.mount);
    }
};

bool mountIdOf(int fd, MountId &out)
{
    struct statx sx {};
    if (::statx(fd, "", AT_EMPTY_PATH, STATX_MNT_ID, &sx) != 0)
        return false;
    out.device = (uint64_t(sx.stx_dev_major) << 32) | sx.stx_dev_minor;
    out.hasMount = sx.stx_mask & STATX_MNT_ID;
    out.mount = sx.stx_mnt_id;
    return true;
}

class Remover {
public:
    Remover(const TreeRemoval::Walk &walk, const MountId &tree, TreeRemoval::Result &result)
        : walk_(walk), tree_(tree), result_(result)
    {
    }

    // Empties the open folder fd (path) and its sub-folders. False when the
    // walk was stopped.
    bool empty(int fd, const std::string &path)
    {
        const int listFd = ::dup(fd);
        DIR *dir = listFd >= 0 ? ::fdopendir(listFd) : nullptr;
        if (!dir) {
            if (listFd >= 0)
                ::close(listFd);
            skipped(path, errno);
            return true;
        }
        bool going = true;
        while (going) {
            errno = 0;
            const dirent *d = ::readdir(dir);
            if (!d)
                break;
            const std::string name = d->d_name;
            if (name == "." || name == "..")
                continue;
            if (walk_.stopRequested && walk_.stopRequested()) {
                going = false;
                break;
            }
            struct stat st;
            if (::fstatat(fd, name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // vanished meanwhile
            const std::string full = path == "/" ? "/" + name : path + "/" + name;
            if (S_ISDIR(st.st_mode))
                going = folder(fd, name, full);
            else
                going = entry(fd, name, full, st);
        }
        ::closedir(dir);
        return going;
    }

private:
    bool entry(int fd, const std::string &name, const std::string &full, const struct stat &st)
    {
        const TreeRemoval::Entry e{fd, name, full, st};
        if (walk_.onEntry)
            return walk_.onEntry(e);
        TreeRemoval::deleteEntry(e);
        return true;
    }

    bool folder(int parent, const std::string &name, const std::string &full)
    {
        UniqueFd sub(::openat(parent, name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        if (!sub) {
            skipped(full, errno);
            return true;
        }
        MountId here;
        if (!mountIdOf(sub.get(), here)) {
            skipped(full, errno);
            return true;
        }
        if (!(here == tree_)) {
            skipped(full, EXDEV);
            return true;
        }
        const bool going = empty(sub.get(), full);
        sub.reset();
        if (walk_.removeFolders && ::unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0)
            ++result_.foldersRemoved;
        return going;
    }

    void skipped(const std::string &path, int error)
    {
        if (walk_.onSkipped)
            walk_.onSkipped(path, error);
    }

    const TreeRemoval::Walk &walk_;
    MountId tree_;
    TreeRemoval::Result &result_;
};
}

TreeRemoval::Result TreeRemoval::removeTree(const std::string &path, const Walk &walk)
{
    Result result;
    AnchoredPath::Parent parent = AnchoredPath::openParent(path);
    if (!parent) {
        result.error = parent.error;
        return result;
    }
    UniqueFd top = AnchoredPath::openAt(parent.folder.get(), parent.name, O_RDONLY | O_DIRECTORY, &result.error);
    MountId tree;
    if (!top || !mountIdOf(top.get(), tree)) {
        if (top)
            result.error = errno;
        return result;
    }
    // The tree's folder must be on its parent's mount: a mount point is a
    // drive of its own, never removed as part of another.
    MountId above;
    if (!mountIdOf(parent.folder.get(), above) || !(above == tree)) {
        result.error = EXDEV;
        return result;
    }
    result.opened = true;
    DirReader::raiseOpenLimit();
    std::string shown = path;
    while (shown.size() > 1 && shown.back() == '/')
        shown.pop_back();
    Remover remover(walk, tree, result);
    result.completed = remover.empty(top.get(), shown);
    top.reset();
    if (walk.removeFolders && ::unlinkat(parent.folder.get(), parent.name.c_str(), AT_REMOVEDIR) == 0) {
        result.rootRemoved = true;
        ++result.foldersRemoved;
    }
    return result;
}

bool TreeRemoval::deleteEntry(const Entry &entry, int *error)
{
    return AnchoredPath::unlinkAt(entry.folder, entry.name, error);
}
