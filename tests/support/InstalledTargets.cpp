#include "support/InstalledTargets.h"

#include "app/TNavigationTargets.h"

InstalledTargets::InstalledTargets()
{
    for (size_t i = 0; i < previous_.size(); ++i) {
        const auto target = Navigation::Target(i);
        previous_[i] = Navigation::setHandler(target, {});
        Navigation::setHandler(target, previous_[i]);
    }
    TNavigationTargets::install();
}

InstalledTargets::~InstalledTargets()
{
    for (size_t i = 0; i < previous_.size(); ++i)
        Navigation::setHandler(Navigation::Target(i), std::move(previous_[i]));
}
