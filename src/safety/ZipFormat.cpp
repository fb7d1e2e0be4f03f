#include "safety/ZipFormat.h"

namespace ZipFormat {
void put16(std::string &s, uint16_t v)
{
    s.push_back(char(v & 0xff));
    s.push_back(char(v >> 8));
}
void put32(std::string &s, uint32_t v)
{
    put16(s, uint16_t(v & 0xffff));
    put16(s, uint16_t(v >> 16));
}
void put64(std::string &s, uint64_t v)
{
    put32(s, uint32_t(v & kMax32));
    put32(s, uint32_t(v >> 32));
}

void readSharedFields(ZipEntry &z, const unsigned char *p)
{
    z.versionNeeded = get16(p);
    z.flags = get16(p + 2);
    z.method = get16(p + 4);
    z.time = DosDateTime(get16(p + 6)) | (DosDateTime(get16(p + 8)) << 16);
    z.crc = get32(p + 10);
    z.compressedSize = get32(p + 14);
    z.size = get32(p + 18);
}

int findExtra(const std::string &extra, uint16_t id, const unsigned char *&field, uint16_t &len)
{
    const unsigned char *p = bytes(extra);
    size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const uint16_t at = get16(p + pos);
        len = get16(p + pos + 2);
        pos += 4;
        if (pos + len > extra.size())
            return -1;
        if (at == id) {
            field = p + pos;
            return 1;
        }
        pos += len;
    }
    return 0;
}

bool readZip64Extra(const std::string &extra, uint64_t &size, uint64_t &csize, uint64_t *offset)
{
    const unsigned char *field = nullptr;
    uint16_t len = 0;
    const int found = findExtra(extra, 1, field, len);
    if (found <= 0)
        return found == 0;
    size_t q = 0;
    auto take = [&](uint64_t &v) {
        if (v != kMax32)
            return true;
        if (q + 8 > len)
            return false;
        v = get64(field + q);
        q += 8;
        return true;
    };
    return take(size) && take(csize) && (!offset || take(*offset));
}

std::optional<int64_t> readUnixTime(const std::string &extra)
{
    const unsigned char *field = nullptr;
    uint16_t len = 0;
    if (findExtra(extra, kTimeExtra, field, len) == 1 && len >= 5 && (field[0] & 1))
        return int64_t(int32_t(get32(field + 1)));
    return std::nullopt;
}

bool ownExtra(const std::string &extra)
{
    const unsigned char *p = bytes(extra);
    size_t pos = 0;
    bool zip64 = false, time = false;
    while (pos + 4 <= extra.size()) {
        const uint16_t id = get16(p + pos);
        const uint16_t len = get16(p + pos + 2);
        if (id == 1 && len == 16 && !zip64)
            zip64 = true;
        else if (id == kTimeExtra && len == 5 && !time)
            time = true;
        else
            return false;
        pos += 4 + len;
    }
    return pos == extra.size();
}

std::string timeExtra(const ZipEntry &e)
{
    std::string x;
    if (!e.unixTime)
        return x;
    put16(x, kTimeExtra);
    put16(x, 5);
    x.push_back(char(1));
    put32(x, uint32_t(int32_t(*e.unixTime)));
    return x;
}

namespace {
// The fields local headers and directory records share, in the order
// readSharedFields reads them.
void putSharedFields(std::string &s, const ZipEntry &e, bool bigSizes)
{
    put16(s, e.versionNeeded);
    put16(s, e.flags);
    put16(s, e.method);
    put16(s, uint16_t(e.time & 0xffff));
    put16(s, uint16_t(e.time >> 16));
    put32(s, e.crc);
    put32(s, bigSizes ? kMax32 : uint32_t(e.compressedSize));
    put32(s, bigSizes ? kMax32 : uint32_t(e.size));
}
}

std::string localHeader(const ZipEntry &e, bool zip64)
{
    std::string h;
    h.reserve(30 + e.name.size() + 20);
    put32(h, kLocalSig);
    putSharedFields(h, e, zip64);
    const std::string time = timeExtra(e);
    put16(h, uint16_t(e.name.size()));
    put16(h, uint16_t((zip64 ? 20 : 0) + time.size()));
    h += e.name;
    if (zip64) {
        put16(h, 1);
        put16(h, 16);
        put64(h, e.size);
        put64(h, e.compressedSize);
    }
    h += time;
    return h;
}

std::string centralRecord(const ZipEntry &e, uint64_t zip64Limit)
{
    const bool bigSizes = e.size >= zip64Limit || e.compressedSize >= zip64Limit || e.versionNeeded >= 45;
    const bool bigOffset = e.localOffset >= zip64Limit;
    std::string extra;
    if (bigSizes || bigOffset) {
        put16(extra, 1);
        put16(extra, uint16_t((bigSizes ? 16 : 0) + (bigOffset ? 8 : 0)));
        if (bigSizes) {
            put64(extra, e.size);
            put64(extra, e.compressedSize);
        }
        if (bigOffset)
            put64(extra, e.localOffset);
    }
    extra += timeExtra(e);
    std::string r;
    r.reserve(46 + e.name.size() + extra.size());
    put32(r, kCentralSig);
    put16(r, e.versionMadeBy);
    putSharedFields(r, e, bigSizes);
    put16(r, uint16_t(e.name.size()));
    put16(r, uint16_t(extra.size()));
    put16(r, uint16_t(e.comment.size()));
    put16(r, 0); // disk
    put16(r, 0); // internal attributes
    put32(r, e.externalAttributes);
    put32(r, bigOffset ? kMax32 : uint32_t(e.localOffset));
    r += e.name;
    r += extra;
    r += e.comment;
    return r;
}
}
