#include "finders/PictureGroups.h"

#include "finders/PictureHash.h"

#include <algorithm>

using PictureGroups::Index;

Index::Index(const std::vector<uint64_t> &hashes, const std::vector<uint32_t> &items)
    : hashes_(hashes), sameNext_(hashes.size(), kNone)
{
    nodes_.reserve(items.size());
    for (uint32_t item : items)
        add(item);
}

void Index::add(uint32_t item)
{
    const uint64_t h = hashes_[item];
    if (nodes_.empty()) {
        nodes_.push_back({h, item});
        return;
    }
    uint32_t at = 0;
    for (;;) {
        Node &node = nodes_[at];
        const uint32_t d = uint32_t(PictureHash::distance(node.hash, h));
        if (d == 0) {
            // Items of one hash share the node, chained after its first.
            sameNext_[item] = sameNext_[node.item];
            sameNext_[node.item] = item;
            return;
        }
        uint32_t child = node.firstChild;
        while (child != kNone && nodes_[child].distance != d)
            child = nodes_[child].nextSibling;
        if (child == kNone) {
            const uint32_t added = uint32_t(nodes_.size());
            const uint32_t sibling = node.firstChild;
            nodes_[at].firstChild = added; // node may move in push_back
            nodes_.push_back({h, item, kNone, sibling, d});
            return;
        }
        at = child;
    }
}

void Index::within(uint64_t hash, int radius, std::vector<uint32_t> &out) const
{
    if (nodes_.empty())
        return;
    std::vector<uint32_t> todo{0};
    while (!todo.empty()) {
        const Node &node = nodes_[todo.back()];
        todo.pop_back();
        const int d = PictureHash::distance(node.hash, hash);
        if (d <= radius)
            for (uint32_t i = node.item; i != kNone; i = sameNext_[i])
                out.push_back(i);
        // Only a child at a distance from its parent within radius of d
        // can hold a hash within radius of the one looked for.
        for (uint32_t c = node.firstChild; c != kNone; c = nodes_[c].nextSibling) {
            const int cd = int(nodes_[c].distance);
            if (cd >= d - radius && cd <= d + radius)
                todo.push_back(c);
        }
    }
}

std::vector<std::vector<uint32_t>> PictureGroups::group(const std::vector<uint64_t> &hashes,
                                                        const std::vector<uint32_t> &preference, int threshold)
{
    const Index index(hashes, preference);
    constexpr uint32_t kFree = UINT32_MAX;
    std::vector<uint32_t> rank(hashes.size(), kFree);
    for (uint32_t r = 0; r < preference.size(); ++r)
        rank[preference[r]] = r;
    std::vector<bool> taken(hashes.size());
    std::vector<std::vector<uint32_t>> groups;
    std::vector<uint32_t> near;
    for (uint32_t centre : preference) {
        if (taken[centre])
            continue;
        taken[centre] = true;
        near.clear();
        index.within(hashes[centre], threshold, near);
        std::vector<uint32_t> members;
        for (uint32_t i : near)
            if (!taken[i] && rank[i] != kFree) {
                taken[i] = true;
                members.push_back(i);
            }
        if (members.empty())
            continue;
        std::sort(members.begin(), members.end(), [&](uint32_t a, uint32_t b) { return rank[a] < rank[b]; });
        members.insert(members.begin(), centre);
        groups.push_back(std::move(members));
    }
    return groups;
}
