#pragma once
#include "finders/FolderNames.h"
#include "platform/ExportWalk.h"

#include <QString>
#include <cstdint>
#include <functional>
#include <string>
#include <string_view>
#include <vector>

// Scans kept in the JSON export format that the Linux disk-usage tools share
// (format version 1.0 to 1.2): a scan made on a machine without a desktop is
// read into the folders and totals an all-folders walk gives, and a walk of a
// local folder is written in the same format.
//
// The document is [major, minor, {metadata}, directory]; a directory is an
// array whose first element is the folder's own entry (an object) followed by
// its sub-folders (arrays again) and its other entries (objects). Names are
// byte strings: they are read and written unchanged whether or not they are
// UTF-8 (control characters, DEL, quotes and backslashes are escaped; bytes from
// 0x80 up are written raw).
//
// Reading streams through the file (plain or gzip-compressed) with a SAX
// parser: memory grows with the folders and their names, never with the
// files or the size of the document. A file with several names (ino with
// hlnkc, or nlink above 1) counts once per scan, at the first name met, as
// the walk counts it. Entries marked as excluded, on another file system or
// on a kernel file system add what sizes they carry (normally none) and are
// counted apart; a folder or file marked as a read error too.
namespace ScanFile {

// One entry of a document as the writer takes it: what the walk of a
// folder gives for each of its entries.
using Entry = ExportWalk::Item;

// The own totals of one folder of a loaded scan: its files and sub-folders
// directly in it.
struct Own {
    int64_t asize = 0;
    int64_t dsize = 0;
    int64_t files = 0;   // regular files (not links, devices ...)
    int64_t folders = 0; // sub-folders directly in it
    int64_t latestMtime = 0; // seconds since the epoch of the latest file's mtime; 0 when none is known
};

struct Loaded {
    FolderNames names;    // each folder by its parent and name; a root by its path
    std::vector<Own> own; // by folder number in names
    std::string progname, progver;
    int64_t timestamp = 0; // seconds since the epoch; 0 when the file gives none
    int major = 0, minor = 0;
    uint64_t entries = 0;                       // files and folders listed
    uint64_t excluded = 0, otherFs = 0, kernFs = 0, readErrors = 0;
    uint64_t linkedOnce = 0; // names of files with several names that counted no second time
    int64_t totalAsize = 0, totalDsize = 0;
};

// What a read may take before it says the file is bad.
struct Limits {
    uint32_t maxDepth = 32768;        // folders within folders
    size_t maxName = 65536;           // bytes of one name
    uint64_t maxGap = 4 * 1024 * 1024; // bytes of input that hold no whole value (one string, spaces ...)
};

enum class Outcome { Done, Failed, Aborted };

// Reads a document into out (which is only filled when Done). progress is
// called after each block of the file read with the bytes read so far
// (uncompressed); false stops the read (Aborted). error names the file and
// what is wrong with it.
Outcome read(const std::string &path, Loaded &out, QString &error,
             const std::function<bool(uint64_t)> &progress = {}, const Limits &limits = {});

// Walks folder (every entry below it, staying on its mount) and writes the
// document to path: under a temporary name, renamed over path once whole,
// so a failed or aborted save leaves path as it was. keepGoing is asked
// now and then; false aborts. error names the file and what failed.
Outcome save(const std::string &folder, const std::string &path, QString &error,
             const std::function<bool()> &keepGoing = {});

// Writes a document through sink, a block at a time (false from sink: the
// write failed and stops). Calls: begin, then the root's openFolder, then
// for every entry below a folder either openFolder ... closeFolder or file,
// closeFolder for the root, end.
class Writer {
public:
    explicit Writer(std::function<bool(std::string_view)> sink);
    void begin(std::string_view progname, std::string_view progver, int64_t timestamp);
    void openFolder(const Entry &e);
    void file(const Entry &e);
    void closeFolder();
    // Writes the rest; false when a write of the sink failed.
    bool end();
    bool failed() const { return failed_; }

    // The JSON string of bytes: quotes, backslashes, bytes below 0x20 and
    // DEL escaped, everything else (bytes from 0x80 up too) as it is.
    static void appendString(std::string &out, std::string_view bytes);

private:
    void entry(const Entry &e, bool root);
    void flushIfFull();
    std::function<bool(std::string_view)> sink_;
    std::string buf_;
    std::vector<uint64_t> devs_; // the device of each folder open
    bool failed_ = false;
};
}
