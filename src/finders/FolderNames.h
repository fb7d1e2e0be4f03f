#pragma once
#include "scan/ChunkPool.h"

#include <QString>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// The folders a walk met, each kept as its parent's number and its own name
// (bytes), so that what they take grows with the number of folders and the
// bytes of their names, however deep they lie. A folder's path and the text
// that shows it are made only when asked for.
//
// A root is kept by its whole path. A drive's root shows with a closing "/"
// (as a drive's line shows it); any other folder shows as its path.
class FolderNames {
public:
    static constexpr uint32_t kNone = ~0u;
    // The parent of a folder added before its parent was (setParent follows).
    static constexpr uint32_t kPending = kNone - 1;

    void clear();
    // Room for folders 0 to n - 1, each unknown until set.
    void resize(size_t n);
    size_t size() const { return nodes_.size(); }
    // Folder n: below parent (kNone: a root, named by its whole path).
    void set(uint32_t n, uint32_t parent, std::string_view name, bool drive = false);
    // A new folder at the end; gives its number.
    uint32_t add(uint32_t parent, std::string_view name, bool drive = false);
    // A folder whose parent was not known when it was added.
    void setParent(uint32_t n, uint32_t parent) { nodes_[n].parent = parent; }
    bool known(uint32_t n) const { return n < nodes_.size() && (nodes_[n].flags & Known); }
    // Known, and so is every folder up to its root.
    bool reachesRoot(uint32_t n) const;
    uint32_t parent(uint32_t n) const { return nodes_[n].parent; }
    std::string_view name(uint32_t n) const;

    std::string path(uint32_t n) const;
    QString shown(uint32_t n) const;
    // Orders two folders as their shown texts compare (in the manner of
    // QString::compare with cs): below zero when a's comes first.
    int compare(uint32_t a, uint32_t b, Qt::CaseSensitivity cs) const;
    // Notes every folder's depth, for compare to climb by (folders set
    // afterwards are climbed without).
    void settle();
    // Levels below its root (quick once settled).
    uint32_t depth(uint32_t n) const;

private:
    enum : uint8_t { Known = 1, Drive = 2 };
    struct Node {
        uint64_t nameAt = 0;
        uint32_t nameLen = 0;
        uint32_t parent = kNone;
        uint8_t flags = 0;
    };
    // The folders from n's root down to n.
    void chain(uint32_t n, std::vector<uint32_t> &out) const;
    // The shown text of chain[from] and the folders below it in the chain.
    QString shownFrom(const std::vector<uint32_t> &chain, size_t from) const;
    int compareChains(uint32_t a, uint32_t b, Qt::CaseSensitivity cs) const;
    ChunkPool<char> names_{64 * 1024};
    std::vector<uint32_t> depths_;
    std::vector<Node> nodes_;
};
