#pragma once
#include <cstdint>
#include <string>

// The user's recycle bin: the freedesktop.org trash. A file on the file
// system of the user's data folder goes to $XDG_DATA_HOME/Trash; a file on
// another file system goes to that file system's own trash ($topdir/.Trash/$uid
// when an administrator made a sticky $topdir/.Trash, else $topdir/.Trash-$uid).
// The move is always a rename, never a copy: when no trash on the file's own
// file system can be used, the file stays where it is and the move fails.
namespace Trash {
struct Result {
    bool ok = false;
    int error = 0;          // errno of the failure
    std::string trashedAs;  // the file's new path in the trash's files/ folder
    std::string infoFile;   // its .trashinfo
    int64_t size = 0;       // the entry's size when it was moved
};

// Moves what path names (a file, a symbolic link itself, or a folder) to the
// trash. The path is reached as AnchoredPath reaches it: a folder on the way
// that became a symbolic link fails the move and nothing is touched. The information file is created exclusively and written first; the
// rename follows, and the information file is removed again when the rename
// fails.
Result moveToTrash(const std::string &path);

// The trash folder (holding files/ and info/) that a move of path would use,
// created when the trash specification says to; empty when none can be used.
std::string trashFolderFor(const std::string &path);

// "Path=" values are URL-escaped bytes: every byte but unreserved characters
// and "/" as %XX.
std::string escapePath(const std::string &path);
}
