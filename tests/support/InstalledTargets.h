#pragma once
#include "common/Navigation.h"

#include <array>

// Registers the program's real navigation targets (the folder browser, the
// file viewer, the details window, folder removal, the pair comparison) for
// the life of the object, then puts back the handlers that were registered
// before it: a later test in the same process sees only the targets it
// registers itself.
class InstalledTargets {
public:
    InstalledTargets();
    ~InstalledTargets();
    InstalledTargets(const InstalledTargets &) = delete;
    InstalledTargets &operator=(const InstalledTargets &) = delete;

private:
    std::array<Navigation::Handler, size_t(Navigation::Target::Count)> previous_;
};
