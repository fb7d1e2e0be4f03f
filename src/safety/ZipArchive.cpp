#include "safety/ZipArchive.h"

#include "platform/PathInfo.h"
#include "safety/ZipCrypto.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <memory>

namespace {
constexpr uint32_t kLocalSig = 0x04034b50;
constexpr uint32_t kCentralSig = 0x02014b50;
constexpr uint32_t kEndSig = 0x06054b50;
constexpr uint32_t kEnd64Sig = 0x06064b50;
constexpr uint32_t kLocator64Sig = 0x07064b50;
constexpr uint32_t kDescriptorSig = 0x08074b50;
constexpr uint16_t kMadeBy = (3 << 8) | 30; // Unix, format 3.0
constexpr uint32_t kMax32 = 0xFFFFFFFFu;
constexpr uint16_t kMax16 = 0xFFFF;
constexpr size_t kChunk = 256 * 1024;
// Files up to this size are read, compressed and written in one piece.
constexpr uint64_t kInMemory = 4 * 1024 * 1024;
// A directory larger than this is taken for damage rather than read into memory.
constexpr uint64_t kMaxDirectory = uint64_t(1) << 30;
// 1 January 1980, 00:00: the stamp for files whose time has no DOS form.
constexpr DosDateTime kEarliest = (1u << 21 | 1u << 16);

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
uint16_t get16(const unsigned char *p) { return uint16_t(p[0] | (p[1] << 8)); }
uint32_t get32(const unsigned char *p) { return uint32_t(get16(p)) | (uint32_t(get16(p + 2)) << 16); }
uint64_t get64(const unsigned char *p) { return uint64_t(get32(p)) | (uint64_t(get32(p + 4)) << 32); }
const unsigned char *bytes(const std::string &s) { return reinterpret_cast<const unsigned char *>(s.data()); }

bool validUtf8(const std::string &s)
{
    size_t i = 0;
    while (i < s.size()) {
        const unsigned char c = static_cast<unsigned char>(s[i]);
        size_t n = 0;
        uint32_t cp = 0;
        if (c < 0x80) {
            ++i;
            continue;
        } else if ((c & 0xE0) == 0xC0) {
            n = 1;
            cp = c & 0x1F;
        } else if ((c & 0xF0) == 0xE0) {
            n = 2;
            cp = c & 0x0F;
        } else if ((c & 0xF8) == 0xF0) {
            n = 3;
            cp = c & 0x07;
        } else {
            return false;
        }
        for (size_t k = 1; k <= n; ++k) {
            if (i + k >= s.size())
                return false;
            const unsigned char d = static_cast<unsigned char>(s[i + k]);
            if ((d & 0xC0) != 0x80)
                return false;
            cp = (cp << 6) | (d & 0x3F);
        }
        static const uint32_t least[] = {0, 0x80, 0x800, 0x10000};
        if (cp < least[n] || cp > 0x10FFFF || (cp >= 0xD800 && cp <= 0xDFFF))
            return false;
        i += n + 1;
    }
    return true;
}

// Reads the zip64 extended-information field of an extra block: each value
// is present only when its 32-bit (or 16-bit) field holds the maximum.
bool readZip64Extra(const std::string &extra, uint64_t &size, uint64_t &csize, uint64_t *offset)
{
    const unsigned char *p = bytes(extra);
    size_t pos = 0;
    while (pos + 4 <= extra.size()) {
        const uint16_t id = get16(p + pos);
        const uint16_t len = get16(p + pos + 2);
        pos += 4;
        if (pos + len > extra.size())
            return false;
        if (id == 1) {
            size_t q = pos;
            const size_t end = pos + len;
            auto take = [&](uint64_t &v) {
                if (v != kMax32)
                    return true;
                if (q + 8 > end)
                    return false;
                v = get64(p + q);
                q += 8;
                return true;
            };
            return take(size) && take(csize) && (!offset || take(*offset));
        }
        pos += len;
    }
    return true;
}

std::string localHeader(const ZipEntry &e, bool zip64)
{
    std::string h;
    h.reserve(30 + e.name.size() + 20);
    put32(h, kLocalSig);
    put16(h, e.versionNeeded);
    put16(h, e.flags);
    put16(h, e.method);
    put16(h, uint16_t(e.time & 0xffff));
    put16(h, uint16_t(e.time >> 16));
    put32(h, e.crc);
    put32(h, zip64 ? kMax32 : uint32_t(e.compressedSize));
    put32(h, zip64 ? kMax32 : uint32_t(e.size));
    put16(h, uint16_t(e.name.size()));
    put16(h, zip64 ? 20 : 0);
    h += e.name;
    if (zip64) {
        put16(h, 1);
        put16(h, 16);
        put64(h, e.size);
        put64(h, e.compressedSize);
    }
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
    std::string r;
    r.reserve(46 + e.name.size() + extra.size());
    put32(r, kCentralSig);
    put16(r, e.versionMadeBy);
    put16(r, e.versionNeeded);
    put16(r, e.flags);
    put16(r, e.method);
    put16(r, uint16_t(e.time & 0xffff));
    put16(r, uint16_t(e.time >> 16));
    put32(r, e.crc);
    put32(r, bigSizes ? kMax32 : uint32_t(e.compressedSize));
    put32(r, bigSizes ? kMax32 : uint32_t(e.size));
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

struct Inflater {
    z_stream s{};
    bool ok = false;
    Inflater() { ok = inflateInit2(&s, -MAX_WBITS) == Z_OK; }
    ~Inflater()
    {
        if (ok)
            inflateEnd(&s);
    }
};

// Inflates a raw deflate stream that starts at offset and may not pass
// limit. Stops at the end of the stream; consumed is the compressed length.
// Throws when the data is damaged, runs past limit, or gives more than
// maxOut bytes. With crypto, the data is decrypted as it is read.
uint64_t inflateRange(const RawFile &f, uint64_t offset, uint64_t limit, uint64_t maxOut, uint32_t &crc,
                      uint64_t &consumed, const ZipArchive::Sink &sink, const std::string &name,
                      ZipCrypto *crypto = nullptr)
{
    Inflater z;
    if (!z.ok)
        throw ZipError("Out of memory decompressing " + name);
    std::unique_ptr<unsigned char[]> in(new unsigned char[kChunk]);
    std::unique_ptr<unsigned char[]> out(new unsigned char[kChunk]);
    uint64_t pos = offset;
    uint64_t produced = 0;
    crc = crc32(0, nullptr, 0);
    int rc = Z_OK;
    // Inflate may hold output back when the last call filled the buffer, even
    // with all input consumed (a long run of zeros): call it again then.
    bool outputFull = false;
    while (rc != Z_STREAM_END) {
        if (z.s.avail_in == 0 && (pos < limit || !outputFull)) {
            if (pos >= limit)
                throw ZipError("The data of " + name + " is cut off");
            const size_t want = size_t(std::min<uint64_t>(kChunk, limit - pos));
            const int64_t n = f.readAt(pos, in.get(), want);
            if (n <= 0)
                throw ZipError("The data of " + name + " cannot be read");
            pos += uint64_t(n);
            if (crypto)
                crypto->decrypt(in.get(), size_t(n));
            z.s.next_in = in.get();
            z.s.avail_in = uInt(n);
        }
        z.s.next_out = out.get();
        z.s.avail_out = uInt(kChunk);
        rc = inflate(&z.s, Z_NO_FLUSH);
        if (rc != Z_OK && rc != Z_STREAM_END && !(rc == Z_BUF_ERROR && z.s.avail_in == 0))
            throw ZipError("The data of " + name + " is damaged");
        const size_t got = kChunk - z.s.avail_out;
        outputFull = z.s.avail_out == 0;
        if (rc == Z_BUF_ERROR && got == 0 && z.s.avail_in != 0)
            throw ZipError("The data of " + name + " is damaged");
        produced += got;
        if (produced > maxOut)
            throw ZipError("The data of " + name + " is longer than its recorded size");
        crc = uInt(crc32(crc, out.get(), uInt(got)));
        if (sink && got)
            sink(reinterpret_cast<const char *>(out.get()), got);
    }
    consumed = pos - offset - z.s.avail_in;
    return produced;
}

void writeOrThrow(RawFile &f, uint64_t at, const std::string &data, const std::string &path)
{
    if (!f.writeAt(at, data.data(), data.size()))
        throw ZipError("Cannot write to " + path + ": " + f.error());
}
}

std::optional<size_t> ZipArchive::find(const std::string &storedName) const
{
    if (!names_.count(storedName))
        return std::nullopt;
    for (size_t i = 0; i < entries_.size(); ++i)
        if (entries_[i].name == storedName)
            return i;
    return std::nullopt;
}

bool ZipArchive::isFile(uint64_t device, uint64_t inode) const
{
    RawFile::Info own;
    return file_.stat(own) && own.device == device && own.inode == inode;
}

void ZipArchive::close()
{
    if (file_.isOpen() && writable_ && dirty_) {
        try {
            writeDirectory();
        } catch (const ZipError &) {
            // The entries are on disk; the next open rebuilds the directory.
        }
    }
    file_.close();
    dirty_ = false;
    fileEnd_ = 0;
    entries_.clear();
    names_.clear();
    cd_.clear();
    comment_.clear();
    path_.clear();
    cdOffset_ = 0;
    writable_ = false;
    repaired_ = false;
}

void ZipArchive::open(const std::string &path)
{
    close();
    path_ = path;
    writable_ = true;
    bool created = false;
    if (file_.open(path, RawFile::Mode::CreateNew)) {
        created = true;
    } else {
        const std::string createError = file_.error();
        if (!file_.open(path, RawFile::Mode::ReadWrite)) {
            const std::string why = errno == ENOENT ? createError : file_.error();
            close();
            throw ZipError("Cannot create the archive " + path + ": " + why);
        }
    }
    if (!file_.lockExclusive()) {
        close();
        throw ZipError("The archive " + path + " is in use");
    }
    try {
        load(true);
        if (created) {
            const auto slash = path.find_last_of('/');
            RawFile::syncFolder(slash == std::string::npos ? "." : path.substr(0, std::max<size_t>(slash, 1)));
        }
    } catch (...) {
        close();
        if (created)
            PathInfo::removeOwnFile(path);
        throw;
    }
}

void ZipArchive::openRead(const std::string &path)
{
    close();
    path_ = path;
    if (!file_.open(path, RawFile::Mode::Read)) {
        const std::string why = file_.error();
        close();
        throw ZipError("Cannot open the archive " + path + ": " + why);
    }
    try {
        load(false);
    } catch (...) {
        close();
        throw;
    }
}

bool ZipArchive::repairInterrupted(const std::string &path)
{
    ZipArchive z;
    z.path_ = path;
    z.writable_ = true;
    if (!z.file_.open(path, RawFile::Mode::ReadWrite) || !z.file_.lockExclusive())
        return false;
    // An empty file is an archive whose creation was cut short: it gets the
    // end record of an empty archive.
    const bool empty = z.file_.size() == 0;
    try {
        z.load(true);
    } catch (const ZipError &) {
        return false;
    }
    return empty || z.repaired_;
}

void ZipArchive::load(bool forWriting)
{
    lastDirectory_ = std::chrono::steady_clock::now();
    fileEnd_ = file_.size();
    const uint64_t size = file_.size();
    if (size == 0 && forWriting) {
        // A new archive (or one whose creation was cut short): write the empty end record.
        cdOffset_ = 0;
        writeTail(0, {});
        syncOrThrow();
        return;
    }
    std::string why;
    if (parseDirectory(why))
        return;
    unsigned char sig[4];
    if (size >= 4 && file_.readFully(0, sig, 4) && get32(sig) == kLocalSig) {
        entries_.clear();
        names_.clear();
        comment_.clear();
        scanLocalHeaders();
        repaired_ = true;
        cd_.clear();
        for (const ZipEntry &e : entries_)
            cd_ += centralRecord(e, zip64Limit_);
        if (forWriting) {
            writeTail(cdOffset_, {});
            syncOrThrow();
        }
        return;
    }
    throw ZipError(path_ + " is not a zip archive (" + why + ")");
}

bool ZipArchive::parseDirectory(std::string &why)
{
    entries_.clear();
    names_.clear();
    const uint64_t size = file_.size();
    if (size < 22) {
        why = "too short";
        return false;
    }
    const uint64_t tailLen = std::min<uint64_t>(size, 22 + 65535);
    std::string tail(tailLen, '\0');
    if (!file_.readFully(size - tailLen, tail.data(), tailLen)) {
        why = file_.error();
        return false;
    }
    const unsigned char *t = bytes(tail);
    int64_t at = -1;
    for (int64_t i = int64_t(tailLen) - 22; i >= 0; --i) {
        if (get32(t + i) == kEndSig && uint64_t(i) + 22 + get16(t + i + 20) == tailLen) {
            at = i;
            break;
        }
    }
    if (at < 0) {
        why = "no end of central directory record";
        return false;
    }
    const unsigned char *e = t + at;
    const uint64_t endPos = size - tailLen + uint64_t(at);
    if (get16(e + 4) != 0 || get16(e + 6) != 0) {
        why = "multi-volume archives are not supported";
        return false;
    }
    uint64_t count = get16(e + 10);
    uint64_t cdSize = get32(e + 12);
    uint64_t cdOffset = get32(e + 16);
    std::string comment(reinterpret_cast<const char *>(e + 22), get16(e + 20));
    uint64_t bound = endPos;

    if (endPos >= 20) {
        unsigned char loc[20];
        if (file_.readFully(endPos - 20, loc, 20) && get32(loc) == kLocator64Sig) {
            const uint64_t z64 = get64(loc + 8);
            unsigned char rec[56];
            if (z64 > endPos - 20 || endPos - 20 - z64 < 56 || !file_.readFully(z64, rec, 56)
                || get32(rec) != kEnd64Sig) {
                why = "bad zip64 end record";
                return false;
            }
            count = get64(rec + 32);
            cdSize = get64(rec + 40);
            cdOffset = get64(rec + 48);
            bound = z64;
        }
    }
    if (cdOffset > bound || cdSize > bound - cdOffset) {
        why = "the central directory lies outside the file";
        return false;
    }
    if (cdSize > kMaxDirectory || count > cdSize / 46) {
        why = "the central directory is implausible";
        return false;
    }
    std::string cd(cdSize, '\0');
    if (!file_.readFully(cdOffset, cd.data(), cdSize)) {
        why = file_.error();
        return false;
    }
    const unsigned char *p = bytes(cd);
    std::vector<ZipEntry> list;
    list.reserve(size_t(count));
    size_t pos = 0;
    for (uint64_t i = 0; i < count; ++i) {
        if (pos + 46 > cd.size() || get32(p + pos) != kCentralSig) {
            why = "damaged central directory";
            return false;
        }
        const unsigned char *r = p + pos;
        ZipEntry z;
        z.versionMadeBy = get16(r + 4);
        z.versionNeeded = get16(r + 6);
        z.flags = get16(r + 8);
        z.method = get16(r + 10);
        z.time = DosDateTime(get16(r + 12)) | (DosDateTime(get16(r + 14)) << 16);
        z.crc = get32(r + 16);
        z.compressedSize = get32(r + 20);
        z.size = get32(r + 24);
        const size_t nameLen = get16(r + 28), extraLen = get16(r + 30), commentLen = get16(r + 32);
        const uint16_t disk = get16(r + 34);
        z.externalAttributes = get32(r + 38);
        z.localOffset = get32(r + 42);
        if (pos + 46 + nameLen + extraLen + commentLen > cd.size()) {
            why = "damaged central directory";
            return false;
        }
        z.name.assign(reinterpret_cast<const char *>(r + 46), nameLen);
        const std::string extra(reinterpret_cast<const char *>(r + 46 + nameLen), extraLen);
        z.comment.assign(reinterpret_cast<const char *>(r + 46 + nameLen + extraLen), commentLen);
        if (!readZip64Extra(extra, z.size, z.compressedSize, &z.localOffset) || (disk != 0 && disk != kMax16)) {
            why = "damaged central directory";
            return false;
        }
        if (z.localOffset > cdOffset || cdOffset - z.localOffset < 30 + nameLen
            || z.compressedSize > cdOffset - z.localOffset - 30 - nameLen) {
            why = "an entry lies outside the archive's data";
            return false;
        }
        pos += 46 + nameLen + extraLen + commentLen;
        list.push_back(std::move(z));
    }
    entries_ = std::move(list);
    for (const ZipEntry &z : entries_)
        names_.insert(z.name);
    cd_ = cd.substr(0, pos);
    cdOffset_ = cdOffset;
    comment_ = std::move(comment);
    return true;
}

void ZipArchive::scanLocalHeaders()
{
    const uint64_t size = file_.size();
    uint64_t pos = 0;
    while (size - pos >= 30) {
        unsigned char h[30];
        if (!file_.readFully(pos, h, 30) || get32(h) != kLocalSig)
            break;
        ZipEntry z;
        z.versionMadeBy = kMadeBy;
        z.versionNeeded = get16(h + 4);
        z.flags = get16(h + 6);
        z.method = get16(h + 8);
        z.time = DosDateTime(get16(h + 10)) | (DosDateTime(get16(h + 12)) << 16);
        z.crc = get32(h + 14);
        z.compressedSize = get32(h + 18);
        z.size = get32(h + 22);
        z.externalAttributes = 0100644u << 16;
        z.localOffset = pos;
        const size_t nameLen = get16(h + 26), extraLen = get16(h + 28);
        if (size - pos - 30 < nameLen + extraLen)
            break;
        std::string ne(nameLen + extraLen, '\0');
        if (!file_.readFully(pos + 30, ne.data(), ne.size()))
            break;
        z.name = ne.substr(0, nameLen);
        const bool zip64 = z.size == kMax32 || z.compressedSize == kMax32;
        if (!readZip64Extra(ne.substr(nameLen), z.size, z.compressedSize, nullptr))
            break;
        const uint64_t data = pos + 30 + nameLen + extraLen;
        uint64_t next = 0;
        if (z.flags & 8) {
            // Sizes follow the data: find its end by inflating it.
            if (z.method != 8 || z.encrypted())
                break;
            uint32_t crc = 0;
            uint64_t consumed = 0;
            uint64_t produced = 0;
            try {
                produced = inflateRange(file_, data, size, UINT64_MAX, crc, consumed, {}, z.name);
            } catch (const ZipError &) {
                break;
            }
            uint64_t d = data + consumed;
            unsigned char desc[24];
            const size_t avail = size_t(std::min<uint64_t>(24, size - d));
            if (avail < 12 || !file_.readFully(d, desc, avail))
                break;
            size_t k = 0;
            if (get32(desc) == kDescriptorSig && avail >= 16)
                k = 4;
            if (get32(desc + k) != crc)
                break;
            const bool wide = zip64 || (avail >= k + 20 && get32(desc + k + 4) != consumed);
            if (wide && avail < k + 20)
                break;
            const uint64_t cs = wide ? get64(desc + k + 4) : get32(desc + k + 4);
            const uint64_t us = wide ? get64(desc + k + 12) : get32(desc + k + 8);
            if (cs != consumed || us != produced)
                break;
            z.crc = crc;
            z.compressedSize = cs;
            z.size = us;
            next = d + k + (wide ? 20 : 12);
        } else {
            if (z.compressedSize > size - data)
                break;
            if (!z.encrypted() && !verifyData(z, data, data + z.compressedSize))
                break;
            next = data + z.compressedSize;
        }
        names_.insert(z.name);
        entries_.push_back(std::move(z));
        pos = next;
    }
    cdOffset_ = pos;
}

uint64_t ZipArchive::dataStart(const ZipEntry &e) const
{
    unsigned char h[30];
    if (!file_.readFully(e.localOffset, h, 30) || get32(h) != kLocalSig)
        throw ZipError("The local header of " + e.name + " is damaged");
    return e.localOffset + 30 + get16(h + 26) + get16(h + 28);
}

bool ZipArchive::traditionalEncryption(const ZipEntry &e)
{
    // Method 99 is AES; flag bit 6 marks the strong encryption of later formats.
    return e.encrypted() && e.method != 99 && !(e.flags & 0x40);
}

bool ZipArchive::passwordMatches(size_t index, const std::string &password) const
{
    if (!isOpen() || index >= entries_.size() || !traditionalEncryption(entries_[index]))
        return false;
    const ZipEntry &e = entries_[index];
    try {
        unsigned char h[ZipCrypto::kHeaderSize];
        if (e.compressedSize < sizeof h || !file_.readFully(dataStart(e), h, sizeof h))
            return false;
        return ZipCrypto(password).decryptHeader(h) == passwordCheck(e);
    } catch (const ZipError &) {
        return false;
    }
}

unsigned char ZipArchive::passwordCheck(const ZipEntry &e)
{
    // With the sizes after the data the check byte comes from the time, as
    // the CRC was not known when the header was written.
    return (e.flags & 8) ? static_cast<unsigned char>((e.time >> 8) & 0xff) : static_cast<unsigned char>(e.crc >> 24);
}

void ZipArchive::decode(const ZipEntry &e, uint64_t data, uint64_t limit, const Sink &sink,
                        const std::string *password) const
{
    if (e.encrypted() && !traditionalEncryption(e))
        throw ZipError(e.name + " is encrypted in a way this program cannot decrypt");
    if (e.encrypted() && !password)
        throw ZipError(e.name + " is encrypted");
    if (e.method != 0 && e.method != 8)
        throw ZipError(e.name + " uses an unsupported compression method");
    if (data > limit || e.compressedSize > limit - data)
        throw ZipError("The data of " + e.name + " lies outside the archive");
    uint64_t payload = e.compressedSize;
    std::unique_ptr<ZipCrypto> crypto;
    if (e.encrypted()) {
        unsigned char h[ZipCrypto::kHeaderSize];
        if (payload < sizeof h || !file_.readFully(data, h, sizeof h))
            throw ZipError("The data of " + e.name + " cannot be read");
        crypto = std::make_unique<ZipCrypto>(*password);
        if (crypto->decryptHeader(h) != passwordCheck(e))
            throw ZipError("The password for " + e.name + " is wrong");
        data += sizeof h;
        payload -= sizeof h;
    }
    uint32_t crc = 0;
    uint64_t produced = 0;
    if (e.method == 0) {
        if (payload != e.size)
            throw ZipError("The sizes of " + e.name + " do not agree");
        std::unique_ptr<char[]> buf(new char[kChunk]);
        crc = crc32(0, nullptr, 0);
        while (produced < e.size) {
            const size_t n = size_t(std::min<uint64_t>(kChunk, e.size - produced));
            if (!file_.readFully(data + produced, buf.get(), n))
                throw ZipError("The data of " + e.name + " cannot be read");
            if (crypto)
                crypto->decrypt(reinterpret_cast<unsigned char *>(buf.get()), n);
            crc = uInt(crc32(crc, reinterpret_cast<const Bytef *>(buf.get()), uInt(n)));
            if (sink)
                sink(buf.get(), n);
            produced += n;
        }
    } else {
        uint64_t consumed = 0;
        produced = inflateRange(file_, data, data + payload, e.size, crc, consumed, sink, e.name, crypto.get());
    }
    if (produced != e.size)
        throw ZipError("The data of " + e.name + " is shorter than its recorded size");
    if (crc != e.crc)
        throw ZipError(crypto ? "The data of " + e.name + " fails its CRC check (a wrong password?)"
                              : "The data of " + e.name + " fails its CRC check");
}

bool ZipArchive::verifyData(const ZipEntry &e, uint64_t data, uint64_t limit) const
{
    try {
        decode(e, data, limit, {});
        return true;
    } catch (const ZipError &) {
        return false;
    }
}

void ZipArchive::readEntry(size_t index, const Sink &sink, const std::string *password) const
{
    if (!isOpen() || index >= entries_.size())
        throw ZipError("No such entry");
    const ZipEntry &e = entries_[index];
    decode(e, dataStart(e), cdOffset_, sink, password);
}

std::string ZipArchive::endRecords(uint64_t cdOffset, uint64_t cdSize, uint64_t count) const
{
    std::string s;
    if (count >= kMax16 || cdSize >= zip64Limit_ || cdOffset >= zip64Limit_) {
        const uint64_t z64 = cdOffset + cdSize;
        put32(s, kEnd64Sig);
        put64(s, 44);
        put16(s, kMadeBy);
        put16(s, 45);
        put32(s, 0);
        put32(s, 0);
        put64(s, count);
        put64(s, count);
        put64(s, cdSize);
        put64(s, cdOffset);
        put32(s, kLocator64Sig);
        put32(s, 0);
        put64(s, z64);
        put32(s, 1);
    }
    put32(s, kEndSig);
    put16(s, 0);
    put16(s, 0);
    put16(s, uint16_t(std::min<uint64_t>(count, kMax16)));
    put16(s, uint16_t(std::min<uint64_t>(count, kMax16)));
    put32(s, uint32_t(std::min<uint64_t>(cdSize, kMax32)));
    put32(s, uint32_t(std::min<uint64_t>(cdOffset, kMax32)));
    put16(s, uint16_t(comment_.size()));
    s += comment_;
    return s;
}

void ZipArchive::writeTail(uint64_t at, const std::string &record)
{
    const uint64_t count = entries_.size() + (record.empty() ? 0 : 1);
    std::string tail;
    tail.reserve(cd_.size() + record.size() + 100 + comment_.size());
    tail = cd_;
    tail += record;
    tail += endRecords(at, cd_.size() + record.size(), count);
    writeOrThrow(file_, at, tail, path_);
    if (!file_.truncate(at + tail.size()))
        throw ZipError("Cannot write to " + path_ + ": " + file_.error());
    fileEnd_ = at + tail.size();
    dirty_ = false;
    lastDirectory_ = std::chrono::steady_clock::now();
}

bool ZipArchive::directoryDue() const
{
    if (directoryInterval_ == 0)
        return true;
    return directoryInterval_ > 0
        && std::chrono::steady_clock::now() - lastDirectory_ >= std::chrono::milliseconds(directoryInterval_);
}

void ZipArchive::writeDirectory()
{
    if (!isOpen() || !writable_ || !dirty_)
        return;
    writeTail(cdOffset_, {});
    syncOrThrow();
}

void ZipArchive::restoreTail()
{
    try {
        writeTail(cdOffset_, {});
        syncOrThrow();
    } catch (const ZipError &) {
        // The directory could not be put back; the next open rebuilds it
        // from the local headers.
    }
}

void ZipArchive::sync()
{
    if (!isOpen() || !writable_)
        throw ZipError("The archive is not open for writing");
    if (!file_.sync())
        throw ZipError("Cannot write to " + path_ + ": " + file_.error());
}

struct ZipDeflater {
    z_stream s{};
    bool ok = false;
    ZipDeflater() { ok = deflateInit2(&s, Z_DEFAULT_COMPRESSION, Z_DEFLATED, -MAX_WBITS, 8, Z_DEFAULT_STRATEGY) == Z_OK; }
    ~ZipDeflater()
    {
        if (ok)
            deflateEnd(&s);
    }
};

ZipDeflater &ZipArchive::deflater(const std::string &path)
{
    // One compressor, reset for each add, serves the whole archive: setting
    // up its buffers anew costs more than compressing a small file.
    if (deflater_ && deflater_->ok && deflateReset(&deflater_->s) != Z_OK)
        deflater_.reset();
    if (!deflater_ || !deflater_->ok)
        deflater_ = std::make_shared<ZipDeflater>();
    if (!deflater_->ok)
        throw ZipError("Out of memory zipping " + path);
    return *deflater_;
}

void ZipArchive::rollback(const Mark &m)
{
    if (!isOpen() || !writable_ || m.entries >= entries_.size())
        return;
    for (size_t i = m.entries; i < entries_.size(); ++i)
        names_.erase(entries_[i].name);
    entries_.resize(m.entries);
    cd_.resize(m.directoryBytes);
    cdOffset_ = m.end;
    restoreTail();
}

void ZipArchive::syncOrThrow()
{
    if (sync_ && !file_.sync())
        throw ZipError("Cannot write to " + path_ + ": " + file_.error());
}

void ZipArchive::setComment(const std::string &comment)
{
    if (!isOpen() || !writable_)
        throw ZipError("The archive is not open for writing");
    const std::string c = comment.substr(0, kMax16);
    if (c == comment_)
        return;
    const std::string old = comment_;
    comment_ = c;
    try {
        writeTail(cdOffset_, {});
        syncOrThrow();
    } catch (...) {
        comment_ = old;
        restoreTail();
        throw;
    }
}

void ZipArchive::addFile(const std::string &path, const std::string &storedName, const Progress &progress)
{
    if (!isOpen() || !writable_)
        throw ZipError("The archive is not open for writing");
    const AnchoredPath::Parent parent = AnchoredPath::openParent(path);
    RawFile src;
    if (!parent)
        throw ZipError("Cannot read " + path + ": " + std::strerror(parent.error));
    if (!src.openAt(parent.folder.get(), parent.name, RawFile::Mode::Read))
        throw ZipError("Cannot read " + path + ": " + src.error());
    addOpenFile(src, path, storedName, progress);
}

FileIdentity ZipArchive::addOpenFile(const RawFile &src, const std::string &path, const std::string &storedName,
                                     const Progress &progress)
{
    if (!isOpen() || !writable_)
        throw ZipError("The archive is not open for writing");
    if (storedName.empty() || storedName.size() > kMax16)
        throw ZipError("Cannot store " + path + " under the name \"" + storedName + "\"");
    if (names_.count(storedName))
        throw ZipError("The archive already holds " + storedName);
    RawFile::Info info;
    FileIdentity before;
    if (!src.stat(info) || !src.identity(before))
        throw ZipError("Cannot read " + path + ": " + src.error());
    if (!before.isRegular())
        throw ZipError("Cannot read " + path + ": not a regular file");
    if (isFile(info.device, info.inode))
        throw ZipError("An archive cannot hold itself: " + path);
    auto abortAt = [&](int percent) { return progress && progress(percent); };
    if (abortAt(0))
        throw ZipError("Zipping " + path + " was aborted");

    ZipEntry e;
    e.name = storedName;
    e.versionMadeBy = kMadeBy;
    e.flags = validUtf8(storedName) ? 0x800 : 0;
    const DosDateTime t = DosTime::fromUnix(info.mtime);
    e.time = DosTime::isValid(t) ? t : kEarliest;
    e.externalAttributes = (info.mode << 16) | 0x20; // Unix mode and the archive bit
    e.localOffset = cdOffset_;
    const bool zip64 = info.size >= zip64Limit_;
    e.versionNeeded = zip64 ? 45 : 20;
    const std::string readError = "Cannot read " + path;
    const std::string changed = path + " changed while it was being zipped";
    // Everything was read through the one descriptor; the file must still be
    // the one whose state was taken before reading, with every byte read.
    auto checkRead = [&](uint64_t bytesRead) {
        FileIdentity now;
        if (!src.identity(now) || !now.sameState(before) || bytesRead != uint64_t(before.size))
            throw ZipError(changed);
        if (afterRead)
            afterRead();
    };

    uint64_t end = 0;
    try {
        if (info.size <= kInMemory && !zip64) {
            // Read, compress and write in one piece.
            std::string in;
            in.resize(size_t(info.size) + 1);
            uint64_t got = 0;
            for (;;) {
                if (got == in.size())
                    in.resize(in.size() * 2);
                if (in.size() > 2 * kInMemory + 2)
                    throw ZipError(changed);
                const int64_t n = src.readAt(got, in.data() + got, in.size() - got);
                if (n < 0)
                    throw ZipError(readError + ": " + src.error());
                if (n == 0)
                    break;
                got += uint64_t(n);
            }
            in.resize(size_t(got));
            checkRead(got);
            e.size = got;
            e.crc = uInt(crc32(0, reinterpret_cast<const Bytef *>(in.data()), uInt(in.size())));
            std::string out;
            if (!in.empty()) {
                ZipDeflater &z = deflater(path);
                out.resize(deflateBound(&z.s, uLong(in.size())));
                z.s.next_in = reinterpret_cast<Bytef *>(in.data());
                z.s.avail_in = uInt(in.size());
                z.s.next_out = reinterpret_cast<Bytef *>(out.data());
                z.s.avail_out = uInt(out.size());
                if (deflate(&z.s, Z_FINISH) != Z_STREAM_END)
                    throw ZipError("Cannot compress " + path);
                out.resize(out.size() - z.s.avail_out);
            }
            const bool deflated = !in.empty() && out.size() < in.size();
            e.method = deflated ? 8 : 0;
            const std::string &data = deflated ? out : in;
            e.compressedSize = data.size();
            std::string piece = localHeader(e, false);
            piece += data;
            writeOrThrow(file_, e.localOffset, piece, path_);
            end = e.localOffset + piece.size();
        } else {
            // The header goes in with a blank signature until the data is
            // complete, so an add cut short never looks like an entry.
            std::string header = localHeader(e, zip64);
            std::fill(header.begin(), header.begin() + 4, '\0');
            writeOrThrow(file_, e.localOffset, header, path_);
            const uint64_t data = e.localOffset + header.size();
            std::unique_ptr<Bytef[]> in(new Bytef[kChunk]);
            std::unique_ptr<Bytef[]> out(new Bytef[kChunk]);
            ZipDeflater &z = deflater(path);
            uint64_t read = 0, written = 0;
            uint32_t crc = uInt(crc32(0, nullptr, 0));
            int percent = 0;
            for (bool last = false; !last;) {
                const int64_t n = src.readAt(read, in.get(), kChunk);
                if (n < 0)
                    throw ZipError(readError + ": " + src.error());
                last = n == 0;
                crc = uInt(crc32(crc, in.get(), uInt(n)));
                read += uint64_t(n);
                if (!zip64 && read >= zip64Limit_)
                    throw ZipError(changed);
                z.s.next_in = in.get();
                z.s.avail_in = uInt(n);
                do {
                    z.s.next_out = out.get();
                    z.s.avail_out = uInt(kChunk);
                    const int rc = deflate(&z.s, last ? Z_FINISH : Z_NO_FLUSH);
                    if (rc == Z_STREAM_ERROR)
                        throw ZipError("Cannot compress " + path);
                    const size_t produced = kChunk - z.s.avail_out;
                    if (produced && !file_.writeAt(data + written, out.get(), produced))
                        throw ZipError("Cannot write to " + path_ + ": " + file_.error());
                    written += produced;
                } while (z.s.avail_out == 0);
                const int now = int(std::min<uint64_t>(99, read * 100 / std::max<uint64_t>(info.size, 1)));
                if (now != percent && !last) {
                    percent = now;
                    if (abortAt(percent))
                        throw ZipError("Zipping " + path + " was aborted");
                }
            }
            e.crc = crc;
            e.size = read;
            e.method = 8;
            e.compressedSize = written;
            if (written >= read) {
                // Deflate did not help: store the file instead, reading it
                // again and checking that it has not changed meanwhile.
                uint32_t again = uInt(crc32(0, nullptr, 0));
                uint64_t pos = 0;
                while (pos < read) {
                    const int64_t n = src.readAt(pos, in.get(), size_t(std::min<uint64_t>(kChunk, read - pos)));
                    if (n <= 0)
                        throw ZipError(n < 0 ? readError + ": " + src.error() : changed);
                    again = uInt(crc32(again, in.get(), uInt(n)));
                    if (!file_.writeAt(data + pos, in.get(), size_t(n)))
                        throw ZipError("Cannot write to " + path_ + ": " + file_.error());
                    pos += uint64_t(n);
                }
                if (again != crc)
                    throw ZipError(changed);
                e.method = 0;
                e.compressedSize = read;
            }
            checkRead(read);
            writeOrThrow(file_, e.localOffset, localHeader(e, zip64), path_);
            end = data + e.compressedSize;
        }
        const std::string record = centralRecord(e, zip64Limit_);
        if (directoryDue()) {
            writeTail(end, record);
        } else {
            // Only the entry goes to disk now; whatever lay past it (the
            // directory written last time) is cut off, so that a reader
            // finds the entries and then the end of the file.
            if (fileEnd_ > end && !file_.truncate(end))
                throw ZipError("Cannot write to " + path_ + ": " + file_.error());
            fileEnd_ = end;
            dirty_ = true;
        }
        syncOrThrow();
        cd_ += record;
    } catch (...) {
        restoreTail();
        throw;
    }
    cdOffset_ = end;
    names_.insert(e.name);
    entries_.push_back(std::move(e));
    abortAt(100);
    return before;
}
