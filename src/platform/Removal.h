#pragma once
#include <cstdint>
#include <string>
#include <vector>

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
// The size in bytes of what path names (a link's own size, not its
// target's); -1 when it cannot be examined.
int64_t entrySize(const std::string &path);
}
