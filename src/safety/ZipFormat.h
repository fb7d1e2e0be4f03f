#pragma once
#include "safety/ZipArchive.h"

#include <cstdint>
#include <optional>
#include <string>

// The records of the zip format as the archive component reads and writes
// them: signatures, little-endian fields, the extra fields it knows (zip64
// sizes, the extended time stamp), local headers and directory records.
// Shared by the reader, the repair of damaged archives and the writer.
namespace ZipFormat {
inline constexpr uint32_t kLocalSig = 0x04034b50;
inline constexpr uint32_t kCentralSig = 0x02014b50;
inline constexpr uint32_t kEndSig = 0x06054b50;
inline constexpr uint32_t kEnd64Sig = 0x06064b50;
inline constexpr uint32_t kLocator64Sig = 0x07064b50;
inline constexpr uint32_t kDescriptorSig = 0x08074b50;
inline constexpr uint16_t kTimeExtra = 0x5455; // extended time stamp: flags, then the modification time
inline constexpr uint16_t kMadeBy = (3 << 8) | 30; // Unix, format 3.0
inline constexpr uint32_t kMax32 = 0xFFFFFFFFu;
inline constexpr uint16_t kMax16 = 0xFFFF;
inline constexpr size_t kChunk = 256 * 1024;
// A directory larger than this is taken for damage rather than read into memory.
inline constexpr uint64_t kMaxDirectory = uint64_t(1) << 30;

void put16(std::string &s, uint16_t v);
void put32(std::string &s, uint32_t v);
void put64(std::string &s, uint64_t v);
inline uint16_t get16(const unsigned char *p) { return uint16_t(p[0] | (p[1] << 8)); }
inline uint32_t get32(const unsigned char *p) { return uint32_t(get16(p)) | (uint32_t(get16(p + 2)) << 16); }
inline uint64_t get64(const unsigned char *p) { return uint64_t(get32(p)) | (uint64_t(get32(p + 4)) << 32); }
inline const unsigned char *bytes(const std::string &s) { return reinterpret_cast<const unsigned char *>(s.data()); }

// The fields local headers and directory records share, in the same order
// (version needed to sizes), starting at p.
void readSharedFields(ZipEntry &z, const unsigned char *p);
// Finds the field id in an extra block: 1 with its data and length, 0 when
// it is not there, -1 when the block is malformed.
int findExtra(const std::string &extra, uint16_t id, const unsigned char *&field, uint16_t &len);
// Reads the zip64 extended-information field of an extra block: each value
// is present only when its 32-bit (or 16-bit) field holds the maximum.
bool readZip64Extra(const std::string &extra, uint64_t &size, uint64_t &csize, uint64_t *offset);
// The modification time of an extended time stamp field (0x5455), when
// the field is there and holds one.
std::optional<int64_t> readUnixTime(const std::string &extra);
// True when an extra block holds only the fields this writer writes: the
// zip64 sizes and the time stamp, each at most once.
bool ownExtra(const std::string &extra);
// The extended time stamp field of an entry (empty without a time).
std::string timeExtra(const ZipEntry &e);
// The local header of an entry (with the zip64 sizes field when zip64).
std::string localHeader(const ZipEntry &e, bool zip64);
// The central directory record of an entry; sizes and offsets from
// zip64Limit on go into a zip64 field.
std::string centralRecord(const ZipEntry &e, uint64_t zip64Limit);
}
