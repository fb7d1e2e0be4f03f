#include "scan/LinkLedger.h"

#include <algorithm>

void LinkLedger::add(const FoundFile &f, std::string_view folder, std::string_view name, uint32_t slot)
{
    Name n;
    n.device = f.device;
    n.inode = f.inode;
    n.size = f.size;
    n.accessed = f.accessed;
    n.attributes = f.attributes;
    n.slot = slot;
    n.pathAt = text_.size();
    text_.insert(text_.end(), folder.begin(), folder.end());
    if (folder.empty() || folder.back() != '/')
        text_.push_back('/');
    text_.insert(text_.end(), name.begin(), name.end());
    n.pathLength = uint32_t(text_.size() - n.pathAt);
    names_.push_back(n);
}

void LinkLedger::setSlots(size_t from, uint32_t slot)
{
    for (size_t i = from; i < names_.size(); ++i)
        names_[i].slot = slot;
}

void LinkLedger::clear()
{
    names_.clear();
    text_.clear();
}

bool LinkLedger::walkBefore(std::string_view a, std::string_view b)
{
    // Byte order with "/" below every other byte: a folder's own tree comes
    // where its name falls among the entries beside it ("x/f" before "x-y").
    const size_t n = std::min(a.size(), b.size());
    for (size_t i = 0; i < n; ++i) {
        if (a[i] == b[i])
            continue;
        const auto x = static_cast<unsigned char>(a[i]), y = static_cast<unsigned char>(b[i]);
        if (x == '/')
            return true;
        if (y == '/')
            return false;
        return x < y;
    }
    return a.size() < b.size();
}

std::vector<LinkLedger::Owner> LinkLedger::owners(const std::vector<const LinkLedger *> &ledgers,
                                                  std::vector<std::pair<uint64_t, uint64_t>> &counted)
{
    std::vector<Owner> all;
    for (uint32_t l = 0; l < ledgers.size(); ++l)
        for (uint32_t i = 0; i < ledgers[l]->size(); ++i)
            all.push_back({l, i});
    const auto name = [&](const Owner &o) -> const Name & { return (*ledgers[o.ledger])[o.index]; };
    std::sort(all.begin(), all.end(), [&](const Owner &a, const Owner &b) {
        const Name &x = name(a), &y = name(b);
        if (x.device != y.device)
            return x.device < y.device;
        if (x.inode != y.inode)
            return x.inode < y.inode;
        return walkBefore(ledgers[a.ledger]->path(x), ledgers[b.ledger]->path(y));
    });
    std::vector<Owner> out;
    std::vector<std::pair<uint64_t, uint64_t>> added;
    for (size_t i = 0; i < all.size(); ++i) {
        const Name &n = name(all[i]);
        if (i > 0) {
            const Name &p = name(all[i - 1]);
            if (p.device == n.device && p.inode == n.inode)
                continue; // a later name of the file just counted (or not)
        }
        const std::pair<uint64_t, uint64_t> id{n.device, n.inode};
        if (std::binary_search(counted.begin(), counted.end(), id))
            continue;
        out.push_back(all[i]);
        added.push_back(id);
    }
    // added is sorted already (the names were sorted by device and inode).
    const size_t old = counted.size();
    counted.insert(counted.end(), added.begin(), added.end());
    std::inplace_merge(counted.begin(), counted.begin() + std::ptrdiff_t(old), counted.end());
    return out;
}
