#include "finders/RememberedHashes.h"

#include "common/RadixSort.h"
#include "finders/ContentSearch.h"

#include <QFile>

#include <sys/sysmacros.h>

#include <algorithm>
#include <map>
#include <mutex>
#include <thread>

namespace {
// The write a finished search left running, and how the one before ended.
struct Writer {
    std::mutex lock; // the thread (joined under it; the thread never takes it)
    std::thread thread;
    std::mutex problemLock;
    HashStore::Problem problem = HashStore::Problem::None;
    ~Writer()
    {
        if (thread.joinable())
            thread.join();
    }
};
Writer &writer()
{
    static Writer w;
    return w;
}
}

RememberedHashes::RememberedHashes(std::string storePath) : path_(std::move(storePath)) {}

void RememberedHashes::settle()
{
    Writer &w = writer();
    std::lock_guard hold(w.lock);
    if (w.thread.joinable())
        w.thread.join();
}

std::string RememberedHashes::scheme()
{
    return "xxh3-128 first " + std::to_string(ContentSearch::kBlock) + " whole to "
        + std::to_string(ContentSearch::kWholeAtOnce) + " last " + std::to_string(ContentSearch::kBlock);
}

void RememberedHashes::begin(const std::vector<Candidate> &candidates)
{
    begun_ = true;
    slotOf_.clear();
    slots_.clear();
    volumes_.clear();
    recalled_ = 0;
    problem_ = HashStore::Problem::None;
    today_ = day >= 0 ? day : HashStore::today();
    settle();
    {
        Writer &w = writer();
        std::lock_guard hold(w.problemLock);
        problem_ = w.problem;
        w.problem = HashStore::Problem::None;
    }
    if (candidates.empty())
        return;
    store_ = std::make_unique<HashStore>(path_, busyMs);
    if (!store_->open(scheme(), today_)) {
        problem_ = store_->problem();
        return;
    }

    // Each device's volume in the store.
    const auto uuids = VolumeIds::uuidsByDevice(uuidFolder);
    std::map<uint64_t, uint32_t> volumeOf;
    std::vector<uint64_t> deviceOf; // by index into volumes_
    uint32_t maxFile = 0;
    // The slots in key order (volume, then inode): the store's entries come
    // in that order and are put into the slots one after the other.
    struct Key {
        uint64_t inode;
        uint32_t file;
        uint32_t volume;
    };
    std::vector<Key, LargeBlockAllocator<Key>> keys;
    keys.reserve(candidates.size());
    uint64_t lastDevice = 0;
    uint32_t lastVolume = UINT32_MAX;
    for (const Candidate &c : candidates) {
        maxFile = std::max(maxFile, c.file);
        if (lastVolume == UINT32_MAX || c.device != lastDevice) {
            auto [at, added] = volumeOf.try_emplace(c.device, uint32_t(volumes_.size()));
            if (added) {
                const auto u = uuids.find(c.device);
                const std::string name = u != uuids.end()
                    ? "uuid:" + u->second
                    : "dev:" + std::to_string(major(c.device)) + ":" + std::to_string(minor(c.device));
                const int64_t id = store_->volume(name);
                if (id < 0) {
                    problem_ = store_->problem();
                    return;
                }
                volumes_.push_back(id);
                deviceOf.push_back(c.device);
            }
            lastDevice = c.device;
            lastVolume = at->second;
        }
        keys.push_back({c.inode, c.file, lastVolume});
    }
    {
        // By inode, then (stably) by volume.
        std::vector<Key, LargeBlockAllocator<Key>> spare(keys.size());
        radixSort(keys.data(), spare.data(), keys.size(), [](const Key &k) { return k.inode; });
        if (volumes_.size() > 1)
            radixSort(keys.data(), spare.data(), keys.size(), [](const Key &k) { return uint64_t(k.volume); });
    }
    slotOf_.assign(size_t(maxFile) + 1, kNone);
    slots_.reserve(keys.size());
    for (const Key &k : keys) {
        slotOf_[k.file] = uint32_t(slots_.size());
        Slot &s = slots_.emplace_back();
        s.entry.inode = k.inode;
        s.device = deviceOf[k.volume];
        s.volume = k.volume;
    }
    keys = {};

    // A volume the store holds nothing of (a first search, or a store just
    // emptied) is not looked up: one indexed step instead of a pass over
    // every candidate.
    bool any = false;
    std::vector<bool> held(volumes_.size());
    for (size_t v = 0; v < volumes_.size(); ++v) {
        held[v] = store_->hasEntries(volumes_[v]);
        if (!store_->isOpen()) {
            problem_ = store_->problem();
            slots_.clear();
            slotOf_.clear();
            return;
        }
        any = any || held[v];
    }
    if (!any)
        return;

    // One lookup per volume, inodes in ascending order, each entry put
    // straight into the slots of its inode (hard links may repeat one).
    std::vector<uint64_t> inodes;
    for (size_t k = 0; k < slots_.size();) {
        const uint32_t v = slots_[k].volume;
        size_t j = k;
        inodes.clear();
        while (j < slots_.size() && slots_[j].volume == v) {
            const uint64_t inode = slots_[j++].entry.inode;
            if (inodes.empty() || inodes.back() != inode)
                inodes.push_back(inode);
        }
        if (!held[v]) {
            k = j;
            continue;
        }
        size_t m = k;
        const bool ok = store_->lookupSorted(volumes_[v], inodes, [&](const HashStore::Entry &e) {
            while (m < j && slots_[m].entry.inode < e.inode)
                ++m;
            for (; m < j && slots_[m].entry.inode == e.inode; ++m) {
                Slot &s = slots_[m];
                s.entry = e;
                s.stored = true;
            }
        });
        if (!ok) {
            problem_ = store_->problem();
            slots_.clear();
            slotOf_.clear();
            return;
        }
        k = j;
    }
}

bool RememberedHashes::knows(uint32_t file) const
{
    if (file >= slotOf_.size() || slotOf_[file] == kNone)
        return false;
    const Slot &s = slots_[slotOf_[file]];
    return s.stored && (s.entry.have & HashStore::First);
}

bool RememberedHashes::recall(uint32_t file, const VolumeIds::Stat &now)
{
    if (!knows(file))
        return false;
    Slot &s = slots_[slotOf_[file]];
    const HashStore::Entry &e = s.entry;
    s.matched = now.regular && now.device == s.device && now.inode == e.inode && now.size == e.size
        && now.modifiedNs == e.modifiedNs && now.changedNs == e.changedNs;
    if (!s.matched) {
        // Another file, or this one changed: what was stored says nothing.
        s.entry.have = 0;
        return false;
    }
    return true;
}

bool RememberedHashes::hash(uint32_t file, int round, Hash &out) const
{
    if (file >= slotOf_.size() || slotOf_[file] == kNone || round < 1 || round > 3)
        return false;
    const Slot &s = slots_[slotOf_[file]];
    if (!s.matched || !(s.entry.have & (1 << (round - 1))))
        return false;
    out = s.entry.hash[round - 1];
    return true;
}

void RememberedHashes::computed(uint32_t file, int round, const Hash &h, int64_t size, int64_t modifiedNs,
                                int64_t changedNs)
{
    if (file >= slotOf_.size() || slotOf_[file] == kNone || round < 1 || round > 3)
        return;
    Slot &s = slots_[slotOf_[file]];
    HashStore::Entry &e = s.entry;
    if (!s.matched && !s.dirty) {
        e.have = 0;
        e.size = size;
        e.modifiedNs = modifiedNs;
        e.changedNs = changedNs;
    } else if (e.size != size || e.modifiedNs != modifiedNs || e.changedNs != changedNs) {
        // The file changed between rounds: only the latest state is kept.
        e.have = 0;
        e.size = size;
        e.modifiedNs = modifiedNs;
        e.changedNs = changedNs;
    }
    e.hash[round - 1] = h;
    e.have |= uint8_t(1 << (round - 1));
    s.dirty = true;
}

void RememberedHashes::renumber(const std::vector<uint32_t> &order)
{
    std::vector<uint32_t> slotOf(order.size(), kNone);
    for (size_t k = 0; k < order.size(); ++k)
        if (order[k] < slotOf_.size())
            slotOf[k] = slotOf_[order[k]];
    slotOf_ = std::move(slotOf);
}

void RememberedHashes::end(bool save)
{
    begun_ = false;
    if (!save || !store_ || !store_->isOpen() || slots_.empty()) {
        slots_ = {};
        slotOf_ = {};
        store_.reset();
        return;
    }
    // The writer thread picks what is new from the slots itself: the search
    // hands them over and goes on at once.
    slotOf_ = {};
    Writer &w = writer();
    std::lock_guard hold(w.lock);
    if (w.thread.joinable())
        w.thread.join();
    auto store = std::shared_ptr<HashStore>(std::move(store_));
    auto filled = std::move(slots_);
    std::vector<int64_t> volumes = std::move(volumes_);
    w.thread = std::thread([store, filled = std::move(filled), volumes = std::move(volumes), day = today_]() mutable {
        std::vector<HashStore::Write> writes;
        for (const Slot &s : filled) {
            if (s.dirty)
                writes.push_back({volumes[s.volume], s.entry, false});
            else if (s.matched && s.entry.seen != day)
                writes.push_back({volumes[s.volume], s.entry, true});
        }
        filled = {};
        const bool written = writes.empty() || store->write(std::move(writes), day);
        std::lock_guard hold(writer().problemLock);
        if (!written)
            writer().problem = store->problem();
    });
    slots_ = {};
    volumes_ = {};
}

QString RememberedHashes::note() const { return HashStore::problemText(problem_, path_); }

HashStore::Problem RememberedHashes::forget(const std::string &storePath)
{
    settle();
    if (!QFile::exists(QString::fromLocal8Bit(storePath)))
        return HashStore::Problem::None;
    HashStore store(storePath);
    if (!store.open(scheme(), HashStore::today()))
        return store.problem() == HashStore::Problem::Damaged ? HashStore::Problem::None : store.problem();
    return store.forgetAll() ? HashStore::Problem::None : store.problem();
}
