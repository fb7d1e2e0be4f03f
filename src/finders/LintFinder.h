#pragma once
#include "platform/Removal.h"
#include "scan/FoundFile.h"

#include <QString>
#include <cstdint>
#include <string>
#include <vector>

// Finds, inside a walk that runs anyway, the entries that hold nothing:
// empty folders, empty files and broken symbolic links. The walker hands
// every entry of a folder (files, links, special entries, subfolders) to
// entry() and then calls folderDone(); subfolders are done before their
// parent, so a folder is judged bottom-up: it is empty when it holds nothing
// at all, or only folders that were themselves found empty and listed.
//
// Nothing is listed that the program must leave alone: the walk's root, the
// user's home folder, anything in the operating system's own folders, and
// anything the non-delete list protects. A folder holding such an empty
// folder holds something.
class LintFinder {
public:
    struct Choice {
        bool emptyFolders = false;
        bool emptyFiles = false;
        bool brokenLinks = false;
        bool any() const { return emptyFolders || emptyFiles || brokenLinks; }
    };
    struct Counts {
        int64_t emptyFolders = 0; // every listed empty folder, a chain counted whole
        int64_t leafFolders = 0;  // of those, the ones that held no entry at all
        int64_t emptyFiles = 0;
        int64_t brokenLinks = 0;
    };

    LintFinder();
    explicit LintFinder(Choice choice);
    const Choice &choice() const { return choice_; }
    const Counts &counts() const { return counts_; }

    // A walk of root begins (root is depth 0).
    void beginRoot(const std::string &root);
    // An entry of the folder at depth (depth of its folder, not its own):
    // its lint kind when it is one that was chosen and may be listed.
    Removal::LintKind entry(const FoundFile &f, int depth);
    // Every entry of the folder at depth was given to entry(): true when the
    // folder is an empty folder to list. row then describes it as a grid row
    // (its parent as folder, its own device and inode); folder is the
    // walker's record of the folder.
    bool folderDone(const FoundFile &folder, int depth, FoundFile &row);

    // The type text a row of the kind shows.
    static QString typeText(Removal::LintKind kind);
    // Whether path may be listed at all: not in the system's own folders,
    // not the home folder, not protected by the non-delete list.
    bool listable(const std::string &path, bool folder) const;
    // path is one of the operating system's top folders or lies below one.
    static bool inSystemFolder(const std::string &path);

private:
    // What the folder being finished at one depth holds so far.
    struct Level {
        int64_t others = 0;     // entries that are not folders
        int64_t folders = 0;    // folder entries
        int64_t emptyKids = 0;  // subfolders found empty and listed
    };
    Level &level(int depth);

    Choice choice_;
    Counts counts_;
    std::vector<Level> levels_;
    uint64_t rootDevice_ = 0;
    std::string home_, realHome_; // the home folder as named and as resolved
};
