#include "finders/DupList.h"

#include "common/FoldCompare.h"
#include "common/RadixSort.h"
#include "common/Text.h"
#include "platform/FileTypes.h"
#include "scan/ResultGridModel.h"

#include <algorithm>
#include <numeric>

namespace {
using DupLine::Field;

constexpr uint32_t kNoStamp = 65536;
// A time's key holds the odd second beside the stamp's time half: files a
// second apart have different times.
constexpr uint32_t kNoTime = 2 * 65536;
inline uint32_t dateKey(DosDateTime s) { return s == 0 ? kNoStamp : s >> 16; }
inline uint32_t timeKey(DosDateTime s, bool odd) { return s == 0 ? kNoTime : (s & 0xffff) << 1 | (odd ? 1 : 0); }

// Ranks of texts: equal texts (without regard to case) share a rank, and
// ranks ascend with the texts.
std::vector<uint32_t> rankTexts(const std::vector<std::string> &texts)
{
    std::vector<uint32_t> idx(texts.size());
    std::iota(idx.begin(), idx.end(), 0u);
    std::sort(idx.begin(), idx.end(), [&](uint32_t a, uint32_t b) { return foldCompare(texts[a], texts[b]) < 0; });
    std::vector<uint32_t> rank(texts.size());
    uint32_t r = 0;
    for (size_t i = 0; i < idx.size(); ++i) {
        if (i > 0 && foldCompare(texts[idx[i - 1]], texts[idx[i]]) != 0)
            ++r;
        rank[idx[i]] = r;
    }
    return rank;
}

std::vector<std::string> utf8(const std::vector<QString> &texts)
{
    std::vector<std::string> out;
    out.reserve(texts.size());
    for (const QString &t : texts)
        out.push_back(t.toStdString());
    return out;
}

// Texts of the date or time keys present (none is the last key), ranked.
void rankStampTexts(const std::vector<bool> &present, QString (*text)(uint32_t key), std::vector<QString> &texts,
                    std::vector<uint32_t> &ranks)
{
    texts.assign(present.size(), QString());
    ranks.assign(present.size(), 0);
    std::vector<uint32_t> keys;
    std::vector<QString> found;
    for (uint32_t k = 0; k < present.size(); ++k)
        if (present[k]) {
            keys.push_back(k);
            texts[k] = text(k);
            found.push_back(texts[k]);
        }
    const std::vector<uint32_t> r = rankTexts(utf8(found));
    for (size_t i = 0; i < keys.size(); ++i)
        ranks[keys[i]] = r[i];
}

QString dateOfKey(uint32_t k)
{
    // Any non-zero time half: the date text depends on the date half only.
    return k == kNoStamp ? QString() : dosDateText((k << 16) | 1);
}

QString timeOfKey(uint32_t k)
{
    return k == kNoTime ? QString() : dosTimeText((1u << 21) | (1u << 16) | (k >> 1), (k & 1) != 0);
}
}

void DupList::reset(bool dupMode, int criterion)
{
    clear();
    dupMode_ = dupMode;
    criterion_ = (criterion >= 0 && criterion <= DupLine::SimilarPictures) ? criterion : 0;
}

void DupList::clear()
{
    const bool mode = dupMode_;
    const int criterion = criterion_;
    *this = DupList();
    dupMode_ = mode;
    criterion_ = criterion;
}

uint32_t DupList::typeOf(std::string_view name)
{
    const size_t dot = name.rfind('.');
    const std::string ext = dot == std::string_view::npos ? std::string() : std::string(name.substr(dot));
    auto it = typeOfExt_.find(ext);
    if (it != typeOfExt_.end())
        return it->second;
    const uint32_t t = uint32_t(types_.size());
    types_.push_back(ext.empty() ? QString() : fileTypeName(QString::fromUtf8(ext.data(), qsizetype(ext.size()))));
    typeOfExt_.emplace(ext, t);
    return t;
}

bool DupList::add(std::string_view folder, std::string_view name, int64_t size, DosDateTime written,
                  DosDateTime accessed, bool writtenOdd)
{
    if (count_ >= kCapacity || name.size() > 0xffff || name.size() > kPoolChunk)
        return false;
    if (folders_.empty() || folders_.back() != folder)
        folders_.emplace_back(folder);
    if (pool_.empty() || poolUsed_ + name.size() > kPoolChunk) {
        if (pool_.size() >= (size_t(1) << 32) / kPoolChunk)
            return false;
        pool_.push_back(std::make_unique_for_overwrite<char[]>(kPoolChunk));
        poolUsed_ = 0;
    }
    const size_t id = count_;
    if ((id >> kChunkBits) >= chunks_.size())
        chunks_.push_back(std::make_unique_for_overwrite<Entry[]>(size_t(1) << kChunkBits));
    Entry &e = entry(uint32_t(id));
    e.size = size;
    e.folder = uint32_t(folders_.size() - 1);
    e.nameAt = uint32_t((pool_.size() - 1) * kPoolChunk + poolUsed_);
    e.nameLen = uint16_t(name.size());
    e.type = typeOf(name);
    e.written = written;
    e.accessed = accessed;
    e.writtenOdd = written != 0 && writtenOdd;
    std::copy(name.begin(), name.end(), pool_.back().get() + poolUsed_);
    poolUsed_ += name.size();
    ++count_;
    ranked_ = sizesRanked_ = false;
    return true;
}

std::string_view DupList::name(uint32_t id) const
{
    const Entry &e = entry(id);
    return {pool_[e.nameAt / kPoolChunk].get() + e.nameAt % kPoolChunk, e.nameLen};
}

const std::string &DupList::folder(uint32_t id) const { return folders_[entry(id).folder]; }

int64_t DupList::size(uint32_t id) const { return entry(id).size; }

std::string DupList::path(uint32_t id) const { return joinPath(folder(id), std::string(name(id))); }

void DupList::rankSizes()
{
    if (sizesRanked_)
        return;
    // The distinct sizes and each line's among them, from one sort of the
    // lines by size (the sign bit flipped: signed order as unsigned).
    constexpr uint64_t kSign = uint64_t(1) << 63;
    std::vector<std::pair<uint64_t, uint32_t>> bySize(count_), spare(count_);
    for (size_t i = 0; i < count_; ++i)
        bySize[i] = {uint64_t(entry(uint32_t(i)).size) ^ kSign, uint32_t(i)};
    radixSort(bySize.data(), spare.data(), count_, [](const auto &p) { return p.first; });
    spare = {};
    sizes_.clear();
    sizeOf_.resize(count_);
    for (const auto &[key, id] : bySize) {
        const int64_t size = int64_t(key ^ kSign);
        if (sizes_.empty() || sizes_.back() != size)
            sizes_.push_back(size);
        sizeOf_[id] = uint32_t(sizes_.size() - 1);
    }
    sizesRanked_ = true;
}

std::vector<uint32_t> DupList::sharingSize()
{
    rankSizes();
    std::vector<uint8_t> seen(sizes_.size(), 0);
    for (size_t i = 0; i < count_; ++i)
        if (seen[sizeOf_[i]] < 2)
            ++seen[sizeOf_[i]];
    std::vector<uint32_t> out;
    for (size_t i = 0; i < count_; ++i)
        if (seen[sizeOf_[i]] >= 2)
            out.push_back(uint32_t(i));
    return out;
}

void DupList::rank()
{
    if (ranked_)
        return;
    // Sizes: distinct values, their texts and the texts' order.
    rankSizes();
    sizeTexts_.clear();
    sizeTexts_.reserve(sizes_.size());
    for (int64_t s : sizes_)
        sizeTexts_.push_back(formatThousands(s));
    sizeRank_ = rankTexts(utf8(sizeTexts_));

    // Dates and times: one text per 16-bit half present.
    std::vector<bool> dates(kNoStamp + 1), times(kNoTime + 1);
    for (size_t i = 0; i < count_; ++i) {
        const Entry &e = entry(uint32_t(i));
        dates[dateKey(e.written)] = true;
        dates[dateKey(e.accessed)] = true;
        times[timeKey(e.written, e.writtenOdd)] = true;
    }
    rankStampTexts(dates, dateOfKey, dateTexts_, dateRank_);
    rankStampTexts(times, timeOfKey, timeTexts_, timeRank_);

    folderRank_ = rankTexts(folders_);
    typeRank_ = rankTexts(utf8(types_));
    ranked_ = true;
}

int DupList::compareField(Field f, uint32_t ia, uint32_t ib) const
{
    auto cmp = [](uint32_t x, uint32_t y) { return x < y ? -1 : (x > y ? 1 : 0); };
    const Entry &a = entry(ia);
    const Entry &b = entry(ib);
    switch (f) {
    case Field::Name:
        return foldCompare(name(ia), name(ib));
    case Field::Size:
        return a.size == b.size ? 0 : cmp(sizeRank_[sizeOf_[ia]], sizeRank_[sizeOf_[ib]]);
    case Field::Date:
        return cmp(dateRank_[dateKey(a.written)], dateRank_[dateKey(b.written)]);
    case Field::Time:
        return cmp(timeRank_[timeKey(a.written, a.writtenOdd)], timeRank_[timeKey(b.written, b.writtenOdd)]);
    case Field::Access:
        return cmp(dateRank_[dateKey(a.accessed)], dateRank_[dateKey(b.accessed)]);
    case Field::Folder:
        return cmp(folderRank_[a.folder], folderRank_[b.folder]);
    case Field::Type:
        return cmp(typeRank_[a.type], typeRank_[b.type]);
    default:
        return 0;
    }
}

bool DupList::keysEqual(uint32_t a, uint32_t b) const
{
    for (Field f : DupLine::keyFields(criterion_))
        if (compareField(f, a, b) != 0)
            return false;
    return true;
}

std::vector<uint32_t> DupList::sorted()
{
    rank();
    // The fields in the order they decide: the key's first, then the rest
    // in line order (file hogs: the path as its folder and then its name).
    std::vector<Field> fields;
    if (dupMode_) {
        fields = DupLine::keyFields(criterion_);
        std::vector<std::pair<int, Field>> rest;
        for (int f = 0; f < Field::FieldCount; ++f)
            if (std::find(fields.begin(), fields.end(), Field(f)) == fields.end())
                rest.emplace_back(DupLine::position(criterion_, Field(f)), Field(f));
        std::sort(rest.begin(), rest.end());
        for (const auto &r : rest)
            fields.push_back(r.second);
    } else {
        fields = {Field::Size, Field::Date, Field::Time, Field::Access, Field::Folder, Field::Name, Field::Type};
    }

    // Only lines whose size another line shares can join a run when the key
    // holds the size, so the others need no place in the order. Similar
    // pictures are ordered by size but may be of any size.
    const auto &key = DupLine::keyFields(criterion_);
    const bool bySize = dupMode_ && criterion_ != DupLine::SimilarPictures
        && std::find(key.begin(), key.end(), Field::Size) != key.end();
    std::vector<uint32_t> order;
    if (bySize) {
        order = sharingSize();
    } else {
        order.resize(count_);
        std::iota(order.begin(), order.end(), 0u);
    }
    const auto less = [&](uint32_t a, uint32_t b) {
        for (Field f : fields)
            if (const int c = compareField(f, a, b))
                return c < 0;
        return a < b;
    };
    // The leading fields that compare by rank are packed into one number,
    // and a name among them by its first characters, which ends the number:
    // the lines are ordered by it first, in one tight sort, and only runs
    // with equal numbers go through the full comparison.
    using Key = unsigned __int128;
    constexpr int kKeyBits = 128;
    int packed = 0;
    std::vector<std::pair<Key, uint32_t>> keyed;
    keyed.reserve(order.size());
    for (uint32_t id : order) {
        const Entry &e = entry(id);
        Key packedKey = 0;
        packed = 0;
        int bits = 0;
        for (Field f : fields) {
            uint64_t v;
            int width;
            if (f == Field::Size) {
                v = sizeRank_[sizeOf_[id]];
                width = 26;
            } else if (f == Field::Date || f == Field::Access) {
                v = dateRank_[dateKey(f == Field::Date ? e.written : e.accessed)];
                width = 17;
            } else if (f == Field::Time) {
                v = timeRank_[timeKey(e.written, e.writtenOdd)];
                width = 17;
            } else if (f == Field::Name) {
                const int chars = std::min((kKeyBits - bits) / 7, 18);
                if (chars == 0)
                    break;
                packedKey = (packedKey << (7 * chars)) | foldPrefix(name(id), chars);
                bits += 7 * chars;
                ++packed;
                break;
            } else {
                break;
            }
            if (bits + width > kKeyBits)
                break;
            packedKey = (packedKey << width) | v;
            bits += width;
            ++packed;
        }
        keyed.emplace_back(packedKey, id);
    }
    if (packed == 0) {
        std::sort(order.begin(), order.end(), less);
        return order;
    }
    std::sort(keyed.begin(), keyed.end());
    for (size_t i = 0; i < keyed.size(); ++i)
        order[i] = keyed[i].second;
    for (size_t i = 0; i < keyed.size();) {
        size_t j = i + 1;
        while (j < keyed.size() && keyed[j].first == keyed[i].first)
            ++j;
        if (j - i > 1)
            std::sort(order.begin() + qsizetype(i), order.begin() + qsizetype(j), less);
        i = j;
    }
    return order;
}

std::vector<uint32_t> DupList::addDups()
{
    const std::vector<uint32_t> order = sorted();
    std::vector<uint32_t> out;
    size_t i = 0;
    while (i + 1 < order.size()) {
        size_t j = i + 1;
        while (j < order.size() && keysEqual(order[i], order[j]))
            ++j;
        if (j - i >= 2)
            out.insert(out.end(), order.begin() + qsizetype(i), order.begin() + qsizetype(j));
        i = j;
    }
    return out;
}

std::vector<uint32_t> DupList::reSort()
{
    std::vector<uint32_t> order = sorted();
    std::reverse(order.begin(), order.end());
    return order;
}

void DupList::fillGrid(const std::vector<uint32_t> &ids, ResultGridModel &grid)
{
    fillRows(ids, grid, [&](size_t i) { return i > 0 && !keysEqual(ids[i - 1], ids[i]); });
}

void DupList::fillGroups(const std::vector<std::vector<uint32_t>> &groups, ResultGridModel &grid,
                         const TypeText &typeText)
{
    std::vector<uint32_t> ids;
    std::vector<bool> starts;
    for (const auto &g : groups)
        for (size_t k = 0; k < g.size(); ++k) {
            ids.push_back(g[k]);
            starts.push_back(k == 0);
        }
    fillRows(ids, grid, [&](size_t i) { return i > 0 && starts[i]; }, typeText);
}

void DupList::fillRows(const std::vector<uint32_t> &ids, ResultGridModel &grid,
                       const std::function<bool(size_t)> &newRun, const TypeText &typeText)
{
    rank();
    std::vector<uint32_t> typeIds(types_.size());
    for (size_t t = 0; t < types_.size(); ++t)
        typeIds[t] = grid.typeId(types_[t]);
    grid.reserve(int(ids.size()));
    std::vector<uint32_t> folderIds(folders_.size(), GridFile::kNoFolderId);
    uint32_t run = 0;
    for (size_t i = 0; i < ids.size(); ++i) {
        const uint32_t id = ids[i];
        if (dupMode_ && newRun(i))
            ++run;
        const Entry &e = entry(id);
        GridFile f;
        f.folder = folders_[e.folder];
        uint32_t &folderId = folderIds[e.folder];
        if (folderId == GridFile::kNoFolderId)
            folderId = grid.folderId(f.folder);
        f.folderId = folderId;
        f.name = name(id);
        f.size = e.size;
        f.written = e.written;
        f.writtenOdd = e.writtenOdd;
        f.accessed = e.accessed;
        f.type = typeText ? grid.typeId(typeText(id, types_[e.type])) : typeIds[e.type];
        f.key = run;
        grid.addFile(f);
    }
}

const QString &DupList::sizeText(uint32_t id) const
{
    return sizeTexts_[sizeOf_[id]];
}

const QString &DupList::dateText(DosDateTime s) const { return dateTexts_[dateKey(s)]; }

const QString &DupList::timeText(const Entry &e) const { return timeTexts_[timeKey(e.written, e.writtenOdd)]; }

const QString &DupList::folderText(uint32_t folder) const
{
    if (folderTexts_.size() != folders_.size())
        folderTexts_.resize(folders_.size());
    QString &t = folderTexts_[folder];
    if (t.isNull())
        t = displayName(folders_[folder]);
    return t;
}

DupLine::Fields DupList::fields(uint32_t id)
{
    rank();
    const Entry &e = entry(id);
    DupLine::Fields f;
    f.name = displayName(std::string(name(id)));
    f.size = sizeText(id);
    f.date = dateText(e.written);
    f.time = timeText(e);
    f.access = dateText(e.accessed);
    f.folder = folderText(e.folder);
    f.type = types_[e.type];
    return f;
}

QString DupList::line(uint32_t id)
{
    const DupLine::Fields f = fields(id);
    if (dupMode_)
        return DupLine::formatDupLine(criterion_, f);
    return DupLine::formatHogLine(f, displayName(path(id)));
}

QString DupList::key(uint32_t id) { return DupLine::stripPath(line(id), criterion_); }
