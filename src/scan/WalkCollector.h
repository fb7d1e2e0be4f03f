#pragma once
#include "scan/ParallelWalk.h"

#include <atomic>
#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A parallel walk for a finder that takes its files one by one on the
// calling thread (a visitor). Each pool thread keeps, in a compact list of
// its own, the files its filter passes; after the walk they are given back
// as FoundFile records, a folder's files together. Only the order of the
// folders differs from the walker's own walk (any finder whose results are
// sorted afterwards gets the same results); what the visitor does with a
// file stays on its thread.
class WalkCollector : public WalkWorker {
public:
    // keep is called on a pool thread: it may only read the record and
    // state that does not change during the walk. At most room files are
    // kept over all collectors sharing counter; one more ends the walk.
    WalkCollector(const std::function<bool(const FoundFile &)> &keep, std::atomic<int64_t> &counter,
                  const int64_t &room);

    bool visit(const FoundFile &f, const WalkPlace &at) override;

    size_t size() const { return files_.size(); }
    // Fills out with the n-th file kept: name, folder, path, size, stamps,
    // attributes, device, inode and links (folderText is left as it is,
    // and set again only when the folder changes: folderChanged).
    void fill(size_t n, FoundFile &out, bool &folderChanged) const;
    // Frees what was kept.
    void clear();

private:
    struct Kept {
        int64_t size;
        int64_t modifiedNs, changedNs;
        uint64_t device, inode;
        size_t nameAt;
        uint32_t folder; // in folders_
        uint32_t nameLength;
        uint32_t links;
        DosDateTime written, accessed, created;
        uint8_t attributes;
        bool writtenOdd;
    };
    const std::function<bool(const FoundFile &)> &keep_;
    std::atomic<int64_t> &counter_;
    const int64_t &room_;
    std::vector<Kept> files_;
    std::string names_;
    std::vector<std::string> folders_;
    uint32_t lastFolder_ = WalkPlace::kNoFolder; // the walk's number of folders_.back()
};
