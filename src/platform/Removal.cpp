#include "platform/Removal.h"
#include "platform/AnchoredPath.h"
#include "platform/DirReader.h"
#include "platform/Trash.h"

#include <cerrno>
#include <fcntl.h>
#include <unistd.h>

#include <sys/stat.h>

#include <algorithm>
#include <map>

bool Removal::deleteFile(const std::string &path, int *error, int64_t *size, int64_t *freed)
{
    return AnchoredPath::unlink(path, error, nullptr, size, freed);
}

int64_t Removal::unfreedBytes(const std::vector<std::string> &paths)
{
    struct Names {
        int64_t size = 0;
        uint64_t links = 0;
        uint64_t listed = 0;
    };
    std::map<std::pair<uint64_t, uint64_t>, Names> linked;
    for (const std::string &p : paths) {
        FileIdentity id;
        if (!AnchoredPath::stat(p, id) || id.links < 2 || S_ISDIR(id.mode))
            continue;
        Names &n = linked[{id.device, id.inode}];
        n.size = id.size;
        n.links = id.links;
        ++n.listed;
    }
    int64_t unfreed = 0;
    for (const auto &[key, n] : linked) {
        // All names listed: the bytes go once; otherwise none of them frees any.
        const uint64_t idle = n.listed >= n.links ? n.listed - 1 : n.listed;
        unfreed += int64_t(idle) * std::max<int64_t>(n.size, 0);
    }
    return unfreed;
}

int64_t Removal::entrySize(const std::string &path)
{
    FileIdentity id;
    return AnchoredPath::stat(path, id) ? id.size : -1;
}

bool Removal::isBrokenLinkAt(int folder, const char *name)
{
    struct stat st;
    if (::fstatat(folder, name, &st, 0) == 0)
        return false;
    return errno == ENOENT || errno == ENOTDIR || errno == ELOOP;
}

bool Removal::isBrokenLink(const std::string &path)
{
    // Reached as a removal reaches it: from its drive, through no link.
    const AnchoredPath::Parent p = AnchoredPath::openParent(path);
    struct stat st;
    return p && ::fstatat(p.folder.get(), p.name.c_str(), &st, AT_SYMLINK_NOFOLLOW) == 0 && S_ISLNK(st.st_mode)
        && isBrokenLinkAt(p.folder.get(), p.name.c_str());
}

namespace {
Removal::LintResult lintResult(Removal::LintOutcome o, int error = 0) { return {o, error}; }

// The folder name in folder lists no entry at all.
bool folderIsEmpty(int folder, const std::string &name, int &error)
{
    UniqueFd fd = AnchoredPath::openAt(folder, name, O_RDONLY | O_DIRECTORY, &error);
    if (!fd)
        return false;
    DirReader listing(std::move(fd));
    const char *entry;
    size_t length;
    DirReader::Kind kind;
    return listing.isOpen() && !listing.next(entry, length, kind);
}
}

Removal::LintResult Removal::removeLint(const std::string &path, const LintFound &found, bool toTrash,
                                        Trash::Names *names)
{
    const AnchoredPath::Parent p = AnchoredPath::openParent(path);
    if (!p)
        return lintResult(p.error == ENOENT ? LintOutcome::Gone : LintOutcome::Failed, p.error);
    const int folder = p.folder.get();
    FileIdentity now;
    int error = 0;
    if (!AnchoredPath::statAt(folder, p.name, now, &error))
        return lintResult(error == ENOENT ? LintOutcome::Gone : LintOutcome::Failed, error);
    if (now.device != found.device || now.inode != found.inode)
        return lintResult(LintOutcome::Replaced);

    int flags = 0;
    switch (found.kind) {
    case LintKind::EmptyFolder:
        if (!S_ISDIR(now.mode))
            return lintResult(LintOutcome::Replaced);
        // The trash takes a folder whole, so it is listed first; a plain
        // removal leaves the test to rmdir, which refuses any entry.
        if (toTrash && !folderIsEmpty(folder, p.name, error))
            return lintResult(error ? LintOutcome::Failed : LintOutcome::NotEmpty, error);
        flags = AT_REMOVEDIR;
        break;
    case LintKind::EmptyFile:
        if (!S_ISREG(now.mode))
            return lintResult(LintOutcome::Replaced);
        if (now.size != 0)
            return lintResult(LintOutcome::NotEmpty);
        break;
    case LintKind::BrokenLink:
        if (!S_ISLNK(now.mode))
            return lintResult(LintOutcome::Replaced);
        if (!isBrokenLinkAt(folder, p.name.c_str()))
            return lintResult(LintOutcome::Repaired);
        break;
    case LintKind::None:
        return lintResult(LintOutcome::Failed, EINVAL);
    }

    if (toTrash) {
        const Trash::Result r = Trash::moveToTrashAt(folder, p.name, path, names);
        return r.ok ? lintResult(LintOutcome::Removed) : lintResult(LintOutcome::Failed, r.error);
    }
    if (::unlinkat(folder, p.name.c_str(), flags) == 0)
        return lintResult(LintOutcome::Removed);
    error = errno;
    if (flags == AT_REMOVEDIR && (error == ENOTEMPTY || error == EEXIST))
        return lintResult(LintOutcome::NotEmpty, error);
    return lintResult(error == ENOENT ? LintOutcome::Gone : LintOutcome::Failed, error);
}
