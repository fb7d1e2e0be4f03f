#include "safety/ZipArchive.h"

#include "safety/ZipFormat.h"

#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <memory>

// The writer: adds, the directory and end records, comment, sync and rollback.

using namespace ZipFormat;

namespace {
// Files up to this size are read, compressed and written in one piece.
constexpr uint64_t kInMemory = 4 * 1024 * 1024;
// 1 January 1980, 00:00: the stamp for files whose time has no DOS form.
constexpr DosDateTime kEarliest = (1u << 21 | 1u << 16);

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

void writeOrThrow(RawFile &f, uint64_t at, const std::string &data, const std::string &path)
{
    if (!f.writeAt(at, data.data(), data.size()))
        throw ZipError("Cannot write to " + path + ": " + f.error(), f.errorCode());
}
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
    tailValid_ = false;
    unsynced_ = true;
    writeOrThrow(file_, at, tail, path_);
    if (!file_.truncate(at + tail.size()))
        throw ZipError("Cannot write to " + path_ + ": " + file_.error(), file_.errorCode());
    tailValid_ = true;
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
    unsynced_ = false;
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
    if (!sync_)
        return;
    if (!file_.sync())
        throw ZipError("Cannot write to " + path_ + ": " + file_.error(), file_.errorCode());
    unsynced_ = false;
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
        // From the first byte written until the directory follows the new
        // entry, the file does not end in a directory.
        tailValid_ = false;
        unsynced_ = true;
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
