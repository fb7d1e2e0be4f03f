#pragma once
#include "scan/ChunkPool.h"
#include "scan/GridLayout.h"

#include <QAbstractTableModel>
#include <cstdint>
#include <string>
#include <vector>

// The rows, marks and totals of a result grid, without any widget. Grid row
// 0 is the header (the view's horizontal header); file rows are 1 to
// rowsFilled(); model row r is grid row r + 1. Cell texts are kept in one
// pool and rows are indices into it, so a million rows fill and sort fast.
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
    void addToGrid(const QString &line, const std::string &path);
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
    QStringView cellView(int row, int column) const;
    void setCell(int row, int column, const QString &text);
    std::string path(int row) const;
    bool isMarked(int row) const;

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
    int64_t markedSize() const { return markedSize_; }
    // Full paths of the marked files, in marking order.
    const std::vector<std::string> &lbDeleted() const { return lbDeleted_; }
    QString statusText() const;

    // Sort entry i of the layout (rows 1 to rowsFilled, whole rows with their
    // marks) in its program-wide direction, which then flips (or flips first
    // with flipBeforeSort; flip false keeps it). False when sorting is off,
    // the grid has fewer than 2 rows, or i is no entry.
    bool sortBy(int entry, bool flip = true);
    // Sorts rows 1 to rowsFilled by one column; the other overload sorts the
    // grid rows first..last only.
    void sortRows(int column, SortKind kind, bool descending);
    void sortRows(int column, SortKind kind, bool descending, int first, int last);
    // The entry a header click on column picks; -1 for none.
    int sortEntryForColumn(int column) const;
    int checkedSortEntry() const { return checked_; }

    // One full path per file row, each followed by CR LF.
    QString clipboardText() const;

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
    struct Slot {
        uint64_t text = 0;
        uint64_t pathAt = 0;
        uint32_t pathLen = 0;
        bool marked = false;
        int64_t counted = -1; // the size added to the totals when marked; -1 none
    };
    int slotOf(int row) const;
    QStringView slotCell(int slot, int column) const;
    void toggle(int row);
    void showStatus() const;
    void scheduleSync();
    void setChecked(int entry);

    GridLayout layout_;
    int columns_ = 0;
    ChunkPool<QChar> text_;
    ChunkPool<char> paths_;
    std::vector<uint16_t> cellLen_; // per slot, per column
    std::vector<Slot> slots_;
    std::vector<uint32_t> order_; // grid row - 1 -> slot
    int gridRows_ = 2;
    int shown_ = 1;       // rows the views have been told about (model rows)
    int dirtyFrom_ = -1;  // first model row whose cells changed since the last sync
    bool syncQueued_ = false;
    int64_t markedCount_ = 0;
    int64_t markedSize_ = 0;
    std::vector<std::string> lbDeleted_;
    int checked_ = 0;

public:
    // Sort scratch, kept between sorts so repeated sorts reuse the memory.
    struct KeyItem {
        uint64_t key;
        uint32_t slot;
    };
    struct TextItem {
        uint64_t key; // four folded characters from the current depth
        const QChar *text;
        uint32_t len;
        uint32_t slot;
    };

private:
    std::vector<uint64_t> keyOf_;
    std::vector<KeyItem> keyItems_, keySpare_;
    std::vector<TextItem> textItems_, textSpare_, bySlot_;
};
