#include "safety/ZipOutline.h"

#include <algorithm>
#include <string_view>
#include <unordered_map>

namespace {
// The name without leading, trailing or doubled "/".
std::string normalised(const std::string &stored)
{
    std::string out;
    out.reserve(stored.size());
    for (const char c : stored) {
        if (c == '/' && (out.empty() || out.back() == '/'))
            continue;
        out.push_back(c);
    }
    if (!out.empty() && out.back() == '/')
        out.pop_back();
    return out;
}

// The offset after which the last node of the name starts: the end of its
// (kDepth - 1)th component, or npos when the name is not deeper than kDepth.
size_t collapseAt(const std::string &name)
{
    size_t at = 0;
    for (size_t level = 1; level < ZipOutline::kDepth; ++level) {
        at = name.find('/', at);
        if (at == std::string::npos)
            return std::string::npos;
        ++at;
    }
    return name.find('/', at) == std::string::npos ? std::string::npos : at;
}
}

std::vector<ZipOutline::Node> ZipOutline::build(const std::vector<std::string> &names)
{
    struct Name {
        std::string path;
        bool folder;
    };
    std::vector<Name> all;
    all.reserve(names.size());
    std::vector<std::string> deep;
    for (const std::string &stored : names) {
        Name n{normalised(stored), !stored.empty() && stored.back() == '/'};
        if (n.path.empty())
            continue;
        if (collapseAt(n.path) != std::string::npos)
            deep.push_back(n.path);
        all.push_back(std::move(n));
    }
    std::sort(deep.begin(), deep.end());
    const auto passedThrough = [&](const std::string &folder) {
        const std::string below = folder + '/';
        const auto it = std::lower_bound(deep.begin(), deep.end(), below);
        return it != deep.end() && it->compare(0, below.size(), below) == 0;
    };

    std::vector<Node> nodes;
    std::unordered_map<std::string, int> folders; // path up to a folder node -> node
    for (const Name &n : all) {
        const size_t cut = collapseAt(n.path);
        if (cut != std::string::npos && n.folder && passedThrough(n.path))
            continue;
        const size_t last = cut != std::string::npos ? cut : n.path.rfind('/') + 1; // npos + 1 == 0
        int parent = -1;
        size_t from = 0;
        while (from < last) {
            const size_t slash = n.path.find('/', from);
            const std::string key = n.path.substr(0, slash);
            auto [it, added] = folders.try_emplace(key, int(nodes.size()));
            if (added)
                nodes.push_back({parent, n.path.substr(from, slash - from), true});
            parent = it->second;
            from = slash + 1;
        }
        if (n.folder) {
            auto [it, added] = folders.try_emplace(n.path, int(nodes.size()));
            if (added)
                nodes.push_back({parent, n.path.substr(last), true});
        } else {
            nodes.push_back({parent, n.path.substr(last), false});
        }
    }
    return nodes;
}
