#include "inspect/LineIndex.h"

#include "inspect/PagedFile.h"

#include <algorithm>
#include <cstring>

#if defined(__SSE2__)
#include <emmintrin.h>
#endif

namespace {
constexpr uint64_t kCheckpointRows = 1024;
constexpr uint64_t kCheckpointMinBytes = 32 * 1024;
constexpr uint64_t kCheckpointMaxBytes = 1024 * 1024;

constexpr size_t kGroup = 4096;

// The number of line feeds in kGroup bytes at p.
inline uint64_t feedsInGroup(const uint8_t *p)
{
#if defined(__SSE2__)
    // Each lane counts its matches in a byte (at most 128 per half), then
    // the bytes are summed.
    const __m128i nl = _mm_set1_epi8('\n');
    __m128i total = _mm_setzero_si128();
    for (size_t half = 0; half < 2; ++half) {
        __m128i acc = _mm_setzero_si128();
        for (size_t k = 0; k < kGroup / 32; ++k)
            acc = _mm_sub_epi8(acc, _mm_cmpeq_epi8(_mm_loadu_si128(reinterpret_cast<const __m128i *>(p + half * kGroup / 2 + 16 * k)), nl));
        total = _mm_add_epi64(total, _mm_sad_epu8(acc, _mm_setzero_si128()));
    }
    return uint64_t(_mm_cvtsi128_si64(total)) + uint64_t(_mm_cvtsi128_si64(_mm_unpackhi_epi64(total, total)));
#else
    uint64_t n = 0;
    for (size_t i = 0; i < kGroup; ++i)
        n += p[i] == '\n';
    return n;
#endif
}

// Rows of a line with c bytes before its line feed.
inline uint64_t rowsOfLine(uint64_t c) { return c == 0 ? 1 : (c + LineIndex::kWidth - 1) / LineIndex::kWidth; }
}

LineIndex::LineIndex(PagedFile &file) : file_(file)
{
    checkpoints_.push_back({0, 0});
    complete_ = file_.size() == 0;
}

bool LineIndex::countRows(uint64_t rows, const KeepGoing &keepGoing)
{
    return countUntil(rows, UINT64_MAX, keepGoing);
}

bool LineIndex::countTo(uint64_t offset, const KeepGoing &keepGoing)
{
    return countUntil(UINT64_MAX, offset, keepGoing);
}

bool LineIndex::countUntil(uint64_t wantRows, uint64_t wantOffset, const KeepGoing &keepGoing)
{
    const uint64_t size = file_.size();
    // s: where the row being counted starts; rows: rows before it.
    uint64_t s = frontOffset_, rows = frontRow_;
    const auto done = [&] { return complete_ || rows > wantRows || s > wantOffset; };
    if (done())
        return true;
    const auto checkpoint = [&] {
        const Checkpoint &last = checkpoints_.back();
        if ((rows - last.row >= kCheckpointRows && s - last.offset >= kCheckpointMinBytes)
            || s - last.offset >= kCheckpointMaxBytes)
            checkpoints_.push_back({rows, s});
    };
    bool stopped = false;
    // Holes of a sparse file hold no line feeds: they are not read.
    bool readOk = file_.scan(s, size, [&](const uint8_t *data, size_t n, uint64_t base) {
        if (data) {
            size_t i = 0;
            for (; i + kGroup <= n; i += kGroup) {
                const uint64_t feeds = feedsInGroup(data + i);
                if (feeds == 0)
                    continue;
                // Only the line ending at the group's first feed can be
                // longer than a row; the others lie within the group.
                const auto *first = static_cast<const uint8_t *>(std::memchr(data + i, '\n', kGroup));
                const auto *last = static_cast<const uint8_t *>(::memrchr(data + i, '\n', kGroup));
                rows += rowsOfLine(base + uint64_t(first - data) - s) + feeds - 1;
                s = base + uint64_t(last - data) + 1;
                checkpoint();
            }
            for (; i < n; ++i) {
                const auto *f = static_cast<const uint8_t *>(std::memchr(data + i, '\n', n - i));
                if (!f)
                    break;
                i = size_t(f - data);
                rows += rowsOfLine(base + i - s);
                s = base + i + 1;
                checkpoint();
            }
        }
        // A long stretch without a feed: the rows it fills are complete
        // once a byte past each of them has been seen.
        const uint64_t end = base + n;
        if (end - s > kWidth) {
            const uint64_t k = (end - 1 - s) / kWidth;
            rows += k;
            s += k * kWidth;
            checkpoint();
        }
        frontRow_ = rows;
        frontOffset_ = s;
        if (rows > wantRows || s > wantOffset)
            return false;
        if (keepGoing && !keepGoing()) {
            stopped = true;
            return false;
        }
        return true;
    }, true);
    if (stopped || !readOk) {
        if (!readOk) {
            // Unreadable from here on: show what was counted as the whole file.
            complete_ = true;
        }
        return !stopped;
    }
    if (rows <= wantRows && s <= wantOffset) {
        // Reached the end: the last row may lack its feed.
        if (s < size)
            rows += rowsOfLine(size - s);
        frontRow_ = rows;
        frontOffset_ = size;
        complete_ = true;
    }
    return true;
}

const LineIndex::Checkpoint &LineIndex::checkpointForRow(uint64_t row) const
{
    auto it = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), row,
                               [](uint64_t r, const Checkpoint &c) { return r < c.row; });
    return *(it - 1);
}

const LineIndex::Checkpoint &LineIndex::checkpointForOffset(uint64_t offset) const
{
    auto it = std::upper_bound(checkpoints_.begin(), checkpoints_.end(), offset,
                               [](uint64_t o, const Checkpoint &c) { return o < c.offset; });
    return *(it - 1);
}

uint64_t LineIndex::findFeed(uint64_t from, uint64_t limit)
{
    limit = std::min(limit, file_.size());
    while (from < limit) {
        const std::string piece = file_.read(from, size_t(std::min<uint64_t>(limit - from, 16 * 1024)));
        if (piece.empty())
            return limit;
        if (const void *p = std::memchr(piece.data(), '\n', piece.size()))
            return from + uint64_t(static_cast<const char *>(p) - piece.data());
        from += piece.size();
    }
    return limit;
}

uint64_t LineIndex::contentEnd(uint64_t start)
{
    const uint64_t size = file_.size();
    const uint64_t f = findFeed(start, std::min(size, start + kWidth + 1));
    return std::min({f, start + kWidth, size});
}

uint64_t LineIndex::nextRowStart(uint64_t start)
{
    const uint64_t size = file_.size();
    if (start >= size)
        return size;
    const uint64_t f = findFeed(start, std::min(size, start + kWidth + 1));
    if (f < size && f <= start + kWidth)
        return f + 1;
    return std::min(size, start + kWidth);
}

uint64_t LineIndex::rowStart(uint64_t row)
{
    if (row >= frontRow_)
        return frontOffset_;
    const Checkpoint &c = checkpointForRow(row);
    uint64_t s = c.offset;
    for (uint64_t r = c.row; r < row; ++r)
        s = nextRowStart(s);
    return s;
}

uint64_t LineIndex::rowOf(uint64_t offset)
{
    const uint64_t size = file_.size();
    if (offset >= size)
        offset = size == 0 ? 0 : size - 1;
    if (!complete_ && frontOffset_ <= offset)
        countTo(offset);
    if (frontRow_ == 0)
        return 0;
    if (offset >= frontOffset_)
        return frontRow_ - 1;
    const Checkpoint &c = checkpointForOffset(offset);
    uint64_t s = c.offset, r = c.row;
    for (;;) {
        const uint64_t next = nextRowStart(s);
        if (next > offset || next >= size)
            return r;
        s = next;
        ++r;
    }
}
