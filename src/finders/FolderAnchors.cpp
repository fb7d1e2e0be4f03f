#include "finders/FolderAnchors.h"

#include <cerrno>
#include <map>

void FolderAnchors::find(const std::vector<std::string> &folders, const std::vector<bool> &used)
{
    std::map<std::string, uint32_t> byPath;
    of_.assign(folders.size(), UINT32_MAX);
    list_.clear();
    for (size_t i = 0; i < folders.size() && i < used.size(); ++i) {
        if (!used[i])
            continue;
        const std::string anchor = AnchoredPath::anchorOf(folders[i]);
        auto it = byPath.find(anchor);
        if (it == byPath.end()) {
            it = byPath.emplace(anchor, uint32_t(list_.size())).first;
            list_.push_back(AnchoredPath::openAnchor(anchor));
        }
        of_[i] = it->second;
    }
}

UniqueFd FolderAnchors::open(uint32_t folder, const std::string &path, int &error) const
{
    error = 0;
    const uint32_t a = folder < of_.size() ? of_[folder] : UINT32_MAX;
    UniqueFd fd = a < list_.size() ? AnchoredPath::openFolderBelow(list_[a], path, &error) : UniqueFd();
    if (!fd && error == 0)
        error = EACCES;
    return fd;
}
