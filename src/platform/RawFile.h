#pragma once
#include "platform/AnchoredPath.h"

#include <cstddef>
#include <cstdint>
#include <string>

// A file descriptor for byte-exact reading and writing at given offsets, with
// syncing: what the archive writer needs to put each entry safely on disk.
// Errors are reported by return value; error() gives the last errno text.
class RawFile {
public:
    enum class Mode {
        Read,         // existing file, read only
        ReadWrite,    // existing file, read and write
        CreateNew,    // a new file (fails when the name exists), read and write
        ReadFollowing, // existing regular file, read only, a final symbolic link
                       // followed; the path is looked at before it is opened,
                       // so a FIFO, socket or device is never opened at all
    };

    RawFile() = default;
    ~RawFile();
    RawFile(const RawFile &) = delete;
    RawFile &operator=(const RawFile &) = delete;
    RawFile(RawFile &&other) noexcept;
    RawFile &operator=(RawFile &&other) noexcept;

    // Opens path. A read opens only regular files, never blocks on a FIFO or
    // device, and does not follow a symbolic link in the last component.
    bool open(const std::string &path, Mode mode);
    // Opens the entry name inside an open folder (AnchoredPath), never
    // following a symbolic link; Read and ReadWrite as open().
    bool openAt(int folder, const std::string &name, Mode mode);
    bool isOpen() const { return fd_ >= 0; }
    void close();

    struct Info {
        uint64_t size = 0;
        int64_t mtime = 0;  // seconds since the epoch
        uint32_t mode = 0;  // st_mode
        uint64_t device = 0;
        uint64_t inode = 0;
    };
    // fstat of the open file.
    bool stat(Info &info) const;
    uint64_t size() const;
    // fstat of the open file: which file it is and its state.
    bool identity(FileIdentity &out) const;
    // An advisory exclusive lock (flock) held until close; false when another
    // holder has it.
    bool lockExclusive();

    // Reads up to n bytes at offset; returns the count (0 at the end), -1 on error.
    int64_t readAt(uint64_t offset, void *buf, size_t n) const;
    // Reads exactly n bytes at offset; false on error or a short file.
    bool readFully(uint64_t offset, void *buf, size_t n) const;
    // Sparse files: the first offset at or after offset that holds data
    // (the size when only a hole follows), and the first hole at or after
    // offset (the size when there is none). A file system that cannot tell
    // reports data everywhere.
    uint64_t dataAfter(uint64_t offset) const;
    uint64_t holeAfter(uint64_t offset) const;
    // Writes all n bytes at offset.
    bool writeAt(uint64_t offset, const void *buf, size_t n);
    bool truncate(uint64_t size);
    // fsync of the file's data and metadata.
    bool sync();

    const std::string &error() const { return error_; }
    // The errno of the last failure (0 when it had none).
    int errorCode() const { return errorCode_; }

    // fsync of a folder, so a newly created or removed name is on disk.
    static bool syncFolder(const std::string &folder);

    // Fault injection for crash tests: when set, called before every write,
    // truncate and sync with the name of the step and the bytes about
    // to be written (0 for the others). A hook may end the process there.
    using FaultHook = void (*)(const char *step, size_t bytes);
    static void setFaultHook(FaultHook hook);
    // Runs the hook for a step of another kind that crash tests stop at too
    // (such as the deletion of a file once it is safe in an archive).
    static void faultStep(const char *step);

private:
    bool fail();
    bool adopt(int fd, Mode mode);
    int fd_ = -1;
    int errorCode_ = 0;
    std::string error_;
};
