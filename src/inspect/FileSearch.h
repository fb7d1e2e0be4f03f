#pragma once
#include <cstdint>
#include <functional>
#include <optional>
#include <string>

class PagedFile;

// Searching a file for a text (its UTF-8 bytes), a piece at a time, so a
// file of any size is searched in bounded memory. Without case, ASCII
// letters match either case; other bytes match exactly.
namespace FileSearch {
struct Result {
    std::optional<uint64_t> offset; // where the match starts
    bool stopped = false;           // keepGoing said stop
};
using KeepGoing = std::function<bool()>;

// Forward: the first match starting at or after from. Backward: the last
// match starting before from.
Result find(PagedFile &file, const std::string &needle, uint64_t from, bool forward, bool matchCase,
            const KeepGoing &keepGoing = {});

// The first (or last) match within data; npos when none.
size_t findIn(const char *data, size_t n, const std::string &needle, bool matchCase, bool last);
}
