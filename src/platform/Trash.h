#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>

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

// Remembers, for one run of moves, the next number to try for each name in
// each trash: a run that trashes thousands of files of one name ("index.js")
// tries each number once instead of probing from the first every time. A
// number it skips because another program took it is simply skipped.
class Names {
public:
    int &next(const std::string &trashFolder, const std::string &name);

private:
    std::unordered_map<std::string, int> next_;
};

// Moves what path names (a file, a symbolic link itself, or a folder) to the
// trash. The path is reached as AnchoredPath reaches it: a folder on the way
// that became a symbolic link fails the move and nothing is touched. The information file is created exclusively and written first; the
// rename follows, and the information file is removed again when the rename
// fails.
Result moveToTrash(const std::string &path, Names *names = nullptr);
// The same for the entry name in the open folder folder (a walk's own
// descriptor); path is its full path, for the information file.
Result moveToTrashAt(int folder, const std::string &name, const std::string &path, Names *names = nullptr);

// The trash folder (holding files/ and info/) that a move of path would use,
// created when the trash specification says to; empty when none can be used.
std::string trashFolderFor(const std::string &path);

// "Path=" values are URL-escaped bytes: every byte but unreserved characters
// and "/" as %XX.
std::string escapePath(const std::string &path);
}
