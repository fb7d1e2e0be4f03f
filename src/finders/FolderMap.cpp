#include "finders/FolderMap.h"
#include "common/SizeSum.h"
#include "common/Text.h"

#include <algorithm>
#include <cmath>
#include <unordered_set>

namespace {

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

uint64_t FolderMap::childHash(int parent, std::string_view name)
{
    return std::hash<std::string_view>{}(name) ^ (uint64_t(uint32_t(parent)) * 0x9e3779b97f4a7c15u);
}

int FolderMap::child(int parent, std::string_view name) const
{
    const auto [from, to] = children_.equal_range(childHash(parent, name));
    for (auto i = from; i != to; ++i) {
        const Node &n = nodes_[size_t(i->second)];
        if (n.parent == parent && n.nameBytes == name)
            return i->second;
    }
    return -1;
}

void FolderMap::resetIndex()
{
    children_.clear();
    children_.reserve(nodes_.size());
    for (size_t i = 0; i < nodes_.size(); ++i)
        if (nodes_[i].parent >= 0)
            children_.emplace(childHash(nodes_[i].parent, nodes_[i].nameBytes), int(i));
}

int FolderMap::addNode(std::string nameBytes, QString name, int parent)
{
    const int i = int(nodes_.size());
    Node n;
    n.nameBytes = std::move(nameBytes);
    n.name = std::move(name);
    n.parent = parent;
    nodes_.push_back(std::move(n));
    if (parent >= 0) {
        nodes_[size_t(parent)].children.push_back(i);
        children_.emplace(childHash(parent, nodes_[size_t(i)].nameBytes), i);
    }
    return i;
}

int FolderMap::addRoot(std::string path, QString name)
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
        for (int &r : roots_)
            ++r;
        hasTop_ = true;
        resetIndex();
    }
    const int n = addNode(std::move(path), std::move(name), hasTop_ ? 0 : -1);
    roots_.push_back(n);
    return n;
}

int FolderMap::descend(std::string_view path, bool make)
{
    const std::string_view k = key(path);
    // The root whose path is the longest that k begins with.
    int at = -1;
    size_t rest = 0;
    for (const int r : roots_) {
        const std::string_view rk = key(nodes_[size_t(r)].nameBytes);
        const bool below = k == rk
            || (k.starts_with(rk) && (rk.back() == '/' || (k.size() > rk.size() && k[rk.size()] == '/')));
        if (below && (at < 0 || rk.size() >= rest)) {
            at = r;
            rest = rk.size();
        }
    }
    if (at < 0)
        return -1;
    for (size_t from = rest; from < k.size();) {
        const size_t slash = k.find('/', from);
        const std::string_view name = k.substr(from, slash == std::string_view::npos ? k.npos : slash - from);
        from = slash == std::string_view::npos ? k.size() : slash + 1;
        if (name.empty())
            continue;
        int c = child(at, name);
        if (c < 0) {
            if (!make)
                return -1;
            c = addNode(std::string(name), displayName(std::string(name)), at);
        }
        at = c;
    }
    return at;
}

namespace {
void startBuild(std::vector<FolderMap::Node> &nodes, std::vector<FolderMap::Tile> &tiles, size_t expected)
{
    nodes.clear();
    tiles.clear();
    nodes.reserve(expected);
}
}

void FolderMap::build(const std::vector<std::string> &roots, std::vector<Folder> folders, double capacity)
{
    startBuild(nodes_, tiles_, folders.size() + roots.size() + 1);
    unshownFiles_.clear();
    children_.clear();
    roots_.clear();
    valid_ = false;
    hasTop_ = false;
    capacity_ = capacity;
    for (const std::string &r : roots)
        if (rootNamed(r) < 0)
            addRoot(r, displayName(r));

    const auto addOwn = [this](int n, const Folder &f) {
        addSize(nodes_[size_t(n)].ownBytes, std::max<int64_t>(0, f.ownBytes));
        nodes_[size_t(n)].ownFiles += std::max<int64_t>(0, f.ownFiles);
    };
    // A folder lands below the nearest folder of the map above it (the
    // ancestors between made); one below no root waits.
    std::vector<size_t> orphans;
    for (size_t i = 0; i < folders.size(); ++i) {
        if (const int n = descend(folders[i].path, true); n >= 0)
            addOwn(n, folders[i]);
        else
            orphans.push_back(i);
    }
    // Folders below no root: shortest first, so a folder below another of
    // them lands in its tree; the first of a tree becomes a root.
    std::sort(orphans.begin(), orphans.end(), [&](size_t a, size_t b) {
        return key(folders[a].path).size() < key(folders[b].path).size();
    });
    for (const size_t i : orphans) {
        int n = descend(folders[i].path, true);
        if (n < 0) {
            QString name = displayName(std::string(key(folders[i].path)));
            n = addRoot(std::move(folders[i].path), std::move(name));
        }
        addOwn(n, folders[i]);
    }
    finishBuild();
}

void FolderMap::build(const std::vector<TreeFolder> &folders, double capacity)
{
    startBuild(nodes_, tiles_, folders.size() + 1);
    unshownFiles_.clear();
    children_.clear();
    roots_.clear();
    valid_ = false;
    capacity_ = capacity;
    // Several roots: the top comes first, so no node moves afterwards.
    const auto isRoot = [&](size_t i) { return folders[i].parent == kNoParent || folders[i].parent >= i; };
    std::unordered_set<std::string_view> rootKeys;
    for (size_t i = 0; i < folders.size(); ++i)
        if (isRoot(i))
            rootKeys.insert(key(folders[i].name));
    hasTop_ = rootKeys.size() > 1;
    if (hasTop_)
        nodes_.emplace_back();
    std::vector<int> nodeOf(folders.size(), -1);
    for (size_t i = 0; i < folders.size(); ++i) {
        const TreeFolder &f = folders[i];
        int n = -1;
        if (!isRoot(i)) {
            const int p = nodeOf[f.parent];
            n = child(p, f.name);
            if (n < 0)
                n = addNode(std::string(f.name), displayName(std::string(f.name)), p);
        } else if (n = rootNamed(f.name); n < 0) {
            n = addNode(std::string(f.name), displayName(std::string(f.name)), hasTop_ ? 0 : -1);
            roots_.push_back(n);
        }
        nodeOf[i] = n;
        addSize(nodes_[size_t(n)].ownBytes, std::max<int64_t>(0, f.ownBytes));
        nodes_[size_t(n)].ownFiles += std::max<int64_t>(0, f.ownFiles);
    }
    finishBuild();
}

int FolderMap::rootNamed(std::string_view path) const
{
    for (const int r : roots_)
        if (key(nodes_[size_t(r)].nameBytes) == key(path))
            return r;
    return -1;
}

void FolderMap::finishBuild()
{
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
            addSize(p.bytes, n.bytes);
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
    return const_cast<FolderMap *>(this)->descend(path, false); // no node is made
}

std::string FolderMap::path(int node) const
{
    if (node < 0 || size_t(node) >= nodes_.size() || isTop(node))
        return {};
    // The names from the node up to its root; a node that left the map has
    // no parent and reaches none.
    std::vector<int> chain;
    size_t length = 0;
    for (int at = node;;) {
        chain.push_back(at);
        length += nodes_[size_t(at)].nameBytes.size() + 1;
        if (hasTop_ ? nodes_[size_t(at)].parent == 0 : at == 0)
            break; // a root
        at = nodes_[size_t(at)].parent;
        if (at < 0 || isTop(at))
            return {};
    }
    std::string out;
    out.reserve(length);
    for (size_t i = chain.size(); i-- > 0;) {
        if (i + 1 < chain.size() && out.back() != '/')
            out += '/';
        out += nodes_[size_t(chain[i])].nameBytes;
    }
    return out;
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
        addSize(placedBytes, it.bytes);
        placedFiles += it.files;
        items.push_back(it);
    }
    const int merged = int(withBytes - k) + (ownLeft ? 1 : 0);
    if (merged > 0) {
        // The Other tile stands for the rest; when even it is below
        // minArea its share stays as unpainted space of the parent.
        Item o;
        o.bytes = std::max<int64_t>(0, n.bytes - placedBytes); // 0 when both sums reached the limit
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
