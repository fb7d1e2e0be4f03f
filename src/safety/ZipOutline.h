#pragma once
#include <string>
#include <vector>

// The outline of an archive's stored names for display: folders and files
// as a tree. Names are split at "/" (leading, trailing and doubled ones
// ignored); folders named by several entries are one node. A name deeper
// than kDepth levels keeps its first kDepth - 1 folders as nodes of their
// own and the rest of its path joined into one node, so the tree (and the
// work and memory it takes to build and show it) stays bounded whatever
// depth the stored names claim. A deep folder entry that a deeper entry
// already passes through gets no node of its own.
namespace ZipOutline {
constexpr size_t kDepth = 32;

struct Node {
    int parent = -1;     // index of the parent node; -1 at the top
    std::string text;    // bytes: one name, or the joined rest of a deep path
    bool folder = false;
};
// Nodes in the order of the names; a parent always comes before its children.
std::vector<Node> build(const std::vector<std::string> &names);
}
