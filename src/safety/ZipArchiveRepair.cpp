#include "safety/ZipArchive.h"

#include "common/Text.h"
#include "platform/AtomicFile.h"
#include "platform/PathInfo.h"
#include "safety/ZipFormat.h"

#include <algorithm>
#include <cstring>
#include <optional>

// The listing and repair of archives without a valid directory: entries
// found from their local headers.

using namespace ZipFormat;

namespace {
// "<device> <inode>" of the archive a record or note belongs to.
std::string identityLine(const RawFile &f)
{
    RawFile::Info info;
    if (!f.stat(info))
        return {};
    return std::to_string(info.device) + " " + std::to_string(info.inode);
}

std::string folderOf(const std::string &path)
{
    const size_t slash = path.rfind('/');
    return slash == std::string::npos ? std::string(".") : path.substr(0, std::max<size_t>(slash, 1));
}

std::string besideArchive(const std::string &archivePath, const char *suffix)
{
    const size_t slash = archivePath.rfind('/');
    const std::string name = slash == std::string::npos ? archivePath : archivePath.substr(slash + 1);
    return (slash == std::string::npos ? std::string() : archivePath.substr(0, slash + 1)) + "." + name + suffix;
}

// The text of a record or note when its first line names this file.
std::optional<std::string> ownedText(const std::string &path, const RawFile &archive)
{
    std::string content;
    if (AtomicFile::load(path, content) != AtomicFile::ReadResult::Read)
        return std::nullopt;
    const size_t eol = content.find('\n');
    const std::string id = identityLine(archive);
    if (id.empty() || content.substr(0, eol) != id)
        return std::nullopt;
    return eol == std::string::npos ? std::string() : content.substr(eol + 1);
}
}

std::string ZipRepair::message() const
{
    if (outcome == Outcome::LeftDamaged)
        return why;
    if (outcome != Outcome::Repaired)
        return {};
    std::string text = "The archive " + path + " was left unfinished when a zip run stopped, and was repaired: it holds "
        + (kept ? formatThousands(int64_t(kept)).toStdString() + (kept == 1 ? " file." : " files.")
                : std::string("no files."));
    if (!dropped.empty())
        text += " The file " + dropped
            + " was being zipped when the run stopped; it is not in the archive, and its original was not deleted.";
    else if (droppedUnnamed)
        text += " A file was being zipped when the run stopped; it is not in the archive, and its original was not "
                "deleted.";
    return text;
}

std::string ZipArchive::unfinishedRecordPath(const std::string &archivePath)
{
    return besideArchive(archivePath, ".unfinished");
}

std::string ZipArchive::repairNotePath(const std::string &archivePath)
{
    return besideArchive(archivePath, ".repaired");
}

bool ZipArchive::recordUnfinished(const std::string &path)
{
    RawFile f;
    if (!f.open(path, RawFile::Mode::Read))
        return false;
    const std::string id = identityLine(f);
    return !id.empty() && AtomicFile::write(unfinishedRecordPath(path), id + "\n");
}

bool ZipArchive::recordMatches() const { return ownedText(unfinishedRecordPath(path_), file_).has_value(); }

std::string ZipArchive::readRepairNote() const { return ownedText(repairNotePath(path_), file_).value_or(""); }

void ZipArchive::markUnfinished()
{
    if (recordWritten_)
        return;
    const std::string record = unfinishedRecordPath(path_);
    const std::string id = identityLine(file_);
    if (id.empty() || !AtomicFile::write(record, id + "\n"))
        throw ZipError("Cannot write " + record + ", the record that the archive is being written");
    recordWritten_ = true;
}

void ZipArchive::clearRecord()
{
    if (PathInfo::removeOwnFile(unfinishedRecordPath(path_)))
        RawFile::syncFolder(folderOf(path_));
    recordWritten_ = false;
}

ZipRepair ZipArchive::repairInterrupted(const std::string &path)
{
    ZipRepair r;
    r.path = path;
    ZipArchive z;
    z.path_ = path;
    z.writable_ = true;
    if (!z.file_.open(path, RawFile::Mode::ReadWrite) || !z.file_.lockExclusive())
        return r;
    // The record of a run that was at work on this very file.
    z.mayRepair_ = z.recordMatches();
    z.recordWritten_ = z.mayRepair_;
    z.unsynced_ = z.mayRepair_; // what the interrupted run wrote is synced before its record goes
    const uint64_t size = z.file_.size();
    if (size > 0 && !z.mayRepair_) {
        // No run of this program left it unfinished: nothing is rewritten,
        // and a damaged archive is not read through (the reader says what
        // it lacks when it is opened).
        std::string why;
        if (z.parseDirectory(why))
            return r;
        r.outcome = ZipRepair::Outcome::LeftDamaged;
        r.why = path + " is damaged (" + why
            + ") and was not left so by an unfinished zip run of this program, so it is left as it is.";
        return r;
    }
    try {
        z.load(true);
    } catch (const ZipError &e) {
        // The record stays: the run that left it never finished.
        z.recordWritten_ = false;
        r.outcome = ZipRepair::Outcome::LeftDamaged;
        r.why = e.what();
        return r;
    }
    r = z.repair_;
    r.path = path;
    if (size == 0) {
        // An archive whose creation was cut short: it now holds no files.
        r.outcome = ZipRepair::Outcome::Repaired;
        r.kept = 0;
    }
    if (r.repaired())
        z.noteRepair(r);
    // close() syncs, and drops the record once the archive is whole.
    return r;
}

void ZipArchive::noteRepair(const ZipRepair &r) const
{
    // Kept beside the archive, so that its restore says what the repair left out.
    const std::string id = identityLine(file_);
    if (!id.empty())
        AtomicFile::write(repairNotePath(path_), id + "\n" + r.message());
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
    // What follows may only be what an interrupted add leaves: the add's
    // own unfinished header (its data running to where its header says, or
    // to the end of the file while the header is blank), or the directory
    // that was written before it. No complete entry of any form may lie
    // after the cut, except inside the unfinished add's own data (a zip
    // file being zipped holds entries of its own).
    Header u;
    const bool unfinished = readHeader(pos, u, true) && u.ownForm;
    uint64_t skipFrom = 0, skipTo = 0;
    if (unfinished) {
        unsigned char sig[4] = {0, 0, 0, 0};
        const bool blank = file_.readFully(pos, sig, 4) && get32(sig) == 0;
        skipFrom = u.data;
        skipTo = blank || u.entry.compressedSize > size - u.data ? size : u.data + u.entry.compressedSize;
    }
    if (entryFollows(pos, skipFrom, skipTo)) {
        why = "items follow a damaged one";
        return false;
    }
    if (staleDirectoryFrom(pos))
        return true;
    if (unfinished) {
        repair_.dropped = u.entry.name;
        return true;
    }
    if (size - pos < 30) {
        // A header cut short in its first bytes.
        unsigned char b[4] = {0, 0, 0, 0};
        const size_t n = size_t(std::min<uint64_t>(4, size - pos));
        static const unsigned char sig[4] = {'P', 'K', 3, 4};
        if (file_.readFully(pos, b, n)
            && (std::memcmp(b, sig, n) == 0 || std::all_of(b, b + n, [](unsigned char c) { return c == 0; }))) {
            repair_.droppedUnnamed = true;
            return true;
        }
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

bool ZipArchive::entryFollows(uint64_t from, uint64_t skipFrom, uint64_t skipTo) const
{
    // Any entry, of whatever form, whose data decodes to its recorded size
    // and CRC.
    const uint64_t size = file_.size();
    constexpr size_t kWindow = 1 << 20;
    std::string buf;
    for (uint64_t at = from; at < size;) {
        scanStep();
        const size_t n = size_t(std::min<uint64_t>(kWindow + 3, size - at));
        buf.resize(n);
        if (!file_.readFully(at, buf.data(), n))
            return false;
        for (size_t i = 0; i + 4 <= n && i < kWindow; ++i) {
            if (get32(bytes(buf) + i) != kLocalSig || (at + i >= skipFrom && at + i < skipTo))
                continue;
            Header h;
            if (!readHeader(at + i, h) || h.entry.compressedSize > size - h.data)
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
