// ResultGridModel: marking rows, the marked files' totals (from the files on
// disk) and the status line that shows them.
#include "scan/ResultGridModel.h"

#include "common/Text.h"
#include "common/WorkerPool.h"
#include "platform/FileLookup.h"

#include <algorithm>
#include <atomic>

bool ResultGridModel::isMarked(int row) const
{
    const int s = slotOf(row);
    return s >= 0 && marked(uint32_t(s));
}

void ResultGridModel::toggleSlot(uint32_t slot, bool lookedUp, std::optional<int64_t> size)
{
    if (marks_.size() < slots_.size())
        marks_.resize(slots_.size());
    Mark &m = marks_[slot];
    // The list of marked paths is built from the marking order when asked,
    // so a toggle costs the file look-up and nothing per other row.
    lbDeletedStale_ = true;
    if (m.seq != 0) {
        m.seq = 0;
        // Exactly what was added when the row was marked comes off again, so
        // marking twice restores the totals even when the file changed.
        if (m.counted >= 0) {
            --markedCount_;
            markedSize_ -= m.counted;
            m.counted = -1;
        }
        return;
    }
    m.seq = nextMark_++;
    if (!lookedUp)
        size = FileLookup::fileSize(pathOf(slots_[slot]));
    if (size) {
        ++markedCount_;
        markedSize_ += *size;
        m.counted = *size;
    }
}

void ResultGridModel::toggle(int row)
{
    const int s = slotOf(row);
    if (s < 0 || layout_.markColumn < 0)
        return;
    toggleSlot(uint32_t(s), false, std::nullopt);
}

const std::vector<std::string> &ResultGridModel::lbDeleted() const
{
    if (lbDeletedStale_) {
        std::vector<std::pair<uint32_t, uint32_t>> list; // marking order, slot
        for (size_t i = 0; i < marks_.size(); ++i)
            if (marks_[i].seq != 0)
                list.emplace_back(marks_[i].seq, uint32_t(i));
        std::sort(list.begin(), list.end());
        lbDeleted_.clear();
        lbDeleted_.reserve(list.size());
        for (const auto &m : list)
            lbDeleted_.push_back(pathOf(slots_[m.second]));
        lbDeletedStale_ = false;
    }
    return lbDeleted_;
}

void ResultGridModel::deleteOneFile(int row)
{
    if (slotOf(row) < 0 || layout_.markColumn < 0)
        return;
    toggle(row);
    if (row - 1 < shown_)
        emit dataChanged(index(row - 1, layout_.markColumn), index(row - 1, layout_.markColumn));
    showStatus();
}

void ResultGridModel::clearAllMarks()
{
    markedCount_ = 0;
    markedSize_ = 0;
    nextMark_ = 1;
    lbDeleted_.clear();
    lbDeletedStale_ = false;
    marks_ = {};
    if (layout_.markColumn >= 0 && shown_ > 0)
        emit dataChanged(index(0, layout_.markColumn), index(shown_ - 1, layout_.markColumn));
}

std::vector<int64_t> ResultGridModel::lookUpSizes() const
{
    // Every file's size (-1: none), looked up folder by folder: the files of
    // each folder are found by one pass of a counting sort, and the folders
    // are shared out among a few threads (the look-ups are system calls).
    const size_t n = slots_.size();
    std::vector<int64_t> sizes(n, -1);
    std::vector<uint32_t> start(folders_.size() + 1, 0);
    for (const Slot &s : slots_)
        ++start[s.folder + 1];
    for (size_t f = 1; f < start.size(); ++f)
        start[f] += start[f - 1];
    std::vector<uint32_t> bySlot(n);
    {
        std::vector<uint32_t> at(start.begin(), start.end() - 1);
        for (size_t i = 0; i < n; ++i)
            bySlot[at[slots_[i].folder]++] = uint32_t(i);
    }
    std::atomic<size_t> next{0};
    const auto work = [&]() {
        std::string name;
        for (size_t f; (f = next.fetch_add(1)) < folders_.size();) {
            if (start[f] == start[f + 1])
                continue;
            const Folder &folder = folders_[f];
            const FileLookup::FolderSizes lookup(std::string(bytes_.at(folder.at), folder.len));
            for (uint32_t i = start[f]; i < start[f + 1]; ++i) {
                const Slot &s = slots_[bySlot[i]];
                name.assign(nameBytes(s));
                if (const auto size = lookup.size(name))
                    sizes[bySlot[i]] = *size;
            }
        }
    };
    // On the program's worker pool; the calling thread takes a share too.
    const size_t threads = n < 20000 ? 1 : size_t(std::clamp(WorkerPool::machineSize(), 1, 4));
    WorkerPool::shared().runChunks(threads, [&](size_t) { work(); });
    return sizes;
}

void ResultGridModel::markAll()
{
    clearAllMarks();
    if (layout_.markColumn < 0)
        return;
    const std::vector<int64_t> sizes = lookUpSizes();
    marks_.resize(slots_.size());
    for (uint32_t slot : order_)
        toggleSlot(slot, true, sizes[slot] >= 0 ? std::optional<int64_t>(sizes[slot]) : std::nullopt);
    if (shown_ > 0)
        emit dataChanged(index(0, layout_.markColumn), index(shown_ - 1, layout_.markColumn));
    if (rowsFilled() > 0)
        showStatus();
}

void ResultGridModel::unmarkAll()
{
    clearAllMarks();
    showStatus();
}

QString ResultGridModel::statusText() const
{
    const QString &f = layout_.statusFormat;
    QString out;
    for (qsizetype i = 0; i < f.size(); ++i) {
        if (f.at(i) == QLatin1Char('%') && i + 1 < f.size()) {
            const QChar k = f.at(i + 1);
            if (k == QLatin1Char('d')) {
                out += QString::number(markedCount_);
                ++i;
                continue;
            }
            if (k == QLatin1Char('s')) {
                out += formatThousands(markedSize());
                ++i;
                continue;
            }
        }
        out += f.at(i);
    }
    return out;
}

void ResultGridModel::showStatus() const
{
    if (layout_.statusSink)
        layout_.statusSink(statusText());
}
