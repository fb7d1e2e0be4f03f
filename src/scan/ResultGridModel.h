#pragma once
#include "common/DosTime.h"
#include "scan/ChunkPool.h"
#include "scan/GridLayout.h"
#include "scan/GridLines.h"
#include "scan/LargeArray.h"

#include <QAbstractTableModel>
#include <QHash>
#include <cstdint>
#include <functional>
#include <limits>
#include <optional>
#include <string>
#include <string_view>
#include <unordered_map>
#include <vector>

struct FoundFile;

// One file as a finder hands it to the grid: what is needed to show, sort,
// mark and act on it. The grid keeps the path once and makes cell texts
// from these fields only when a view, the report or the clipboard asks.
struct GridFile {
    std::string_view folder; // as found: a drive's root ends in "/", any other folder does not
    std::string_view name;   // bytes as the file system spells them
    int64_t size = 0;
    DosDateTime written = 0;
    DosDateTime accessed = 0;
    DosDateTime created = 0;
    bool writtenOdd = false; // the written second is odd (FoundFile::writtenOdd)
    uint8_t attributes = 0;  // FileAttr bits
    uint32_t type = 0;      // ResultGridModel::typeId of the type text; 0 is no type
    uint32_t key = 0;       // the finder's own key (a duplicate group, ...)
    // ResultGridModel::folderId of folder, when the caller keeps it (a
    // caller listing many files of few folders looks each folder up once).
    uint32_t folderId = kNoFolderId;
    static constexpr uint32_t kNoFolderId = ~0u;
};

// The rows, marks and totals of a result grid, without any widget. Grid row
// 0 is the header (the view's horizontal header); file rows are 1 to
// rowsFilled(); model row r is grid row r + 1.
//
// A row is either a file handed over as typed fields (addFile: each column
// shows its CellKind, made on demand) or a text line (addToGrid: each column
// shows its field of the line, kept in one pool). setCell turns a row into
// texts. Sorting by size or date compares the typed fields where a row has
// them, the cell texts otherwise, so both kinds of row sort alike.
//
// Every row carries the path of its file as found (bytes); marks, totals,
// opening, the clipboard and deletion use that path, never the cell texts.
class ResultGridModel : public QAbstractTableModel {
    Q_OBJECT
public:
    enum Role { MarkRole = Qt::UserRole + 1, PathRole };

    explicit ResultGridModel(const GridLayout &layout = {}, QObject *parent = nullptr);

    const GridLayout &layout() const { return layout_; }
    GridLayout &layout() { return layout_; }
    // Takes a new layout (a window's mode) and clears the grid.
    void setLayout(const GridLayout &layout);

    // Header texts of the layout, every cell and mark emptied, 2 grid rows,
    // rowsFilled 0, the layout's checkedAtClear sort entry checked, no marks.
    void ClearGrid();
    // Appends one row: rowsFilled + 1; 50 more grid rows when the grid is
    // full; each column gets tabField(line, its field). path is the file as found.
    void addToGrid(const QString &line, std::string_view path);
    // Appends one row per line as addToGrid does, in the order given; the
    // views hear of them once.
    struct Line {
        QStringView text;
        std::string_view path;
    };
    void addLines(const std::vector<Line> &lines);
    // Appends the rows of batches made away from the model, in the order
    // given (rows not listed are left out), as addToGrid would have made
    // them but for the path, kept whole. The batches' texts are taken over
    // without a copy; the batches are left empty. For a layout whose rows
    // cannot be marked.
    struct BatchRow {
        uint32_t batch;
        uint32_t row;
    };
    void addBatches(std::vector<GridLines> &batches, const std::vector<BatchRow> &order);
    // Rows a batch made with GridLines::addKeyed keep a key instead of a
    // path: path gives the row's path and shown the text of column, made
    // each time a view, a sort or the report asks (so deep folders do not
    // keep their long paths in every row).
    struct KeyedPaths {
        std::function<std::string(uint32_t key)> path;
        std::function<QString(uint32_t key)> shown;
        int column = -1;
    };
    void setKeyedPaths(KeyedPaths k) { keyed_ = std::move(k); }
    // Appends one file row (rows grow as with addToGrid); its path is the
    // folder joined with the name.
    void addFile(const GridFile &file);
    // The number of a folder's path for GridFile::folderId (ClearGrid
    // forgets them).
    uint32_t folderId(std::string_view folder) { return folderOf(folder); }
    // A found file as the walker reports it, with a type from typeId.
    void addFile(const FoundFile &file, uint32_t type = 0, uint32_t key = 0);
    // The number of a type text for GridFile::type (trimmed of spaces; equal
    // texts share one number; ClearGrid forgets them).
    uint32_t typeId(const QString &text);
    // Room for rows more rows (a finder copying a known number of lines).
    void reserve(int rows);
    // After the last addToGrid: the grid keeps rowsFilled + 1 rows when more
    // than one row was filled (with 0 or 1 rows it keeps its 2).
    void trimRows();
    // Grid rows including the header.
    int gridRowCount() const { return gridRows_; }
    void setGridRowCount(int rows);
    int rowsFilled() const { return int(order_.size()); }

    // Grid-row accessors (row 1 is the first file); empty beyond rowsFilled.
    QString cell(int row, int column) const;
    // The longest text of a column over the rows filled (a size column's
    // is the largest size's, found without making every text).
    QString longestCell(int column) const;
    // Replaces one cell's text; the row keeps its path and marks.
    void setCell(int row, int column, const QString &text);
    std::string path(int row) const;
    bool isMarked(int row) const;
    // The typed fields of a file row (0 for rows added as lines).
    int64_t fileSize(int row) const;
    uint32_t fileKey(int row) const;
    uint8_t fileAttributes(int row) const;

    // Toggles a row's mark and updates the totals from the file on disk; a
    // vanished file is marked without counting. Then the status line.
    void deleteOneFile(int row);
    void clearAllMarks();
    // Clears the marks and toggles rows 1 to rowsFilled; the status line
    // shows the totals once, at the end.
    void markAll();
    // Clears the marks and shows the zero totals.
    void unmarkAll();
    int64_t markedCount() const { return markedCount_; }
    // The marked files' bytes, held at the 64-bit limit (the sum itself is
    // kept wider, so unmarking takes off exactly what marking added).
    int64_t markedSize() const
    {
        return markedSize_ > std::numeric_limits<int64_t>::max() ? std::numeric_limits<int64_t>::max()
                                                                 : int64_t(markedSize_);
    }
    // Full paths of the marked files, in marking order.
    const std::vector<std::string> &lbDeleted() const;
    QString statusText() const;

    // Sort entry i of the layout (rows 1 to rowsFilled, whole rows with their
    // marks) in its program-wide direction, which then flips (or flips first
    // with flipBeforeSort; flip false keeps it). False when sorting is off,
    // the grid has fewer than 2 rows, or i is no entry.
    bool sortBy(int entry, bool flip = true);
    // The same for rows a finder added in the order that entry's sort, in
    // its present direction, gives them: the direction, the checked entry
    // and the views change as after sortBy; the rows are not compared.
    bool sortedBy(int entry, bool flip = true);
    // Sorts rows 1 to rowsFilled by one column; the other overload sorts the
    // grid rows first..last only.
    void sortRows(int column, SortKind kind, bool descending);
    void sortRows(int column, SortKind kind, bool descending, int first, int last);
    // The entry a header click on column picks; -1 for none.
    int sortEntryForColumn(int column) const;
    int checkedSortEntry() const { return checked_; }

    // One full path per file row, each followed by CR LF.
    QString clipboardText() const;
    // The rows' paths in order, as found (the clipboard's file forms).
    std::vector<std::string> paths() const;

    // Reports pending row growth to attached views (also done from the event
    // loop after a run of addToGrid calls).
    void sync();

    int rowCount(const QModelIndex &parent = {}) const override;
    int columnCount(const QModelIndex &parent = {}) const override;
    QVariant data(const QModelIndex &index, int role = Qt::DisplayRole) const override;
    QVariant headerData(int section, Qt::Orientation orientation, int role = Qt::DisplayRole) const override;

signals:
    void checkedSortChanged(int entry);

private:
    // One row. Its path is its folder's prefix (the folder and, unless the
    // folder ends in one, a "/") followed by its name; folders are kept once.
    // A row from a batch keeps its path whole as its name, under the empty
    // folder (its cells are texts: the parts are never shown or sorted).
    struct Slot {
        uint64_t nameAt = 0; // in bytes_
        int64_t size = 0;
        uint32_t folder = 0;
        uint32_t nameLen = 0;
        uint32_t text = 0; // 1 + index in texts_ of the row's cell texts (lines, set cells); 0: made from the fields
        uint32_t key = 0;
        DosDateTime written = 0, accessed = 0, created = 0;
        uint16_t type = 0;
        uint8_t attributes = 0;
        uint8_t nameFlags = 0; // NamePlain, NameSlash
    };
    enum : uint8_t {
        NamePlain = 1, // printable ASCII only: shown as stored
        NameSlash = 2, // holds a "/" (a name a finder made up, or a batch's whole path; a walk never finds one)
        NameKeyed = 4, // a keyed row: its path and its keyed column come from keyed_ by its key
        WrittenOdd = 8 // the written second is odd
    };
    bool keyedCell(const Slot &s, int column) const { return (s.nameFlags & NameKeyed) && column == keyed_.column; }
    KeyedPaths keyed_;
    struct Folder {
        uint64_t at = 0;     // the prefix in bytes_
        uint32_t len = 0;    // prefix length
        bool joined = false; // the prefix ends in the "/" that joins folder and name
        bool plain = false;  // printable ASCII only: shown as stored
    };
    struct Mark {
        int64_t counted = -1; // the size added to the totals when marked; -1 none
        uint32_t seq = 0;     // marking order; 0 unmarked
    };
    int slotOf(int row) const;
    uint32_t folderOf(std::string_view folder);
    static uint8_t nameFlags(std::string_view name);
    void appendSlot(Slot &s);
    // A line's row, its texts stored (not yet appended).
    Slot lineSlot(QStringView line, std::string_view path);
    std::string_view prefix(const Slot &s) const;
    std::string_view nameBytes(const Slot &s) const;
    std::string_view folderBytes(const Slot &s) const;
    std::string pathOf(const Slot &s) const;
    QStringView storedCell(const Slot &s, int column) const;
    QString madeCell(const Slot &s, int column) const;
    QString slotText(const Slot &s, int column) const;
    uint32_t storeTexts(const QStringView *cells);
    bool marked(uint32_t slot) const { return slot < marks_.size() && marks_[slot].seq != 0; }
    void toggleSlot(uint32_t slot, bool lookedUp, std::optional<int64_t> size);
    void toggle(int row);
    std::vector<int64_t> lookUpSizes() const;
    void showStatus() const;
    void scheduleSync();
    bool sortEntry(int entry, bool flip, bool compare);
    bool sortByTable(CellKind show, bool descending, size_t from, size_t count);
    bool sortPaths(bool descending, size_t from, size_t count);
    void setChecked(int entry);

    GridLayout layout_;
    int columns_ = 0;
    ChunkPool<QChar> text_;
    std::vector<uint64_t> texts_; // stored rows' cell texts in text_
    ChunkPool<char> bytes_;       // folder prefixes and names
    std::vector<Folder> folders_;
    std::unordered_map<std::string_view, uint32_t> folderIds_; // the folder as given -> its number
    std::string lastFolder_;
    uint32_t lastFolderId_ = ~0u;
    LargeArray<Slot> slots_;
    LargeArray<uint32_t> order_; // grid row - 1 -> slot
    LargeArray<Mark> marks_;     // per slot, from the first mark on
    size_t textRows_ = 0;        // rows whose cells are texts (lines, set cells)
    size_t wideNames_ = 0;       // names that are not printable ASCII only
    size_t slashNames_ = 0;      // names holding a "/"
    std::vector<QString> types_{QString()};
    QHash<QString, uint32_t> typeIds_;
    int gridRows_ = 2;
    int shown_ = 1;       // rows the views have been told about (model rows)
    int dirtyFrom_ = -1;  // first model row whose cells changed since the last sync
    bool syncQueued_ = false;
    int64_t markedCount_ = 0;
    __int128 markedSize_ = 0; // never below 0: only sizes of 0 or more are added
    uint32_t nextMark_ = 1;
    mutable std::vector<std::string> lbDeleted_; // built from the marks when asked
    mutable bool lbDeletedStale_ = false;
    int checked_ = 0;

public:
    // Sort scratch, kept between sorts so repeated sorts reuse the memory.
    struct KeyItem {
        uint64_t key;
        uint32_t slot;
    };
    struct TextItem {
        uint64_t key;     // four folded characters from the current depth
        const void *text; // QChar units or bytes (see the sort)
        uint32_t len;
        uint32_t slot;
    };

private:
    template <typename Item>
    Item *sortScratch(int which, size_t count);
    LargeArray<uint64_t> scratch_[2];
    ChunkPool<QChar> sortTexts_; // texts made for one text sort
};
