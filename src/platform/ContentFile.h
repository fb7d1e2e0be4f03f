#pragma once
#include "platform/AnchoredPath.h"

#include <cstddef>
#include <cstdint>
#include <string>
#include <vector>

// One found file opened for reading its contents, from a worker thread,
// without disturbing the user's page cache: each read first takes what the
// cache already holds (preadv2 with RWF_NOWAIT); only what is missing is
// read from the drive, with the access pattern advised (POSIX_FADV_RANDOM
// for a single block, POSIX_FADV_SEQUENTIAL for a whole file), and the
// pages a read brought in are dropped again (POSIX_FADV_DONTNEED) once they
// were used. Pages that were cached before stay cached.
class ContentFile {
public:
    enum class Pattern { Block, Whole };

    ContentFile() = default;
    ~ContentFile() { close(); }
    ContentFile(const ContentFile &) = delete;
    ContentFile &operator=(const ContentFile &) = delete;

    // Opens name in the open folder (never through a symbolic link, never
    // blocking on a FIFO) and takes its identity; false with errno's value
    // in error when it cannot be opened. A file that is not regular is
    // closed again and fails with EINVAL.
    bool open(int folder, const char *name, int &error);
    bool isOpen() const { return bool(fd_); }
    // What the open file is and its state (size, modification and change
    // times), as fstat sees it now.
    bool identity(FileIdentity &out) const;
    // Reads n bytes at offset into buf (fewer at the end of the file);
    // the count read, -1 on a read error (errno's value in error).
    int64_t read(uint64_t offset, void *buf, size_t n, Pattern pattern, int &error);
    // Drops what this file's reads brought into the cache and closes it.
    void close();

    // Whether the files at a and b (paths as found, each reached as
    // AnchoredPath reaches it, read as above) hold the same bytes now. Two
    // names of one file are the same. error gets errno's value for a file
    // that could not be opened or read.
    enum class Match { Same, Differ, FirstUnreadable, SecondUnreadable };
    static Match compare(const std::string &a, const std::string &b, int &error);

private:
    void brought(uint64_t from, uint64_t to);
    void dropBrought();

    UniqueFd fd_;
    bool advised_ = false;
    std::vector<std::pair<uint64_t, uint64_t>> brought_; // ranges read from the drive
};
