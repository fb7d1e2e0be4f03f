#pragma once
#include "platform/RegistryView.h"

#include <functional>
#include <string>
#include <unordered_set>

// Builds the non-delete list from the registry view: every value below
// HKEY_LOCAL_MACHINE\SOFTWARE and then HKEY_CURRENT_USER\SOFTWARE, down to 25
// levels of keys, that names a path gives its folder, once, when that folder
// exists. The values of SOFTWARE itself are not examined.
class RegistryFolderScan {
public:
    explicit RegistryFolderScan(const RegistryView &view) : view_(view) {}

    // Called with each new folder as it is found (ending in "/").
    std::function<void(const std::string &)> onFolder;

    // Scans both roots. Folders already reported (without regard to case)
    // are not reported again.
    void run();

    // A value is taken when it is an absolute path longer than 3 characters
    // holding no ";" and no ":" (and no line break, which the list file
    // could not hold).
    static bool acceptValue(const std::string &value);
    // Everything up to and including the last "/".
    static std::string folderPart(const std::string &value);

    static constexpr int maxDepth = 25;

private:
    void findpaths(RegistryRoot root, const std::string &key);
    void take(const std::string &value);

    const RegistryView &view_;
    int registryDepth_ = 0;
    std::unordered_set<std::string> held_;
    std::unordered_set<std::string> absent_;
};
