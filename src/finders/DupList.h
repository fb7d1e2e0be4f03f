#pragma once
#include "common/DosTime.h"
#include "finders/DupLine.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

class ResultGridModel;

// The lines collected by a duplicate or file-hog scan (lbList), kept compact:
// each file is one fixed record (size, stamps, folder and type numbers) plus
// its name's bytes in a shared pool; folders and type texts are stored once.
// Line texts are built only for the lines that reach the grid.
//
// Order (sort): ascending by the line's fields without regard to case, which
// is the order of the whole lines. For criteria 4 and 5, whose key fields do
// not all lead the line, the key's fields come first, so that every run of
// equal keys stands together; for the other criteria this is the same order.
class DupList {
public:
    // The most lines the collection takes; add() refuses more.
    static constexpr size_t kCapacity = size_t(1) << 25;

    // Empties the collection for a scan in the given mode.
    void reset(bool dupMode, int criterion);
    // Adds a found file; false when the collection is full.
    bool add(std::string_view folder, std::string_view name, int64_t size, DosDateTime written, DosDateTime accessed,
             bool writtenOdd = false);
    size_t count() const { return count_; }
    bool dupMode() const { return dupMode_; }
    int criterion() const { return criterion_; }

    // Sorts the lines (see above) and returns the ids of the lines in list
    // order. It writes only its ranks: another thread may read the lines
    // (size(), name() ...) meanwhile.
    std::vector<uint32_t> sorted();
    // The lines whose size another line shares, in line order (what a
    // search by contents compares). Like sorted(), it writes only ranks.
    std::vector<uint32_t> sharingSize();
    // Duplicate mode: every run of two or more lines with equal keys, in list
    // order, one run after another (the lines for the grid, lbFiles).
    std::vector<uint32_t> addDups();
    // File-hog mode: the lines from the last to the first.
    std::vector<uint32_t> reSort();

    // Appends the files ids to the grid as typed rows (no line texts are
    // made): each file's folder and name, size, stamps and type; in
    // duplicate mode its key is the number of its run of equal keys.
    void fillGrid(const std::vector<uint32_t> &ids, ResultGridModel &grid);
    // The same for groups found otherwise (by contents): each group's files
    // one after another, the key of a row the number of its group. With
    // typeText, a row's type text is what it gives for the file's id and
    // its type text (similar pictures add the pixel size).
    using TypeText = std::function<QString(uint32_t id, const QString &type)>;
    void fillGroups(const std::vector<std::vector<uint32_t>> &groups, ResultGridModel &grid,
                    const TypeText &typeText = {});

    // The line of a file, laid out for the mode and criterion (texts are
    // ranked once, at the first sort or line after the last add).
    QString line(uint32_t id);
    // The key of a file's line (stripPath of its line).
    QString key(uint32_t id);
    // The file as found: folder joined with name.
    std::string path(uint32_t id) const;
    std::string_view name(uint32_t id) const;
    const std::string &folder(uint32_t id) const;
    // The folders as kept (a folder met again later may be kept again) and
    // the index of a file's folder among them.
    const std::vector<std::string> &folders() const { return folders_; }
    uint32_t folderIndex(uint32_t id) const { return entry(id).folder; }
    int64_t size(uint32_t id) const;
    DosDateTime written(uint32_t id) const { return entry(id).written; }
    DupLine::Fields fields(uint32_t id);

    // Frees everything.
    void clear();

private:
    struct Entry {
        int64_t size;
        uint32_t folder;
        uint32_t nameAt;
        uint32_t type;
        DosDateTime written;
        DosDateTime accessed;
        uint16_t nameLen;
        bool writtenOdd; // the written second is odd (the stamp keeps seconds / 2)
    };
    static constexpr int kChunkBits = 16;
    static constexpr size_t kPoolChunk = size_t(1) << 20;

    Entry &entry(uint32_t id) { return chunks_[id >> kChunkBits][id & ((1u << kChunkBits) - 1)]; }
    const Entry &entry(uint32_t id) const { return chunks_[id >> kChunkBits][id & ((1u << kChunkBits) - 1)]; }
    uint32_t typeOf(std::string_view name);
    void fillRows(const std::vector<uint32_t> &ids, ResultGridModel &grid, const std::function<bool(size_t)> &newRun,
                  const TypeText &typeText = {});
    void rank();
    void rankSizes();
    int compareField(DupLine::Field f, uint32_t a, uint32_t b) const;
    bool keysEqual(uint32_t a, uint32_t b) const;
    const QString &sizeText(uint32_t id) const;
    const QString &dateText(DosDateTime s) const;
    const QString &timeText(const Entry &e) const;
    const QString &folderText(uint32_t folder) const;

    bool dupMode_ = true;
    int criterion_ = 0;
    size_t count_ = 0;
    std::vector<std::unique_ptr<Entry[]>> chunks_;
    std::vector<std::unique_ptr<char[]>> pool_;
    size_t poolUsed_ = 0; // bytes used in the last pool chunk
    std::vector<std::string> folders_;
    std::vector<QString> types_;
    std::unordered_map<std::string, uint32_t> typeOfExt_;

    // Built by sorted(): ranks of every text a line holds, so that lines
    // compare by numbers (equal texts without regard to case share a rank).
    bool ranked_ = false;
    bool sizesRanked_ = false;
    std::vector<int64_t> sizes_;        // distinct sizes, ascending
    std::vector<QString> sizeTexts_;    // their texts
    std::vector<uint32_t> sizeRank_;    // their ranks
    std::vector<uint32_t> sizeOf_;      // per entry: index into sizes_
    std::vector<QString> dateTexts_;    // per date key (65536 = no stamp)
    std::vector<uint32_t> dateRank_;
    std::vector<QString> timeTexts_;
    std::vector<uint32_t> timeRank_;
    std::vector<uint32_t> folderRank_;
    mutable std::vector<QString> folderTexts_; // display texts, built as lines need them
    std::vector<uint32_t> typeRank_;
};
