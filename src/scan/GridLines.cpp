#include "scan/GridLines.h"

#include "common/Text.h"

#include <algorithm>
#include <cstring>

GridLines::GridLines(const GridLayout &layout) : columns_(layout.columns) {}

int GridLines::splitFields(QStringView line, QStringView *fields)
{
    int n = 0;
    const char16_t *start = line.utf16(), *const end = start + line.size();
    while (n < MaxFields) {
        const char16_t *tab = start;
        while (tab != end && *tab != u'\t')
            ++tab;
        fields[n++] = trimSpaces(QStringView(start, tab));
        if (tab == end)
            break;
        start = tab + 1;
    }
    return n;
}

void GridLines::cellsOf(QStringView line, const std::vector<GridColumn> &columns, QStringView *cells)
{
    QStringView all[MaxFields];
    const int n = splitFields(line, all);
    cellsOf(all, n, columns, cells); // trimmed already: trimming again changes nothing
}

void GridLines::cellsOf(const QStringView *lineFields, int n, const std::vector<GridColumn> &columns,
                        QStringView *cells)
{
    for (size_t c = 0; c < columns.size(); ++c) {
        const int f = columns[c].field;
        cells[c] = (f >= 1 && f <= n) ? trimSpaces(lineFields[f - 1]) : QStringView();
    }
}

uint64_t GridLines::storeCells(ChunkPool<QChar> &pool, const QStringView *cells, size_t columns)
{
    size_t total = columns;
    for (size_t c = 0; c < columns; ++c)
        total += size_t(std::min<qsizetype>(cells[c].size(), 0xffff));
    uint64_t handle;
    QChar *to = pool.allocate(total, handle);
    for (size_t c = 0; c < columns; ++c)
        *to++ = QChar(ushort(std::min<qsizetype>(cells[c].size(), 0xffff)));
    for (size_t c = 0; c < columns; ++c) {
        const size_t n = size_t(std::min<qsizetype>(cells[c].size(), 0xffff));
        if (n > 0)
            std::memcpy(static_cast<void *>(to), cells[c].data(), n * sizeof(QChar));
        to += n;
    }
    return handle;
}

uint32_t GridLines::add(QStringView line, std::string_view path)
{
    thread_local std::vector<QStringView> cells;
    cells.resize(columns_.size());
    cellsOf(line, columns_, cells.data());
    return addCells(cells.data(), path);
}

uint32_t GridLines::addFields(const QStringView *fields, int n, std::string_view path)
{
    thread_local std::vector<QStringView> cells;
    cells.resize(columns_.size());
    cellsOf(fields, n, columns_, cells.data());
    return addCells(cells.data(), path);
}

uint32_t GridLines::addKeyed(const QStringView *fields, int n, uint32_t key)
{
    thread_local std::vector<QStringView> cells;
    cells.resize(columns_.size());
    cellsOf(fields, n, columns_, cells.data());
    Row r;
    r.text = storeCells(text_, cells.data(), columns_.size());
    r.nameAt = key;
    r.nameLen = kKeyed;
    rows_.push_back(r);
    return uint32_t(rows_.size() - 1);
}

uint32_t GridLines::addCells(const QStringView *cells, std::string_view path)
{
    Row r;
    r.text = storeCells(text_, cells, columns_.size());
    r.nameAt = bytes_.append(path.data(), path.size());
    r.nameLen = uint32_t(path.size());
    rows_.push_back(r);
    return uint32_t(rows_.size() - 1);
}
