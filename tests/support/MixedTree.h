#pragma once
#include <string>

class TempTree;

// Builds below rel in t a tree of every kind of entry a walk meets: nested
// folders (some empty), dot-files and dot-folders, names differing only in
// case, links to files and to folders, a FIFO, files from empty to sparse
// ones of several MB with many extensions, and access, change and
// modification stamps spread over years. The same seed gives the same tree.
// Returns the tree's folder.
std::string makeMixedTree(const TempTree &t, const std::string &rel, unsigned seed);
