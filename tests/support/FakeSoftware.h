#pragma once
#include "platform/RegistryView.h"
#include "support/TempTree.h"

#include <string>

// Installed software for the registry view, built under the test's HOME:
// a dpkg info folder, a system and a user desktop-entry folder.
class FakeSoftware {
public:
    FakeSoftware();
    // A package whose list file holds the given lines.
    void package(const std::string &name, const std::string &lines);
    void systemEntry(const std::string &file, const std::string &content);
    void userEntry(const std::string &file, const std::string &content);
    RegistryView::Sources sources() const;
    TempTree tree{"software"};
};
