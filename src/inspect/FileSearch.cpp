#include "inspect/FileSearch.h"

#include "inspect/PagedFile.h"

#include <algorithm>
#include <array>
#include <cstring>
#include <string_view>
#include <vector>

namespace {
inline unsigned char fold(unsigned char c) { return (c >= 'A' && c <= 'Z') ? c | 0x20 : c; }

// First match ignoring ASCII case (Horspool over folded bytes).
size_t findFolded(const char *data, size_t n, const std::string &needle)
{
    const size_t m = needle.size();
    if (m > n)
        return std::string::npos;
    std::string low(needle);
    for (char &c : low)
        c = char(fold(uint8_t(c)));
    std::array<size_t, 256> shift;
    shift.fill(m);
    for (size_t i = 0; i + 1 < m; ++i)
        shift[uint8_t(low[i])] = m - 1 - i;
    const auto *d = reinterpret_cast<const uint8_t *>(data);
    for (size_t pos = 0; pos + m <= n;) {
        const uint8_t lastByte = fold(d[pos + m - 1]);
        if (lastByte == uint8_t(low[m - 1])) {
            size_t k = 0;
            while (k + 1 < m && fold(d[pos + k]) == uint8_t(low[k]))
                ++k;
            if (k + 1 >= m)
                return pos;
        }
        pos += shift[lastByte];
    }
    return std::string::npos;
}

size_t findFirst(const char *data, size_t n, const std::string &needle, bool matchCase)
{
    if (matchCase) {
        const void *p = ::memmem(data, n, needle.data(), needle.size());
        return p ? size_t(static_cast<const char *>(p) - data) : std::string::npos;
    }
    return findFolded(data, n, needle);
}
}

size_t FileSearch::findIn(const char *data, size_t n, const std::string &needle, bool matchCase, bool last)
{
    if (needle.empty())
        return std::string::npos;
    size_t found = findFirst(data, n, needle, matchCase);
    if (!last || found == std::string::npos)
        return found;
    for (;;) {
        const size_t next = findFirst(data + found + 1, n - found - 1, needle, matchCase);
        if (next == std::string::npos)
            return found;
        found += 1 + next;
    }
}

FileSearch::Result FileSearch::find(PagedFile &file, const std::string &needle, uint64_t from, bool forward,
                                    bool matchCase, const KeepGoing &keepGoing)
{
    Result r;
    const uint64_t size = file.size();
    const size_t m = needle.size();
    if (m == 0 || m > size)
        return r;
    constexpr size_t kChunk = 1024 * 1024;
    std::vector<char> buf(kChunk + m);
    if (forward) {
        for (uint64_t pos = from; pos + m <= size;) {
            const size_t got = file.readInto(pos, reinterpret_cast<uint8_t *>(buf.data()), kChunk + m - 1);
            if (got < m)
                return r;
            const size_t at = findIn(buf.data(), got, needle, matchCase, false);
            if (at != std::string::npos) {
                r.offset = pos + at;
                return r;
            }
            pos += got - (m - 1);
            if (keepGoing && !keepGoing()) {
                r.stopped = true;
                return r;
            }
        }
        return r;
    }
    // Backward: windows ending where a match starting before from may end.
    uint64_t end = std::min<uint64_t>(size, from + m - 1);
    while (end >= m) {
        const uint64_t start = end > kChunk + m - 1 ? end - (kChunk + m - 1) : 0;
        const size_t got = file.readInto(start, reinterpret_cast<uint8_t *>(buf.data()), size_t(end - start));
        if (got < m)
            return r;
        const size_t at = findIn(buf.data(), got, needle, matchCase, true);
        if (at != std::string::npos) {
            r.offset = start + at;
            return r;
        }
        if (start == 0)
            return r;
        end = start + m - 1;
        if (keepGoing && !keepGoing()) {
            r.stopped = true;
            return r;
        }
    }
    return r;
}
