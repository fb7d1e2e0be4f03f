#include "finders/FolderNames.h"

#include "common/Text.h"

#include <algorithm>

void FolderNames::clear()
{
    names_.clear();
    nodes_.clear();
    depths_.clear();
}

void FolderNames::settle()
{
    depths_.assign(nodes_.size(), kNone);
    std::vector<uint32_t> up;
    for (uint32_t n = 0; n < nodes_.size(); ++n) {
        // Up to the first folder whose depth is known (or a root), then down again.
        up.clear();
        uint32_t at = n;
        while (at < nodes_.size() && depths_[at] == kNone && up.size() <= nodes_.size()) {
            up.push_back(at);
            at = nodes_[at].parent;
        }
        uint32_t d = at >= nodes_.size() || depths_[at] == kNone ? 0 : depths_[at] + 1;
        for (size_t i = up.size(); i-- > 0; ++d)
            depths_[up[i]] = d;
    }
}

uint32_t FolderNames::depth(uint32_t n) const
{
    if (n < depths_.size() && depths_[n] != kNone)
        return depths_[n];
    uint32_t d = 0;
    for (uint32_t at = nodes_[n].parent; at < nodes_.size() && d <= nodes_.size(); at = nodes_[at].parent)
        ++d;
    return d;
}

void FolderNames::resize(size_t n) { nodes_.resize(n); }

void FolderNames::set(uint32_t n, uint32_t parent, std::string_view name, bool drive)
{
    Node &node = nodes_[n];
    node.nameAt = names_.append(name.data(), name.size());
    node.nameLen = uint32_t(name.size());
    node.parent = parent;
    node.flags = uint8_t(Known | (drive ? Drive : 0));
}

uint32_t FolderNames::add(uint32_t parent, std::string_view name, bool drive)
{
    nodes_.emplace_back();
    set(uint32_t(nodes_.size() - 1), parent, name, drive);
    return uint32_t(nodes_.size() - 1);
}

bool FolderNames::reachesRoot(uint32_t n) const
{
    // A parent's number may be above its folder's (folders kept in the order
    // their walks ended), so the chain is followed no further than its length.
    for (size_t steps = 0; steps <= nodes_.size(); ++steps) {
        if (!known(n))
            return false;
        if (nodes_[n].parent == kNone)
            return true;
        if (nodes_[n].parent >= nodes_.size())
            return false; // pending
        n = nodes_[n].parent;
    }
    return false;
}

std::string_view FolderNames::name(uint32_t n) const
{
    const Node &node = nodes_[n];
    return node.nameLen == 0 ? std::string_view() : std::string_view(names_.at(node.nameAt), node.nameLen);
}

void FolderNames::chain(uint32_t n, std::vector<uint32_t> &out) const
{
    out.clear();
    for (; n < nodes_.size() && out.size() <= nodes_.size(); n = nodes_[n].parent)
        out.push_back(n);
    std::reverse(out.begin(), out.end());
}

std::string FolderNames::path(uint32_t n) const
{
    std::vector<uint32_t> c;
    chain(n, c);
    size_t length = 0;
    for (const uint32_t f : c)
        length += nodes_[f].nameLen + 1;
    std::string out;
    out.reserve(length);
    for (const uint32_t f : c) {
        if (!out.empty() && out.back() != '/')
            out += '/';
        out += name(f);
    }
    return out;
}

QString FolderNames::shownFrom(const std::vector<uint32_t> &c, size_t from) const
{
    std::string bytes;
    for (size_t i = from; i < c.size(); ++i) {
        if (i > from && !bytes.empty() && bytes.back() != '/')
            bytes += '/';
        bytes += name(c[i]);
    }
    if ((nodes_[c.back()].flags & Drive) && (bytes.empty() || bytes.back() != '/'))
        bytes += '/';
    return displayName(bytes);
}

QString FolderNames::shown(uint32_t n) const
{
    std::vector<uint32_t> c;
    chain(n, c);
    return shownFrom(c, 0);
}

int FolderNames::compare(uint32_t a, uint32_t b, Qt::CaseSensitivity cs) const
{
    if (a == b)
        return 0;
    // Up to the same depth: a folder's text begins with its parent's.
    const uint32_t da = depth(a), db = depth(b);
    uint32_t x = a, y = b;
    for (uint32_t d = da; d > db; --d)
        x = nodes_[x].parent;
    for (uint32_t d = db; d > da; --d)
        y = nodes_[y].parent;
    if (x == y)
        return da < db ? -1 : 1;
    // Up to the folders below the one both lie in, whose names decide
    // unless they show alike.
    while (nodes_[x].parent != nodes_[y].parent && nodes_[x].parent < nodes_.size()
           && nodes_[y].parent < nodes_.size()) {
        x = nodes_[x].parent;
        y = nodes_[y].parent;
    }
    if (nodes_[x].parent >= nodes_.size())
        return compareChains(a, b, cs); // different roots
    const auto segment = [this](uint32_t n, bool last) {
        QString s = displayName(std::string(name(n)));
        if (!last)
            s += QLatin1Char('/');
        return s;
    };
    const int r = QtPrivate::compareStrings(segment(x, x == a), segment(y, y == b), cs);
    return r != 0 ? r : compareChains(a, b, cs);
}

int FolderNames::compareChains(uint32_t a, uint32_t b, Qt::CaseSensitivity cs) const
{
    if (a == b)
        return 0;
    std::vector<uint32_t> ca, cb;
    chain(a, ca);
    chain(b, cb);
    size_t i = 0;
    while (i < ca.size() && i < cb.size() && ca[i] == cb[i])
        ++i;
    // A folder's text begins with its parent's.
    if (i == ca.size())
        return -1;
    if (i == cb.size())
        return 1;
    if (i == 0) // different roots: their paths may run on past each other's
        return QtPrivate::compareStrings(shownFrom(ca, 0), shownFrom(cb, 0), cs);
    // Below a common folder the texts go on alike up to the folders where
    // the chains part, and from there name by name: a name holds no "/",
    // so the first name that differs decides, as the whole texts would.
    for (;; ++i) {
        if (i == ca.size() || i == cb.size())
            return i == ca.size() ? (i == cb.size() ? 0 : -1) : 1;
        const auto segment = [this](const std::vector<uint32_t> &c, size_t at) {
            QString s = displayName(std::string(name(c[at])));
            if (at + 1 < c.size() || (nodes_[c[at]].flags & Drive))
                s += QLatin1Char('/');
            return s;
        };
        if (const int r = QtPrivate::compareStrings(segment(ca, i), segment(cb, i), cs); r != 0)
            return r;
    }
}
