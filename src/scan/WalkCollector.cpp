#include "scan/WalkCollector.h"

WalkCollector::WalkCollector(const std::function<bool(const FoundFile &)> &keep, std::atomic<int64_t> &counter,
                             const int64_t &room)
    : keep_(keep), counter_(counter), room_(room)
{
}

bool WalkCollector::visit(const FoundFile &f, const WalkPlace &at)
{
    if (keep_ && !keep_(f))
        return true;
    if (counter_.fetch_add(1, std::memory_order_relaxed) >= room_)
        return false;
    // A folder's entries come together, on one thread.
    if (folders_.empty() || at.folder != lastFolder_) {
        folders_.push_back(f.folder);
        lastFolder_ = at.folder;
    }
    files_.push_back({f.size, f.modifiedNs, f.changedNs, f.device, f.inode, names_.size(),
                      uint32_t(folders_.size() - 1), uint32_t(f.name.size()), f.links, f.written, f.accessed,
                      f.created, f.attributes, f.writtenOdd});
    names_ += f.name;
    return true;
}

void WalkCollector::fill(size_t n, FoundFile &out, bool &folderChanged) const
{
    const Kept &k = files_[n];
    const std::string &folder = folders_[k.folder];
    folderChanged = n == 0 || files_[n - 1].folder != k.folder;
    if (folderChanged)
        out.folder = folder;
    out.name.assign(names_, k.nameAt, k.nameLength);
    out.path.assign(folder);
    if (folder.back() != '/')
        out.path += '/';
    out.path += out.name;
    out.size = k.size;
    out.modifiedNs = k.modifiedNs;
    out.changedNs = k.changedNs;
    out.device = k.device;
    out.inode = k.inode;
    out.links = k.links;
    out.written = k.written;
    out.accessed = k.accessed;
    out.created = k.created;
    out.attributes = k.attributes;
    out.writtenOdd = k.writtenOdd;
}

void WalkCollector::clear()
{
    files_ = {};
    names_ = {};
    folders_ = {};
    lastFolder_ = WalkPlace::kNoFolder;
}
