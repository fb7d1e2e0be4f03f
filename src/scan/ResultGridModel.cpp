#include "scan/ResultGridModel.h"

#include "common/DosTime.h"
#include "common/Text.h"
#include "platform/FileLookup.h"
#include "scan/GridSortKeys.h"
#include "scan/SortDirections.h"

#include <QLocale>
#include <algorithm>
#include <bit>

namespace {
constexpr int GrowBy = 50;
constexpr int MaxFields = 64;

// The fields of a tab-separated line, each trimmed of spaces as tabField does.
int splitFields(QStringView line, QStringView *fields)
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
}

ResultGridModel::ResultGridModel(const GridLayout &layout, QObject *parent)
    : QAbstractTableModel(parent), layout_(layout), columns_(int(layout.columns.size()))
{
    checked_ = layout_.checkedAtClear;
}

void ResultGridModel::setLayout(const GridLayout &layout)
{
    beginResetModel();
    layout_ = layout;
    columns_ = int(layout_.columns.size());
    endResetModel();
    ClearGrid();
}

void ResultGridModel::ClearGrid()
{
    beginResetModel();
    columns_ = int(layout_.columns.size());
    text_.clear();
    paths_.clear();
    cellLen_ = {};
    keyOf_ = {};
    keyItems_ = {};
    keySpare_ = {};
    textItems_ = {};
    textSpare_ = {};
    bySlot_ = {};
    slots_.clear();
    order_.clear();
    gridRows_ = 2;
    shown_ = 1;
    dirtyFrom_ = -1;
    markedCount_ = 0;
    markedSize_ = 0;
    lbDeleted_.clear();
    endResetModel();
    setChecked(layout_.sortEntries.empty() ? -1 : layout_.checkedAtClear);
}

void ResultGridModel::addToGrid(const QString &line, const std::string &path)
{
    const int row = rowsFilled() + 1;
    if (gridRows_ < row + 1)
        gridRows_ += GrowBy;

    QStringView fields[MaxFields];
    const int nFields = splitFields(line, fields);
    Slot s;
    s.pathAt = paths_.append(path.data(), path.size());
    s.pathLen = uint32_t(path.size());
    thread_local QString joined;
    joined.clear();
    for (int c = 0; c < columns_; ++c) {
        const int f = layout_.columns[size_t(c)].field;
        QStringView v = (f >= 1 && f <= nFields) ? fields[f - 1] : QStringView();
        if (v.size() > 0xffff)
            v = v.first(0xffff);
        joined.append(v);
        cellLen_.push_back(uint16_t(v.size()));
    }
    s.text = text_.append(joined.constData(), size_t(joined.size()));
    order_.push_back(uint32_t(slots_.size()));
    slots_.push_back(s);
    if (dirtyFrom_ < 0 || dirtyFrom_ > row - 1)
        dirtyFrom_ = row - 1;
    scheduleSync();
}

void ResultGridModel::reserve(int rows)
{
    const size_t n = slots_.size() + size_t(std::max(rows, 0));
    slots_.reserve(n);
    order_.reserve(n);
    cellLen_.reserve(n * size_t(columns_));
}

void ResultGridModel::trimRows()
{
    if (rowsFilled() > 1)
        setGridRowCount(rowsFilled() + 1);
}

void ResultGridModel::setGridRowCount(int rows)
{
    gridRows_ = std::max({rows, 2, rowsFilled() + 1});
    sync();
}

int ResultGridModel::slotOf(int row) const
{
    if (row < 1 || row > rowsFilled())
        return -1;
    return int(order_[size_t(row - 1)]);
}

QStringView ResultGridModel::slotCell(int slot, int column) const
{
    const size_t base = size_t(slot) * size_t(columns_);
    size_t at = 0;
    for (int c = 0; c < column; ++c)
        at += cellLen_[base + size_t(c)];
    return QStringView(text_.at(slots_[size_t(slot)].text) + at, cellLen_[base + size_t(column)]);
}

QStringView ResultGridModel::cellView(int row, int column) const
{
    const int s = slotOf(row);
    if (s < 0 || column < 0 || column >= columns_)
        return {};
    return slotCell(s, column);
}

QString ResultGridModel::cell(int row, int column) const
{
    return cellView(row, column).toString();
}

void ResultGridModel::setCell(int row, int column, const QString &text)
{
    const int s = slotOf(row);
    if (s < 0 || column < 0 || column >= columns_)
        return;
    // The row's cells are rewritten at the end of the pool with the new one.
    std::vector<QString> cells;
    for (int c = 0; c < columns_; ++c)
        cells.push_back(c == column ? text.left(0xffff) : cell(row, c));
    const size_t base = size_t(s) * size_t(columns_);
    QString joined;
    for (int c = 0; c < columns_; ++c) {
        joined += cells[size_t(c)];
        cellLen_[base + size_t(c)] = uint16_t(cells[size_t(c)].size());
    }
    slots_[size_t(s)].text = text_.append(joined.constData(), size_t(joined.size()));
    if (row - 1 < shown_)
        emit dataChanged(index(row - 1, column), index(row - 1, column));
}

std::string ResultGridModel::path(int row) const
{
    const int s = slotOf(row);
    if (s < 0)
        return {};
    const Slot &sl = slots_[size_t(s)];
    return std::string(paths_.at(sl.pathAt), sl.pathLen);
}

bool ResultGridModel::isMarked(int row) const
{
    const int s = slotOf(row);
    return s >= 0 && slots_[size_t(s)].marked;
}

void ResultGridModel::toggle(int row)
{
    const int s = slotOf(row);
    if (s < 0 || layout_.markColumn < 0)
        return;
    Slot &sl = slots_[size_t(s)];
    const std::string p(paths_.at(sl.pathAt), sl.pathLen);
    if (sl.marked) {
        sl.marked = false;
        // Exactly what was added when the row was marked comes off again, so
        // marking twice restores the totals even when the file changed.
        if (sl.counted >= 0) {
            --markedCount_;
            markedSize_ -= sl.counted;
            sl.counted = -1;
        }
        const auto it = std::find(lbDeleted_.begin(), lbDeleted_.end(), p);
        if (it != lbDeleted_.end())
            lbDeleted_.erase(it);
    } else {
        sl.marked = true;
        if (const auto size = FileLookup::fileSize(p)) {
            ++markedCount_;
            markedSize_ += *size;
            sl.counted = *size;
        }
        lbDeleted_.push_back(p);
    }
}

void ResultGridModel::deleteOneFile(int row)
{
    if (slotOf(row) < 0 || layout_.markColumn < 0)
        return;
    toggle(row);
    if (row - 1 < shown_)
        emit dataChanged(index(row - 1, layout_.markColumn), index(row - 1, layout_.markColumn));
    showStatus();
}

void ResultGridModel::clearAllMarks()
{
    markedCount_ = 0;
    markedSize_ = 0;
    lbDeleted_.clear();
    for (Slot &s : slots_) {
        s.marked = false;
        s.counted = -1;
    }
    if (layout_.markColumn >= 0 && shown_ > 0)
        emit dataChanged(index(0, layout_.markColumn), index(shown_ - 1, layout_.markColumn));
}

void ResultGridModel::markAll()
{
    clearAllMarks();
    if (layout_.markColumn < 0)
        return;
    lbDeleted_.reserve(size_t(rowsFilled()));
    for (int r = 1; r <= rowsFilled(); ++r)
        toggle(r);
    if (shown_ > 0)
        emit dataChanged(index(0, layout_.markColumn), index(shown_ - 1, layout_.markColumn));
    if (rowsFilled() > 0)
        showStatus();
}

void ResultGridModel::unmarkAll()
{
    clearAllMarks();
    showStatus();
}

QString ResultGridModel::statusText() const
{
    const QString &f = layout_.statusFormat;
    QString out;
    for (qsizetype i = 0; i < f.size(); ++i) {
        if (f.at(i) == QLatin1Char('%') && i + 1 < f.size()) {
            const QChar k = f.at(i + 1);
            if (k == QLatin1Char('d')) {
                out += QString::number(markedCount_);
                ++i;
                continue;
            }
            if (k == QLatin1Char('s')) {
                out += formatThousands(markedSize_);
                ++i;
                continue;
            }
        }
        out += f.at(i);
    }
    return out;
}

void ResultGridModel::showStatus() const
{
    if (layout_.statusSink)
        layout_.statusSink(statusText());
}

void ResultGridModel::setChecked(int entry)
{
    if (checked_ == entry)
        return;
    checked_ = entry;
    emit checkedSortChanged(entry);
}

int ResultGridModel::sortEntryForColumn(int column) const
{
    for (size_t i = 0; i < layout_.sortEntries.size(); ++i)
        if (layout_.sortEntries[i].column == column)
            return int(i);
    return -1;
}

bool ResultGridModel::sortBy(int entry, bool flip)
{
    if (!layout_.sortingEnabled || entry < 0 || entry >= int(layout_.sortEntries.size()) || gridRows_ < 2)
        return false;
    const SortEntry &e = layout_.sortEntries[size_t(entry)];
    setChecked(-1);
    const QString key = e.directionKey.isEmpty() ? e.caption : e.directionKey;
    bool desc = SortDirections::descending(key, e.firstDescending);
    if (flip && layout_.flipBeforeSort) {
        desc = !desc;
        SortDirections::setDescending(key, desc);
    }
    sortRows(e.column, e.kind, desc);
    if (flip && !layout_.flipBeforeSort)
        SortDirections::setDescending(key, !desc);
    setChecked(entry);
    return true;
}

void ResultGridModel::sortRows(int column, SortKind kind, bool descending)
{
    sortRows(column, kind, descending, 1, rowsFilled());
}

namespace {
using KeyItem = ResultGridModel::KeyItem;
using TextItem = ResultGridModel::TextItem;

// Stable least-significant-digit radix sort on the 64-bit keys, eight bits
// at a time; digits that every key shares are skipped. Linear in the rows.
template <typename Item>
void radixSort(std::vector<Item> &items, std::vector<Item> &spare)
{
    const size_t n = items.size();
    spare.resize(n);
    for (int shift = 0; shift < 64; shift += 8) {
        size_t counts[256] = {};
        for (const Item &it : items)
            ++counts[(it.key >> shift) & 0xff];
        if (counts[(items[0].key >> shift) & 0xff] == n)
            continue;
        size_t at = 0;
        for (size_t &c : counts) {
            const size_t k = c;
            c = at;
            at += k;
        }
        for (const Item &it : items)
            spare[counts[(it.key >> shift) & 0xff]++] = it;
        items.swap(spare);
    }
}

inline uint64_t fold(ushort c)
{
    return (c >= 'a' && c <= 'z') ? uint64_t(c - 32) : uint64_t(c);
}

// Four folded characters from position at, 0 past the end.
inline uint64_t packText(const QChar *text, size_t len, size_t at)
{
    uint64_t k = 0;
    for (size_t i = at; i < at + 4; ++i)
        k = (k << 16) | (i < len ? fold(text[i].unicode()) : 0);
    return k;
}

// Characters from depth on that every item shares (folded).
size_t commonPrefix(const TextItem *lo, const TextItem *hi, size_t depth)
{
    size_t end = lo->len;
    for (const TextItem *t = lo + 1; t < hi && end > depth; ++t) {
        size_t i = depth;
        const size_t stop = std::min<size_t>(end, t->len);
        while (i < stop && fold(lo->text[i].unicode()) == fold(t->text[i].unicode()))
            ++i;
        end = i;
    }
    return end > depth ? end - depth : 0;
}

void sortTextLevel(std::vector<TextItem> &items, size_t lo, size_t hi, size_t at, bool descending,
                   std::vector<TextItem> &spare, bool keysReady = false);

// Sorts each run of equal keys in [lo, hi) one level deeper.
void sortRuns(std::vector<TextItem> &items, size_t lo, size_t hi, size_t at, std::vector<TextItem> &spare,
              bool descending)
{
    for (size_t run = lo; run < hi;) {
        size_t end = run + 1;
        while (end < hi && items[end].key == items[run].key)
            ++end;
        if (end - run > 1) {
            bool deeper = false;
            for (size_t t = run; t < end && !deeper; ++t)
                deeper = items[t].len > at + 4;
            if (deeper) {
                const size_t next = at + 4 + commonPrefix(&items[run], &items[end], at + 4);
                sortTextLevel(items, run, end, next, descending, spare);
            }
        }
        run = end;
    }
}

// Most-significant-first text sort: the items of [lo, hi) share their
// first at characters and stand in grid order; they are ordered by the next
// four characters packed in one integer (stably, so equal texts keep their
// order), then each run of equal keys one level deeper.
void sortTextLevel(std::vector<TextItem> &items, size_t lo, size_t hi, size_t at, bool descending,
                   std::vector<TextItem> &spare, bool keysReady)
{
    const size_t n = hi - lo;
    if (!keysReady)
        for (size_t i = lo; i < hi; ++i) {
            const uint64_t k = packText(items[i].text, items[i].len, at);
            items[i].key = descending ? ~k : k;
        }
    if (n == items.size()) {
        radixSort(items, spare);
    } else if (n > 256) {
        std::vector<TextItem> part(items.begin() + ptrdiff_t(lo), items.begin() + ptrdiff_t(hi));
        radixSort(part, spare);
        std::copy(part.begin(), part.end(), items.begin() + ptrdiff_t(lo));
    } else {
        std::stable_sort(items.begin() + ptrdiff_t(lo), items.begin() + ptrdiff_t(hi),
                         [](const TextItem &a, const TextItem &b) { return a.key < b.key; });
    }
    sortRuns(items, lo, hi, at, spare, descending);
}
}

void ResultGridModel::sortRows(int column, SortKind kind, bool descending, int first, int last)
{
    first = std::max(first, 1);
    last = std::min(last, rowsFilled());
    if (column < 0 || column >= columns_ || last <= first)
        return;
    const size_t from = size_t(first - 1);
    const size_t count = size_t(last - first + 1);
    // Keys are computed slot by slot (the order the cells are stored in) and
    // then gathered in grid order, so the stable sorts keep equal rows in
    // their present order.
    const bool whole = count == slots_.size();
    const auto eachSlot = [&](auto &&f) {
        if (whole)
            for (size_t s = 0; s < count; ++s)
                f(uint32_t(s));
        else
            for (size_t i = 0; i < count; ++i)
                f(order_[from + i]);
    };
    const size_t slotCount = slots_.size();
    if (kind == SortKind::Text) {
        std::vector<TextItem> &bySlot = bySlot_, &items = textItems_;
        bySlot.resize(slotCount);
        eachSlot([&](uint32_t s) {
            const QStringView v = slotCell(int(s), column);
            bySlot[s] = {0, v.data(), uint32_t(v.size()), s};
        });
        // The shared prefix and the first keys, read in storage order.
        size_t at = 0;
        if (whole) {
            at = commonPrefix(bySlot.data(), bySlot.data() + count, 0);
            for (TextItem &t : bySlot) {
                const uint64_t k = packText(t.text, t.len, at);
                t.key = descending ? ~k : k;
            }
        }
        items.resize(count);
        for (size_t i = 0; i < count; ++i)
            items[i] = bySlot[order_[from + i]];
        if (!whole)
            at = commonPrefix(items.data(), items.data() + count, 0);
        sortTextLevel(items, 0, count, at, descending, textSpare_, whole);
        for (size_t i = 0; i < count; ++i)
            order_[from + i] = items[i].slot;
    } else {
        std::vector<uint64_t> &keyOf = keyOf_;
        keyOf.resize(slotCount);
        if (kind == SortKind::Number) {
            const QChar point = QLocale().decimalPoint().at(0);
            // Keys are never negative, so the bits of the double order them.
            eachSlot([&](uint32_t s) {
                keyOf[s] = std::bit_cast<uint64_t>(GridSortKeys::number(slotCell(int(s), column), point));
            });
        } else {
            const GridSortKeys::DateReader reader(shortDateFormat());
            eachSlot([&](uint32_t s) { keyOf[s] = uint64_t(reader.day(slotCell(int(s), column))); });
        }
        std::vector<KeyItem> &items = keyItems_;
        items.resize(count);
        for (size_t i = 0; i < count; ++i) {
            const uint32_t s = order_[from + i];
            items[i] = {descending ? ~keyOf[s] : keyOf[s], s};
        }
        radixSort(items, keySpare_);
        for (size_t i = 0; i < count; ++i)
            order_[from + i] = items[i].slot;
    }
    const int lastShown = std::min(last - 1, shown_ - 1);
    if (first - 1 <= lastShown)
        emit dataChanged(index(first - 1, 0), index(lastShown, columns_ - 1));
}

QString ResultGridModel::clipboardText() const
{
    QString out;
    for (int r = 1; r <= rowsFilled(); ++r) {
        out += displayName(path(r));
        out += QLatin1String("\r\n");
    }
    return out;
}

void ResultGridModel::scheduleSync()
{
    if (syncQueued_)
        return;
    syncQueued_ = true;
    QMetaObject::invokeMethod(
        this,
        [this]() {
            syncQueued_ = false;
            sync();
        },
        Qt::QueuedConnection);
}

void ResultGridModel::sync()
{
    const int target = gridRows_ - 1;
    const int before = shown_;
    if (target > shown_) {
        beginInsertRows({}, shown_, target - 1);
        shown_ = target;
        endInsertRows();
    } else if (target < shown_) {
        beginRemoveRows({}, target, shown_ - 1);
        shown_ = target;
        endRemoveRows();
    }
    const int changedTo = std::min(before, shown_) - 1;
    if (dirtyFrom_ >= 0 && dirtyFrom_ <= changedTo && columns_ > 0)
        emit dataChanged(index(dirtyFrom_, 0), index(changedTo, columns_ - 1));
    dirtyFrom_ = -1;
}

int ResultGridModel::rowCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : shown_;
}

int ResultGridModel::columnCount(const QModelIndex &parent) const
{
    return parent.isValid() ? 0 : columns_;
}

QVariant ResultGridModel::data(const QModelIndex &index, int role) const
{
    if (!index.isValid())
        return {};
    const int row = index.row() + 1;
    switch (role) {
    case Qt::DisplayRole:
        return cell(row, index.column());
    case Qt::TextAlignmentRole:
        return int((index.column() == layout_.sizeColumn ? Qt::AlignRight : Qt::AlignLeft) | Qt::AlignTop);
    case MarkRole:
        return index.column() == layout_.markColumn && isMarked(row);
    case PathRole:
        return displayName(path(row));
    default:
        return {};
    }
}

QVariant ResultGridModel::headerData(int section, Qt::Orientation orientation, int role) const
{
    if (orientation == Qt::Horizontal && role == Qt::DisplayRole && section >= 0 && section < columns_)
        return layout_.columns[size_t(section)].header;
    return {};
}
