#pragma once
#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

// Replaces a file's whole content so that a failure at any point leaves the
// old file as it was: the new content goes to a temporary file in the same
// folder, is synced, and is then renamed over the old name (and the folder
// synced). The folder is created when missing. A new file gets mode 0644; an
// existing file keeps its mode. When the path is a symbolic link (a settings
// file kept elsewhere and linked in), the link's final target is replaced and
// the link stays.
namespace AtomicFile {
bool write(const std::string &path, const std::string &content);

enum class ReadResult { Read, Missing, Failed };
// The largest file read as settings or a list.
constexpr uint64_t kMaxReadSize = 64ull * 1024 * 1024;
// Reads a whole file: Missing when it does not exist, Failed when it exists
// but cannot be opened or read to its end (content is then empty). Only a
// regular file of at most kMaxReadSize bytes is read: anything else (a
// FIFO, a device, /dev/zero behind a link) is Failed without a read, and it
// is opened non-blocking, so a FIFO never holds the program up.
ReadResult load(const std::string &path, std::string &content);
// Why load refuses an existing path without trying to read it: "it is not
// a regular file" or "it is larger than 64 MB"; empty when it does not (a
// missing file, a regular file of a sane size, one that cannot be looked at).
std::string refusalOf(const std::string &path);
// Reads a whole file. False when it cannot be opened or read.
bool read(const std::string &path, std::string &content);
// Reads a text file as lines: split at LF, a CR before it dropped, the last
// line kept even without its LF. False when it cannot be opened or read.
bool readLines(const std::string &path, std::vector<std::string> &lines);
// The same, telling a missing file from one that cannot be read.
ReadResult loadLines(const std::string &path, std::vector<std::string> &lines);
// Writes all of data to an open descriptor, retrying short writes and EINTR.
bool writeAll(int fd, const char *data, size_t len);

// The file a write of path replaces: path itself, or the final target of the
// symbolic link(s) at path (which may not exist yet).
std::string writeTarget(const std::string &path);

// The same replacement for content written a block at a time (write is
// this with the whole content at once): the temporary file beside the
// target, renamed over it only once whole and synced; a failed or
// abandoned write leaves whatever was at the target untouched. The
// folder must exist.
class Output {
public:
    Output() = default;
    ~Output(); // discards an uncommitted file
    Output(const Output &) = delete;
    Output &operator=(const Output &) = delete;
    // Creates the temporary file; false (with error()) when it cannot.
    bool open(const std::string &path);
    bool write(std::string_view data);
    // Syncs, renames and syncs the folder; false (the temporary file
    // removed) when that fails.
    bool commit();
    void discard();
    int error() const { return error_; } // errno of the step that failed

private:
    std::string path_, temp_;
    int fd_ = -1;
    int error_ = 0;
};

// An exclusive lock held from the read of a file to the rename of its new
// content, so that two processes changing the same file never lose each
// other's changes. It is an flock on "<file>.lock" beside the file that a
// write replaces (created when missing; the folder too). Readers take no
// lock: they see the old or the new file whole.
class Lock {
public:
    explicit Lock(const std::string &path);
    ~Lock();
    Lock(const Lock &) = delete;
    Lock &operator=(const Lock &) = delete;
    // False when the lock file could not be created or locked.
    bool held() const { return fd_ >= 0; }

private:
    int fd_ = -1;
};
}
