#include "platform/RegistryView.h"

#include "platform/AtomicFile.h"
#include "platform/Paths.h"

#include <algorithm>
#include <dirent.h>
#include <set>
#include <strings.h>
#include <sys/stat.h>

namespace {
bool endsWith(const std::string &s, const std::string &tail)
{
    return s.size() >= tail.size() && s.compare(s.size() - tail.size(), tail.size(), tail) == 0;
}

std::vector<std::string> folderNames(const std::string &folder)
{
    std::vector<std::string> names;
    DIR *d = ::opendir(folder.c_str());
    if (!d)
        return names;
    while (const dirent *e = ::readdir(d)) {
        const std::string n = e->d_name;
        if (n != "." && n != "..")
            names.push_back(n);
    }
    ::closedir(d);
    std::sort(names.begin(), names.end());
    return names;
}

bool isFolder(const std::string &path)
{
    struct stat st;
    return ::stat(path.c_str(), &st) == 0 && S_ISDIR(st.st_mode);
}

// Desktop entries of a folder and its sub-folders; the entry of sub/x.desktop
// is named sub-x.desktop, as its desktop file id.
void desktopEntries(const std::string &folder, const std::string &prefix, int depth,
                    std::vector<std::pair<std::string, std::string>> &out)
{
    if (depth > 8)
        return;
    for (const std::string &n : folderNames(folder)) {
        const std::string full = folder + "/" + n;
        if (endsWith(n, ".desktop"))
            out.emplace_back(prefix + n, full);
        else if (isFolder(full))
            desktopEntries(full, prefix + n + "-", depth + 1, out);
    }
}

// The program of an Exec or TryExec line: its first word, unquoted.
std::string programOf(const std::string &line)
{
    size_t i = line.find_first_not_of(" \t");
    if (i == std::string::npos)
        return {};
    std::string out;
    if (line[i] == '"') {
        for (++i; i < line.size() && line[i] != '"'; ++i) {
            if (line[i] == '\\' && i + 1 < line.size())
                ++i;
            out.push_back(line[i]);
        }
        return out;
    }
    const size_t end = line.find_first_of(" \t", i);
    return line.substr(i, end == std::string::npos ? std::string::npos : end - i);
}

// The absolute paths a desktop entry names, from its [Desktop Entry] group.
void readDesktopEntry(const std::vector<std::string> &lines, std::vector<std::pair<std::string, std::string>> &values)
{
    bool inGroup = false;
    for (const std::string &line : lines) {
        if (!line.empty() && line[0] == '[') {
            inGroup = line == "[Desktop Entry]";
            continue;
        }
        if (!inGroup)
            continue;
        const size_t eq = line.find('=');
        if (eq == std::string::npos)
            continue;
        std::string key = line.substr(0, eq);
        while (!key.empty() && (key.back() == ' ' || key.back() == '\t'))
            key.pop_back();
        std::string value = line.substr(eq + 1);
        value.erase(0, value.find_first_not_of(" \t"));
        if (key == "Exec" || key == "TryExec")
            value = programOf(value);
        else if (key != "Path")
            continue;
        if (!value.empty() && value[0] == '/'
            && std::none_of(values.begin(), values.end(), [&](const auto &v) { return v.first == key; }))
            values.emplace_back(key, value);
    }
}
}

RegistryView::Sources RegistryView::systemSources()
{
    return {"/var/lib/dpkg/info",
            {"/usr/share/applications", "/usr/local/share/applications"},
            {Paths::dataHome() + "/applications"}};
}

RegistryView::RegistryView() : sources_(systemSources()) {}
RegistryView::RegistryView(Sources sources) : sources_(std::move(sources)) {}

std::vector<std::string> RegistryView::Key::valueNames() const
{
    std::vector<std::string> names;
    names.reserve(values_.size());
    for (const auto &v : values_)
        names.push_back(v.first);
    return names;
}

std::optional<std::string> RegistryView::Key::readText(const std::string &name) const
{
    const auto it = byName_.find(name);
    if (it == byName_.end())
        return std::nullopt;
    return values_[it->second].second;
}

const std::vector<RegistryView::Entry> &RegistryView::entries(RegistryRoot root) const
{
    std::optional<std::vector<Entry>> &cached = listed_[root == RegistryRoot::LocalMachine ? 0 : 1];
    if (cached)
        return *cached;
    std::vector<Entry> &out = cached.emplace();
    std::set<std::string> seen;
    if (root == RegistryRoot::LocalMachine && !sources_.packageInfo.empty()) {
        for (const std::string &n : folderNames(sources_.packageInfo)) {
            if (endsWith(n, ".list") && n.size() > 5 && seen.insert(n.substr(0, n.size() - 5)).second)
                out.push_back({n.substr(0, n.size() - 5), sources_.packageInfo + "/" + n, true});
        }
    }
    const auto &folders = root == RegistryRoot::LocalMachine ? sources_.systemEntries : sources_.userEntries;
    for (const std::string &f : folders) {
        std::vector<std::pair<std::string, std::string>> found;
        desktopEntries(f, "", 0, found);
        for (auto &[name, file] : found) {
            if (seen.insert(name).second)
                out.push_back({name, file, false});
        }
    }
    return out;
}

std::optional<RegistryView::Key> RegistryView::open(RegistryRoot root, const std::string &path) const
{
    std::vector<std::string> parts;
    size_t start = 0;
    while (start <= path.size()) {
        size_t end = path.find('\\', start);
        if (end == std::string::npos)
            end = path.size();
        if (end > start)
            parts.push_back(path.substr(start, end - start));
        start = end + 1;
    }
    if (parts.empty() || parts.size() > 2 || strcasecmp(parts[0].c_str(), "SOFTWARE") != 0)
        return std::nullopt;

    const std::vector<Entry> &all = entries(root);
    Key key;
    if (parts.size() == 1) {
        key.path_ = "\\SOFTWARE";
        for (const Entry &e : all)
            key.subKeys_.push_back(e.name);
        return key;
    }
    const auto it = std::find_if(all.begin(), all.end(),
                                 [&](const Entry &e) { return strcasecmp(e.name.c_str(), parts[1].c_str()) == 0; });
    if (it == all.end())
        return std::nullopt;
    std::vector<std::string> lines;
    if (!AtomicFile::readLines(it->file, lines))
        return std::nullopt;
    key.path_ = "\\SOFTWARE\\" + it->name;
    if (it->package) {
        int n = 0;
        for (std::string &line : lines) {
            if (!line.empty())
                key.values_.emplace_back(std::to_string(++n), std::move(line));
        }
    } else {
        readDesktopEntry(lines, key.values_);
    }
    key.byName_.reserve(key.values_.size());
    for (size_t i = 0; i < key.values_.size(); ++i)
        key.byName_.emplace(key.values_[i].first, i);
    return key;
}
