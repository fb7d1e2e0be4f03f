#include "finders/PictureSearch.h"

#include "common/Text.h"
#include "finders/FolderAnchors.h"
#include "finders/PictureGroups.h"
#include "platform/AnchoredPath.h"
#include "platform/ContentFile.h"

#include <algorithm>
#include <cerrno>
#include <numeric>

// What one worker keeps between files: the folder it has open (files come
// folder by folder) and the open file.
struct PictureSearch::Worker {
    uint32_t folder = UINT32_MAX;
    UniqueFd folderFd;
    int folderError = 0;
    ContentFile file;
    std::string name;
};

PictureSearch::PictureSearch(std::vector<std::string> folders, std::vector<File> files, int threshold)
    : folders_(std::move(folders)), files_(std::move(files)), threshold_(threshold), state_(files_.size()),
      anchors_(std::make_unique<FolderAnchors>())
{
}

PictureSearch::~PictureSearch()
{
    cancel();
    wait();
}

void PictureSearch::start(unsigned threads)
{
    // Anchors are found on this thread (finding one reads the mount list).
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

void PictureSearch::cancel()
{
    cancel_ = true;
    if (task_)
        task_->requestStop();
}

void PictureSearch::wait()
{
    if (task_)
        task_->wait();
}

void PictureSearch::run(unsigned threads)
{
    start(threads);
    wait();
}

PictureSearch::Progress PictureSearch::progress() const
{
    return {filesDone_.load(), filesTotal_.load(), bytesDone_.load(), bytesTotal_.load()};
}

QString PictureSearch::progressText(const Progress &p)
{
    return QStringLiteral("Comparing pictures: %1 of %2 files, %3 of %4 bytes")
        .arg(formatThousands(int64_t(p.files)), formatThousands(int64_t(p.filesTotal)),
             formatThousands(int64_t(p.bytes)), formatThousands(int64_t(p.bytesTotal)));
}

void PictureSearch::search(unsigned threads)
{
    // One picture per file: of several names of one file the first in list
    // order stands for the others.
    std::vector<uint32_t> todo(files_.size());
    std::iota(todo.begin(), todo.end(), 0u);
    std::sort(todo.begin(), todo.end(), [&](uint32_t a, uint32_t b) {
        const File &x = files_[a], &y = files_[b];
        if (x.device != y.device)
            return x.device < y.device;
        return x.inode != y.inode ? x.inode < y.inode : a < b;
    });
    todo.erase(std::unique(todo.begin(), todo.end(),
                           [&](uint32_t a, uint32_t b) {
                               return files_[a].device == files_[b].device && files_[a].inode == files_[b].inode;
                           }),
               todo.end());
    for (uint32_t i : todo) {
        filesTotal_ += 1;
        bytesTotal_ += uint64_t(files_[i].size);
    }
    // Folder by folder, as the walk found them.
    std::sort(todo.begin(), todo.end(), [&](uint32_t a, uint32_t b) {
        return files_[a].folder != files_[b].folder ? files_[a].folder < files_[b].folder : a < b;
    });
    std::atomic<size_t> next{0};
    constexpr size_t kBatch = 4;
    const size_t n = std::min<size_t>(threads, (todo.size() + kBatch - 1) / kBatch);
    WorkerPool::shared().runChunks(n, [&](size_t) {
        Worker w;
        for (;;) {
            const size_t at = next.fetch_add(kBatch);
            if (at >= todo.size() || cancel_)
                break;
            for (size_t k = at; k < std::min(todo.size(), at + kBatch) && !cancel_; ++k)
                readOne(w, todo[k]);
        }
    });
    if (!cancel_) {
        // The copy most worth keeping first: most pixels, then the largest
        // file, then the oldest, then list order.
        std::vector<uint32_t> preference;
        for (uint32_t i : todo)
            if (state_[i].ok)
                preference.push_back(i);
        std::sort(preference.begin(), preference.end(), [&](uint32_t a, uint32_t b) {
            const uint64_t pa = state_[a].picture.pixels(), pb = state_[b].picture.pixels();
            if (pa != pb)
                return pa > pb;
            if (files_[a].size != files_[b].size)
                return files_[a].size > files_[b].size;
            if (files_[a].written != files_[b].written)
                return files_[a].written < files_[b].written;
            return a < b;
        });
        std::vector<uint64_t> hashes(files_.size());
        for (uint32_t i : preference)
            hashes[i] = state_[i].picture.hash;
        groups_ = PictureGroups::group(hashes, preference, threshold_);
        std::sort(groups_.begin(), groups_.end(), [](const auto &a, const auto &b) {
            return *std::min_element(a.begin(), a.end()) < *std::min_element(b.begin(), b.end());
        });
    }
    if (cancel_)
        groups_.clear();
    finished_ = true;
    if (onFinished)
        onFinished();
}

std::string PictureSearch::path(uint32_t file) const
{
    const File &f = files_[file];
    const std::string &folder = folders_[f.folder];
    return folder + (folder.ends_with('/') ? "" : "/") + std::string(f.name, f.nameLen);
}

void PictureSearch::readOne(Worker &w, uint32_t i)
{
    const File &f = files_[i];
    State &s = state_[i];
    uint64_t counted = 0;
    // A file's bytes are counted as they are read; whatever its end, the
    // rest of its size and the file itself are counted when it is done.
    const auto done = [&] {
        bytesDone_ += uint64_t(f.size) - std::min<uint64_t>(counted, uint64_t(f.size));
        ++filesDone_;
        w.file.close();
    };
    const auto leaveOut = [&] {
        ++leftOut_;
        done();
    };
    const auto failed = [&](int error) {
        if (error == ENOENT || error == ELOOP || error == EINVAL || error == ENOTDIR || error == EXDEV)
            ++leftOut_;
        else
            ++unreadable_;
        done();
    };

    if (w.folder != f.folder) {
        w.folder = f.folder;
        w.folderFd = anchors_->open(f.folder, folders_[f.folder], w.folderError);
    }
    if (!w.folderFd)
        return failed(w.folderError);
    if (f.size > PictureHash::kMaxBytes) {
        ++skipped_;
        return done();
    }
    w.name.assign(f.name, f.nameLen);
    int error = 0;
    if (!w.file.open(w.folderFd.get(), w.name.c_str(), error))
        return failed(error);
    FileIdentity before;
    if (!w.file.identity(before))
        return failed(errno);
    // The file the walk found, as it was then.
    if (before.device != f.device || before.inode != f.inode || before.size != f.size)
        return leaveOut();
    QByteArray bytes(qsizetype(f.size), Qt::Uninitialized);
    uint64_t at = 0;
    while (at < uint64_t(f.size)) {
        if (cancel_)
            return w.file.close();
        const size_t n = size_t(std::min<uint64_t>(kChunk, uint64_t(f.size) - at));
        const int64_t got = w.file.read(at, bytes.data() + at, n, ContentFile::Pattern::Whole, error);
        if (got < 0)
            return failed(error);
        if (got == 0)
            break;
        at += uint64_t(got);
        bytesDone_ += uint64_t(got);
        counted = at;
    }
    if (at != uint64_t(f.size))
        return leaveOut();
    if (afterRead)
        afterRead(i);
    // Still the same file in the same state.
    FileIdentity after;
    if (!w.file.identity(after) || after.links == 0 || !after.sameState(before))
        return leaveOut();
    w.file.close();
    const PictureHash::Decode d = PictureHash::fromBytes(bytes, s.picture);
    if (d == PictureHash::Decode::Ok)
        s.ok = true;
    else
        ++skipped_;
    done();
}
