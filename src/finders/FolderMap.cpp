#include "finders/FolderMap.h"
#include "common/Text.h"

#include <algorithm>
#include <cmath>

namespace {

// The parent of a key (see FolderMap::key) in place; false for "/" and for a
// name without a folder.
bool toParent(std::string_view &p)
{
    if (p == "/")
        return false;
    const size_t slash = p.rfind('/');
    if (slash == std::string_view::npos)
        return false;
    p = p.substr(0, slash == 0 ? 1 : slash);
    while (p.size() > 1 && p.back() == '/')
        p.remove_suffix(1);
    return true;
}

QString lastName(std::string_view key)
{
    const size_t slash = key.rfind('/');
    return displayName(std::string(slash == std::string_view::npos ? key : key.substr(slash + 1)));
}

struct Item {
    double area = 0;
    int node = -1;
    FolderMap::Kind kind = FolderMap::Kind::Folder;
    int64_t bytes = 0, files = 0;
    int merged = 0;
    bool shown = true; // false: space left unpainted in the parent
};

// Squarified treemap of items (largest first, areas summing to r's area):
// rows along the shorter side of what is left, each row grown while its
// worst aspect ratio improves. place(item, rect) is called for each item.
template<class Place>
void squarify(const std::vector<Item> &items, QRectF r, Place place)
{
    double x = r.x(), y = r.y(), w = r.width(), h = r.height();
    size_t i = 0;
    const size_t n = items.size();
    while (i < n) {
        const double side = std::min(w, h);
        if (!(side > 0))
            return;
        const double side2 = side * side;
        size_t j = i;
        double sum = 0, best = 0;
        while (j < n) {
            const double s = sum + items[j].area;
            const double worst = std::max(side2 * items[i].area / (s * s), s * s / (side2 * items[j].area));
            if (j > i && worst > best)
                break;
            best = worst;
            sum = s;
            ++j;
        }
        const bool column = w >= h; // the row stands at the left, else lies at the top
        double t = sum / side;
        if (j == n || t > (column ? w : h))
            t = column ? w : h; // the last row takes what is left (rounding)
        double at = column ? y : x;
        const double end = column ? y + h : x + w;
        for (size_t k = i; k < j; ++k) {
            const double len = k + 1 == j ? end - at : items[k].area / t;
            place(items[k], column ? QRectF(x, at, t, len) : QRectF(at, y, len, t));
            at += len;
        }
        if (column) {
            x += t;
            w -= t;
        } else {
            y += t;
            h -= t;
        }
        i = j;
    }
}

} // namespace

std::string_view FolderMap::key(std::string_view path)
{
    while (path.size() > 1 && path.back() == '/')
        path.remove_suffix(1);
    return path;
}

uint64_t FolderMap::hashOf(std::string_view key) { return std::hash<std::string_view>{}(key); }

namespace {
constexpr uint64_t kFree = ~uint64_t(0), kFreed = kFree - 1;
uint64_t slotOf(uint64_t hash, int node) { return (hash & 0xffffffff00000000u) | uint32_t(node); }
int nodeOf(uint64_t slot) { return int(slot & 0xffffffffu); }
} // namespace

int FolderMap::lookup(std::string_view k, uint64_t hash) const
{
    if (slots_.empty())
        return -1;
    const size_t mask = slots_.size() - 1;
    const uint64_t tag = hash & 0xffffffff00000000u;
    for (size_t i = size_t(hash) & mask;; i = (i + 1) & mask) {
        const uint64_t s = slots_[i];
        if (s == kFree)
            return -1;
        if (s != kFreed && (s & 0xffffffff00000000u) == tag && key(nodes_[size_t(nodeOf(s))].path) == k)
            return nodeOf(s);
    }
}

void FolderMap::resetIndex(size_t nodes)
{
    size_t n = 16;
    while (n < nodes * 2)
        n *= 2;
    slots_.assign(n, kFree);
    slotsUsed_ = 0;
}

void FolderMap::insertIndex(int node, uint64_t hash)
{
    if ((slotsUsed_ + 1) * 2 > slots_.size()) { // keep it at most half full
        std::vector<int> live;
        for (uint64_t s : slots_)
            if (s < kFreed)
                live.push_back(nodeOf(s));
        resetIndex(live.size() + 1);
        for (int n : live)
            insertIndex(n, hashOf(key(nodes_[size_t(n)].path)));
    }
    const size_t mask = slots_.size() - 1;
    size_t i = size_t(hash) & mask;
    while (slots_[i] < kFreed)
        i = (i + 1) & mask;
    if (slots_[i] == kFree)
        ++slotsUsed_;
    slots_[i] = slotOf(hash, node);
}

void FolderMap::eraseIndex(int node)
{
    if (slots_.empty())
        return;
    const size_t mask = slots_.size() - 1;
    for (size_t i = size_t(hashOf(key(nodes_[size_t(node)].path))) & mask; slots_[i] != kFree; i = (i + 1) & mask)
        if (slots_[i] < kFreed && nodeOf(slots_[i]) == node) {
            slots_[i] = kFreed;
            return;
        }
}

int FolderMap::addNode(std::string path, QString name, int parent, uint64_t hash)
{
    const int i = int(nodes_.size());
    Node n;
    n.path = std::move(path);
    n.name = std::move(name);
    n.parent = parent;
    nodes_.push_back(std::move(n));
    if (parent >= 0)
        nodes_[size_t(parent)].children.push_back(i);
    insertIndex(i, hash);
    return i;
}

int FolderMap::addRoot(std::string path, QString name, uint64_t hash)
{
    if (!nodes_.empty() && !hasTop_) {
        // A second root: every node moves up one for the top at 0.
        nodes_.insert(nodes_.begin(), Node{});
        for (size_t i = 1; i < nodes_.size(); ++i) {
            ++nodes_[i].parent;
            for (int &c : nodes_[i].children)
                ++c;
        }
        nodes_[0].children.push_back(1);
        for (uint64_t &s : slots_)
            if (s < kFreed)
                ++s;
        hasTop_ = true;
    }
    return addNode(std::move(path), std::move(name), hasTop_ ? 0 : -1, hash);
}

void FolderMap::build(const std::vector<std::string> &roots, std::vector<Folder> folders, double capacity)
{
    nodes_.clear();
    tiles_.clear();
    unshownFiles_.clear();
    valid_ = false;
    hasTop_ = false;
    capacity_ = capacity;
    const size_t expected = folders.size() + roots.size() + 1;
    nodes_.reserve(expected);
    resetIndex(expected);
    for (const std::string &r : roots) {
        const std::string_view k = key(r);
        const uint64_t h = hashOf(k);
        if (lookup(k, h) < 0)
            addRoot(r, displayName(r), h);
    }

    // Adds a folder below the nearest folder of the map above it (creating
    // the ancestors between); false when no ancestor is in the map.
    std::vector<std::pair<std::string_view, uint64_t>> chain;
    const auto place = [&](Folder &f, uint64_t hash) {
        const std::string_view k = key(f.path);
        chain.clear();
        std::string_view p = k;
        int at = -1;
        while (toParent(p)) {
            const uint64_t h = hashOf(p);
            at = lookup(p, h);
            if (at >= 0)
                break;
            chain.emplace_back(p, h);
        }
        if (at < 0)
            return false;
        for (size_t i = chain.size(); i-- > 0;)
            at = addNode(std::string(chain[i].first), lastName(chain[i].first), at, chain[i].second);
        QString name = lastName(k);
        const int n = addNode(std::move(f.path), std::move(name), at, hash);
        nodes_[size_t(n)].ownBytes = std::max<int64_t>(0, f.ownBytes);
        nodes_[size_t(n)].ownFiles = std::max<int64_t>(0, f.ownFiles);
        return true;
    };
    const auto addOwn = [this](int n, const Folder &f) {
        nodes_[size_t(n)].ownBytes += std::max<int64_t>(0, f.ownBytes);
        nodes_[size_t(n)].ownFiles += std::max<int64_t>(0, f.ownFiles);
    };
    std::vector<std::pair<size_t, uint64_t>> orphans; // folder, hash
    for (size_t i = 0; i < folders.size(); ++i) {
        const std::string_view k = key(folders[i].path);
        const uint64_t h = hashOf(k);
        const int at = lookup(k, h);
        if (at >= 0)
            addOwn(at, folders[i]);
        else if (!place(folders[i], h))
            orphans.emplace_back(i, h);
    }
    // Folders below no root: shortest first, so a folder below another of
    // them lands in its tree; the first of a tree becomes a root.
    std::sort(orphans.begin(), orphans.end(), [&](const auto &a, const auto &b) {
        return key(folders[a.first].path).size() < key(folders[b.first].path).size();
    });
    for (const auto &[i, h] : orphans) {
        const int at = lookup(key(folders[i].path), h);
        if (at >= 0)
            addOwn(at, folders[i]);
        else if (!place(folders[i], h)) {
            QString name = displayName(std::string(key(folders[i].path)));
            addOwn(addRoot(std::move(folders[i].path), std::move(name), h), folders[i]);
        }
    }

    // A parent always comes before its children, so one pass each way
    // gives depths and totals.
    for (size_t i = 1; i < nodes_.size(); ++i)
        nodes_[i].depth = nodes_[size_t(nodes_[i].parent)].depth + 1;
    for (Node &n : nodes_) {
        n.bytes = n.ownBytes;
        n.files = n.ownFiles;
    }
    unshownFiles_.assign(nodes_.size(), 0);
    for (size_t i = nodes_.size(); i-- > 0;) {
        Node &n = nodes_[i];
        if (n.ownBytes <= 0)
            unshownFiles_[i] += n.ownFiles;
        if (n.parent >= 0) {
            Node &p = nodes_[size_t(n.parent)];
            p.bytes += n.bytes;
            p.files += n.files;
            if (n.bytes <= 0)
                unshownFiles_[size_t(n.parent)] += n.files;
        }
    }
    for (size_t i = 0; i < nodes_.size(); ++i)
        sortChildren(int(i));
}

void FolderMap::sortChildren(int node)
{
    std::vector<int> &c = nodes_[size_t(node)].children;
    std::sort(c.begin(), c.end(), [this](int a, int b) {
        const int64_t x = nodes_[size_t(a)].bytes, y = nodes_[size_t(b)].bytes;
        return x != y ? x > y : a < b;
    });
}

void FolderMap::countUnshown(int node)
{
    const Node &n = nodes_[size_t(node)];
    int64_t u = n.ownBytes <= 0 ? n.ownFiles : 0;
    for (int c : n.children)
        if (nodes_[size_t(c)].bytes <= 0)
            u += nodes_[size_t(c)].files;
    unshownFiles_[size_t(node)] = u;
}

int FolderMap::find(const std::string &path) const
{
    const std::string_view k = key(path);
    return lookup(k, hashOf(k));
}

namespace {
// A Folder tile's content: the tile less its frame (2 px, less on small
// tiles, so a child always lies visibly inside its parent) and, when the
// tile is at least 3 label heights high and 40 px wide, less a label strip
// at the top; smaller tiles keep the frame only.
void frameTile(FolderMap::Tile &t, double labelHeight)
{
    const double w = std::max(0.0, t.rect.width()), h = std::max(0.0, t.rect.height());
    const double f = std::min(2.0, std::min(w, h) / 8);
    QRectF c(t.rect.x() + f, t.rect.y() + f, w - 2 * f, h - 2 * f);
    if (labelHeight > 0 && h >= 3 * labelHeight && w >= 40) {
        c.setTop(c.top() + labelHeight);
        t.labelled = true;
    }
    t.content = c;
}
} // namespace

const std::vector<FolderMap::Tile> &FolderMap::layout(int zoom, const QRectF &area, double minArea, double labelHeight)
{
    if (valid_ && zoom == lastZoom_ && area == lastArea_ && minArea == lastMinArea_ && labelHeight == lastLabelHeight_)
        return tiles_;
    valid_ = true;
    lastZoom_ = zoom;
    lastArea_ = area;
    lastMinArea_ = minArea;
    lastLabelHeight_ = labelHeight;
    ++layoutsMade_;
    tiles_.clear();
    if (zoom < 0 || size_t(zoom) >= nodes_.size())
        return tiles_;
    Tile t;
    t.rect = QRectF(area.x(), area.y(), std::max(0.0, area.width()), std::max(0.0, area.height()));
    t.node = zoom;
    t.bytes = nodes_[size_t(zoom)].bytes;
    t.files = nodes_[size_t(zoom)].files;
    frameTile(t, labelHeight);
    tiles_.push_back(t);
    // Breadth first: each tile's children come one after another, parents
    // before children.
    for (size_t i = 0; i < tiles_.size(); ++i)
        if (tiles_[i].kind == Kind::Folder)
            layoutChildren(int(i), minArea, labelHeight);
    return tiles_;
}

void FolderMap::layoutChildren(int tile, double minArea, double labelHeight)
{
    const QRectF c = tiles_[size_t(tile)].content;
    const int node = tiles_[size_t(tile)].node;
    const int depth = tiles_[size_t(tile)].depth + 1;
    const Node &n = nodes_[size_t(node)];
    const double area = c.width() * c.height();
    // A content too small to hold one visible tile is not entered.
    if (!(area > 0) || area < minArea || n.bytes <= 0)
        return;
    const double scale = area / double(n.bytes);

    // The items largest first (the own files among the sub-folders by their
    // bytes) down to the first one too small to show; the rest is merged.
    static thread_local std::vector<Item> items;
    items.clear();
    const auto nonZero = std::partition_point(n.children.begin(), n.children.end(),
                                              [this](int ch) { return nodes_[size_t(ch)].bytes > 0; });
    const size_t withBytes = size_t(nonZero - n.children.begin());
    size_t k = 0;
    bool ownLeft = n.ownBytes > 0;
    int64_t placedBytes = 0, placedFiles = 0;
    for (;;) {
        const int64_t next = k < withBytes ? nodes_[size_t(n.children[k])].bytes : -1;
        Item it;
        if (ownLeft && n.ownBytes >= next) {
            it = {double(n.ownBytes) * scale, node, Kind::OwnFiles, n.ownBytes, n.ownFiles, 0, true};
        } else if (k < withBytes) {
            const Node &ch = nodes_[size_t(n.children[k])];
            it = {double(ch.bytes) * scale, n.children[k], Kind::Folder, ch.bytes, ch.files, 0, true};
        } else {
            break;
        }
        if (it.area < minArea)
            break;
        if (it.kind == Kind::OwnFiles)
            ownLeft = false;
        else
            ++k;
        placedBytes += it.bytes;
        placedFiles += it.files;
        items.push_back(it);
    }
    const int merged = int(withBytes - k) + (ownLeft ? 1 : 0);
    if (merged > 0) {
        // The Other tile stands for the rest; when even it is below
        // minArea its share stays as unpainted space of the parent.
        Item o;
        o.bytes = n.bytes - placedBytes;
        o.files = n.files - placedFiles - unshownFiles_[size_t(node)];
        o.area = double(o.bytes) * scale;
        o.node = node;
        o.kind = Kind::Other;
        o.merged = merged;
        o.shown = o.area >= minArea;
        const auto at = std::find_if(items.begin(), items.end(), [&](const Item &x) { return x.area < o.area; });
        items.insert(at, o);
    }

    const int first = int(tiles_.size());
    squarify(items, c, [&](const Item &it, const QRectF &r) {
        if (!it.shown)
            return;
        Tile t;
        t.rect = r;
        t.content = r;
        t.node = it.node;
        t.kind = it.kind;
        t.parentTile = tile;
        t.depth = depth;
        t.bytes = it.bytes;
        t.files = it.files;
        t.merged = it.merged;
        if (t.kind == Kind::Folder)
            frameTile(t, labelHeight);
        tiles_.push_back(t);
    });
    tiles_[size_t(tile)].firstChild = first;
    tiles_[size_t(tile)].childCount = int(tiles_.size()) - first;
}

int FolderMap::tileAt(const QPointF &p) const
{
    if (tiles_.empty() || !tiles_[0].rect.contains(p))
        return -1;
    int at = 0;
    for (;;) {
        const Tile &t = tiles_[size_t(at)];
        int next = -1;
        for (int i = t.firstChild; i >= 0 && i < t.firstChild + t.childCount; ++i)
            if (tiles_[size_t(i)].rect.contains(p)) {
                next = i;
                break;
            }
        if (next < 0)
            return at;
        at = next;
    }
}

void FolderMap::removed(int node, bool gone, int64_t ownBytesLeft, int64_t ownFilesLeft)
{
    if (node < 0 || size_t(node) >= nodes_.size() || (node != 0 && nodes_[size_t(node)].parent < 0))
        return; // unknown, or already out of the map
    // The folders below leave the map.
    std::vector<int> below = std::move(nodes_[size_t(node)].children);
    nodes_[size_t(node)].children.clear();
    while (!below.empty()) {
        const int b = below.back();
        below.pop_back();
        Node &d = nodes_[size_t(b)];
        below.insert(below.end(), d.children.begin(), d.children.end());
        eraseIndex(b);
        d.children.clear();
        d.parent = -1;
        d.ownBytes = d.ownFiles = d.bytes = d.files = 0;
        unshownFiles_[size_t(b)] = 0;
    }
    Node &n = nodes_[size_t(node)];
    const int parent = n.parent;
    const int64_t oldBytes = n.bytes, oldFiles = n.files;
    if (gone && node != 0) {
        std::vector<int> &sib = nodes_[size_t(parent)].children;
        sib.erase(std::remove(sib.begin(), sib.end(), node), sib.end());
        eraseIndex(node);
        n.parent = -1;
        n.ownBytes = n.ownFiles = 0;
    } else {
        n.ownBytes = gone ? 0 : std::max<int64_t>(0, ownBytesLeft);
        n.ownFiles = gone ? 0 : std::max<int64_t>(0, ownFilesLeft);
    }
    n.bytes = n.ownBytes;
    n.files = n.ownFiles;
    countUnshown(node);
    const int64_t lessBytes = oldBytes - n.bytes, lessFiles = oldFiles - n.files;
    for (int a = parent; a >= 0; a = nodes_[size_t(a)].parent) {
        nodes_[size_t(a)].bytes -= lessBytes;
        nodes_[size_t(a)].files -= lessFiles;
    }
    // Sizes changed along the chain: each ancestor's children in order again.
    for (int a = parent; a >= 0; a = nodes_[size_t(a)].parent) {
        sortChildren(a);
        countUnshown(a);
    }
    tiles_.clear();
    valid_ = false;
}
