#pragma once
#include <string>
#include <vector>

// The cache folders of the web browsers this user has, found on disk.
namespace BrowserCaches {
// Every existing cache folder, browser by browser: Firefox, Chromium, Google
// Chrome, Brave, Vivaldi, Opera. For each browser the user's cache folder
// ($XDG_CACHE_HOME, default ~/.cache) comes first, then that of its Flatpak
// (~/.var/app/<id>/cache) and its Snap (~/snap/<name>/common/.cache).
// Firefox keeps one cache per profile folder (cache2/entries), in name
// order; the Chromium family one per profile, "Default" first and then
// "Profile 1", "Profile 2" ... in number order (Cache/Cache_Data). A source
// that does not exist gives nothing.
std::vector<std::string> find();
}
