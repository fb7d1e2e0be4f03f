#include "finders/ContentSearch.h"

#include "common/Text.h"
#include "finders/FolderAnchors.h"
#include "finders/RememberedHashes.h"
#include "platform/AnchoredPath.h"
#include "platform/ContentFile.h"

#include <xxhash.h>

#include <algorithm>
#include <cerrno>
#include <numeric>

struct ContentSearch::State {
    XXH128_hash_t hash{0, 0}; // of what the last round read
    int64_t modifiedNs = 0;   // the state taken when the file was first opened
    int64_t changedNs = 0;
    Outcome outcome = Outcome::Ok;
    bool complete = false; // read whole: the hash stands for the contents
    uint16_t counted = 0;  // bytes of it counted in the progress by rounds 1 and 2
};

// What one worker keeps between files: the folder it has open (the files of
// a round come folder by folder), the open file, a buffer and a hash state.
struct ContentSearch::Worker {
    uint32_t folder = UINT32_MAX;
    UniqueFd folderFd;
    int folderError = 0;
    ContentFile file;
    std::string name;
    std::unique_ptr<char[]> buffer{new char[kChunk]};
    XXH3_state_t *hash = XXH3_createState();
    // Progress not yet added to the search's shared counts: threads that
    // added every file at once would contend for them.
    Tally tally;
    ~Worker() { XXH3_freeState(hash); }
};

namespace {
int64_t nanos(const timespec &t) { return int64_t(t.tv_sec) * 1000000000 + t.tv_nsec; }

bool sameHash(const XXH128_hash_t &a, const XXH128_hash_t &b) { return a.low64 == b.low64 && a.high64 == b.high64; }
bool hashLess(const XXH128_hash_t &a, const XXH128_hash_t &b)
{
    return a.high64 != b.high64 ? a.high64 < b.high64 : a.low64 < b.low64;
}
}

ContentSearch::ContentSearch(std::vector<std::string> folders, std::vector<File> files)
    : folders_(std::move(folders)), files_(std::move(files)), state_(files_.size()),
      anchors_(std::make_unique<FolderAnchors>())
{
}

ContentSearch::~ContentSearch()
{
    cancel();
    wait();
}

void ContentSearch::start(unsigned threads)
{
    // Anchors are found on this thread (finding one reads the mount list);
    // the workers open each folder below its drive's anchor.
    std::vector<bool> used(folders_.size());
    for (const File &f : files_)
        if (f.folder < used.size())
            used[f.folder] = true;
    anchors_->find(folders_, used);
    if (threads == 0)
        threads = unsigned(WorkerPool::shared().size());
    task_ = std::make_unique<WorkerPool::Group>();
    task_->submit([this, threads](std::stop_token) { search(threads); });
}

void ContentSearch::cancel()
{
    cancel_ = true;
    if (task_)
        task_->requestStop();
}

void ContentSearch::wait()
{
    if (task_)
        task_->wait();
}

void ContentSearch::run(unsigned threads)
{
    start(threads);
    wait();
}

ContentSearch::Progress ContentSearch::progress() const
{
    return {filesDone_.load(), filesTotal_.load(), bytesDone_.load(), bytesTotal_.load()};
}

QString ContentSearch::progressText(const Progress &p)
{
    return QStringLiteral("Comparing contents: %1 of %2 files, %3 of %4 bytes")
        .arg(formatThousands(int64_t(p.files)), formatThousands(int64_t(p.filesTotal)),
             formatThousands(int64_t(p.bytes)), formatThousands(int64_t(p.bytesTotal)));
}

void ContentSearch::search(unsigned threads)
{
    // Files of one size, hard links of one file counted once: the first in
    // the given order stands for the others. The given order mostly keeps
    // files of one size together (the window's does): its runs of one size
    // are taken as they are unless a size comes back in a later run, and
    // then the files are sorted by size, in a tight sort of plain pairs.
    std::vector<uint32_t> order;
    order.reserve(files_.size());
    std::vector<int64_t> runSizes;
    for (uint32_t i = 0; i < files_.size(); ++i)
        if (files_[i].size > 0) {
            if (order.empty() || files_[order.back()].size != files_[i].size)
                runSizes.push_back(files_[i].size);
            order.push_back(i);
        }
    std::sort(runSizes.begin(), runSizes.end());
    if (std::adjacent_find(runSizes.begin(), runSizes.end()) != runSizes.end()) {
        std::vector<std::pair<int64_t, uint32_t>> bySize;
        bySize.reserve(order.size());
        for (uint32_t i : order)
            bySize.emplace_back(files_[i].size, i);
        std::sort(bySize.begin(), bySize.end());
        for (size_t k = 0; k < bySize.size(); ++k)
            order[k] = bySize[k].second;
    }
    runSizes = {};
    // Within a size: by identity, then in the given order; the runs are
    // split in parts at run ends, each part grouped on a thread of its own.
    const size_t parts = partsFor(order.size(), threads);
    std::vector<size_t> cut(parts + 1, order.size());
    cut[0] = 0;
    for (size_t p = 1; p < parts; ++p) {
        size_t at = std::max(cut[p - 1], order.size() * p / parts);
        while (at > cut[p - 1] && at < order.size() && files_[order[at]].size == files_[order[at - 1]].size)
            ++at;
        cut[p] = at;
    }
    std::vector<std::vector<std::vector<uint32_t>>> grouped(parts);
    WorkerPool::shared().runChunks(parts, [&](size_t p) {
        uint64_t files = 0, bytes = 0;
        for (size_t i = cut[p]; i < cut[p + 1];) {
            size_t j = i + 1;
            while (j < cut[p + 1] && files_[order[j]].size == files_[order[i]].size)
                ++j;
            if (j - i < 2) {
                i = j;
                continue;
            }
            std::sort(order.begin() + std::ptrdiff_t(i), order.begin() + std::ptrdiff_t(j),
                      [&](uint32_t a, uint32_t b) {
                          if (device(a) != device(b))
                              return device(a) < device(b);
                          if (files_[a].inode != files_[b].inode)
                              return files_[a].inode < files_[b].inode;
                          return a < b;
                      });
            std::vector<uint32_t> group;
            for (size_t k = i; k < j; ++k) {
                const uint32_t at = order[k];
                if (group.empty() || device(group.back()) != device(at)
                    || files_[group.back()].inode != files_[at].inode)
                    group.push_back(at);
            }
            if (group.size() >= 2) {
                for (uint32_t k : group) {
                    files += 1;
                    bytes += uint64_t(files_[k].size);
                }
                grouped[p].push_back(std::move(group));
            }
            i = j;
        }
        filesTotal_ += files;
        bytesTotal_ += bytes;
    });
    std::vector<std::vector<uint32_t>> open = std::move(grouped[0]);
    for (size_t p = 1; p < parts; ++p)
        std::move(grouped[p].begin(), grouped[p].end(), std::back_inserter(open));
    grouped = {};
    order = {};
    // The files were grouped without the remembered hashes; a caller that
    // began them on another thread waits for them from here.
    if (beforeSearch)
        beforeSearch();
    if (memory && !memory->begun()) {
        std::vector<RememberedHashes::Candidate> candidates;
        for (const auto &g : open)
            for (uint32_t i : g)
                candidates.push_back({i, device(i), files_[i].inode});
        memory->begin(candidates);
    }

    for (int round = 1; round <= 3 && !cancel_ && !open.empty(); ++round) {
        // Files whose remembered hash stands for the round's read are done
        // here (in parts of the groups, each on a thread); the others are
        // read folder by folder, in the walk's order.
        const std::vector<size_t> at = groupParts(open, memory ? threads : 1);
        std::vector<std::vector<uint64_t>> toRead(at.size() - 1);
        WorkerPool::shared().runChunks(at.size() - 1, [&](size_t p) {
            Tally t;
            for (size_t g = at[p]; g < at[p + 1]; ++g)
                for (uint32_t i : open[g])
                    if (!memory || !recalled(i, round, t))
                        toRead[p].push_back(uint64_t(files_[i].folder) << 32 | i);
            add(t);
        });
        std::vector<uint64_t> byFolder = std::move(toRead[0]);
        for (size_t p = 1; p < toRead.size(); ++p)
            byFolder.insert(byFolder.end(), toRead[p].begin(), toRead[p].end());
        toRead = {};
        std::sort(byFolder.begin(), byFolder.end());
        std::vector<uint32_t> todo(byFolder.size());
        for (size_t k = 0; k < byFolder.size(); ++k)
            todo[k] = uint32_t(byFolder[k]);
        byFolder = {};
        runRound(round, todo, threads);
        if (cancel_)
            break;
        regroup(open, threads);
    }
    if (memory)
        memory->end(!cancel_);
    if (cancel_) {
        groups_.clear();
    } else {
        for (auto &g : groups_)
            std::sort(g.begin(), g.end());
        std::sort(groups_.begin(), groups_.end(), [](const auto &a, const auto &b) { return a.front() < b.front(); });
    }
    finished_ = true;
    if (onFinished)
        onFinished();
}

void ContentSearch::runRound(int round, const std::vector<uint32_t> &todo, unsigned threads)
{
    std::atomic<size_t> next{0};
    // The whole-file round hands out one file at a time, the others a few.
    const size_t batch = round == 3 ? 1 : 16;
    auto work = [&] {
        Worker w;
        for (;;) {
            const size_t at = next.fetch_add(batch);
            if (at >= todo.size() || cancel_)
                break;
            const size_t end = std::min(todo.size(), at + batch);
            for (size_t k = at; k < end && !cancel_; ++k)
                readOne(w, todo[k], round);
            add(w.tally);
            w.tally = {};
        }
    };
    // Each chunk takes batches until none is left: a chunk the pool's
    // threads begin late finds the round done and ends at once.
    const size_t n = std::min<size_t>(threads, (todo.size() + batch - 1) / batch);
    WorkerPool::shared().runChunks(n, [&](size_t) { work(); });
}

void ContentSearch::readOne(Worker &w, uint32_t i, int round)
{
    const File &f = files_[i];
    State &s = state_[i];
    // Progress: a file's bytes are counted as they are read; when the file
    // needs no further reading (left out, or read whole) the rest of its
    // size and the file itself are counted too.
    uint64_t counted = s.counted;
    const auto countTo = [&](uint64_t to) {
        if (to > counted) {
            w.tally.bytes += to - counted;
            counted = to;
            if (w.tally.bytes >= (uint64_t(1) << 22)) { // a large file's reading shows as it goes
                bytesDone_ += w.tally.bytes;
                w.tally.bytes = 0;
            }
        }
    };
    const auto finish = [&] {
        if (s.outcome != Outcome::Ok || s.complete) {
            countTo(uint64_t(f.size));
            ++w.tally.files;
        }
        s.counted = uint16_t(std::min<uint64_t>(counted, UINT16_MAX));
    };
    const auto leaveOut = [&](Outcome o) {
        s.outcome = o;
        if (o == Outcome::Unreadable)
            ++unreadable_;
        else
            ++leftOut_;
        w.file.close();
    };
    const auto failed = [&](int error) {
        leaveOut(error == ENOENT ? Outcome::Vanished
                 : (error == ELOOP || error == EINVAL || error == ENOTDIR || error == EXDEV) ? Outcome::Changed
                                                                                              : Outcome::Unreadable);
        finish();
    };

    if (w.folder != f.folder) {
        w.folder = f.folder;
        w.folderFd = anchors_->open(f.folder, folders_[f.folder], w.folderError);
    }
    if (!w.folderFd)
        return failed(w.folderError);
    w.name.assign(f.name, f.nameLen);
    const uint64_t size = uint64_t(f.size);
    // A file the walk gave no times of is looked at here before its
    // remembered hashes may stand for its reads.
    if (memory && round == 1 && f.changedNs == 0 && memory->knows(i)) {
        VolumeIds::Stat now;
        if (VolumeIds::statAt(w.folderFd.get(), w.name.c_str(), now) && now.device == device(i)
            && now.inode == f.inode && now.size == f.size && memory->recall(i, now)) {
            ++w.tally.recalls;
            s.modifiedNs = now.modifiedNs;
            s.changedNs = now.changedNs;
            if (recalled(i, round, w.tally))
                return;
        }
    }
    int error = 0;
    if (!w.file.open(w.folderFd.get(), w.name.c_str(), error))
        return failed(error);
    FileIdentity before;
    if (!w.file.identity(before))
        return failed(errno);
    if (round == 1) {
        // The file the walk found, as it was then.
        if (before.device != device(i) || before.inode != f.inode || before.size != f.size)
            return leaveOut(Outcome::Changed), finish();
        s.modifiedNs = nanos(before.modified);
        s.changedNs = nanos(before.changed);
    } else if (before.size != f.size || nanos(before.modified) != s.modifiedNs
               || nanos(before.changed) != s.changedNs || before.device != device(i) || before.inode != f.inode) {
        return leaveOut(Outcome::Changed), finish();
    }

    char *buf = w.buffer.get();
    if (round < 3) {
        // One block: the first (a small file whole), or the last.
        const bool whole = round == 1 && size <= kWholeAtOnce;
        const size_t n = whole ? size_t(size) : kBlock;
        const uint64_t at = round == 1 ? 0 : size - kBlock;
        const int64_t got = w.file.read(at, buf, n, ContentFile::Pattern::Block, error);
        if (got < 0)
            return failed(error);
        countTo(counted + uint64_t(got));
        if (uint64_t(got) != n)
            return leaveOut(Outcome::Changed), finish();
        s.hash = XXH3_128bits(buf, n);
        s.complete = whole;
    } else {
        XXH3_128bits_reset(w.hash);
        uint64_t at = 0;
        while (at < size) {
            if (cancel_)
                return w.file.close();
            const size_t n = size_t(std::min<uint64_t>(kChunk, size - at));
            const int64_t got = w.file.read(at, buf, n, ContentFile::Pattern::Whole, error);
            if (got < 0)
                return failed(error);
            if (got == 0)
                break;
            XXH3_128bits_update(w.hash, buf, size_t(got));
            at += uint64_t(got);
            countTo(at);
        }
        if (at != size)
            return leaveOut(Outcome::Changed), finish();
        s.hash = XXH3_128bits_digest(w.hash);
        s.complete = true;
    }
    if (afterRead)
        afterRead(i, round);
    // Still the same file in the same state, and nothing beyond its size.
    FileIdentity after;
    if (!w.file.identity(after) || after.links == 0)
        return leaveOut(Outcome::Vanished), finish();
    if (!after.sameState(before))
        return leaveOut(Outcome::Changed), finish();
    w.file.close();
    if (memory)
        memory->computed(i, round, {s.hash.low64, s.hash.high64}, f.size, s.modifiedNs, s.changedNs);
    finish();
}

bool ContentSearch::recalled(uint32_t i, int round, Tally &t)
{
    const File &f = files_[i];
    State &s = state_[i];
    // The walk's own look at the file, a moment ago in this search, tells
    // its state when it gave the times; that saves a second stat of every
    // candidate. A file it gave no times of is left to its reader.
    if (round == 1 && f.changedNs != 0 && memory->knows(i)
        && memory->recall(i, {device(i), f.inode, f.size, f.modifiedNs, f.changedNs, true})) {
        ++t.recalls;
        s.modifiedNs = f.modifiedNs;
        s.changedNs = f.changedNs;
    }
    RememberedHashes::Hash h;
    if (!memory->hash(i, round, h))
        return false;
    s.hash = {h.low, h.high};
    s.complete = round == 3 || (round == 1 && uint64_t(f.size) <= kWholeAtOnce);
    // Progress as if the round had read it.
    const uint64_t size = uint64_t(f.size);
    const uint64_t to = s.complete ? size : uint64_t(s.counted) + kBlock;
    if (to > s.counted)
        t.bytes += to - s.counted;
    if (s.complete)
        ++t.files;
    s.counted = uint16_t(std::min<uint64_t>(to, UINT16_MAX));
    return true;
}

void ContentSearch::add(const Tally &t)
{
    if (t.files)
        filesDone_ += t.files;
    if (t.bytes)
        bytesDone_ += t.bytes;
    if (t.recalls)
        memory->countRecalled(t.recalls);
}

size_t ContentSearch::partsFor(size_t files, unsigned threads)
{
    return std::clamp<size_t>(files / std::max<size_t>(filesAPart, 1), 1, std::max(threads, 1u));
}

std::vector<size_t> ContentSearch::groupParts(const std::vector<std::vector<uint32_t>> &open, unsigned threads)
{
    size_t files = 0;
    for (const auto &g : open)
        files += g.size();
    const size_t parts = partsFor(files, threads);
    // Where each part's groups begin, about as many files in each.
    std::vector<size_t> at{0};
    size_t seen = 0;
    for (size_t g = 0; g < open.size() && at.size() < parts; ++g) {
        seen += open[g].size();
        if (seen >= files * at.size() / parts)
            at.push_back(g + 1);
    }
    at.push_back(open.size());
    return at;
}

void ContentSearch::regroup(std::vector<std::vector<uint32_t>> &open, unsigned threads)
{
    // Parts of the groups split on threads of their own.
    const std::vector<size_t> at = groupParts(open, threads);
    struct Split {
        std::vector<std::vector<uint32_t>> next, done;
    };
    std::vector<Split> split(at.size() - 1);
    WorkerPool::shared().runChunks(split.size(), [&](size_t p) {
        Tally settled;
        for (size_t n = at[p]; n < at[p + 1]; ++n) {
            std::vector<uint32_t> &g = open[n];
            // Files left out were counted in the progress when they were;
            // the others are split by the round's hash.
            const auto end =
                std::remove_if(g.begin(), g.end(), [&](uint32_t i) { return state_[i].outcome != Outcome::Ok; });
            std::sort(g.begin(), end, [&](uint32_t a, uint32_t b) {
                return sameHash(state_[a].hash, state_[b].hash) ? a < b : hashLess(state_[a].hash, state_[b].hash);
            });
            for (auto k = g.begin(); k != end;) {
                auto j = k + 1;
                while (j != end && sameHash(state_[*j].hash, state_[*k].hash))
                    ++j;
                // Files of one size are read alike: all whole or none. A
                // file read whole was counted as it was read; one left alone
                // now needs no more reading.
                const bool complete = state_[*k].complete;
                if (j - k >= 2) {
                    (complete ? split[p].done : split[p].next).emplace_back(k, j);
                } else if (!complete) {
                    ++settled.files;
                    settled.bytes += uint64_t(files_[*k].size) - state_[*k].counted;
                }
                k = j;
            }
        }
        add(settled);
    });
    open.clear();
    for (Split &s : split) {
        std::move(s.next.begin(), s.next.end(), std::back_inserter(open));
        std::move(s.done.begin(), s.done.end(), std::back_inserter(groups_));
    }
}
