#include "platform/BrowserCaches.h"

#include "platform/DirReader.h"
#include "platform/PathInfo.h"
#include "platform/Paths.h"

#include <algorithm>

namespace {
struct Browser {
    const char *folder;  // below a cache root: where the profiles lie
    bool firefox;        // profile/cache2/entries rather than profile/Cache/Cache_Data
    const char *flatpak; // application id; nullptr when there is none
    const char *snap;    // snap name; nullptr when there is none
};

// The browsers in the order their folders are listed.
constexpr Browser kBrowsers[] = {
    {"mozilla/firefox", true, "org.mozilla.firefox", "firefox"},
    {"chromium", false, "org.chromium.Chromium", "chromium"},
    {"google-chrome", false, "com.google.Chrome", nullptr},
    {"BraveSoftware/Brave-Browser", false, "com.brave.Browser", "brave"},
    {"vivaldi", false, "com.vivaldi.Vivaldi", "vivaldi"},
    {"opera", false, "com.opera.Opera", "opera"},
};

// The folders directly inside folder (links to folders are not profiles).
std::vector<std::string> subfolders(const std::string &folder)
{
    return DirReader::namesOfKind(folder, DirReader::Kind::Folder);
}

// "Profile <n>" with n a decimal number: n, else -1.
long profileNumber(const std::string &name)
{
    static const std::string prefix = "Profile ";
    if (name.size() <= prefix.size() || name.compare(0, prefix.size(), prefix) != 0)
        return -1;
    long n = 0;
    for (size_t i = prefix.size(); i < name.size(); ++i) {
        if (name[i] < '0' || name[i] > '9' || n > 100000000)
            return -1;
        n = n * 10 + (name[i] - '0');
    }
    return n;
}

void addExisting(std::vector<std::string> &out, const std::string &folder)
{
    if (PathInfo::isFolder(folder))
        out.push_back(folder);
}

void addProfiles(std::vector<std::string> &out, const std::string &root, bool firefox)
{
    std::vector<std::string> names = subfolders(root);
    if (firefox) {
        std::sort(names.begin(), names.end());
        for (const std::string &n : names)
            addExisting(out, root + "/" + n + "/cache2/entries");
        return;
    }
    std::vector<std::pair<long, std::string>> profiles;
    for (const std::string &n : names) {
        if (n == "Default")
            profiles.emplace_back(-1, n);
        else if (const long k = profileNumber(n); k >= 0)
            profiles.emplace_back(k, n);
    }
    std::sort(profiles.begin(), profiles.end());
    for (const auto &p : profiles)
        addExisting(out, root + "/" + p.second + "/Cache/Cache_Data");
}
}

std::vector<std::string> BrowserCaches::find()
{
    const std::string home = Paths::homeFolder();
    const std::string cache = Paths::cacheHome();
    std::vector<std::string> out;
    for (const Browser &b : kBrowsers) {
        addProfiles(out, cache + "/" + b.folder, b.firefox);
        if (b.flatpak)
            addProfiles(out, home + "/.var/app/" + b.flatpak + "/cache/" + b.folder, b.firefox);
        if (b.snap)
            addProfiles(out, home + "/snap/" + b.snap + "/common/.cache/" + b.folder, b.firefox);
    }
    return out;
}
