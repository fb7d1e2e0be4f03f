#include "finders/LintFinder.h"

#include "common/Text.h"
#include "platform/AnchoredPath.h"
#include "platform/DirReader.h"
#include "platform/Paths.h"
#include "safety/NonDeleteList.h"

#include <climits>
#include <cstdlib>
#include <fcntl.h>
#include <sys/stat.h>

namespace {
std::string withoutTrailingSlash(std::string p)
{
    while (p.size() > 1 && p.back() == '/')
        p.pop_back();
    return p;
}
}

LintFinder::LintFinder() : LintFinder(Choice()) {}

LintFinder::LintFinder(Choice choice) : choice_(choice)
{
    home_ = withoutTrailingSlash(Paths::homeFolder());
    char buf[PATH_MAX];
    realHome_ = ::realpath(home_.c_str(), buf) ? std::string(buf) : home_;
}

void LintFinder::beginRoot(const std::string &root)
{
    levels_.clear();
    struct stat st;
    rootDevice_ = ::stat(root.c_str(), &st) == 0 ? uint64_t(st.st_dev) : 0;
}

LintFinder::Level &LintFinder::level(int depth)
{
    if (depth < 0)
        depth = 0;
    if (size_t(depth) >= levels_.size())
        levels_.resize(size_t(depth) + 1);
    return levels_[size_t(depth)];
}

Removal::LintKind LintFinder::entry(const FoundFile &f, int depth)
{
    using Removal::LintKind;
    Level &l = level(depth);
    if (f.attributes & FileAttr::Folder) {
        ++l.folders;
        return LintKind::None;
    }
    ++l.others;
    if (f.attributes & FileAttr::System) {
        if (choice_.brokenLinks && Removal::isBrokenLink(f.path) && listable(f.path, false)) {
            ++counts_.brokenLinks;
            return LintKind::BrokenLink;
        }
    } else if (choice_.emptyFiles && f.size == 0 && listable(f.path, false)) {
        ++counts_.emptyFiles;
        return LintKind::EmptyFile;
    }
    return LintKind::None;
}

bool LintFinder::folderDone(const FoundFile &folder, int depth, FoundFile &row)
{
    const Level l = level(depth);
    level(depth) = {};
    if (!choice_.emptyFolders || depth <= 0 || l.others != 0 || l.folders != l.emptyKids)
        return false;
    // The walk hands over no mount point and no entry that vanished between
    // the listing and its look-up: the folder is listed once more, and it
    // is empty only when that listing holds just the empty subfolders.
    UniqueFd fd = AnchoredPath::openFolder(folder.path, true);
    DirReader listing(std::move(fd));
    if (!listing.isOpen() || listing.ownStat().place.device != rootDevice_)
        return false;
    int64_t entries = 0;
    const char *name;
    size_t length;
    DirReader::Kind kind;
    while (listing.next(name, length, kind))
        if (++entries > l.emptyKids)
            return false;
    if (entries != l.emptyKids || !listable(folder.path, true))
        return false;

    row = folder;
    const size_t slash = folder.path.find_last_of('/');
    row.folder = slash == 0 ? std::string("/") : folder.path.substr(0, slash);
    if (depth == 1 && row.folder.back() != '/')
        row.folder += '/'; // the walk's root, spelt as a root
    row.folderText = displayName(row.folder);
    row.name = folder.path.substr(slash + 1);
    row.size = 0;
    row.attributes = FileAttr::Folder;
    row.device = listing.ownStat().place.device;
    row.inode = listing.ownStat().inode;
    row.links = 1;
    ++counts_.emptyFolders;
    if (l.emptyKids == 0)
        ++counts_.leafFolders;
    ++level(depth - 1).emptyKids;
    return true;
}

QString LintFinder::typeText(Removal::LintKind kind)
{
    switch (kind) {
    case Removal::LintKind::EmptyFolder:
        return QStringLiteral("Empty folder");
    case Removal::LintKind::EmptyFile:
        return QStringLiteral("Empty file");
    case Removal::LintKind::BrokenLink:
        return QStringLiteral("Broken link");
    case Removal::LintKind::None:
        break;
    }
    return {};
}

bool LintFinder::inSystemFolder(const std::string &path)
{
    static const char *const systemFolders[] = {"/bin", "/boot", "/dev", "/etc", "/lib", "/lib32", "/lib64",
                                                "/libx32", "/proc", "/root", "/run", "/sbin", "/sys", "/usr", "/var"};
    for (const char *s : systemFolders) {
        const size_t n = std::char_traits<char>::length(s);
        if (path.compare(0, n, s) == 0 && (path.size() == n || path[n] == '/'))
            return true;
    }
    return false;
}

bool LintFinder::listable(const std::string &path, bool folder) const
{
    if (path.empty() || path[0] != '/' || path == "/" || inSystemFolder(path))
        return false;
    if (folder && (path == home_ || path == realHome_))
        return false;
    // A folder is protected when it is listed or holds a listed folder, and
    // also when the folder holding it is listed, as a file there would be.
    return isOnNonDeleteList(path, !folder) == 0 && (!folder || isOnNonDeleteList(path, true) == 0);
}
