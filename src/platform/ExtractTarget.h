#pragma once
#include <cstdint>
#include <string>
#include <vector>

// Writes files and folders below one destination folder without ever leaving
// it. Everything is done relative to the destination's open descriptor: each
// folder on the way is opened with O_NOFOLLOW (a symbolic link is refused,
// never passed through), missing folders are made with mkdirat, and a file is
// written unnamed (or under a hidden temporary name) in its folder and only
// linked or renamed into place, never over an existing name.
class ExtractTarget {
public:
    // Why an operation failed; text() says it in words.
    enum class Failure { None, Exists, Link, NotFolder, System };

    // Opens the destination folder. The path itself may pass through links
    // (it is the folder the user chose); nothing below it is.
    explicit ExtractTarget(const std::string &destination);
    ~ExtractTarget();
    ExtractTarget(const ExtractTarget &) = delete;
    ExtractTarget &operator=(const ExtractTarget &) = delete;

    bool isOpen() const { return root_ >= 0; }
    Failure failure() const { return failure_; }
    // The last failure in words ("a file of that name exists", strerror ...).
    const std::string &error() const { return error_; }

    // Opens the folder named by parts below the destination, making missing
    // ones when create is set. Returns its descriptor (owned here, valid until
    // the next call) or -1. Parts must be plain names (no "/", ".", "..").
    // However deep the folder, only a bounded number of descriptors is held
    // (the folders near the top and the deepest ones); a folder whose
    // descriptor was let go is opened again from the nearest one held. When
    // it fails, the folders it made are removed again.
    int folder(const std::vector<std::string> &parts, bool create);
    // Removes the folders the last folder() call made (deepest first, each
    // only while it is empty and still the folder that was made), after the
    // item they were made for failed.
    void undoCreated();
    // Keeps the folders the last folder() call made: undoCreated() then
    // removes nothing.
    void keepCreated() { created_.clear(); }
    // The bytes free for this user on the destination's file system; false
    // when it cannot be told.
    bool freeSpace(uint64_t &bytes) const;
    // True when name exists in the folder (of any kind, links not followed).
    bool exists(int dirFd, const std::string &name) const;

    // A file being written into a folder of the target. It has no name (or a
    // hidden temporary one) until commit(); anything not committed is gone
    // when it is destroyed.
    class NewFile {
    public:
        NewFile() = default;
        ~NewFile();
        NewFile(const NewFile &) = delete;
        NewFile &operator=(const NewFile &) = delete;

        bool isOpen() const { return fd_ >= 0; }
        // Appends n bytes; false on a failed write (error() says why).
        bool write(const char *data, size_t n);
        uint64_t written() const { return written_; }
        // Sets the permission bits (set-user-ID, set-group-ID and sticky are
        // dropped; a negative mode gives the default for new files) and the
        // modification time (seconds since the epoch, skipped when negative),
        // then gives the file its name. Fails with Exists when the name is
        // taken, whatever it names.
        bool commit(int mode, int64_t mtime);
        // Removes the unfinished file.
        void discard();
        Failure failure() const { return failure_; }
        const std::string &error() const { return error_; }

    private:
        friend class ExtractTarget;
        bool fail(Failure f, int err);
        int fd_ = -1;
        int dirFd_ = -1;
        std::string name_;
        std::string tempName_; // empty for an unnamed file
        uint64_t written_ = 0;
        Failure failure_ = Failure::None;
        std::string error_;
    };

    // Starts a new file name in the folder dirFd. False (with failure()) when
    // no file can be made there.
    bool create(int dirFd, const std::string &name, NewFile &file);

    // Tests: make every new file a named temporary file renamed into place
    // (the path taken where unnamed files are not supported).
    static void setUnnamedFiles(bool allowed);

private:
    bool fail(Failure f, int err);
    int root_ = -1;
    int openLevel(size_t level, const std::string &name, bool create);
    void closeFrom(size_t level);
    struct Made {
        size_t level;
        uint64_t device, inode;
    };
    std::vector<std::string> openParts_; // the path of the folder last opened
    std::vector<int> openFds_;           // a descriptor per level of it, -1 where let go
    size_t held_ = 0;                    // descriptors open in openFds_
    std::vector<Made> created_;          // the folders the last folder() call made
    Failure failure_ = Failure::None;
    std::string error_;
};
