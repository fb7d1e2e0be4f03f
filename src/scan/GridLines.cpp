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
    qsizetype start = 0;
    while (n < MaxFields) {
        qsizetype end = line.indexOf(QLatin1Char('\t'), start);
        const bool last = end < 0;
        if (last)
            end = line.size();
        fields[n++] = trimSpaces(line.mid(start, end - start));
        if (last)
            break;
        start = end + 1;
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
    uint8_t flags = NamePlain;
    for (const char c : name) {
        if (c < 0x20 || c >= 0x7f)
            flags &= uint8_t(~NamePlain);
        else if (c == '/')
            flags |= NameSlash;
    }
    return flags;
}

uint32_t GridLines::add(QStringView line, std::string_view path)
{
    thread_local std::vector<QStringView> cells;
    cells.resize(fields_.size());
    cellsOf(line, fields_, cells.data());
    Row r;
    r.text = storeCells(text_, cells.data(), cells.size());
    r.nameAt = bytes_.append(path.data(), path.size());
    r.nameLen = uint32_t(path.size());
    r.nameFlags = nameFlags(path);
    rows_.push_back(r);
    return uint32_t(rows_.size() - 1);
}
