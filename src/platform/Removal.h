#pragma once
#include <cstdint>
#include <string>
#include <vector>

namespace Trash {
class Names;
}

// Permanent removal of single files by the path they were found at. The path
// is reached without following symbolic links or leaving its file system
// (AnchoredPath): a folder on it that became a link fails the removal.
namespace Removal {
// Unlinks the entry path names: a file, or a symbolic link itself (never its
// target). A folder is not removed. On failure error (if given) gets errno;
// on success size (if given) gets the entry's size just before its removal,
// and freed (if given) the bytes the removal gave back: 0 for a name of a
// file that keeps another name (a hard link), whose data stays.
bool deleteFile(const std::string &path, int *error = nullptr, int64_t *size = nullptr, int64_t *freed = nullptr);
// What removing every path of the list gives back, against the sum of
// their sizes: a file with several names frees its bytes once, and only
// when all of its names are on the list. The bytes of the listed names that
// free nothing (0 when no name has another).
int64_t unfreedBytes(const std::vector<std::string> &paths);

// Entries that hold no data but clutter a drive: folders holding nothing,
// files of no bytes, symbolic links that lead nowhere.
enum class LintKind : uint8_t { None, EmptyFolder, EmptyFile, BrokenLink };
// What a walk saw of such an entry: its kind and which entry it was.
struct LintFound {
    LintKind kind = LintKind::None;
    uint64_t device = 0;
    uint64_t inode = 0;
};
enum class LintOutcome : uint8_t {
    Removed,  // removed, or moved to the trash
    Gone,     // no longer there
    Replaced, // another entry (or another kind of entry) has the name now
    NotEmpty, // a folder that holds something now, a file written to
    Repaired, // a link that resolves now
    Failed    // the system refused (error says why)
};
struct LintResult {
    LintOutcome outcome = LintOutcome::Failed;
    int error = 0;
    bool removed() const { return outcome == LintOutcome::Removed; }
};
// Removes a lint entry only while it is still what the walk found, checked
// relative to its folder's descriptor at the moment of removal: the same
// device and inode, and still empty (a folder with rmdir's own test, so a
// file written into it since keeps it) or still a link that does not
// resolve. Nothing is ever removed recursively. With toTrash the entry is
// moved to the trash instead (a folder after listing it finds nothing in it).
LintResult removeLint(const std::string &path, const LintFound &found, bool toTrash = false,
                      Trash::Names *names = nullptr);
// The symbolic link name in folder does not resolve: following it fails
// because a component is missing or is no folder, or because the links loop.
// A link that cannot be followed for lack of permission is not called broken.
bool isBrokenLinkAt(int folder, const char *name);
// The same for the entry path names; false when it is not a symbolic link.
bool isBrokenLink(const std::string &path);
// The size in bytes of what path names (a link's own size, not its
// target's); -1 when it cannot be examined.
int64_t entrySize(const std::string &path);
}
