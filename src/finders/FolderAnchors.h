#pragma once
#include "platform/AnchoredPath.h"

#include <cstdint>
#include <string>
#include <vector>

// The drive anchors of a search's folders. They are found once, on the
// thread that starts the search (finding one reads the mount list); the
// workers then open each folder below its drive's anchor, never through a
// link swapped into its path since the walk.
class FolderAnchors {
public:
    // Finds the anchors of the folders marked in used.
    void find(const std::vector<std::string> &folders, const std::vector<bool> &used);
    // Folder number folder, whose path is path, opened below its anchor;
    // none with error set (EACCES where nothing else was said) when it
    // cannot be.
    UniqueFd open(uint32_t folder, const std::string &path, int &error) const;

private:
    std::vector<uint32_t> of_; // each folder's anchor in list_ (UINT32_MAX: none)
    std::vector<AnchoredPath::Anchor> list_;
};
