#pragma once
#include <QString>
#include <cstddef>
#include <cstdint>
#include <functional>
#include <string>

// Checksums and content comparison of two files, for the pair comparison.
// The checksum of a file is the CRC-32 of its whole content (zlib's crc32,
// carried from one block to the next), so it is the standard CRC-32 of the
// file: "123456789" gives CBF43926.
namespace PairChecksum {

// The CRC-32 of one buffer, continued from crc (0 to start).
uint32_t crc32Block(const void *bytes, size_t count, uint32_t crc = 0);

// What was read of one file.
struct Sum {
    bool read = false; // opened as a regular file and read to its end
    uint32_t crc = 0;  // the CRC-32 of the bytes read (valid when read)
    uint64_t size = 0; // the bytes read
};

enum class Verdict {
    Identical,   // both read to their end, the same size, the same bytes
    Differ,      // both read to their end, and they differ
    NotCompared, // a file could not be opened or read, or the run was stopped
};

struct Result {
    Sum left, right;
    Verdict verdict = Verdict::NotCompared;
    bool stopped = false; // keepGoing asked to stop
};

// Called between blocks (the caller pumps events there); false stops the run.
using KeepGoing = std::function<bool()>;

// The checksum of one file (read only as a regular file, never through a
// final symbolic link, never blocking on a FIFO or device).
Sum fileChecksum(const std::string &path, const KeepGoing &keepGoing = {});

// Reads both files once, side by side in large blocks: the checksum of each
// and whether their bytes are the same. While the bytes agree the right
// file's checksum is the left one's, so it is worked out only from the
// first block in which they differ.
Result compare(const std::string &left, const std::string &right, const KeepGoing &keepGoing = {});

// The bytes of one block of the run.
inline constexpr size_t kBlock = size_t(1) << 20;

// The checksum as shown: "%8X" (eight characters, upper-case digits,
// blanks in front).
QString crcText(uint32_t crc);
// The whole CRC line of one side: the checksum (or "Unreadable") followed by
// the verdict: " file contents are identical", " file contents differ" or
// " file contents could not be compared".
QString crcLine(const Sum &side, Verdict verdict);

} // namespace PairChecksum
