#include "inspect/PagedFile.h"

#include <algorithm>
#include <cstring>

bool PagedFile::open(const std::string &path)
{
    close();
    if (!file_.open(path, RawFile::Mode::ReadFollowing))
        return false;
    path_ = path;
    size_ = file_.size();
    if (size_ == 0) {
        // Read to the end: a size of 0 does not mean empty here.
        for (;;) {
            const size_t want = std::min(kPageSize, kMaxUnsized - whole_.size());
            if (want == 0)
                break;
            const size_t at = whole_.size();
            whole_.resize(at + want);
            const int64_t got = file_.readAt(at, whole_.data() + at, want);
            whole_.resize(at + size_t(std::max<int64_t>(got, 0)));
            if (got <= 0)
                break;
        }
        whole_.shrink_to_fit();
        inMemory_ = !whole_.empty();
        size_ = whole_.size();
    }
    return true;
}

void PagedFile::close()
{
    file_.close();
    pages_.clear();
    pages_.shrink_to_fit();
    scanBuf_.clear();
    scanBuf_.shrink_to_fit();
    whole_.clear();
    whole_.shrink_to_fit();
    inMemory_ = false;
    size_ = 0;
    path_.clear();
}

size_t PagedFile::readInto(uint64_t offset, uint8_t *buf, size_t n) const
{
    if (offset >= size_)
        return 0;
    n = size_t(std::min<uint64_t>(n, size_ - offset));
    if (inMemory_) {
        std::memcpy(buf, whole_.data() + offset, n);
        return n;
    }
    size_t got = 0;
    while (got < n) {
        const int64_t r = file_.readAt(offset + got, buf + got, n - got);
        if (r <= 0)
            break;
        got += size_t(r);
    }
    return got;
}

const PagedFile::Page &PagedFile::page(uint64_t index)
{
    ++clock_;
    for (Page &p : pages_)
        if (p.index == index) {
            p.used = clock_;
            return p;
        }
    Page *slot = nullptr;
    if (pages_.size() < kPagesKept) {
        pages_.emplace_back();
        slot = &pages_.back();
    } else {
        slot = &*std::min_element(pages_.begin(), pages_.end(),
                                  [](const Page &a, const Page &b) { return a.used < b.used; });
    }
    slot->index = index;
    slot->used = clock_;
    slot->data.resize(kPageSize);
    const size_t got = readInto(index * kPageSize, reinterpret_cast<uint8_t *>(slot->data.data()), kPageSize);
    slot->data.resize(got);
    return *slot;
}

std::string PagedFile::read(uint64_t offset, size_t n)
{
    std::string out;
    if (offset >= size_)
        return out;
    n = size_t(std::min<uint64_t>(n, size_ - offset));
    out.reserve(n);
    while (out.size() < n) {
        const uint64_t pos = offset + out.size();
        const Page &p = page(pos / kPageSize);
        const size_t in = size_t(pos % kPageSize);
        if (in >= p.data.size())
            break; // the file shrank since it was opened
        const size_t take = std::min(n - out.size(), p.data.size() - in);
        out.append(p.data, in, take);
    }
    return out;
}

uint8_t PagedFile::at(uint64_t offset)
{
    if (offset >= size_)
        return 0;
    const Page &p = page(offset / kPageSize);
    const size_t in = size_t(offset % kPageSize);
    return in < p.data.size() ? uint8_t(p.data[in]) : 0;
}

bool PagedFile::scan(uint64_t from, uint64_t to, const Piece &f, bool skipHoles)
{
    to = std::min(to, size_);
    if (scanBuf_.size() < kScanChunk)
        scanBuf_.resize(kScanChunk);
    uint64_t dataEnd = skipHoles && !inMemory_ ? 0 : UINT64_MAX; // [pos, dataEnd) is known to hold data
    for (uint64_t pos = from; pos < to;) {
        if (pos >= dataEnd) {
            const uint64_t data = file_.dataAfter(pos);
            if (data > pos) {
                const size_t hole = size_t(std::min({data, to, pos + kHolePiece}) - pos);
                if (!f(nullptr, hole, pos))
                    return true;
                pos += hole;
                continue;
            }
            dataEnd = std::max(pos + 1, file_.holeAfter(pos));
        }
        const size_t want = size_t(std::min({uint64_t(kScanChunk), to - pos, dataEnd - pos}));
        const size_t got = readInto(pos, scanBuf_.data(), want);
        if (got == 0)
            return false;
        if (!f(scanBuf_.data(), got, pos))
            return true;
        pos += got;
    }
    return true;
}
