#pragma once
#include "scan/ChunkPool.h"
#include "scan/GridLayout.h"

#include <QStringView>
#include <cstdint>
#include <string_view>
#include <vector>

// Text lines made into grid rows away from the model, on any thread: each
// line's cells as the model's addToGrid splits them, stored as the model
// stores them, with the line's path kept whole. ResultGridModel::addBatches
// takes the rows over without copying their texts, so a scan's threads can
// make the rows of the lines they find while the texts are at hand. For
// grids whose rows cannot be marked (their files are never looked up folder
// by folder).
class GridLines {
public:
    explicit GridLines(const GridLayout &layout);
    // The row of one line; gives its number in this batch.
    uint32_t add(QStringView line, std::string_view path);
    // The same for a line whose n fields the caller has at hand (not yet
    // trimmed).
    uint32_t addFields(const QStringView *fields, int n, std::string_view path);
    // The same for a row whose path the finder keeps itself, by key (see
    // ResultGridModel::setKeyedPaths): no path is stored.
    uint32_t addKeyed(const QStringView *fields, int n, uint32_t key);
    size_t size() const { return rows_.size(); }

    // The fields of a tab-separated line, each trimmed of spaces as
    // tabField does (at most MaxFields); gives their number.
    static constexpr int MaxFields = 64;
    static int splitFields(QStringView line, QStringView *fields);
    // The cells of a line under a layout's columns: each column gets its
    // field of the line (none: empty).
    static void cellsOf(QStringView line, const std::vector<GridColumn> &columns, QStringView *cells);
    // The same for a line's n fields, trimmed as splitFields trims them.
    static void cellsOf(const QStringView *lineFields, int n, const std::vector<GridColumn> &columns,
                        QStringView *cells);
    // One row's cell texts in pool as the model reads them: the cells'
    // lengths, one unit each (at most 65535), then their texts.
    static uint64_t storeCells(ChunkPool<QChar> &pool, const QStringView *cells, size_t columns);

private:
    friend class ResultGridModel;
    uint32_t addCells(const QStringView *cells, std::string_view path);
    struct Row {
        uint64_t text = 0;   // the cells in text_
        uint64_t nameAt = 0; // the path in bytes_ (a keyed row: its key)
        uint32_t nameLen = 0; // kKeyed: a keyed row
    };
    static constexpr uint32_t kKeyed = ~0u;
    std::vector<GridColumn> columns_; // the layout's
    // A batch is made for every scan and taken over by the model: blocks
    // from the ordinary heap are reused scan after scan.
    static constexpr size_t kBlockBytes = 64 * 1024;
    ChunkPool<QChar> text_{kBlockBytes};
    ChunkPool<char> bytes_{kBlockBytes};
    std::vector<Row> rows_;
};
