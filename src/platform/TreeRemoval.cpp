#include "platform/TreeRemoval.h"
#include "platform/AnchoredPath.h"
#include "platform/DirReader.h"

#include <cerrno>
#include <dirent.h>
#include <fcntl.h>
#include <memory>
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
    // walk was stopped. The listing is read straight from the folder's own
    // descriptor, a block of entries at a time (no second descriptor, no
    // per-folder set-up): the walk's own cost per file is then one look at
    // the entry and its removal.
    bool empty(int fd, const std::string &path, size_t depth = 0)
    {
        if (listings_.size() <= depth)
            listings_.emplace_back(new char[kListing]);
        char *const buf = listings_[depth].get();
        bool going = true;
        while (going) {
            const ssize_t got = ::getdents64(fd, buf, kListing);
            if (got <= 0) {
                if (got < 0)
                    skipped(path, errno);
                break;
            }
            for (ssize_t at = 0; at < got;) {
                const auto *d = reinterpret_cast<const struct dirent64 *>(buf + at);
                at += d->d_reclen;
                const char *n = d->d_name;
                if (n[0] == '.' && (n[1] == 0 || (n[1] == '.' && n[2] == 0)))
                    continue;
                if (walk_.stopRequested && walk_.stopRequested()) {
                    going = false;
                    break;
                }
                const std::string name = n;
                struct stat st;
                if (::fstatat(fd, n, &st, AT_SYMLINK_NOFOLLOW) != 0)
                    continue; // vanished meanwhile
                const std::string full = path == "/" ? "/" + name : path + "/" + name;
                if (S_ISDIR(st.st_mode))
                    going = folder(fd, name, full, depth + 1);
                else
                    going = entry(fd, name, full, st);
                if (!going)
                    break;
            }
        }
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

    bool folder(int parent, const std::string &name, const std::string &full, size_t depth)
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
        const bool going = empty(sub.get(), full, depth);
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

    // Bytes of listing read at a time, as much as a directory stream reads.
    static constexpr size_t kListing = 32 * 1024;

    const TreeRemoval::Walk &walk_;
    MountId tree_;
    TreeRemoval::Result &result_;
    // One listing buffer per folder depth, kept for the next folder there.
    std::vector<std::unique_ptr<char[]>> listings_;
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
