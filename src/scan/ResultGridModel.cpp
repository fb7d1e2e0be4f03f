#include "scan/ResultGridModel.h"

#include "common/DosTime.h"
#include "common/Text.h"
#include "platform/FileLookup.h"
#include "scan/FoundFile.h"
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

// A made cell as a line's field would have shown it: trimmed of spaces and
// at most 65535 characters.
QString finish(QString text)
{
    const QStringView t = trimSpaces(text);
    if (t.size() != text.size())
        text = t.toString();
    if (text.size() > 0xffff)
        text.truncate(0xffff);
    return text;
}

QString bytesText(std::string_view bytes)
{
    return displayName(std::string(bytes));
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
    sortTexts_.clear();
    types_.assign(1, QString());
    typeIds_.clear();
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
    nextMark_ = 1;
    lbDeleted_.clear();
    lbDeletedStale_ = false;
    endResetModel();
    setChecked(layout_.sortEntries.empty() ? -1 : layout_.checkedAtClear);
}

void ResultGridModel::appendSlot(Slot &s)
{
    const int row = rowsFilled() + 1;
    if (gridRows_ < row + 1)
        gridRows_ += GrowBy;
    order_.push_back(uint32_t(slots_.size()));
    slots_.push_back(s);
    if (dirtyFrom_ < 0 || dirtyFrom_ > row - 1)
        dirtyFrom_ = row - 1;
    scheduleSync();
}

uint64_t ResultGridModel::storeTexts(const QStringView *cells)
{
    // One record: the cells' lengths, one unit each, then their texts.
    thread_local QString joined;
    joined.clear();
    for (int c = 0; c < columns_; ++c)
        joined.append(QChar(ushort(std::min<qsizetype>(cells[c].size(), 0xffff))));
    for (int c = 0; c < columns_; ++c)
        joined.append(cells[c].first(std::min<qsizetype>(cells[c].size(), 0xffff)));
    return text_.append(joined.constData(), size_t(joined.size()));
}

void ResultGridModel::addToGrid(const QString &line, const std::string &path)
{
    QStringView fields[MaxFields];
    const int nFields = splitFields(line, fields);
    thread_local std::vector<QStringView> cells;
    cells.assign(size_t(columns_), QStringView());
    for (int c = 0; c < columns_; ++c) {
        const int f = layout_.columns[size_t(c)].field;
        cells[size_t(c)] = (f >= 1 && f <= nFields) ? fields[f - 1] : QStringView();
    }
    Slot s;
    s.text = storeTexts(cells.data());
    s.pathAt = paths_.append(path.data(), path.size());
    s.pathLen = uint32_t(path.size());
    const size_t slash = path.rfind('/');
    s.nameAt = slash == std::string::npos ? 0 : uint32_t(slash + 1);
    s.folderLen = s.nameAt > 1 ? s.nameAt - 1 : s.nameAt;
    appendSlot(s);
}

void ResultGridModel::addFile(const GridFile &f)
{
    Slot s;
    const bool slash = !f.folder.empty() && f.folder.back() == '/';
    const size_t length = f.folder.size() + (slash ? 0 : 1) + f.name.size();
    thread_local std::string joined;
    joined.assign(f.folder);
    if (!slash)
        joined += '/';
    joined.append(f.name);
    s.pathAt = paths_.append(joined.data(), length);
    s.pathLen = uint32_t(length);
    s.nameAt = uint32_t(length - f.name.size());
    s.folderLen = uint32_t(f.folder.size());
    s.size = f.size;
    s.written = f.written;
    s.accessed = f.accessed;
    s.created = f.created;
    s.attributes = f.attributes;
    s.type = f.type < types_.size() ? f.type : 0;
    s.key = f.key;
    appendSlot(s);
}

void ResultGridModel::addFile(const FoundFile &f, uint32_t type, uint32_t key)
{
    GridFile g;
    g.folder = f.folder;
    g.name = f.name;
    g.size = f.size;
    g.written = f.written;
    g.accessed = f.accessed;
    g.created = f.created;
    g.attributes = f.attributes;
    g.type = type;
    g.key = key;
    addFile(g);
}

uint32_t ResultGridModel::typeId(const QString &text)
{
    const QString t = trimSpaces(text).left(0xffff).toString();
    if (t.isEmpty())
        return 0;
    const auto it = typeIds_.constFind(t);
    if (it != typeIds_.constEnd())
        return it.value();
    const uint32_t id = uint32_t(types_.size());
    types_.push_back(t);
    typeIds_.insert(t, id);
    return id;
}

void ResultGridModel::reserve(int rows)
{
    const size_t n = slots_.size() + size_t(std::max(rows, 0));
    slots_.reserve(n);
    order_.reserve(n);
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

std::string_view ResultGridModel::pathBytes(const Slot &s) const
{
    return {paths_.at(s.pathAt), s.pathLen};
}

QStringView ResultGridModel::storedCell(const Slot &s, int column) const
{
    const QChar *record = text_.at(s.text);
    size_t at = size_t(columns_);
    for (int c = 0; c < column; ++c)
        at += record[c].unicode();
    return QStringView(record + at, record[column].unicode());
}

QString ResultGridModel::madeCell(const Slot &s, int column) const
{
    const std::string_view path = pathBytes(s);
    switch (layout_.columns[size_t(column)].show) {
    case CellKind::None: return {};
    case CellKind::Size: return formatThousands(s.size);
    case CellKind::Modified: return dosDateText(s.written);
    case CellKind::ModifiedTime: return dosTimeText(s.written);
    case CellKind::Accessed: return dosDateText(s.accessed);
    case CellKind::Created: return dosDateText(s.created);
    case CellKind::Name: return finish(bytesText(path.substr(s.nameAt)));
    case CellKind::Folder: return finish(bytesText(path.substr(0, s.folderLen)));
    case CellKind::Path: return finish(bytesText(path));
    case CellKind::Type: return types_[s.type];
    }
    return {};
}

QString ResultGridModel::slotText(const Slot &s, int column) const
{
    return s.text != kNoText ? storedCell(s, column).toString() : madeCell(s, column);
}

QString ResultGridModel::cell(int row, int column) const
{
    const int s = slotOf(row);
    if (s < 0 || column < 0 || column >= columns_)
        return {};
    return slotText(slots_[size_t(s)], column);
}

void ResultGridModel::setCell(int row, int column, const QString &text)
{
    const int s = slotOf(row);
    if (s < 0 || column < 0 || column >= columns_)
        return;
    // The row's cells are written anew at the end of the pool with the new one.
    std::vector<QString> texts;
    std::vector<QStringView> cells;
    for (int c = 0; c < columns_; ++c)
        texts.push_back(c == column ? text : slotText(slots_[size_t(s)], c));
    for (const QString &t : texts)
        cells.emplace_back(t);
    slots_[size_t(s)].text = storeTexts(cells.data());
    if (row - 1 < shown_)
        emit dataChanged(index(row - 1, column), index(row - 1, column));
}

std::string ResultGridModel::path(int row) const
{
    const int s = slotOf(row);
    if (s < 0)
        return {};
    return std::string(pathBytes(slots_[size_t(s)]));
}

bool ResultGridModel::isMarked(int row) const
{
    const int s = slotOf(row);
    return s >= 0 && slots_[size_t(s)].markSeq != 0;
}

int64_t ResultGridModel::fileSize(int row) const
{
    const int s = slotOf(row);
    return s < 0 ? 0 : slots_[size_t(s)].size;
}

uint32_t ResultGridModel::fileKey(int row) const
{
    const int s = slotOf(row);
    return s < 0 ? 0 : slots_[size_t(s)].key;
}

uint8_t ResultGridModel::fileAttributes(int row) const
{
    const int s = slotOf(row);
    return s < 0 ? 0 : slots_[size_t(s)].attributes;
}

void ResultGridModel::toggle(int row)
{
    const int s = slotOf(row);
    if (s < 0 || layout_.markColumn < 0)
        return;
    Slot &sl = slots_[size_t(s)];
    // The list of marked paths is built from the marking order when asked,
    // so a toggle costs the file look-up and nothing per other row.
    lbDeletedStale_ = true;
    if (sl.markSeq != 0) {
        sl.markSeq = 0;
        // Exactly what was added when the row was marked comes off again, so
        // marking twice restores the totals even when the file changed.
        if (sl.counted >= 0) {
            --markedCount_;
            markedSize_ -= sl.counted;
            sl.counted = -1;
        }
    } else {
        sl.markSeq = nextMark_++;
        lookup_.assign(pathBytes(sl));
        if (const auto size = FileLookup::fileSize(lookup_)) {
            ++markedCount_;
            markedSize_ += *size;
            sl.counted = *size;
        }
    }
}

const std::vector<std::string> &ResultGridModel::lbDeleted() const
{
    if (lbDeletedStale_) {
        std::vector<std::pair<uint32_t, uint32_t>> marked; // marking order, slot
        for (size_t i = 0; i < slots_.size(); ++i)
            if (slots_[i].markSeq != 0)
                marked.emplace_back(slots_[i].markSeq, uint32_t(i));
        std::sort(marked.begin(), marked.end());
        lbDeleted_.clear();
        lbDeleted_.reserve(marked.size());
        for (const auto &m : marked)
            lbDeleted_.emplace_back(pathBytes(slots_[m.second]));
        lbDeletedStale_ = false;
    }
    return lbDeleted_;
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
    nextMark_ = 1;
    lbDeleted_.clear();
    lbDeletedStale_ = false;
    for (Slot &s : slots_) {
        s.markSeq = 0;
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

// An item's text is QChar units or, for texts of printable ASCII only (a
// path shown as it is stored), the bytes themselves: each byte is then the
// character code it shows.
constexpr uint32_t kNarrow = 0x80000000u;
inline size_t lengthOf(const TextItem &t) { return t.len & ~kNarrow; }
inline ushort unitAt(const TextItem &t, size_t i)
{
    return (t.len & kNarrow) ? ushort(static_cast<const unsigned char *>(t.text)[i])
                             : static_cast<const QChar *>(t.text)[i].unicode();
}

// Four folded characters from position at, 0 past the end.
inline uint64_t packText(const TextItem &t, size_t at)
{
    const size_t len = lengthOf(t);
    uint64_t k = 0;
    for (size_t i = at; i < at + 4; ++i)
        k = (k << 16) | (i < len ? fold(unitAt(t, i)) : 0);
    return k;
}

// Characters from depth on that every item shares (folded).
size_t commonPrefix(const TextItem *lo, const TextItem *hi, size_t depth)
{
    size_t end = lengthOf(*lo);
    for (const TextItem *t = lo + 1; t < hi && end > depth; ++t) {
        size_t i = depth;
        const size_t stop = std::min<size_t>(end, lengthOf(*t));
        while (i < stop && fold(unitAt(*lo, i)) == fold(unitAt(*t, i)))
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
                deeper = lengthOf(items[t]) > at + 4;
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
            const uint64_t k = packText(items[i], at);
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
        sortTexts_.clear();
        const CellKind show = layout_.columns[size_t(column)].show;
        eachSlot([&](uint32_t s) {
            const Slot &sl = slots_[size_t(s)];
            QStringView v;
            if (sl.text != kNoText) {
                v = storedCell(sl, column);
            } else if (show == CellKind::Name || show == CellKind::Folder || show == CellKind::Path) {
                std::string_view b = pathBytes(sl);
                b = show == CellKind::Name ? b.substr(sl.nameAt)
                                           : (show == CellKind::Folder ? b.substr(0, sl.folderLen) : b);
                if (std::all_of(b.begin(), b.end(), [](char c) { return c >= 0x20 && c < 0x7f; })) {
                    while (!b.empty() && b.front() == ' ')
                        b.remove_prefix(1);
                    while (!b.empty() && b.back() == ' ')
                        b.remove_suffix(1);
                    bySlot[s] = {0, b.data(), uint32_t(std::min<size_t>(b.size(), 0xffff)) | kNarrow, s};
                    return;
                }
            } else if (show == CellKind::Type) {
                v = types_[sl.type];
            }
            if (sl.text == kNoText && show != CellKind::Type) {
                const QString t = madeCell(sl, column);
                v = QStringView(sortTexts_.at(sortTexts_.append(t.constData(), size_t(t.size()))), t.size());
            }
            bySlot[s] = {0, v.data(), uint32_t(v.size()), s};
        });
        // The shared prefix and the first keys, read in storage order.
        size_t at = 0;
        if (whole) {
            at = commonPrefix(bySlot.data(), bySlot.data() + count, 0);
            for (TextItem &t : bySlot) {
                const uint64_t k = packText(t, at);
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
        const CellKind show = layout_.columns[size_t(column)].show;
        if (kind == SortKind::Number) {
            const QChar point = QLocale().decimalPoint().at(0);
            // Keys are never negative, so the bits of the double order them.
            // A size is the number its text reads as.
            eachSlot([&](uint32_t s) {
                const Slot &sl = slots_[size_t(s)];
                double v;
                if (sl.text != kNoText)
                    v = GridSortKeys::number(storedCell(sl, column), point);
                else if (show == CellKind::Size)
                    v = double(std::max<int64_t>(sl.size, 0));
                else
                    v = GridSortKeys::number(madeCell(sl, column), point);
                keyOf[s] = std::bit_cast<uint64_t>(v);
            });
        } else {
            const GridSortKeys::DateReader reader(shortDateFormat());
            // A stamp's day is read from its text once per date in the grid:
            // the text depends on the date half of the stamp only.
            constexpr int64_t unknown = INT64_MIN;
            std::vector<int64_t> dayOf(65537, unknown);
            eachSlot([&](uint32_t s) {
                const Slot &sl = slots_[size_t(s)];
                int64_t day;
                if (sl.text != kNoText) {
                    day = reader.day(storedCell(sl, column));
                } else if (show == CellKind::Modified || show == CellKind::Accessed || show == CellKind::Created) {
                    const DosDateTime stamp =
                        show == CellKind::Modified ? sl.written : (show == CellKind::Accessed ? sl.accessed : sl.created);
                    int64_t &known = dayOf[stamp == 0 ? 65536 : stamp >> 16];
                    if (known == unknown)
                        known = reader.day(dosDateText(stamp));
                    day = known;
                } else {
                    day = reader.day(madeCell(sl, column));
                }
                keyOf[s] = uint64_t(day);
            });
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
    sortTexts_.clear();
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
