#pragma once
#include "common/DosTime.h"
#include "platform/RawFile.h"

#include <algorithm>
#include <chrono>
#include <cstdint>
#include <functional>
#include <memory>
#include <optional>
#include <stdexcept>
#include <string>
#include <unordered_set>
#include <vector>

// Any failure of the archive component: a file that is not a readable
// archive, a file that cannot be added, an abort, a failed write.
class ZipError : public std::runtime_error {
public:
    // code: the errno of a failed write to the archive (0 for other failures).
    explicit ZipError(const std::string &what, int code = 0) : std::runtime_error(what), code_(code) {}
    int code() const { return code_; }
    // True when the archive's file system is full (or the file may not grow).
    bool diskFull() const;

private:
    int code_ = 0;
};

struct ZipDeflater;

// What ZipArchive::repairInterrupted did with an archive.
struct ZipRepair {
    enum class Outcome {
        None,       // whole, in use, or not there: nothing done
        Repaired,   // an archive an interrupted run left unfinished, made whole
        LeftDamaged // damaged, but not left so by an interrupted run of this writer: left as it is
    };
    Outcome outcome = Outcome::None;
    std::string path;
    size_t kept = 0;          // Repaired: the items the archive holds
    std::string dropped;      // Repaired: the unfinished item left out (empty: none, or its name unreadable)
    bool droppedUnnamed = false; // Repaired: an unfinished item whose name could not be read was left out
    std::string why;          // LeftDamaged: what is wrong with it
    bool repaired() const { return outcome == Outcome::Repaired; }
    // The report of a repair, in words (empty when nothing was repaired).
    std::string message() const;
};

// One item of an archive as its central directory describes it.
struct ZipEntry {
    std::string name;              // stored name, bytes as stored ("/" separators)
    uint16_t versionMadeBy = 0;
    uint16_t versionNeeded = 0;
    uint16_t flags = 0;            // bit 0 encrypted, bit 3 data descriptor, bit 11 UTF-8 name
    uint16_t method = 0;           // 0 stored, 8 deflated
    DosDateTime time = 0;          // date in the high, time in the low 16 bits
    uint32_t crc = 0;
    uint64_t compressedSize = 0;
    uint64_t size = 0;
    uint64_t localOffset = 0;      // of the local header
    uint32_t externalAttributes = 0;
    std::string comment;
    // The modification time in seconds since the epoch from the extended
    // time stamp (extra field 0x5455), when the entry has one.
    std::optional<int64_t> unixTime;

    bool encrypted() const { return flags & 1; }
    bool utf8Name() const { return flags & 0x800; }
    bool isFolder() const { return !name.empty() && name.back() == '/'; }
};

// A zip archive in the PKZIP format, written and read by this code; zlib
// does deflate, inflate and CRC-32.
//
// Every add writes the local header and data where the central directory
// was and syncs the file before it returns, so an entry is on disk once its
// add returns (a writer that batches its syncs turns that off and calls
// sync()). The directory and end record follow the data: written after
// every add by default, or at most once per directory interval and when the
// archive is closed, so that an add costs the same however many entries the
// archive holds. A failed add puts the previous directory back. An archive
// cut off before its directory was written (a kill, a power cut) has no valid
// directory; open() rebuilds it from the local headers, keeping every entry
// whose data checks out against its CRC, and drops the unfinished tail. Only
// what such a run leaves is ever rewritten: a writer records that it is at
// work (a hidden file beside the archive naming the archive's file system
// and inode) before it writes anything and clears the record once the
// directory is written and synced, so only an archive with that record is
// repaired, and only when it holds entries of the form this writer gives
// them, followed by nothing but an unfinished add or a directory written
// before. Any other damaged file is read as far as it goes and left as it
// is, and nothing is added to it.
class ZipArchive {
public:
    // Progress of one add in percent (0-100); return true to abort the add.
    using Progress = std::function<bool(int percent)>;
    // Receives the data of an entry in pieces.
    using Sink = std::function<void(const char *data, size_t n)>;

    ZipArchive() = default;
    // Closes the archive (writing its directory when one is pending).
    ~ZipArchive() { close(); }
    ZipArchive(const ZipArchive &) = delete;
    ZipArchive &operator=(const ZipArchive &) = delete;
    ZipArchive(ZipArchive &&) = default;
    ZipArchive &operator=(ZipArchive &&) = default;

    // Opens the archive at path for adding, creating an empty one (and
    // nothing else: the folder must exist) when no file is there. An archive
    // this writer left unfinished (its record is there) is repaired on disk.
    // A file that is not an archive, a damaged archive without the record and
    // an archive with bytes before its first item are left untouched and
    // throw. The archive is locked against a second writer until close();
    // the record is written before the first write and removed by close()
    // once the directory is written and synced.
    void open(const std::string &path);
    // Opens for reading only; nothing is ever written. An archive without a
    // valid directory is listed from its local headers by the sizes they
    // record (no data is decompressed to list it); missing() then says what
    // the archive lacks. Bytes after a valid end record are ignored, as
    // other readers do. An archive whose items overlap is refused.
    void openRead(const std::string &path);
    // Writes a pending directory (errors ignored: the next open rebuilds
    // it), syncs, clears the record that a writer is at work (kept when the
    // directory could not be written or synced) and closes.
    void close();
    // Repairs an archive that an interrupted run of this writer left without
    // a directory: the directory is rebuilt from the local headers, keeping
    // each entry whose data passes its CRC, and written (an empty file gets
    // the end record of an empty archive). Only an archive whose record
    // says a writer was at work is repaired; the record then becomes a note
    // of the repair (repairNote()). An archive in use by a writer, a whole
    // archive, a file that is not an archive and a damaged archive that is
    // not what an interrupted run leaves are left alone (LeftDamaged for
    // the last two; a damaged archive without the record is not even read
    // through).
    static ZipRepair repairInterrupted(const std::string &path);
    // The hidden files beside an archive: the record that a writer is at
    // work on it, and the note that it was repaired.
    static std::string unfinishedRecordPath(const std::string &archivePath);
    static std::string repairNotePath(const std::string &archivePath);
    // Writes the record that a writer is at work on the archive at path (as
    // open() does before its first write), synced with its folder; false
    // when it cannot be written.
    static bool recordUnfinished(const std::string &path);
    // Called at each piece of a long scan (listing an archive without a
    // directory, checking entries for a repair); true stops it, and the open
    // fails with ZipError.
    using ScanHook = std::function<bool()>;
    void setScanHook(ScanHook hook) { scanHook_ = std::move(hook); }
    // What the archive was missing when it was read, in words (empty when
    // it was whole): no directory, cut off inside an item, an item whose end
    // was not found.
    const std::string &missing() const { return missing_; }
    // What the reader worked around, in words (empty when nothing): bytes
    // before the first item (a self-extracting archive, one joined to other
    // data), whose offsets it shifted as other readers do.
    const std::string &remark() const { return remark_; }
    // The note left when this archive was repaired after an interrupted run
    // (empty when it never was): what was kept and which item was left out.
    const std::string &repairNote() const { return repairNote_; }
    bool isOpen() const { return file_.isOpen(); }
    bool writable() const { return writable_; }
    const std::string &path() const { return path_; }
    // True when the archive's own file has this file system and inode.
    bool isFile(uint64_t device, uint64_t inode) const;
    // True when opening found no valid directory and rebuilt it.
    bool repaired() const { return repaired_; }

    const std::vector<ZipEntry> &entries() const { return entries_; }
    std::optional<size_t> find(const std::string &storedName) const;
    // The archive comment (bytes).
    const std::string &comment() const { return comment_; }
    // Sets the archive comment, written and synced at once when it changes;
    // cut to 65535 bytes.
    void setComment(const std::string &comment);

    // Adds the regular file at path under storedName. Deflated, or stored when
    // deflate does not make it smaller. The file is reached as AnchoredPath
    // reaches it (no symbolic link followed on the way). Throws on a
    // duplicate name, a file that cannot be read, a file that changed while
    // it was read, an abort or a failed write; the archive then holds exactly
    // what it held before.
    void addFile(const std::string &path, const std::string &storedName, const Progress &progress = {});
    // The same for a file already open (path is for messages). Everything is
    // read through that one descriptor; the result is the file's identity
    // and state when it was read, which the add checked again after reading.
    FileIdentity addOpenFile(const RawFile &src, const std::string &path, const std::string &storedName,
                             const Progress &progress = {});
    // Called during each add once the file's data is read and checked, before
    // the entry is complete on disk (tests hook in here).
    std::function<void()> afterRead;

    // How often the directory is written during a series of adds: 0 after
    // every add (the default), n > 0 at most every n milliseconds (and on
    // close), n < 0 only on close.
    void setDirectoryInterval(int ms) { directoryInterval_ = ms; }
    // Writes the directory now if an add since the last one left it out.
    // Throws on a failed write.
    void writeDirectory();
    bool directoryPending() const { return dirty_; }
    // Decompresses entry index into sink, checking its size and CRC. An
    // encrypted entry needs its password (traditional PKWARE encryption).
    // Throws on damage, a wrong or missing password, more data than the
    // recorded size, and for entries it cannot decode (other encryption,
    // unknown method). The entry is streamed: memory does not grow with its
    // size.
    void readEntry(size_t index, const Sink &sink, const std::string *password = nullptr) const;
    // True when password passes the check of encrypted entry index.
    bool passwordMatches(size_t index, const std::string &password) const;
    // True for entries encrypted the traditional way, which can be decrypted.
    static bool traditionalEncryption(const ZipEntry &e);

    // Whether each add and comment change is synced before it returns
    // (default on). A writer that syncs a series of adds at once with sync()
    // turns it off; until that sync, the entries it added may be lost to a
    // crash (the archive is then repaired to the entries before them).
    void setSyncEachAdd(bool on) { sync_ = on; }
    // Syncs everything written so far to disk. Throws on failure; what was
    // written since the last successful sync may then not be on disk.
    void sync();
    // The entries as they stand, to go back to with rollback().
    struct Mark {
        size_t entries = 0;
        size_t directoryBytes = 0;
        uint64_t end = 0;
    };
    Mark mark() const { return {entries_.size(), cd_.size(), cdOffset_}; }
    // Drops the entries added since the mark (their data may not have
    // reached the disk) and writes the directory where their data began.
    // Errors are ignored: the next open repairs the archive from its local
    // headers.
    void rollback(const Mark &m);
    // Sizes and offsets from which zip64 records are written (default
    // 0xFFFFFFFF, where the 32-bit fields end; tests lower it).
    void setZip64Limit(uint64_t limit) { zip64Limit_ = std::min<uint64_t>(limit, 0xFFFFFFFFu); }

private:
    // Defined in ZipArchive.cpp (opening, reading the directory, decoding),
    // ZipArchiveRepair.cpp (archives without a valid directory) and
    // ZipArchiveWrite.cpp (adds and the directory as written).
    struct EndRecord {
        uint64_t pos = 0;      // of the end record
        uint64_t end = 0;      // just past its comment
        uint64_t count = 0, cdSize = 0, cdOffset = 0;
        uint64_t bound = 0;    // where the directory must end (the zip64 end record, or pos)
        std::string comment;
    };
    struct Header; // a local header as read
    void load(bool forWriting);
    bool readEndRecord(const std::string &tail, uint64_t tailStart, size_t at, EndRecord &r, std::string &why) const;
    bool parseDirectory(std::string &why);
    bool parseDirectoryAt(const EndRecord &r, bool exact, std::string &why, uint64_t shift = 0);
    bool checkOverlaps(std::string &why);
    bool readHeader(uint64_t pos, Header &h, bool blankSignature = false) const;
    bool findDescriptor(uint64_t data, bool zip64, ZipEntry &z, uint64_t &next) const;
    void scanLocalHeaders();
    bool leftOfInterruptedRun(std::string &why);
    bool staleDirectoryFrom(uint64_t from) const;
    bool entryFollows(uint64_t from, uint64_t skipFrom, uint64_t skipTo) const;
    bool recordMatches() const;
    std::string readRepairNote() const;
    void markUnfinished();
    void clearRecord();
    void noteRepair(const ZipRepair &r) const;
    void scanStep() const;
    std::string endRecords(uint64_t cdOffset, uint64_t cdSize, uint64_t count,
                           const std::string *comment = nullptr) const;
    void writeTail(uint64_t at, const std::string &record);
    void restoreTail();
    void syncOrThrow();
    bool directoryDue() const;
    uint64_t dataStart(const ZipEntry &e) const;
    void decode(const ZipEntry &e, uint64_t dataOffset, uint64_t limit, const Sink &sink,
                const std::string *password = nullptr, bool scanning = false) const;
    static unsigned char passwordCheck(const ZipEntry &e);
    ZipDeflater &deflater(const std::string &path);

    RawFile file_;
    std::string path_;
    bool writable_ = false;
    bool repaired_ = false;
    bool mayRepair_ = false;     // a record says this writer left the archive unfinished
    bool recordWritten_ = false; // this writer's record is on disk
    bool tailValid_ = false;     // the file ends in a directory of entries_ as written
    bool unsynced_ = false;      // written since the last sync
    ZipRepair repair_;           // what load() repaired
    uint64_t prefix_ = 0;        // bytes before the first item
    uint64_t gapBeforeEnd_ = 0;  // bytes between the directory and the end records
    std::string remark_;
    std::string repairNote_;
    bool sync_ = true;
    uint64_t zip64Limit_ = 0xFFFFFFFFu;
    std::vector<ZipEntry> entries_;
    std::unordered_set<std::string> names_;
    std::vector<uint64_t> limits_; // where each entry's data must end (the next entry, or the directory)
    std::string comment_;
    std::string missing_;
    uint64_t trailingFrom_ = 0; // end of a valid end record followed by other bytes (0: none)
    ScanHook scanHook_;
    std::string cd_;          // the central directory records of entries_
    uint64_t cdOffset_ = 0;   // where the directory starts (end of the last entry's data)
    uint64_t fileEnd_ = 0;    // the file's size as last written
    bool dirty_ = false;      // entries were added after the directory on disk
    int directoryInterval_ = 0;
    std::chrono::steady_clock::time_point lastDirectory_{};
    std::shared_ptr<ZipDeflater> deflater_; // kept from add to add
};
