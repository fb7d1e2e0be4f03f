#pragma once
#include "scan/FoundFile.h"

#include <cstdint>
#include <string_view>
#include <utility>
#include <vector>

// The names a walk met of files that have more than one (hard links), so
// that each such file counts once: under the name that comes first in the
// order du walks a tree whose folders list their entries in byte order
// (a folder's entries by name, each sub-folder's tree where its name
// falls). That order does not depend on how a parallel walk met the names,
// and where du's own order is fixed (folders given in that order) it is
// du's. Only files with links > 1 are written here; one worker thread keeps
// one ledger, without a lock.
class LinkLedger {
public:
    struct Name {
        uint64_t device = 0, inode = 0;
        int64_t size = 0;
        uint32_t accessed = 0; // DOS stamp
        uint8_t attributes = 0;
        uint32_t slot = 0;     // the caller's: where this name's figures go
        uint64_t pathAt = 0;   // the name's path in the ledger's text
        uint32_t pathLength = 0;
    };

    // A name met: f (device, inode, size, access stamp) by its folder and name.
    void add(const FoundFile &f, std::string_view folder, std::string_view name, uint32_t slot);
    // The names added from index from on get slot.
    void setSlots(size_t from, uint32_t slot);
    size_t size() const { return names_.size(); }
    bool empty() const { return names_.empty(); }
    const Name &operator[](size_t i) const { return names_[i]; }
    std::string_view path(const Name &n) const { return {text_.data() + n.pathAt, n.pathLength}; }
    void clear();

    // True when path a comes before b in that walk order (paths of one tree).
    static bool walkBefore(std::string_view a, std::string_view b);

    // The name that counts each file of ledgers: (ledger, index) pairs.
    // counted holds the files counted by earlier walks of the same scan
    // (sorted device, inode pairs): none of their names counts, and the
    // files counted here join them.
    struct Owner {
        uint32_t ledger;
        uint32_t index;
    };
    static std::vector<Owner> owners(const std::vector<const LinkLedger *> &ledgers,
                                     std::vector<std::pair<uint64_t, uint64_t>> &counted);

private:
    std::vector<Name> names_;
    std::vector<char> text_;
};
