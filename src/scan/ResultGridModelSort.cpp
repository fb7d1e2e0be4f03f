// ResultGridModel: sorting the rows. Rows are ordered through keys made in
// grid order and stable radix or text sorts, so equal rows keep their order;
// the sort entries of the layout, their directions and the checked entry.
#include "scan/ResultGridModel.h"

#include "common/DosTime.h"
#include "common/RadixSort.h"
#include "scan/GridCellText.h"
#include "scan/GridSortKeys.h"
#include "scan/SortDirections.h"

#include <QLocale>
#include <algorithm>
#include <bit>
#include <cstring>

using GridCellText::bytesText;
using GridCellText::finish;

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

bool ResultGridModel::sortBy(int entry, bool flip) { return sortEntry(entry, flip, true); }

bool ResultGridModel::sortedBy(int entry, bool flip) { return sortEntry(entry, flip, false); }

bool ResultGridModel::sortEntry(int entry, bool flip, bool compare)
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
    if (compare)
        sortRows(e.column, e.kind, desc);
    else if (const int last = std::min(rowsFilled(), shown_); rowsFilled() > 1 && last > 0)
        emit dataChanged(index(0, 0), index(last - 1, columns_ - 1));
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

// Rows by their 64-bit keys, stably.
template <typename Item>
void radixSort(Item *items, Item *spare, size_t n)
{
    ::radixSort(items, spare, n, [](const Item &i) { return i.key; });
}

inline uint64_t fold(ushort c)
{
    return (c >= 'a' && c <= 'z') ? uint64_t(c - 32) : uint64_t(c);
}

// An item's text is QChar units, or bytes of printable ASCII only (a path
// shown as it is stored: each byte is the character code it shows). A
// joined item is a folder's prefix (from the sort's table of prefixes)
// followed by the item's bytes, a file's name, so paths sort without being
// copied together.
constexpr size_t ReadAhead = 16; // items whose texts are asked for early
constexpr uint32_t kNarrow = 0x80000000u;
constexpr uint32_t kJoined = 0x40000000u;   // with kNarrow: prefix number << 8 | name length
constexpr uint32_t kMaxPrefixes = 1u << 22; // prefix numbers a joined item can hold
constexpr uint32_t kMaxJoinedName = 0xff;

struct TextSource {
    const std::string_view *prefixes = nullptr;
    std::string_view prefixOf(const TextItem &t) const { return prefixes[(t.len >> 8) & (kMaxPrefixes - 1)]; }
    size_t lengthOf(const TextItem &t) const
    {
        if (t.len & kJoined)
            return prefixOf(t).size() + (t.len & kMaxJoinedName);
        return t.len & ~kNarrow;
    }
    ushort unitAt(const TextItem &t, size_t i) const
    {
        if (!(t.len & kNarrow))
            return static_cast<const QChar *>(t.text)[i].unicode();
        if (t.len & kJoined) {
            const std::string_view p = prefixOf(t);
            if (i < p.size())
                return uchar(p[i]);
            i -= p.size();
        }
        return uchar(static_cast<const char *>(t.text)[i]);
    }
    // The next characters from position at packed in one integer, 0 past
    // the end: eight of them when every text of a range is bytes, four
    // otherwise.
    uint64_t pack(const TextItem &t, size_t at, bool narrow) const
    {
        const size_t len = lengthOf(t);
        uint64_t k = 0;
        if (narrow) {
            if (!(t.len & kJoined)) {
                const auto *b = static_cast<const unsigned char *>(t.text);
                for (size_t i = at; i < at + 8; ++i)
                    k = (k << 8) | (i < len ? fold(b[i]) : 0);
                return k;
            }
            for (size_t i = at; i < at + 8; ++i)
                k = (k << 8) | (i < len ? fold(unitAt(t, i)) : 0);
            return k;
        }
        for (size_t i = at; i < at + 4; ++i)
            k = (k << 16) | (i < len ? fold(unitAt(t, i)) : 0);
        return k;
    }
    // Characters from depth on that every item shares (folded).
    size_t commonPrefix(const TextItem *lo, const TextItem *hi, size_t depth) const
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
};

bool allNarrow(const TextItem *lo, const TextItem *hi)
{
    for (const TextItem *t = lo; t < hi; ++t)
        if (!(t->len & kNarrow))
            return false;
    return true;
}

// How the keys of a level were made before sortTextLevel was called.
enum class Keys { NotMade, Wide, Narrow };

void sortTextLevel(const TextSource &src, TextItem *items, size_t lo, size_t hi, size_t at, bool descending,
                   TextItem *spare, Keys made = Keys::NotMade);

// Sorts each run of equal keys in [lo, hi) one level deeper.
void sortRuns(const TextSource &src, TextItem *items, size_t lo, size_t hi, size_t at, size_t step, TextItem *spare,
              bool descending)
{
    for (size_t run = lo; run < hi;) {
        size_t end = run + 1;
        while (end < hi && items[end].key == items[run].key)
            ++end;
        // The texts are scattered over memory: ask for them before they
        // are compared.
        for (size_t t = run + ReadAhead; t < std::min(end + ReadAhead, hi); ++t)
            __builtin_prefetch(items[t].text);
        if (end - run > 1) {
            bool deeper = false;
            for (size_t t = run; t < end && !deeper; ++t)
                deeper = src.lengthOf(items[t]) > at + step;
            if (deeper) {
                const size_t next = at + step + src.commonPrefix(&items[run], &items[end], at + step);
                sortTextLevel(src, items, run, end, next, descending, spare);
            }
        }
        run = end;
    }
}

// Most-significant-first text sort: the items of [lo, hi) share their
// first at characters and stand in grid order; they are ordered by the next
// characters packed in one integer (stably, so equal texts keep their
// order), then each run of equal keys one level deeper.
void sortTextLevel(const TextSource &src, TextItem *items, size_t lo, size_t hi, size_t at, bool descending,
                   TextItem *spare, Keys made)
{
    const size_t n = hi - lo;
    bool narrow = made == Keys::Narrow;
    if (made == Keys::NotMade) {
        narrow = allNarrow(&items[lo], &items[lo] + n);
        for (size_t i = lo; i < hi; ++i) {
            const uint64_t k = src.pack(items[i], at, narrow);
            items[i].key = descending ? ~k : k;
        }
    }
    if (n > 256)
        radixSort(items + lo, spare + lo, n);
    else
        std::stable_sort(items + lo, items + hi, [](const TextItem &a, const TextItem &b) { return a.key < b.key; });
    sortRuns(src, items, lo, hi, at, narrow ? 8 : 4, spare, descending);
}

// Bytes trimmed of spaces as a made cell is, at most 65535 of them.
TextItem narrowItem(std::string_view b, uint32_t slot)
{
    while (!b.empty() && b.front() == ' ')
        b.remove_prefix(1);
    while (!b.empty() && b.back() == ' ')
        b.remove_suffix(1);
    return {0, b.data(), uint32_t(std::min<size_t>(b.size(), 0xffff)) | kNarrow, slot};
}
}

namespace {
// Ranks of texts in the grid's text order; texts that compare equal share
// a rank.
std::vector<uint32_t> textRanks(const std::vector<QString> &texts)
{
    std::vector<uint32_t> byText(texts.size());
    for (uint32_t i = 0; i < byText.size(); ++i)
        byText[i] = i;
    std::sort(byText.begin(), byText.end(), [&](uint32_t a, uint32_t b) {
        return GridSortKeys::compareText(texts[a], texts[b]) < 0;
    });
    std::vector<uint32_t> rank(texts.size());
    uint32_t r = 0;
    for (size_t i = 0; i < byText.size(); ++i) {
        if (i > 0 && GridSortKeys::compareText(texts[byText[i - 1]], texts[byText[i]]) != 0)
            ++r;
        rank[byText[i]] = r;
    }
    return rank;
}

QString foldedText(QString t)
{
    for (QChar &c : t)
        c = QChar(ushort(fold(c.unicode())));
    return t;
}

// a against b (both folded already or folded here), as compareText orders.
int compareUnits(const TextSource &src, QStringView a, const TextItem &b)
{
    const size_t lb = src.lengthOf(b);
    const size_t n = std::min<size_t>(size_t(a.size()), lb);
    for (size_t i = 0; i < n; ++i) {
        const uint64_t x = fold(a[qsizetype(i)].unicode()), y = fold(src.unitAt(b, i));
        if (x != y)
            return x < y ? -1 : 1;
    }
    return size_t(a.size()) == lb ? 0 : (size_t(a.size()) < lb ? -1 : 1);
}
}

template <typename Item>
Item *ResultGridModel::sortScratch(int which, size_t count)
{
    // The sorts share their scratch, so a sort after another one of a large
    // grid touches little fresh memory.
    static_assert(sizeof(Item) % sizeof(uint64_t) == 0 && alignof(Item) <= alignof(uint64_t));
    scratch_[which].resizeForOverwrite(count * (sizeof(Item) / sizeof(uint64_t)));
    return reinterpret_cast<Item *>(scratch_[which].data());
}

bool ResultGridModel::sortByTable(CellKind show, bool descending, size_t from, size_t count)
{
    // A type or folder cell is one of a few texts of the grid: those are put
    // in order once, and the rows sort by their text's rank.
    if (textRows_ != 0 || (show != CellKind::Type && show != CellKind::Folder))
        return false;
    std::vector<uint32_t> rank;
    if (show == CellKind::Type) {
        rank = textRanks(types_);
    } else {
        std::vector<QString> texts(folders_.size());
        for (size_t f = 0; f < folders_.size(); ++f) {
            std::string_view b(bytes_.at(folders_[f].at), folders_[f].len);
            if (folders_[f].joined)
                b.remove_suffix(1);
            texts[f] = finish(bytesText(b));
        }
        rank = textRanks(texts);
    }
    KeyItem *items = sortScratch<KeyItem>(0, count);
    KeyItem *spare = sortScratch<KeyItem>(1, count);
    for (size_t i = 0; i < count; ++i) {
        const uint32_t s = order_[from + i];
        const uint64_t k = rank[show == CellKind::Type ? slots_[s].type : slots_[s].folder];
        items[i] = {descending ? ~k : k, s};
    }
    radixSort(items, spare, count);
    for (size_t i = 0; i < count; ++i)
        order_[from + i] = items[i].slot;
    return true;
}

bool ResultGridModel::sortPaths(bool descending, size_t from, size_t count)
{
    // A path is its folder's prefix ("/a/b/", ending in "/") followed by a
    // name without "/". Sorting the few distinct prefixes once places every
    // path between two of them: a file of folder P lies before or after the
    // whole block of each subfolder of P as its name compares with that
    // subfolder's name followed by "/", and the files that fall between the
    // same two prefixes come deepest folder first. So a row's key is the rank
    // of its place (prefix, slot among P's subfolders) followed by the first
    // characters of its name, and only rows of one place with equal leading
    // characters need their names compared further.
    if (textRows_ != 0 || slashNames_ != 0)
        return false;
    const size_t nFolders = folders_.size();
    std::vector<QString> prefixes(nFolders); // folded as the sort compares them
    std::vector<char> usable(nFolders);
    for (size_t f = 0; f < nFolders; ++f) {
        const std::string_view b(bytes_.at(folders_[f].at), folders_[f].len);
        QString t = folders_[f].plain ? QString::fromLatin1(b.data(), qsizetype(b.size())) : bytesText(b);
        // A prefix that a shown path would not start with as it is (trimmed
        // blanks, no "/" joining the name) is left to the general sort.
        usable[f] = !t.isEmpty() && t.back() == QLatin1Char('/') && t.front() != QLatin1Char(' ');
        prefixes[f] = foldedText(std::move(t));
    }
    std::vector<uint32_t> byText(nFolders);
    for (uint32_t f = 0; f < nFolders; ++f)
        byText[f] = f;
    std::sort(byText.begin(), byText.end(),
              [&](uint32_t a, uint32_t b) { return GridSortKeys::compareText(prefixes[a], prefixes[b]) < 0; });
    // Groups: distinct folded prefixes in order.
    std::vector<uint32_t> groupOf(nFolders);
    std::vector<QStringView> group;
    for (const uint32_t f : byText) {
        if (group.empty() || group.back() != QStringView(prefixes[f]))
            group.push_back(prefixes[f]);
        groupOf[f] = uint32_t(group.size() - 1);
    }
    const size_t nGroups = group.size();
    // The groups below a group (those it is a prefix of) follow it; last[g]
    // is the last of them.
    std::vector<uint32_t> last(nGroups), open;
    for (uint32_t g = 0; g < nGroups; ++g) {
        while (!open.empty() && !group[g].startsWith(group[open.back()])) {
            last[open.back()] = g - 1;
            open.pop_back();
        }
        open.push_back(g);
    }
    for (const uint32_t g : open)
        last[g] = uint32_t(nGroups - 1);
    // Each group's subfolder names ("b/"), each with the first group in it;
    // a group's places are the slots before, between and after them.
    struct Child {
        QStringView name;
        uint32_t first;
    };
    std::vector<Child> children;
    std::vector<uint32_t> childAt(nGroups + 1), placeAt(nGroups + 1);
    std::vector<uint64_t> placeKey; // where a place's files go: group position, deepest first
    for (uint32_t g = 0; g < nGroups; ++g) {
        childAt[g] = uint32_t(children.size());
        placeAt[g] = uint32_t(placeKey.size());
        const qsizetype len = group[g].size();
        const uint64_t depth = uint64_t(0xffff - std::min<qsizetype>(len, 0xffff));
        for (uint32_t h = g + 1; h <= last[g]; ++h) {
            const qsizetype slash = group[h].indexOf(QLatin1Char('/'), len);
            const QStringView name = group[h].mid(len, slash + 1 - len);
            if (children.size() > childAt[g] && children.back().name == name)
                continue;
            placeKey.push_back(uint64_t(h) << 16 | depth);
            children.push_back({name, h});
        }
        placeKey.push_back(uint64_t(last[g] + 1) << 16 | depth);
    }
    childAt[nGroups] = uint32_t(children.size());
    placeAt[nGroups] = uint32_t(placeKey.size());
    const std::vector<uint32_t> placeRank = [&] {
        std::vector<uint32_t> byKey(placeKey.size()), rank(placeKey.size());
        for (uint32_t p = 0; p < byKey.size(); ++p)
            byKey[p] = p;
        std::sort(byKey.begin(), byKey.end(), [&](uint32_t a, uint32_t b) { return placeKey[a] < placeKey[b]; });
        for (uint32_t r = 0; r < byKey.size(); ++r)
            rank[byKey[r]] = r;
        return rank;
    }();

    const int rankBits = std::max(1, int(std::bit_width(placeKey.size())));
    const int unitBits = wideNames_ == 0 ? 8 : 16;
    const size_t lead = size_t((64 - rankBits) / unitBits); // name characters in the first key
    TextItem *items = sortScratch<TextItem>(0, count);
    TextItem *spare = sortScratch<TextItem>(1, count);
    sortTexts_.clear();
    const TextSource src;
    for (size_t i = 0; i < count; ++i) {
        // The rows are read in grid order, which after a sort is scattered
        // over memory: ask for rows and names well before they are needed.
        if (i + 2 * ReadAhead < count) {
            const Slot *ahead = &slots_[order_[from + i + 2 * ReadAhead]];
            __builtin_prefetch(ahead);
            __builtin_prefetch(reinterpret_cast<const char *>(ahead + 1) - 1);
        }
        if (i + ReadAhead < count)
            __builtin_prefetch(bytes_.at(slots_[order_[from + i + ReadAhead]].nameAt));
        const uint32_t s = order_[from + i];
        const Slot &sl = slots_[s];
        if (!usable[sl.folder] || size_t(folders_[sl.folder].len) + sl.nameLen > 0xffff)
            return false;
        // The name as the path shows it: trailing blanks are trimmed off.
        TextItem &it = items[i];
        if (sl.nameFlags & NamePlain) {
            std::string_view b = nameBytes(sl);
            while (!b.empty() && b.back() == ' ')
                b.remove_suffix(1);
            it = {0, b.data(), uint32_t(b.size()) | kNarrow, s};
        } else {
            const QString t = bytesText(nameBytes(sl));
            qsizetype n = t.size();
            while (n > 0 && t.at(n - 1) == QLatin1Char(' '))
                --n;
            it = {0, sortTexts_.at(sortTexts_.append(t.constData(), size_t(n))), uint32_t(n), s};
        }
        const uint32_t g = groupOf[sl.folder];
        uint32_t lo = childAt[g], hi = childAt[g + 1];
        while (lo < hi) {
            const uint32_t mid = (lo + hi) / 2;
            if (compareUnits(src, children[mid].name, it) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        uint64_t k = placeRank[placeAt[g] + (lo - childAt[g])];
        const size_t len = src.lengthOf(it);
        for (size_t c = 0; c < lead; ++c)
            k = (k << unitBits) | (c < len ? fold(src.unitAt(it, c)) : 0);
        it.key = descending ? ~k : k;
    }
    radixSort(items, spare, count);
    sortRuns(src, items, 0, count, 0, lead, spare, descending);
    for (size_t i = 0; i < count; ++i)
        order_[from + i] = items[i].slot;
    sortTexts_.clear();
    return true;
}

void ResultGridModel::sortRows(int column, SortKind kind, bool descending, int first, int last)
{
    first = std::max(first, 1);
    last = std::min(last, rowsFilled());
    if (column < 0 || column >= columns_ || last <= first)
        return;
    const size_t from = size_t(first - 1);
    const size_t count = size_t(last - first + 1);
    // Keys are computed in grid order, so the stable sorts keep equal rows
    // in their present order.
    const CellKind show = layout_.columns[size_t(column)].show;
    if (kind == SortKind::Text
        && ((show == CellKind::Path && sortPaths(descending, from, count)) || sortByTable(show, descending, from, count))) {
        // sorted by the folders' and types' ranks
    } else if (kind == SortKind::Text) {
        TextItem *items = sortScratch<TextItem>(0, count);
        TextItem *spare = sortScratch<TextItem>(1, count);
        sortTexts_.clear();
        // Prefixes of printable ASCII, for the paths that join them.
        std::vector<std::string_view> prefixes;
        if (show == CellKind::Path && folders_.size() <= kMaxPrefixes) {
            prefixes.resize(folders_.size());
            for (size_t f = 0; f < folders_.size(); ++f)
                if (folders_[f].plain && folders_[f].len <= 0xffff - kMaxJoinedName
                    && (folders_[f].len == 0 || bytes_.at(folders_[f].at)[0] != ' '))
                    prefixes[f] = {bytes_.at(folders_[f].at), folders_[f].len};
        }
        const TextSource src{prefixes.data()};
        for (size_t i = 0; i < count; ++i) {
            const uint32_t s = order_[from + i];
            const Slot &sl = slots_[s];
            QStringView v;
            if (sl.text && !keyedCell(sl, column)) {
                v = storedCell(sl, column);
            } else if (show == CellKind::Type) {
                v = types_[sl.type];
            } else if (show == CellKind::Name && (sl.nameFlags & NamePlain)) {
                items[i] = narrowItem(nameBytes(sl), s);
                continue;
            } else if (show == CellKind::Folder && folders_[sl.folder].plain) {
                items[i] = narrowItem(folderBytes(sl), s);
                continue;
            } else if (show == CellKind::Path && !prefixes.empty() && prefixes[sl.folder].data()
                       && sl.nameLen <= kMaxJoinedName && (sl.nameFlags & NamePlain)
                       && (sl.nameLen == 0 || nameBytes(sl).back() != ' ')) {
                items[i] = {0, bytes_.at(sl.nameAt), kNarrow | kJoined | (sl.folder << 8) | sl.nameLen, s};
                continue;
            } else {
                const QString t = madeCell(sl, column);
                v = QStringView(sortTexts_.at(sortTexts_.append(t.constData(), size_t(t.size()))), t.size());
            }
            items[i] = {0, v.data(), uint32_t(v.size()), s};
        }
        const size_t at = src.commonPrefix(items, items + count, 0);
        sortTextLevel(src, items, 0, count, at, descending, spare);
        for (size_t i = 0; i < count; ++i)
            order_[from + i] = items[i].slot;
    } else {
        KeyItem *items = sortScratch<KeyItem>(0, count);
        KeyItem *spare = sortScratch<KeyItem>(1, count);
        if (kind == SortKind::Number) {
            const QChar point = QLocale().decimalPoint().at(0);
            // Keys are never negative, so the bits of the double order them.
            // A size is the number its text reads as.
            for (size_t i = 0; i < count; ++i) {
                const uint32_t s = order_[from + i];
                const Slot &sl = slots_[s];
                double v;
                if (sl.text && !keyedCell(sl, column))
                    v = GridSortKeys::number(storedCell(sl, column), point);
                else if (show == CellKind::Size)
                    v = double(std::max<int64_t>(sl.size, 0));
                else
                    v = GridSortKeys::number(madeCell(sl, column), point);
                const uint64_t k = std::bit_cast<uint64_t>(v);
                items[i] = {descending ? ~k : k, s};
            }
        } else {
            const GridSortKeys::DateReader reader(shortDateFormat());
            // A stamp's day is read from its text once per date in the grid:
            // the text depends on the date half of the stamp only.
            constexpr int64_t unknown = INT64_MIN;
            std::vector<int64_t> dayOf(65537, unknown);
            for (size_t i = 0; i < count; ++i) {
                const uint32_t s = order_[from + i];
                const Slot &sl = slots_[s];
                int64_t day;
                if (sl.text && !keyedCell(sl, column)) {
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
                items[i] = {descending ? ~uint64_t(day) : uint64_t(day), s};
            }
        }
        radixSort(items, spare, count);
        for (size_t i = 0; i < count; ++i)
            order_[from + i] = items[i].slot;
    }
    sortTexts_.clear();
    const int lastShown = std::min(last - 1, shown_ - 1);
    if (first - 1 <= lastShown)
        emit dataChanged(index(first - 1, 0), index(lastShown, columns_ - 1));
}
