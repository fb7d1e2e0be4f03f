#pragma once
#include <cstdint>
#include <string>

// Permanent removal of single files by the path they were found at. The path
// is reached without following symbolic links or leaving its file system
// (AnchoredPath): a folder on it that became a link fails the removal.
namespace Removal {
// Unlinks the entry path names: a file, or a symbolic link itself (never its
// target). A folder is not removed. On failure error (if given) gets errno;
// on success size (if given) gets the entry's size just before its removal.
bool deleteFile(const std::string &path, int *error = nullptr, int64_t *size = nullptr);
// The size in bytes of what path names (a link's own size, not its
// target's); -1 when it cannot be examined.
int64_t entrySize(const std::string &path);
}
