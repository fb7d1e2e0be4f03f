#include "safety/ZipArchive.h"

#include "common/Text.h"
#include "platform/PathInfo.h"
#include "safety/ZipCrypto.h"
#include "safety/ZipFormat.h"

#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <memory>

using namespace ZipFormat;

namespace {
constexpr uint64_t kMax64 = ~uint64_t(0);

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
    if (file_.isOpen() && writable_) {
        if (dirty_) {
            try {
                writeDirectory();
            } catch (const ZipError &) {
                // The entries are on disk; the next open rebuilds the directory.
            }
        }
        // The record goes only once the directory is on disk: otherwise it
        // stays, and the next start repairs the archive.
        try {
            if (recordWritten_ && tailValid_ && !dirty_ && (!unsynced_ || file_.sync()))
                clearRecord();
        } catch (const ZipError &) {
            // A fault hook of the crash tests: the record stays.
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
    remark_.clear();
    repairNote_.clear();
    trailingFrom_ = 0;
    prefix_ = 0;
    path_.clear();
    cdOffset_ = 0;
    writable_ = false;
    repaired_ = false;
    mayRepair_ = false;
    recordWritten_ = false;
    tailValid_ = false;
    unsynced_ = false;
    repair_ = ZipRepair{};
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
    // A new file is this writer's own; an existing one may be repaired only
    // when the record of an interrupted run names it.
    mayRepair_ = created || recordMatches();
    try {
        load(true);
        if (created) {
            const auto slash = path.find_last_of('/');
            RawFile::syncFolder(slash == std::string::npos ? "." : path.substr(0, std::max<size_t>(slash, 1)));
        }
        // Whatever is written from now on is covered by the record.
        markUnfinished();
        if (repair_.repaired())
            noteRepair(repair_);
    } catch (...) {
        const bool ownRecord = created && recordWritten_;
        recordWritten_ = false; // close() must not take a failed open for a finished one
        close();
        if (created) {
            PathInfo::removeOwnFile(path);
            if (ownRecord)
                PathInfo::removeOwnFile(unfinishedRecordPath(path));
        }
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
    repairNote_ = readRepairNote();
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
    remark_.clear();
    trailingFrom_ = 0;
    prefix_ = 0;
    gapBeforeEnd_ = 0;
    tailValid_ = false;
    repair_ = ZipRepair{};
    repair_.path = path_;
    if (size == 0 && forWriting) {
        // A new archive (or one whose creation was cut short, which holds
        // nothing to lose): write the empty end record.
        markUnfinished();
        cdOffset_ = 0;
        writeTail(0, {});
        syncOrThrow();
        return;
    }
    std::string why;
    if (parseDirectory(why)) {
        if (prefix_)
            remark_ = "The archive has " + formatThousands(int64_t(prefix_)).toStdString()
                + " bytes before its first item (it is self-extracting, or was joined to other data); its items "
                  "were read where they lie.";
        uint64_t first = cdOffset_;
        for (const ZipEntry &e : entries_)
            first = std::min(first, e.localOffset);
        // This writer puts the directory first thing and the end record
        // right after it: bytes anywhere else are another program's.
        if (forWriting && (first > 0 || gapBeforeEnd_ > 0))
            throw ZipError(path_ + " holds " + formatThousands(int64_t(first ? first : gapBeforeEnd_)).toStdString()
                           + (first ? " bytes before its first item" : " bytes between its directory and its end record")
                           + ", so nothing is added to it and it is left as it is");
        if (forWriting && trailingFrom_) {
            // Bytes after the end record: only the remains of a directory
            // this writer wrote before an add that was cut short go.
            if (!mayRepair_ || !staleDirectoryFrom(trailingFrom_))
                throw ZipError(path_ + " holds data after its end record that this program did not write, so it "
                                      "is left as it is");
            markUnfinished();
            unsynced_ = true;
            if (!file_.truncate(trailingFrom_))
                throw ZipError("Cannot write to " + path_ + ": " + file_.error(), file_.errorCode());
            fileEnd_ = trailingFrom_;
            trailingFrom_ = 0;
            syncOrThrow();
            repair_.outcome = ZipRepair::Outcome::Repaired;
            repair_.kept = entries_.size();
        }
        tailValid_ = trailingFrom_ == 0;
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
        // Only what this writer is known to have left unfinished is rewritten.
        if (!mayRepair_)
            throw ZipError(path_ + " is damaged (" + why
                           + ") and was not left so by an unfinished zip run of this program, so it is left as it is");
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
        markUnfinished();
        writeTail(cdOffset_, {});
        syncOrThrow();
        repair_.outcome = ZipRepair::Outcome::Repaired;
        repair_.kept = entries_.size();
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
            uint64_t z64 = get64(loc + 8);
            unsigned char rec[56];
            auto readAt = [&](uint64_t at) {
                return at <= r.pos - 20 && r.pos - 20 - at >= 56 && file_.readFully(at, rec, 56)
                    && get32(rec) == kEnd64Sig;
            };
            // Bytes before the archive shift the zip64 end record too: it
            // is then looked for just before its locator.
            if (!readAt(z64)) {
                if (r.pos < 76 || !readAt(r.pos - 76)) {
                    why = "bad zip64 end record";
                    return false;
                }
                z64 = r.pos - 76;
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
        const bool read = readEndRecord(tail, tailStart, size_t(i), r, w);
        if (read && (atEnd || r.cdOffset + r.cdSize == r.bound) && parseDirectoryAt(r, !atEnd, w)) {
            trailingFrom_ = atEnd ? 0 : r.end;
            gapBeforeEnd_ = r.bound - r.cdOffset - r.cdSize;
            return true;
        }
        // Bytes before the archive (a self-extracting archive, one joined
        // to other data) shift every offset: the directory then ends just
        // before the end record, and the offsets are read shifted by the
        // distance, as other readers do.
        if (read && atEnd && w.find("overlap") == std::string::npos && r.cdSize <= r.bound
            && r.bound - r.cdSize > r.cdOffset) {
            const uint64_t shift = r.bound - r.cdSize - r.cdOffset;
            EndRecord shifted = r;
            shifted.cdOffset += shift;
            std::string ws;
            if (parseDirectoryAt(shifted, true, ws, shift)) {
                prefix_ = shift;
                return true;
            }
            if (ws.find("overlap") != std::string::npos)
                w = ws;
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

bool ZipArchive::parseDirectoryAt(const EndRecord &r, bool exact, std::string &why, uint64_t shift)
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
        if (z.localOffset > kMax64 - shift) {
            why = "an entry lies outside the archive's data";
            return false;
        }
        z.localOffset += shift;
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
