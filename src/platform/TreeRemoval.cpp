#include "platform/TreeRemoval.h"
#include "platform/AnchoredPath.h"
#include "platform/DirReader.h"

#include <cerrno>
#include <fcntl.h>
#include <memory>
#include <sys/stat.h>
#include <unistd.h>
#include <vector>

namespace {
// Where a folder is: its file system, its inode and the mount it was reached
// through (when the kernel tells).
struct FolderId {
    MountPlace place;
    uint64_t inode = 0;
    bool sameMount(const FolderId &o) const { return place.sameAs(o.place); }
    bool sameFolder(const FolderId &o) const { return sameMount(o) && inode == o.inode; }
};

bool idOf(int fd, FolderId &out)
{
    return MountPlace::of(fd, out.place, &out.inode);
}

// Folders kept open at once, whatever the depth of the tree. A deeper walk
// closes the shallowest open folder below the tree's own (its remaining names
// are read into memory first) and opens it again when the walk comes back to
// it.
constexpr size_t kOpenFolders = 16;

class Remover {
public:
    // path: the tree's folder as the caller named it (the start of every
    // path reported).
    Remover(const TreeRemoval::Walk &walk, const FolderId &tree, TreeRemoval::Result &result, std::string path)
        : walk_(walk), tree_(tree), result_(result), path_(std::move(path))
    {
        while (path_.size() > 1 && path_.back() == '/')
            path_.pop_back();
    }

    // Empties the tree's open folder and every folder below it, one level
    // after another without recursion; each emptied sub-folder is removed
    // before the walk goes on. False when the walk was stopped.
    bool empty(UniqueFd top)
    {
        Frame root;
        root.dir = std::make_unique<DirReader>(std::move(top));
        root.id = tree_;
        root.pathLength = path_.size();
        frames_.push_back(std::move(root));
        ++open_;
        bool stopped = false;
        std::string name; // reused: most names fit its first allocation
        while (!frames_.empty()) {
            Frame &f = frames_.back();
            if (stopped || !nextName(f, name)) {
                finish();
                continue;
            }
            if (walk_.stopRequested && walk_.stopRequested()) {
                stopped = true;
                continue;
            }
            struct stat st;
            if (::fstatat(f.fd(), name.c_str(), &st, AT_SYMLINK_NOFOLLOW) != 0)
                continue; // vanished meanwhile
            if (path_.empty() || path_.back() != '/')
                path_ += '/';
            path_ += name;
            if (S_ISDIR(st.st_mode)) {
                enter(name); // the path stays until the folder is finished
                continue;
            }
            const TreeRemoval::Entry e{f.fd(), name, path_, st};
            bool going = true;
            if (walk_.onEntry)
                going = walk_.onEntry(e);
            else
                TreeRemoval::deleteEntry(e);
            path_.resize(f.pathLength);
            if (!going)
                stopped = true;
        }
        return !stopped;
    }

    // The tree's folder as the walk reports it (no trailing slash).
    const std::string &path() const { return path_; }

private:
    struct Frame {
        std::unique_ptr<DirReader> dir; // the open folder; null while closed
        std::vector<std::string> rest;  // its remaining names, once read ahead
        size_t restAt = 0;
        bool readAhead = false;         // names come from rest, not the listing
        std::string name;               // its name in the folder above
        size_t pathLength = 0;          // path_'s length at this folder
        FolderId id;
        int fd() const { return dir ? dir->fd() : -1; }
    };

    bool nextName(Frame &f, std::string &name)
    {
        if (f.readAhead) {
            if (f.restAt >= f.rest.size())
                return false;
            name = std::move(f.rest[f.restAt++]);
            return true;
        }
        const char *n;
        size_t length;
        DirReader::Kind kind;
        if (!f.dir->next(n, length, kind))
            return false;
        name.assign(n, length);
        return true;
    }

    // Opens the sub-folder name of the innermost folder (path_ ends in it)
    // and makes it the innermost; a folder that cannot be opened, or is on
    // another mount, is reported and left.
    void enter(const std::string &name)
    {
        Frame &parent = frames_.back();
        auto sub = std::make_unique<DirReader>(*parent.dir, name.c_str()); // O_NOFOLLOW | O_DIRECTORY
        FolderId here;
        if (!sub->isOpen() || !idOf(sub->fd(), here)) {
            skipped(path_, errno);
            path_.resize(parent.pathLength);
            return;
        }
        if (!here.sameMount(tree_)) {
            skipped(path_, EXDEV);
            path_.resize(parent.pathLength);
            return;
        }
        if (walk_.keepFolder && walk_.keepFolder(sub->device(), here.inode)) {
            skipped(path_, 0);
            path_.resize(parent.pathLength);
            return;
        }
        if (open_ >= kOpenFolders)
            closeShallowest();
        Frame f;
        f.dir = std::move(sub);
        f.name = name;
        f.pathLength = path_.size();
        f.id = here;
        frames_.push_back(std::move(f));
        ++open_;
    }

    // Closes the shallowest open folder but the tree's own, which stays open
    // as the start for opening the others again.
    void closeShallowest()
    {
        for (size_t i = 1; i < frames_.size(); ++i) {
            Frame &f = frames_[i];
            if (!f.dir)
                continue;
            if (!f.readAhead) {
                const char *n;
                size_t length;
                DirReader::Kind kind;
                while (f.dir->next(n, length, kind))
                    f.rest.emplace_back(n, length);
                f.readAhead = true;
            }
            close(f);
            return;
        }
    }

    // The innermost folder is emptied: it is removed from its parent (opened
    // again first when it was closed) and the walk goes back up.
    void finish()
    {
        if (frames_.size() == 1) {
            close(frames_.back());
            frames_.pop_back();
            return;
        }
        const size_t at = frames_.size() - 2;
        if (!frames_[at].dir)
            reopen(at);
        Frame &child = frames_.back();
        Frame &parent = frames_[at];
        if (parent.dir && walk_.removeFolders) {
            if (removeFolder(parent.fd(), child.name, path_))
                ++result_.foldersRemoved;
            else
                ++result_.foldersLeft;
        }
        close(child);
        frames_.pop_back();
        path_.resize(parent.pathLength);
        if (!parent.dir) {
            // It is not where the walk left it: what it still holds stays.
            skipped(path_, ESTALE);
            parent.rest.clear();
            parent.restAt = 0;
        }
    }

    void close(Frame &f)
    {
        if (f.dir) {
            f.dir.reset();
            --open_;
        }
    }

    // Opens the closed folder frames_[at] again: through ".." of its open
    // sub-folder, else by the recorded names from the nearest open folder
    // above it; each step must meet the very folder the walk left (same file
    // system, mount and inode), so a folder moved meanwhile is never followed
    // elsewhere. It stays closed when that fails.
    void reopen(size_t at)
    {
        if (open_ >= kOpenFolders)
            closeShallowest();
        Frame &target = frames_[at];
        UniqueFd fd(::openat(frames_[at + 1].fd(), "..", O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
        FolderId id;
        if (!fd || !idOf(fd.get(), id) || !id.sameFolder(target.id)) {
            size_t from = at;
            while (!frames_[from].dir)
                --from; // the tree's own folder stays open
            fd = UniqueFd::dup(frames_[from].fd());
            for (size_t i = from + 1; fd && i <= at; ++i) {
                fd.reset(::openat(fd.get(), frames_[i].name.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC));
                if (fd && (!idOf(fd.get(), id) || !id.sameFolder(frames_[i].id)))
                    fd.reset();
            }
            if (!fd)
                return;
        }
        target.dir = std::make_unique<DirReader>(std::move(fd));
        if (!target.dir->isOpen()) {
            target.dir.reset();
            return;
        }
        ++open_;
    }

    // An emptied folder goes through the walk's removeFolder when it has one.
    bool removeFolder(int parent, const std::string &name, const std::string &full)
    {
        return walk_.removeFolder ? walk_.removeFolder(parent, name, full)
                                  : TreeRemoval::removeEmptyFolder(parent, name);
    }

    void skipped(const std::string &path, int error)
    {
        ++result_.foldersSkipped;
        if (walk_.onSkipped)
            walk_.onSkipped(path, error);
    }

    const TreeRemoval::Walk &walk_;
    FolderId tree_;
    TreeRemoval::Result &result_;
    // The full path of the innermost folder, and of the entry while it is
    // handled.
    std::string path_;
    std::vector<Frame> frames_; // the tree's folder first, the innermost last
    size_t open_ = 0;           // frames holding an open folder
};
}

namespace {
// The tree's folder, reached as AnchoredPath reaches it and opened without
// following a link, with its parent; error says why not.
struct Opened {
    AnchoredPath::Parent parent;
    UniqueFd top;
    FolderId tree;
    int error = 0;
};

Opened openTree(const std::string &path)
{
    Opened o;
    o.parent = AnchoredPath::openParent(path);
    if (!o.parent) {
        o.error = o.parent.error;
        return o;
    }
    o.top = AnchoredPath::openAt(o.parent.folder.get(), o.parent.name, O_RDONLY | O_DIRECTORY, &o.error);
    if (o.top && !idOf(o.top.get(), o.tree)) {
        o.error = errno;
        o.top.reset();
    }
    // The tree's folder must be on its parent's mount: a mount point is a
    // drive of its own, never removed as part of another.
    FolderId above;
    if (o.top && (!idOf(o.parent.folder.get(), above) || !above.sameMount(o.tree))) {
        o.error = EXDEV;
        o.top.reset();
    }
    return o;
}
}

int TreeRemoval::check(const std::string &path)
{
    const Opened o = openTree(path);
    return o.top ? 0 : o.error;
}

TreeRemoval::Result TreeRemoval::removeTree(const std::string &path, const Walk &walk)
{
    Result result;
    Opened o = openTree(path);
    if (!o.top) {
        result.error = o.error;
        return result;
    }
    result.opened = true;
    Remover remover(walk, o.tree, result, path);
    result.completed = remover.empty(std::move(o.top));
    if (walk.removeFolders) {
        const int parent = o.parent.folder.get();
        const std::string &name = o.parent.name;
        if (walk.removeFolder ? walk.removeFolder(parent, name, remover.path()) : removeEmptyFolder(parent, name)) {
            result.rootRemoved = true;
            ++result.foldersRemoved;
        } else {
            ++result.foldersLeft;
        }
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
