#pragma once
#include <string>

// Where the program keeps its own files on this system.
namespace Paths {
// $XDG_CONFIG_HOME/vantor, or ~/.config/vantor. Not created here.
std::string settingsFolder();
// settingsFolder() joined with a file name.
std::string settingsFile(const std::string &name);
// The user's home folder ($HOME, else the password database).
std::string homeFolder();
// $XDG_DATA_HOME, or ~/.local/share.
std::string dataHome();
// $XDG_CACHE_HOME, or ~/.cache.
std::string cacheHome();
// Create a folder and its parents (mode 0755 less umask); each folder made is
// synced into its parent. True when it exists afterwards.
bool makeFolders(const std::string &path);
}
