// ResultGridModel: the rows and their storage. A row is a slot (typed fields,
// or the number of its stored cell texts) whose path is its folder's prefix
// followed by its name; folders and names are kept once, as bytes.
#include "scan/ResultGridModel.h"

#include "common/Text.h"
#include "scan/FoundFile.h"
#include "scan/GridLines.h"

#include <algorithm>

namespace {
constexpr int GrowBy = 50;

bool plainBytes(std::string_view b)
{
    return std::all_of(b.begin(), b.end(), [](char c) { return c >= 0x20 && c < 0x7f; });
}
}

uint8_t ResultGridModel::nameFlags(std::string_view name)
{
    // Without branches, so that long names are read many bytes at a time.
    bool plain = true, slash = false;
    for (const char c : name) {
        plain &= uint8_t(c - 0x20) < 0x5f;
        slash |= c == '/';
    }
    return uint8_t((plain ? NamePlain : 0) | (slash ? NameSlash : 0));
}

uint32_t ResultGridModel::folderOf(std::string_view folder)
{
    // Files come folder by folder from a walk, so the last folder is the
    // likely one; otherwise the table of folders seen.
    if (lastFolderId_ != ~0u && folder == lastFolder_)
        return lastFolderId_;
    uint32_t id;
    const auto it = folderIds_.find(folder);
    if (it != folderIds_.end()) {
        id = it->second;
    } else {
        Folder f;
        f.joined = !folder.empty() && folder.back() != '/';
        thread_local std::string prefix;
        prefix.assign(folder);
        if (f.joined)
            prefix += '/';
        f.at = bytes_.append(prefix.data(), prefix.size());
        f.len = uint32_t(prefix.size());
        f.plain = plainBytes(prefix);
        id = uint32_t(folders_.size());
        folders_.push_back(f);
        folderIds_.emplace(std::string_view(bytes_.at(f.at), folder.size()), id);
    }
    lastFolder_.assign(folder);
    lastFolderId_ = id;
    return id;
}

void ResultGridModel::appendSlot(Slot &s)
{
    const int row = rowsFilled() + 1;
    if (gridRows_ < row + 1)
        gridRows_ += GrowBy;
    order_.push_back(uint32_t(slots_.size()));
    slots_.push_back(s);
    textRows_ += s.text != 0;
    wideNames_ += !(s.nameFlags & NamePlain);
    slashNames_ += (s.nameFlags & NameSlash) != 0;
    if (dirtyFrom_ < 0 || dirtyFrom_ > row - 1)
        dirtyFrom_ = row - 1;
    scheduleSync();
}

uint32_t ResultGridModel::storeTexts(const QStringView *cells)
{
    texts_.push_back(GridLines::storeCells(text_, cells, size_t(columns_)));
    return uint32_t(texts_.size());
}

void ResultGridModel::addToGrid(const QString &line, std::string_view path)
{
    Slot s = lineSlot(line, path);
    appendSlot(s);
}

void ResultGridModel::addLines(const std::vector<Line> &lines)
{
    reserve(int(lines.size()));
    texts_.reserve(texts_.size() + lines.size());
    for (const Line &l : lines) {
        Slot s = lineSlot(l.text, l.path);
        appendSlot(s);
    }
}

void ResultGridModel::addBatches(std::vector<GridLines> &batches, const std::vector<BatchRow> &order)
{
    std::vector<uint64_t> textShift, byteShift;
    for (GridLines &b : batches) {
        textShift.push_back(text_.adopt(std::move(b.text_)));
        byteShift.push_back(bytes_.adopt(std::move(b.bytes_)));
    }
    reserve(int(order.size()));
    texts_.reserve(texts_.size() + order.size());
    const uint32_t whole = folderOf({}); // the paths are kept whole
    for (const BatchRow &at : order) {
        const GridLines::Row &r = batches[at.batch].rows_[at.row];
        texts_.push_back(r.text + textShift[at.batch]);
        Slot s;
        s.text = uint32_t(texts_.size());
        s.folder = whole;
        if (r.nameLen == GridLines::kKeyed) {
            s.key = uint32_t(r.nameAt);
            s.nameFlags = NameKeyed;
            appendSlot(s);
            continue;
        }
        s.nameAt = r.nameAt + byteShift[at.batch];
        s.nameLen = r.nameLen;
        // The whole path is the name: it holds a "/", and it is shown as the
        // general case shows a name (the cells are texts: it is never shown).
        s.nameFlags = NameSlash;
        appendSlot(s);
    }
    for (GridLines &b : batches)
        b.rows_.clear();
}

ResultGridModel::Slot ResultGridModel::lineSlot(QStringView line, std::string_view path)
{
    thread_local std::vector<QStringView> cells;
    cells.resize(size_t(columns_));
    GridLines::cellsOf(line, layout_.columns, cells.data());
    Slot s;
    s.text = storeTexts(cells.data());
    // The folder is the path up to its last "/", which it keeps.
    const size_t slash = path.rfind('/');
    const size_t nameAt = slash == std::string::npos ? 0 : slash + 1;
    s.folder = folderOf(path.substr(0, nameAt));
    s.nameAt = bytes_.append(path.data() + nameAt, path.size() - nameAt);
    s.nameLen = uint32_t(path.size() - nameAt);
    s.nameFlags = nameFlags(nameBytes(s));
    return s;
}

void ResultGridModel::addFile(const GridFile &f)
{
    Slot s;
    s.folder = f.folderId != GridFile::kNoFolderId ? f.folderId : folderOf(f.folder);
    s.nameAt = bytes_.append(f.name.data(), f.name.size());
    s.nameLen = uint32_t(f.name.size());
    s.nameFlags = uint8_t(nameFlags(f.name) | (f.writtenOdd ? WrittenOdd : 0));
    s.size = f.size;
    s.written = f.written;
    s.accessed = f.accessed;
    s.created = f.created;
    s.attributes = f.attributes;
    s.type = uint16_t(f.type < types_.size() ? f.type : 0);
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
    g.writtenOdd = f.writtenOdd;
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
    if (types_.size() > 0xffff)
        return 0; // more type texts than a row can tell apart
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

std::string_view ResultGridModel::prefix(const Slot &s) const
{
    const Folder &f = folders_[s.folder];
    return {bytes_.at(f.at), f.len};
}

std::string_view ResultGridModel::nameBytes(const Slot &s) const { return {bytes_.at(s.nameAt), s.nameLen}; }

std::string_view ResultGridModel::folderBytes(const Slot &s) const
{
    const std::string_view p = prefix(s);
    return folders_[s.folder].joined ? p.substr(0, p.size() - 1) : p;
}

std::string ResultGridModel::pathOf(const Slot &s) const
{
    if (s.nameFlags & NameKeyed)
        return keyed_.path ? keyed_.path(s.key) : std::string();
    std::string p;
    const std::string_view a = prefix(s), b = nameBytes(s);
    p.reserve(a.size() + b.size());
    p.append(a);
    p.append(b);
    return p;
}

std::string ResultGridModel::path(int row) const
{
    const int s = slotOf(row);
    if (s < 0)
        return {};
    return pathOf(slots_[size_t(s)]);
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

std::vector<std::string> ResultGridModel::paths() const
{
    std::vector<std::string> out;
    out.reserve(size_t(std::max(rowsFilled(), 0)));
    for (int r = 1; r <= rowsFilled(); ++r)
        out.push_back(path(r));
    return out;
}
