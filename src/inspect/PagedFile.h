#pragma once
#include "platform/RawFile.h"

#include <cstdint>
#include <functional>
#include <string>
#include <vector>

// A file opened for viewing: read in pages on demand, never whole. A few
// recently used pages are kept, so the memory it needs does not depend on
// the file's size. Only regular files open (a FIFO, socket or device is
// refused without being opened). The size is taken when the file is opened.
// A file that reports a size of 0 (those of /proc, some of /sys) may still
// hold bytes: it is read to its end once (at most kMaxUnsized bytes) and
// served from memory.
class PagedFile {
public:
    static constexpr size_t kPageSize = 64 * 1024;
    static constexpr size_t kMaxUnsized = 64 * 1024 * 1024;
    static constexpr size_t kPagesKept = 32;
    static constexpr size_t kScanChunk = 256 * 1024;

    bool open(const std::string &path);
    void close();
    bool isOpen() const { return file_.isOpen(); }
    const std::string &path() const { return path_; }
    uint64_t size() const { return size_; }

    // Up to n bytes from offset (fewer at the end of the file).
    std::string read(uint64_t offset, size_t n);
    // The byte at offset (0 beyond the end).
    uint8_t at(uint64_t offset);

    // Bulk passes (counting, searching): calls f for consecutive pieces of
    // [from, to) read into a scan buffer, with each piece's file offset,
    // until f returns false or the range ends. Returns false when a read failed.
    // With skipHoles, the holes of a sparse file are not read: they come as
    // pieces of at most kHolePiece zero bytes with data null.
    static constexpr uint64_t kHolePiece = 1024 * 1024;
    using Piece = std::function<bool(const uint8_t *data, size_t n, uint64_t offset)>;
    bool scan(uint64_t from, uint64_t to, const Piece &f, bool skipHoles = false);
    // Reads [offset, offset+n) into buf (fewer at the end); the count read.
    size_t readInto(uint64_t offset, uint8_t *buf, size_t n) const;

private:
    struct Page {
        uint64_t index = UINT64_MAX;
        uint64_t used = 0;
        std::string data;
    };
    const Page &page(uint64_t index);

    RawFile file_;
    std::string whole_; // the bytes of a file that reported no size
    bool inMemory_ = false;
    std::string path_;
    uint64_t size_ = 0;
    uint64_t clock_ = 0;
    std::vector<Page> pages_;
    std::vector<uint8_t> scanBuf_;
};
