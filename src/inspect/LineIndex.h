#pragma once
#include <cstdint>
#include <functional>
#include <vector>

class PagedFile;

// The rows of a file shown as text. A row ends after a line feed, or after
// kWidth bytes when no line feed comes sooner (so a file without line feeds
// still has rows of bounded length). A file ending in a line feed has no
// empty row after it; an empty file has no rows.
//
// Rows are counted on demand from the start, as far as they are needed (the
// first screen, a line asked for, a search's match), and every few thousand
// rows a checkpoint (row number, offset) is kept, so any counted row is
// found again by stepping at most one checkpoint's distance.
class LineIndex {
public:
    static constexpr uint64_t kWidth = 4096;

    // Called between pieces of a long count; false stops it.
    using KeepGoing = std::function<bool()>;

    explicit LineIndex(PagedFile &file);

    // True once the whole file has been counted.
    bool complete() const { return complete_; }
    // The number of rows counted so far (the total once complete).
    uint64_t counted() const { return frontRow_; }

    // Counts on until more than rows rows are counted (or the end).
    // False when keepGoing stopped it.
    bool countRows(uint64_t rows, const KeepGoing &keepGoing = {});
    // Counts on until the row holding offset is counted (or the end).
    bool countTo(uint64_t offset, const KeepGoing &keepGoing = {});
    bool countAll(const KeepGoing &keepGoing = {}) { return countTo(UINT64_MAX, keepGoing); }

    // The offset where a counted row starts (row <= counted(); counted()
    // itself gives the offset counting continues from).
    uint64_t rowStart(uint64_t row);
    // The row holding offset; counts on as far as needed. An offset at or
    // past the end gives the last row.
    uint64_t rowOf(uint64_t offset);
    // Where the row starting at start ends (its line feed, or its last byte + 1)
    // and where the next row starts.
    uint64_t contentEnd(uint64_t start);
    uint64_t nextRowStart(uint64_t start);

    struct Checkpoint {
        uint64_t row;
        uint64_t offset;
    };
    size_t checkpointCount() const { return checkpoints_.size(); }

private:
    bool countUntil(uint64_t rows, uint64_t offset, const KeepGoing &keepGoing);
    const Checkpoint &checkpointForRow(uint64_t row) const;
    const Checkpoint &checkpointForOffset(uint64_t offset) const;
    // The first line feed in [from, limit); limit when there is none.
    uint64_t findFeed(uint64_t from, uint64_t limit);

    PagedFile &file_;
    uint64_t frontRow_ = 0;    // rows counted
    uint64_t frontOffset_ = 0; // where row frontRow_ starts
    bool complete_ = false;
    std::vector<Checkpoint> checkpoints_;
};
