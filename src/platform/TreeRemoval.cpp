#include "platform/TreeRemoval.h"
#include "platform/AnchoredPath.h"
#include "platform/DirReader.h"

#include <cerrno>
#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

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

// An emptied folder goes through the walk's removeFolder when it has one.
bool removeFolder(const TreeRemoval::Walk &walk, int parent, const std::string &name, const std::string &full)
{
    return walk.removeFolder ? walk.removeFolder(parent, name, full) : TreeRemoval::removeEmptyFolder(parent, name);
}

class Remover {
public:
    // path: the tree's folder as the caller named it (the start of every
    // path reported).
    Remover(const TreeRemoval::Walk &walk, const MountId &tree, TreeRemoval::Result &result, std::string path)
        : walk_(walk), tree_(tree), result_(result), path_(std::move(path))
    {
        while (path_.size() > 1 && path_.back() == '/')
            path_.pop_back();
    }

    // Empties the open folder dir (at path_) and its sub-folders. False
    // when the walk was stopped. The listing comes from the folder's own
    // descriptor in large blocks, and the entries' paths are built in one
    // reused string, so the walk's own cost per file is one look at the
    // entry and its removal.
    bool empty(DirReader &dir)
    {
        const char *n;
        size_t length;
        DirReader::Kind kind;
        while (dir.next(n, length, kind)) {
            if (walk_.stopRequested && walk_.stopRequested())
                return false;
            struct stat st;
            if (::fstatat(dir.fd(), n, &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // vanished meanwhile
            const std::string name(n, length);
            const size_t folderLength = path_.size();
            if (path_.empty() || path_.back() != '/')
                path_ += '/';
            path_ += name;
            const bool going = S_ISDIR(st.st_mode) ? folder(dir, name) : entry(dir.fd(), name, st);
            path_.resize(folderLength);
            if (!going)
                return false;
        }
        return true;
    }

    // The tree's folder as the walk reports it (no trailing slash).
    const std::string &path() const { return path_; }

private:
    bool entry(int fd, const std::string &name, const struct stat &st)
    {
        const TreeRemoval::Entry e{fd, name, path_, st};
        if (walk_.onEntry)
            return walk_.onEntry(e);
        TreeRemoval::deleteEntry(e);
        return true;
    }

    bool folder(const DirReader &parent, const std::string &name)
    {
        bool going = true;
        {
            DirReader sub(parent, name.c_str()); // O_NOFOLLOW | O_DIRECTORY
            MountId here;
            if (!sub.isOpen() || !mountIdOf(sub.fd(), here)) {
                skipped(path_, errno);
                return true;
            }
            if (!(here == tree_)) {
                skipped(path_, EXDEV);
                return true;
            }
            going = empty(sub);
        }
        if (walk_.removeFolders && removeFolder(walk_, parent.fd(), name, path_))
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
    // The full path of the folder being emptied, and of the entry while it
    // is handled.
    std::string path_;
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
    Remover remover(walk, tree, result, path);
    {
        DirReader listing(std::move(top));
        result.completed = remover.empty(listing);
    }
    if (walk.removeFolders && removeFolder(walk, parent.folder.get(), parent.name, remover.path())) {
        result.rootRemoved = true;
        ++result.foldersRemoved;
    }
    return result;
}

bool TreeRemoval::removeEmptyFolder(int parent, const std::string &name)
{
    return ::unlinkat(parent, name.c_str(), AT_REMOVEDIR) == 0;
}

bool TreeRemoval::deleteEntry(const Entry &entry, int *error)
{
    return AnchoredPath::unlinkAt(entry.folder, entry.name, error);
}
