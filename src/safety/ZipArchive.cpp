#include "safety/ZipArchive.h"

#include "common/Text.h"
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
constexpr uint16_t kTimeExtra = 0x5455; // extended time stamp: flags, then the modification time
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

// The fields local headers and directory records share, in the same order
// (version needed to sizes), starting at p.
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

// Finds the field id in an extra block: 1 with its data and length, 0 when
// it is not there, -1 when the block is malformed.
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

// Reads the zip64 extended-information field of an extra block: each value
// is present only when its 32-bit (or 16-bit) field holds the maximum.
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

// The modification time of an extended time stamp field (0x5455), when
// the field is there and holds one.
std::optional<int64_t> readUnixTime(const std::string &extra)
{
    const unsigned char *field = nullptr;
    uint16_t len = 0;
    if (findExtra(extra, kTimeExtra, field, len) == 1 && len >= 5 && (field[0] & 1))
        return int64_t(int32_t(get32(field + 1)));
    return std::nullopt;
}

// True when an extra block holds only the fields this writer writes: the
// zip64 sizes and the time stamp, each at most once.
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

// The extended time stamp field of an entry (empty without a time).
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
        throw ZipError("Cannot write to " + path + ": " + f.error(), f.errorCode());
}
}

bool ZipError::diskFull() const { return code_ == ENOSPC || code_ == EDQUOT || code_ == EFBIG; }

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
    limits_.clear();
    cd_.clear();
    comment_.clear();
    missing_.clear();
    trailingFrom_ = 0;
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
    const uint64_t before = z.file_.size();
    try {
        z.load(true);
    } catch (const ZipError &) {
        return false;
    }
    return empty || z.repaired_ || z.file_.size() != before;
}

struct ZipArchive::Header {
    ZipEntry entry;
    uint64_t data = 0;        // where the data begins
    bool ownForm = false;     // laid out as this writer lays out its entries
    bool zip64 = false;
};

bool ZipArchive::readHeader(uint64_t pos, Header &h, bool blankSignature) const
{
    const uint64_t size = file_.size();
    unsigned char b[30];
    if (pos > size || size - pos < 30 || !file_.readFully(pos, b, 30))
        return false;
    if (get32(b) != kLocalSig && !(blankSignature && get32(b) == 0))
        return false;
    ZipEntry &z = h.entry;
    z = ZipEntry{};
    z.versionMadeBy = kMadeBy;
    readSharedFields(z, b + 4);
    z.externalAttributes = 0100644u << 16;
    z.localOffset = pos;
    const size_t nameLen = get16(b + 26), extraLen = get16(b + 28);
    if (size - pos - 30 < nameLen + extraLen)
        return false;
    std::string ne(nameLen + extraLen, '\0');
    if (!file_.readFully(pos + 30, ne.data(), ne.size()))
        return false;
    z.name = ne.substr(0, nameLen);
    const std::string extra = ne.substr(nameLen);
    h.zip64 = z.size == kMax32 || z.compressedSize == kMax32;
    if (!readZip64Extra(extra, z.size, z.compressedSize, nullptr))
        return false;
    z.unixTime = readUnixTime(extra);
    h.data = pos + 30 + nameLen + extraLen;
    h.ownForm = (z.versionNeeded == 20 || z.versionNeeded == 45) && (z.flags & ~0x800) == 0
        && (z.method == 0 || z.method == 8) && nameLen > 0 && ownExtra(extra);
    return true;
}

void ZipArchive::scanStep() const
{
    if (scanHook_ && scanHook_())
        throw ZipError("Reading " + path_ + " was aborted");
}

void ZipArchive::load(bool forWriting)
{
    lastDirectory_ = std::chrono::steady_clock::now();
    fileEnd_ = file_.size();
    const uint64_t size = file_.size();
    missing_.clear();
    trailingFrom_ = 0;
    if (size == 0 && forWriting) {
        // A new archive (or one whose creation was cut short): write the empty end record.
        cdOffset_ = 0;
        writeTail(0, {});
        syncOrThrow();
        return;
    }
    std::string why;
    if (parseDirectory(why)) {
        if (forWriting && trailingFrom_) {
            // Bytes after the end record: only the remains of a directory
            // this writer wrote before an add that was cut short go.
            if (!staleDirectoryFrom(trailingFrom_))
                throw ZipError(path_ + " holds data after its end record that this program did not write, so it "
                                      "is left as it is");
            if (!file_.truncate(trailingFrom_))
                throw ZipError("Cannot write to " + path_ + ": " + file_.error(), file_.errorCode());
            fileEnd_ = trailingFrom_;
            trailingFrom_ = 0;
            syncOrThrow();
        }
        return;
    }
    if (why.find("overlap") != std::string::npos)
        throw ZipError(path_ + " cannot be read: " + why);
    unsigned char sig[4];
    if (size < 4 || !file_.readFully(0, sig, 4) || get32(sig) != kLocalSig)
        throw ZipError(path_ + " is not a zip archive (" + why + ")");
    entries_.clear();
    names_.clear();
    limits_.clear();
    comment_.clear();
    repaired_ = true;
    if (forWriting) {
        std::string notOurs;
        if (!leftOfInterruptedRun(notOurs))
            throw ZipError(path_ + " is damaged (" + notOurs + "), so it is left as it is");
    } else {
        scanLocalHeaders();
    }
    cd_.clear();
    for (const ZipEntry &e : entries_)
        cd_ += centralRecord(e, zip64Limit_);
    if (forWriting) {
        writeTail(cdOffset_, {});
        syncOrThrow();
    }
}

bool ZipArchive::readEndRecord(const std::string &tail, uint64_t tailStart, size_t at, EndRecord &r,
                               std::string &why) const
{
    const unsigned char *e = bytes(tail) + at;
    r.pos = tailStart + at;
    r.end = r.pos + 22 + get16(e + 20);
    if (get16(e + 4) != 0 || get16(e + 6) != 0) {
        why = "multi-volume archives are not supported";
        return false;
    }
    r.count = get16(e + 10);
    r.cdSize = get32(e + 12);
    r.cdOffset = get32(e + 16);
    r.comment.assign(reinterpret_cast<const char *>(e + 22), get16(e + 20));
    r.bound = r.pos;
    if (r.pos >= 20) {
        unsigned char loc[20];
        if (file_.readFully(r.pos - 20, loc, 20) && get32(loc) == kLocator64Sig) {
            const uint64_t z64 = get64(loc + 8);
            unsigned char rec[56];
            if (z64 > r.pos - 20 || r.pos - 20 - z64 < 56 || !file_.readFully(z64, rec, 56)
                || get32(rec) != kEnd64Sig) {
                why = "bad zip64 end record";
                return false;
            }
            r.count = get64(rec + 32);
            r.cdSize = get64(rec + 40);
            r.cdOffset = get64(rec + 48);
            r.bound = z64;
        }
    }
    if (r.cdOffset > r.bound || r.cdSize > r.bound - r.cdOffset) {
        why = "the central directory lies outside the file";
        return false;
    }
    return true;
}

bool ZipArchive::parseDirectory(std::string &why)
{
    entries_.clear();
    names_.clear();
    limits_.clear();
    const uint64_t size = file_.size();
    if (size < 22) {
        why = "too short";
        return false;
    }
    const uint64_t tailLen = std::min<uint64_t>(size, 22 + 65535);
    const uint64_t tailStart = size - tailLen;
    std::string tail(tailLen, '\0');
    if (!file_.readFully(tailStart, tail.data(), tailLen)) {
        why = file_.error();
        return false;
    }
    // The last end record whose directory reads; one that ends before the
    // end of the file must have its directory exactly before it, so that
    // stray bytes are not taken for an archive. Only a few are tried.
    const unsigned char *t = bytes(tail);
    int tried = 0;
    std::string firstWhy;
    for (int64_t i = int64_t(tailLen) - 22; i >= 0 && tried < 8; --i) {
        if (get32(t + i) != kEndSig || uint64_t(i) + 22 + get16(t + i + 20) > tailLen)
            continue;
        ++tried;
        const bool atEnd = uint64_t(i) + 22 + get16(t + i + 20) == tailLen;
        EndRecord r;
        std::string w;
        if (readEndRecord(tail, tailStart, size_t(i), r, w) && (atEnd || r.cdOffset + r.cdSize == r.bound)
            && parseDirectoryAt(r, !atEnd, w)) {
            trailingFrom_ = atEnd ? 0 : r.end;
            return true;
        }
        if (firstWhy.empty())
            firstWhy = w;
        if (w.find("overlap") != std::string::npos) {
            why = w;
            return false;
        }
    }
    why = tried ? firstWhy : "no end of central directory record";
    return false;
}

bool ZipArchive::parseDirectoryAt(const EndRecord &r, bool exact, std::string &why)
{
    const uint64_t count = r.count, cdSize = r.cdSize, cdOffset = r.cdOffset;
    if (cdSize > kMaxDirectory || count > cdSize / 46 || (exact && count == 0 && cdSize != 0)) {
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
        const unsigned char *rec = p + pos;
        ZipEntry z;
        z.versionMadeBy = get16(rec + 4);
        readSharedFields(z, rec + 6);
        const size_t nameLen = get16(rec + 28), extraLen = get16(rec + 30), commentLen = get16(rec + 32);
        const uint16_t disk = get16(rec + 34);
        z.externalAttributes = get32(rec + 38);
        z.localOffset = get32(rec + 42);
        if (pos + 46 + nameLen + extraLen + commentLen > cd.size()) {
            why = "damaged central directory";
            return false;
        }
        z.name.assign(reinterpret_cast<const char *>(rec + 46), nameLen);
        const std::string extra(reinterpret_cast<const char *>(rec + 46 + nameLen), extraLen);
        z.comment.assign(reinterpret_cast<const char *>(rec + 46 + nameLen + extraLen), commentLen);
        if (!readZip64Extra(extra, z.size, z.compressedSize, &z.localOffset) || (disk != 0 && disk != kMax16)) {
            why = "damaged central directory";
            return false;
        }
        z.unixTime = readUnixTime(extra);
        if (z.localOffset > cdOffset || cdOffset - z.localOffset < 30 + nameLen
            || z.compressedSize > cdOffset - z.localOffset - 30 - nameLen) {
            why = "an entry lies outside the archive's data";
            return false;
        }
        pos += 46 + nameLen + extraLen + commentLen;
        list.push_back(std::move(z));
    }
    entries_ = std::move(list);
    cdOffset_ = cdOffset;
    if (!checkOverlaps(why)) {
        entries_.clear();
        return false;
    }
    for (const ZipEntry &z : entries_)
        names_.insert(z.name);
    cd_ = cd.substr(0, pos);
    comment_ = r.comment;
    return true;
}

bool ZipArchive::checkOverlaps(std::string &why)
{
    // Each entry's header and data must end before the next entry (in file
    // order) begins: entries that share data would unpack it again and
    // again (a small archive could fill a disk).
    std::vector<size_t> order(entries_.size());
    for (size_t i = 0; i < order.size(); ++i)
        order[i] = i;
    std::sort(order.begin(), order.end(),
              [&](size_t a, size_t b) { return entries_[a].localOffset < entries_[b].localOffset; });
    limits_.assign(entries_.size(), cdOffset_);
    for (size_t k = 0; k < order.size(); ++k) {
        const ZipEntry &e = entries_[order[k]];
        const uint64_t next = k + 1 < order.size() ? entries_[order[k + 1]].localOffset : cdOffset_;
        const uint64_t least = 30 + uint64_t(e.name.size()) + e.compressedSize;
        if (next < e.localOffset || next - e.localOffset < least) {
            why = "its items overlap one another (the same data would be unpacked more than once)";
            return false;
        }
        limits_[order[k]] = next;
    }
    return true;
}

bool ZipArchive::findDescriptor(uint64_t data, bool zip64, ZipEntry &z, uint64_t &next) const
{
    // The sizes follow the data in a descriptor: look for one whose
    // compressed size is its own distance from the data, with its signature
    // or just before the next header. Nothing is decompressed, so the work
    // is bounded by the archive's size, not by what the data unpacks to.
    const uint64_t size = file_.size();
    constexpr size_t kWindow = 1 << 20;
    constexpr size_t kOverlap = 28;
    std::string buf;
    for (uint64_t at = data; at < size;) {
        scanStep();
        const size_t n = size_t(std::min<uint64_t>(kWindow + kOverlap, size - at));
        buf.resize(n);
        if (!file_.readFully(at, buf.data(), n))
            return false;
        const unsigned char *b = bytes(buf);
        const size_t last = n >= 4 ? n - 4 : 0;
        for (size_t i = 0; i <= last && i < kWindow; ++i) {
            if (b[i] != 'P' || b[i + 1] != 'K')
                continue;
            const uint64_t d = at + i;
            const uint32_t sig = get32(b + i);
            if (sig == kDescriptorSig) {
                if (!zip64 && i + 16 <= n && get32(b + i + 8) == d - data) {
                    z.crc = get32(b + i + 4);
                    z.compressedSize = d - data;
                    z.size = get32(b + i + 12);
                    next = d + 16;
                    return true;
                }
                if (i + 24 <= n && get64(b + i + 8) == d - data) {
                    z.crc = get32(b + i + 4);
                    z.compressedSize = d - data;
                    z.size = get64(b + i + 16);
                    next = d + 24;
                    return true;
                }
            } else if (sig == kLocalSig || sig == kCentralSig) {
                // A descriptor without its signature ends here.
                std::string desc(20, '\0');
                if (!zip64 && d >= data + 12 && file_.readFully(d - 12, desc.data(), 12)
                    && get32(bytes(desc) + 4) == d - 12 - data) {
                    z.crc = get32(bytes(desc));
                    z.compressedSize = d - 12 - data;
                    z.size = get32(bytes(desc) + 8);
                    next = d;
                    return true;
                }
                if (d >= data + 20 && file_.readFully(d - 20, desc.data(), 20)
                    && get64(bytes(desc) + 4) == d - 20 - data) {
                    z.crc = get32(bytes(desc));
                    z.compressedSize = d - 20 - data;
                    z.size = get64(bytes(desc) + 12);
                    next = d;
                    return true;
                }
            }
        }
        at += std::min<uint64_t>(kWindow, n);
    }
    return false;
}

void ZipArchive::scanLocalHeaders()
{
    // Listing only: each entry is found by the sizes its header (or its
    // descriptor) records; its data is checked when it is read.
    const uint64_t size = file_.size();
    uint64_t pos = 0;
    std::string lost;
    std::vector<uint64_t> ends;
    while (pos < size) {
        scanStep();
        Header h;
        if (!readHeader(pos, h)) {
            unsigned char sig[4] = {0, 0, 0, 0};
            const bool header = size - pos >= 4 && file_.readFully(pos, sig, 4) && get32(sig) == kLocalSig;
            const bool directory = size - pos >= 4 && (get32(sig) == kCentralSig || get32(sig) == kEndSig);
            if (header || (size - pos < 30 && !directory))
                lost = "it ends inside the header of an item, which is lost";
            else if (!directory)
                lost = formatThousands(int64_t(size - pos)).toStdString() + " bytes after "
                    + (entries_.empty() ? std::string("its start") : "the item " + entries_.back().name)
                    + " could not be read as items";
            break;
        }
        ZipEntry &z = h.entry;
        uint64_t next = 0;
        if (z.flags & 8) {
            if (!findDescriptor(h.data, h.zip64, z, next)) {
                lost = "the end of the item " + z.name
                    + " was not found (its size is recorded after its data), so it and anything after it are "
                      "left out";
                break;
            }
        } else {
            if (z.compressedSize > size - h.data) {
                lost = "it ends inside the item " + z.name + ", which is lost with anything after it";
                break;
            }
            next = h.data + z.compressedSize;
        }
        names_.insert(z.name);
        entries_.push_back(std::move(z));
        ends.push_back(next);
        pos = next;
    }
    cdOffset_ = pos;
    limits_ = std::move(ends);
    missing_ = "The archive has no directory (it was not finished), so its items were read from their headers";
    missing_ += lost.empty() ? std::string(".") : "; " + lost + ".";
}

bool ZipArchive::leftOfInterruptedRun(std::string &why)
{
    // The entries this writer completed, each checked against its CRC.
    const uint64_t size = file_.size();
    uint64_t pos = 0;
    for (;;) {
        Header h;
        if (!readHeader(pos, h) || !h.ownForm || h.entry.compressedSize > size - h.data)
            break;
        try {
            decode(h.entry, h.data, h.data + h.entry.compressedSize, {}, nullptr, true);
        } catch (const ZipError &) {
            break;
        }
        names_.insert(h.entry.name);
        limits_.push_back(h.data + h.entry.compressedSize);
        entries_.push_back(std::move(h.entry));
        pos = limits_.back();
    }
    cdOffset_ = pos;
    if (pos == size)
        return true;
    // What follows may only be what an interrupted add leaves: no complete
    // entry after it, and either the add's own unfinished header or the
    // directory that was written before it.
    if (ownEntryFollows(pos)) {
        why = "items follow a damaged one";
        return false;
    }
    if (staleDirectoryFrom(pos))
        return true;
    Header h;
    if (readHeader(pos, h, true)) {
        const ZipEntry &z = h.entry;
        if ((z.versionNeeded == 20 || z.versionNeeded == 45) && (z.flags & ~0x800) == 0
            && (z.method == 0 || z.method == 8))
            return true;
    } else if (size - pos < 30) {
        // A header cut short in its first bytes.
        unsigned char b[4] = {0, 0, 0, 0};
        const size_t n = size_t(std::min<uint64_t>(4, size - pos));
        static const unsigned char sig[4] = {'P', 'K', 3, 4};
        if (file_.readFully(pos, b, n)
            && (std::memcmp(b, sig, n) == 0 || std::all_of(b, b + n, [](unsigned char c) { return c == 0; })))
            return true;
    }
    why = "it holds data that this program did not write";
    return false;
}

bool ZipArchive::staleDirectoryFrom(uint64_t from) const
{
    // What is left of a directory (and end record) written before the last
    // add: that directory began where one of the entries now begins (or at
    // the start, for an empty archive), listed the entries before it, and
    // ran to the end of the file; the add wrote over its start. Every byte
    // from `from` on must be what that directory held there (a file mode,
    // not kept in the local headers, excepted).
    const uint64_t size = file_.size();
    if (from >= size)
        return true;
    std::string tail(size - from, '\0');
    if (size - from > kMaxDirectory || !file_.readFully(from, tail.data(), tail.size()))
        return false;
    std::string records;
    std::vector<size_t> modes; // where each record's external attributes lie
    for (size_t k = 0; k <= entries_.size(); ++k) {
        const uint64_t start = k < entries_.size() ? entries_[k].localOffset : from;
        if (start <= from) {
            for (const uint64_t fixed : {uint64_t(22), uint64_t(22 + 76)}) {
                if (size - start < records.size() + fixed || size - start - records.size() - fixed > kMax16)
                    continue;
                const size_t c = size_t(size - start - records.size() - fixed);
                if (tail.size() < c)
                    continue;
                const std::string comment = tail.substr(tail.size() - c);
                const std::string expected = records + endRecords(start, records.size(), k, &comment);
                if (expected.size() != size - start)
                    continue;
                const size_t skip = size_t(from - start);
                bool same = true;
                size_t compared = 0;
                for (size_t i = skip; i < expected.size() && same; ++i) {
                    const bool mode = std::any_of(modes.begin(), modes.end(),
                                                  [&](size_t m) { return i >= m && i < m + 4; });
                    if (!mode && i < expected.size() - c) {
                        same = expected[i] == tail[i - skip];
                        ++compared;
                    }
                }
                // Past the fixed records only the comment remains, which
                // proves nothing: then the remnant must be short.
                if (same && (compared >= 4 || tail.size() <= 256))
                    return true;
            }
        }
        if (k < entries_.size()) {
            modes.push_back(records.size() + 38);
            records += centralRecord(entries_[k], zip64Limit_);
        }
    }
    return false;
}

bool ZipArchive::ownEntryFollows(uint64_t from) const
{
    const uint64_t size = file_.size();
    constexpr size_t kWindow = 1 << 20;
    std::string buf;
    for (uint64_t at = from + 1; at < size;) {
        scanStep();
        const size_t n = size_t(std::min<uint64_t>(kWindow + 3, size - at));
        buf.resize(n);
        if (!file_.readFully(at, buf.data(), n))
            return false;
        for (size_t i = 0; i + 4 <= n && i < kWindow; ++i) {
            if (get32(bytes(buf) + i) != kLocalSig)
                continue;
            Header h;
            if (!readHeader(at + i, h) || !h.ownForm || h.entry.compressedSize > size - h.data)
                continue;
            try {
                decode(h.entry, h.data, h.data + h.entry.compressedSize, {}, nullptr, true);
                return true;
            } catch (const ZipError &) {
            }
        }
        at += std::min<uint64_t>(kWindow, n);
    }
    return false;
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
                        const std::string *password, bool scanning) const
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
    // A scan for a repair only checks the data; it lets its hook run at each piece.
    const Sink scanSink = [this](const char *, size_t) { scanStep(); };
    const Sink &out = scanning && !sink ? scanSink : sink;
    uint32_t crc = 0;
    uint64_t produced = 0;
    try {
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
                if (out)
                    out(buf.get(), n);
                produced += n;
            }
        } else {
            uint64_t consumed = 0;
            produced = inflateRange(file_, data, data + payload, e.size, crc, consumed, out, e.name, crypto.get());
        }
        if (produced != e.size)
            throw ZipError("The data of " + e.name + " is shorter than its recorded size");
        if (crc != e.crc)
            throw ZipError("The data of " + e.name + " fails its CRC check");
    } catch (const ZipError &err) {
        // One wrong password in 256 passes the header's check byte; what it
        // decrypts is noise, which is not damage to the archive.
        if (crypto && std::string(err.what()).find("cannot be read") == std::string::npos)
            throw ZipError("The password for " + e.name
                           + " may be wrong: the data it decrypts does not check out (" + err.what() + ")");
        throw;
    }
}

void ZipArchive::readEntry(size_t index, const Sink &sink, const std::string *password) const
{
    if (!isOpen() || index >= entries_.size())
        throw ZipError("No such entry");
    const ZipEntry &e = entries_[index];
    decode(e, dataStart(e), index < limits_.size() ? limits_[index] : cdOffset_, sink, password);
}

std::string ZipArchive::endRecords(uint64_t cdOffset, uint64_t cdSize, uint64_t count,
                                   const std::string *comment) const
{
    const std::string &text = comment ? *comment : comment_;
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
    put16(s, uint16_t(text.size()));
    s += text;
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
        throw ZipError("Cannot write to " + path_ + ": " + file_.error(), file_.errorCode());
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
        throw ZipError("Cannot write to " + path_ + ": " + file_.error(), file_.errorCode());
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
    limits_.resize(std::min(limits_.size(), m.entries));
    cd_.resize(m.directoryBytes);
    cdOffset_ = m.end;
    restoreTail();
}

void ZipArchive::syncOrThrow()
{
    if (sync_ && !file_.sync())
        throw ZipError("Cannot write to " + path_ + ": " + file_.error(), file_.errorCode());
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
    if (info.mtime >= INT32_MIN && info.mtime <= INT32_MAX)
        e.unixTime = info.mtime;
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
                        throw ZipError("Cannot write to " + path_ + ": " + file_.error(), file_.errorCode());
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
                // again and checking that it has not changed meanwhile. The
                // longer deflated data goes first, so that nothing of it is
                // left past the entry.
                if (!file_.truncate(data))
                    throw ZipError("Cannot write to " + path_ + ": " + file_.error(), file_.errorCode());
                fileEnd_ = data;
                uint32_t again = uInt(crc32(0, nullptr, 0));
                uint64_t pos = 0;
                while (pos < read) {
                    const int64_t n = src.readAt(pos, in.get(), size_t(std::min<uint64_t>(kChunk, read - pos)));
                    if (n <= 0)
                        throw ZipError(n < 0 ? readError + ": " + src.error() : changed);
                    again = uInt(crc32(again, in.get(), uInt(n)));
                    if (!file_.writeAt(data + pos, in.get(), size_t(n)))
                        throw ZipError("Cannot write to " + path_ + ": " + file_.error(), file_.errorCode());
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
                throw ZipError("Cannot write to " + path_ + ": " + file_.error(), file_.errorCode());
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
    limits_.push_back(end);
    abortAt(100);
    return before;
}
