#pragma once
#include <cstdint>
#include <vector>

// Grouping pictures whose hashes lie within a Hamming distance of each other.
//
// An index (a BK-tree over the 64-bit hashes) answers "which hashes lie
// within r of this one" without comparing every pair. Groups are made
// around centres: the pictures are taken in order of preference (the copy
// most worth keeping first); each one not yet in a group becomes a centre,
// and every picture not yet in a group within the threshold of it joins it.
// So every member lies within the threshold of its group's centre, and a
// chain of near pictures (A near B, B near C, A far from C) is never glued
// into one group; the centre is the group's most preferred picture.
namespace PictureGroups {

class Index {
public:
    // Indexes the given items (indices into hashes, which must outlive the index).
    Index(const std::vector<uint64_t> &hashes, const std::vector<uint32_t> &items);
    // The items within radius of hash, in no order.
    void within(uint64_t hash, int radius, std::vector<uint32_t> &out) const;

private:
    static constexpr uint32_t kNone = UINT32_MAX;
    // One node per distinct hash; its children hang off it as a list of
    // siblings, each at its own distance from it (24 bytes a node).
    struct Node {
        uint64_t hash;
        uint32_t item;        // the first item of this hash
        uint32_t firstChild = kNone;
        uint32_t nextSibling = kNone;
        uint32_t distance = 0; // from the parent
    };
    void add(uint32_t item);

    const std::vector<uint64_t> &hashes_;
    std::vector<Node> nodes_;        // node 0 is the root
    std::vector<uint32_t> sameNext_; // per item: the next item of its hash
};

// The groups of two or more: preference lists the items (indices into the
// hashes) in order of preference; items not in it take no part. Each group
// lists its centre first, then its members in order of preference; groups
// come in the order of their centres.
std::vector<std::vector<uint32_t>> group(const std::vector<uint64_t> &hashes,
                                         const std::vector<uint32_t> &preference, int threshold);
}
