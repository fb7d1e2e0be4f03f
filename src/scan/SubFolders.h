#pragma once
#include <string>
#include <vector>

// The folders a folder tree shows below a folder: real folders only (a
// symbolic link is never listed), none whose name begins with "." (hidden),
// and none on another mount than the folder itself (a bind mount of the same
// file system included). Sorted without regard to case.
namespace SubFolders {
std::vector<std::string> list(const std::string &folder);
}
