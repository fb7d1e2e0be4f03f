#pragma once
#include <cstdint>
#include <functional>
#include <string>

struct stat;

// Removes a folder with everything below it by descriptors: each folder is
// opened relative to its parent's descriptor with O_NOFOLLOW | O_DIRECTORY,
// and every entry is removed relative to its folder's descriptor. The walk
// never follows a symbolic link (a link inside the tree is met as an entry
// and removed as the link itself), never enters another mount (a folder whose
// device or mount id differs from the tree's is left alone), and never
// changes the process's current folder. Entries are met in the order the
// folder listing gives them; each sub-folder is emptied and removed before
// the walk goes on. The walk is a loop, not a recursion, and holds a bounded
// number of folders open, so any depth the file system allows is removed.
namespace TreeRemoval {
// One entry that is not a folder: a file, a symbolic link, a device...
struct Entry {
    int folder;              // descriptor of the folder holding it
    const std::string &name; // its name there
    const std::string &path; // its full path (the tree's path joined with the names);
                             // valid while onEntry runs (copy it to keep it)
    const struct stat &st;   // what it is, read without following a link
};

struct Walk {
    // Handles one entry; returns false to stop the walk. The default
    // (empty) deletes it with deleteEntry.
    std::function<bool(const Entry &)> onEntry;
    // Tested before each entry; true stops the walk.
    std::function<bool()> stopRequested;
    // A folder left alone with all it holds: on another mount (EXDEV), kept
    // by keepFolder (0), not the folder it was when the walk came back to it
    // (ESTALE), or it could not be opened (its errno).
    std::function<void(const std::string &path, int error)> onSkipped;
    // A folder the walk must not enter, by its st_dev and inode.
    std::function<bool(uint64_t device, uint64_t inode)> keepFolder;
    // Remove the emptied folders, the tree's own folder last. Off: only
    // onEntry acts (zipping without deleting).
    bool removeFolders = true;
    // Removes an emptied folder (name in the open folder parent, path its
    // full path); true when it is gone. The default (empty) removes it at
    // once with removeEmptyFolder. A caller whose onEntry holds back
    // deletions can keep the folder and remove it once they are done.
    std::function<bool(int parent, const std::string &name, const std::string &path)> removeFolder;
};

struct Result {
    bool opened = false;      // the tree's folder could be reached
    int error = 0;            // why not (ELOOP/ENOTDIR: its last component is a link)
    bool completed = false;   // the walk ran to its end without being stopped
    bool rootRemoved = false; // the tree's folder itself is gone
    int64_t foldersRemoved = 0;
    int64_t foldersLeft = 0;    // emptied as far as the walk went, but not removed
    int64_t foldersSkipped = 0; // not entered (each one reported through onSkipped)
};

// Removes the folder at path (reached as AnchoredPath reaches it: no link
// on the way, no other mount). A folder whose own last component is a
// symbolic link is refused (ELOOP) and nothing is touched.
Result removeTree(const std::string &path, const Walk &walk);

// 0 when removeTree could open the folder at path; else the error it would
// give (ELOOP/ENOTDIR: a link on the way, EXDEV: a mount point).
int check(const std::string &path);

// Removes the folder name in the open folder parent if it is empty.
bool removeEmptyFolder(int parent, const std::string &name);

// Unlinks the entry (a link as the link); errno in error on failure.
bool deleteEntry(const Entry &entry, int *error = nullptr);
}
