#pragma once
#include <optional>
#include <string>
#include <vector>

// The archives the extraction window lists, and what their names tell.
namespace ArchiveFolder {
// The regular files of folder whose names match "Drive*.zip" without regard
// to case, sorted by name (bytes).
std::vector<std::string> archivesIn(const std::string &folder);
// The drive letter (upper case) that follows "Drive-" in the file name of
// an archive path ("/a/Drive-D-Duplicates07Dec261504.zip" gives 'D'); nothing
// when the name has no "Drive-" followed by a letter. Only the file name is
// read, so a folder named "Drive-..." on the way does not count.
std::optional<char> driveLetter(const std::string &archivePath);
}
