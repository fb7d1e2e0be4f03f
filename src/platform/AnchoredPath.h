#pragma once
#include "platform/UniqueFd.h"

#include <cstdint>
#include <ctime>
#include <string>

struct stat;

// What one stat of a file saw: which file it is (device and inode) and its
// state (size, modification and change times).
struct FileIdentity {
    uint64_t device = 0;
    uint64_t inode = 0;
    uint32_t mode = 0;
    int64_t size = 0;
    uint64_t links = 0; // names the file has (0: removed while open)
    timespec modified{};
    timespec changed{};

    static FileIdentity of(const struct stat &st);
    // Same device and inode.
    bool sameFile(const FileIdentity &other) const;
    // Same file, size and modification and change times.
    bool sameState(const FileIdentity &other) const;
    bool isRegular() const;
};

// Reaching a path the walker found without being redirected by what changed
// since: the path's folder is opened from its anchor (the root of its drive,
// or the deepest mount point above it when that is deeper) without following
// any symbolic link and without crossing onto another file system, and the
// file is then acted on relative to that folder's descriptor. A folder that
// was swapped for a symbolic link, or a path that now passes through another
// mount, can no longer be reached: the call fails (ELOOP, ENOTDIR or EXDEV)
// and nothing is touched. The last component is never followed either: a
// symbolic link there is acted on as the link itself.
//
// Uses openat2 (RESOLVE_NO_SYMLINKS | RESOLVE_NO_XDEV | RESOLVE_BENEATH) and,
// where the kernel refuses it, opens component by component with
// O_NOFOLLOW | O_DIRECTORY, checking the file system and mount of each.
// Functions with an int *error report errno there on failure.
namespace AnchoredPath {
// The folder at path. readable gives a descriptor that can be listed and
// synced; otherwise an O_PATH descriptor, enough for the *at calls.
UniqueFd openFolder(const std::string &path, bool readable = false, int *error = nullptr);

// The anchor of a path, opened once on the thread that finds it (finding it
// reads the mount list, which is not shared between threads), so that
// folders below it can be opened from worker threads.
struct Anchor {
    std::string path;
    UniqueFd folder; // O_PATH
    explicit operator bool() const { return bool(folder); }
};
Anchor openAnchor(const std::string &path, int *error = nullptr);
// The folder at path (absolute, below anchor), reached as openFolder reaches
// it (O_PATH); safe to call from any thread. A path not below the anchor
// fails with EXDEV.
UniqueFd openFolderBelow(const Anchor &anchor, const std::string &path, int *error = nullptr);

// The folder holding path's last component, and that component.
struct Parent {
    UniqueFd folder;
    std::string name;
    int error = 0;
    explicit operator bool() const { return bool(folder); }
};
Parent openParent(const std::string &path);

// Relative to an open folder (name is a single component).
bool statAt(int folder, const std::string &name, FileIdentity &out, int *error = nullptr);
// openat with O_NOFOLLOW | O_CLOEXEC added to flags.
UniqueFd openAt(int folder, const std::string &name, int flags, int *error = nullptr, unsigned mode = 0644);
bool unlinkAt(int folder, const std::string &name, int *error = nullptr);
// Moves an entry; with noReplace an existing target is never replaced
// (file systems without RENAME_NOREPLACE fail with EEXIST when the target
// exists and otherwise get a plain rename).
bool renameAt(int fromFolder, const std::string &fromName, int toFolder, const std::string &toName, bool noReplace,
              int *error = nullptr);

// The same, starting from a whole path.
bool stat(const std::string &path, FileIdentity &out, int *error = nullptr);
UniqueFd openFile(const std::string &path, int flags, int *error = nullptr);
// Removes the entry path names (a file, or a symbolic link itself). With
// expected, only when the entry is still that file (device and inode).
// size (if given) gets the entry's size just before its removal, and freed
// (if given) what the removal gave back: that size when this was the file's
// last name, 0 while another name still holds its data.
bool unlink(const std::string &path, int *error = nullptr, const FileIdentity *expected = nullptr,
            int64_t *size = nullptr, int64_t *freed = nullptr);

// The anchor a path is reached from (for tests and messages).
std::string anchorOf(const std::string &path);

// Tests: false makes every open walk component by component, as on kernels
// without openat2.
void setUseOpenat2(bool on);
}
