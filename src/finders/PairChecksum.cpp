#include "finders/PairChecksum.h"

#include "platform/RawFile.h"

#include <zlib.h>

#include <cstring>
#include <memory>

uint32_t PairChecksum::crc32Block(const void *bytes, size_t count, uint32_t crc)
{
    const auto *p = static_cast<const Bytef *>(bytes);
    // zlib takes a 32-bit length; larger buffers go in pieces.
    while (count > 0) {
        const uInt n = uInt(std::min<size_t>(count, 1u << 30));
        crc = uint32_t(::crc32(crc, p, n));
        p += n;
        count -= n;
    }
    return crc;
}

namespace {
// One file being read block by block from its start.
class Reader {
public:
    explicit Reader(const std::string &path) : ok_(file_.open(path, RawFile::Mode::Read)) {}

    // The next block into buf: its length (0 at the end); -1 when the file
    // could not be opened or a read failed (the file then counts as unread).
    int64_t next(char *buf)
    {
        if (!ok_)
            return -1;
        size_t got = 0;
        while (got < PairChecksum::kBlock) {
            const int64_t r = file_.readAt(offset_ + got, buf + got, PairChecksum::kBlock - got);
            if (r < 0) {
                ok_ = false;
                return -1;
            }
            if (r == 0)
                break;
            got += size_t(r);
        }
        offset_ += got;
        return int64_t(got);
    }
    uint64_t offset() const { return offset_; }

private:
    RawFile file_;
    bool ok_;
    uint64_t offset_ = 0;
};

std::unique_ptr<char[]> block() { return std::unique_ptr<char[]>(new char[PairChecksum::kBlock]); }
}

PairChecksum::Sum PairChecksum::fileChecksum(const std::string &path, const KeepGoing &keepGoing)
{
    Sum s;
    Reader r(path);
    const auto buf = block();
    for (;;) {
        const int64_t n = r.next(buf.get());
        if (n < 0)
            return s;
        if (n == 0)
            break;
        s.crc = crc32Block(buf.get(), size_t(n), s.crc);
        s.size = r.offset();
        if (keepGoing && !keepGoing())
            return s;
    }
    s.read = true;
    return s;
}

PairChecksum::Result PairChecksum::compare(const std::string &left, const std::string &right,
                                           const KeepGoing &keepGoing)
{
    Result res;
    Reader a(left), b(right);
    const auto bufA = block(), bufB = block();
    bool aDone = false, bDone = false, aFailed = false, bFailed = false;
    bool same = true; // the bytes read so far are equal, at equal lengths
    while (!(aDone || aFailed) || !(bDone || bFailed)) {
        int64_t na = 0, nb = 0;
        if (!aDone && !aFailed) {
            na = a.next(bufA.get());
            aFailed = na < 0;
            aDone = na == 0;
        }
        if (!bDone && !bFailed) {
            nb = b.next(bufB.get());
            bFailed = nb < 0;
            bDone = nb == 0;
        }
        const size_t la = na > 0 ? size_t(na) : 0, lb = nb > 0 ? size_t(nb) : 0;
        if (la > 0)
            res.left.crc = crc32Block(bufA.get(), la, res.left.crc);
        if (same && la == lb && !aFailed && !bFailed && std::memcmp(bufA.get(), bufB.get(), la) == 0) {
            // Equal so far: the right file's CRC is the left one's.
            res.right.crc = res.left.crc;
        } else {
            same = false;
            if (lb > 0)
                res.right.crc = crc32Block(bufB.get(), lb, res.right.crc);
        }
        if (keepGoing && !keepGoing()) {
            res.stopped = true;
            break;
        }
    }
    res.left.size = a.offset();
    res.right.size = b.offset();
    res.left.read = aDone && !res.stopped;
    res.right.read = bDone && !res.stopped;
    if (!res.left.read || !res.right.read)
        res.verdict = Verdict::NotCompared;
    else
        res.verdict = same && res.left.size == res.right.size ? Verdict::Identical : Verdict::Differ;
    return res;
}

QString PairChecksum::crcText(uint32_t crc) { return QString::asprintf("%8X", unsigned(crc)); }

QString PairChecksum::crcLine(const Sum &side, Verdict verdict)
{
    QString line = side.read ? crcText(side.crc) : QStringLiteral("Unreadable");
    switch (verdict) {
    case Verdict::Identical: return line + QStringLiteral(" file contents are identical");
    case Verdict::Differ: return line + QStringLiteral(" file contents differ");
    case Verdict::NotCompared: break;
    }
    return line + QStringLiteral(" file contents could not be compared");
}
