#include "scan/GridLines.h"

#include "common/Text.h"

#include <algorithm>
#include <cstring>

GridLines::GridLines(const GridLayout &layout)
{
    fields_.reserve(layout.columns.size());
    for (const GridColumn &c : layout.columns)
        fields_.push_back(c.field);
}

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

void GridLines::cellsOf(QStringView line, const std::vector<int> &fields, QStringView *cells)
{
    QStringView all[MaxFields];
    const int n = splitFields(line, all);
    for (size_t c = 0; c < fields.size(); ++c) {
        const int f = fields[c];
        cells[c] = (f >= 1 && f <= n) ? all[f - 1] : QStringView();
    }
}

void GridLines::cellsOf(const QStringView *lineFields, int n, const std::vector<int> &fields, QStringView *cells)
{
    for (size_t c = 0; c < fields.size(); ++c) {
        const int f = fields[c];
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

uint8_t GridLines::nameFlags(std::string_view name)
{
    // Without branches, so that long paths are read many bytes at a time.
    bool plain = true, slash = false;
    for (const char c : name) {
        plain &= uint8_t(c - 0x20) < 0x5f;
        slash |= c == '/';
    }
    return uint8_t((plain ? NamePlain : 0) | (slash ? NameSlash : 0));
}

uint32_t GridLines::add(QStringView line, std::string_view path)
{
    thread_local std::vector<QStringView> cells;
    cells.resize(fields_.size());
    cellsOf(line, fields_, cells.data());
    return addCells(cells.data(), path);
}

uint32_t GridLines::addFields(const QStringView *fields, int n, std::string_view path)
{
    thread_local std::vector<QStringView> cells;
    cells.resize(fields_.size());
    cellsOf(fields, std::min(n, int(MaxFields)), fields_, cells.data());
    return addCells(cells.data(), path);
}

uint32_t GridLines::addCells(const QStringView *cells, std::string_view path)
{
    Row r;
    r.text = storeCells(text_, cells, fields_.size());
    r.nameAt = bytes_.append(path.data(), path.size());
    r.nameLen = uint32_t(path.size());
    // The whole path is the name: it holds a "/", and it is shown as the
    // general case shows a name (the cells are texts: it is never shown).
    r.nameFlags = NameSlash;
    rows_.push_back(r);
    return uint32_t(rows_.size() - 1);
}
