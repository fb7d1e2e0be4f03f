#pragma once
#include <QByteArray>
#include <QImage>
#include <QStringList>

#include <bit>
#include <cstdint>
#include <string>
#include <string_view>

// The fingerprint of a picture for finding the same photo at another size or
// quality: a 64-bit DCT hash of a small grey thumbnail.
//
// The picture is decoded at reduced size (QImageReader::setScaledSize, so
// the JPEG decoder scales while decoding and a large photo is never decoded
// whole), turned upright by its EXIF orientation, made grey and scaled to
// 32 x 32 by averaging. The 2-D DCT of that thumbnail is taken; the 8 x 8
// lowest frequencies are kept and each gives one bit: above the median of
// the 63 that carry structure (the constant term aside) or not.
//
// Why the DCT hash rather than a gradient (difference) hash: resizing,
// re-encoding and format conversion change the high frequencies, which are
// dropped; a uniform change of brightness or contrast moves every
// coefficient alike and leaves the median split as it was; a crop of a few
// per cent shifts the lowest frequencies only a little. A gradient hash
// compares neighbouring pixels of a 9 x 8 thumbnail: as fast, but each bit
// rests on two small areas, so crops and noise flip more of its bits.
namespace PictureHash {

// What decoding a picture gave.
struct Picture {
    uint64_t hash = 0;
    uint32_t width = 0, height = 0; // pixels, upright (after the EXIF orientation)
    uint64_t pixels() const { return uint64_t(width) * height; }
};

enum class Decode { Ok, NotAPicture, Truncated };

// Decodes the bytes of a picture file; its format is taken from its
// contents, not its name. A JPEG or PNG whose data ends before its end
// marker is Truncated, whatever the decoder makes of the rest.
Decode fromBytes(const QByteArray &bytes, Picture &out);

// A picture file for showing: read by its path as found (below its
// drive's anchor, no link followed, the page cache left as it was), hashed
// as fromBytes does, and decoded upright to fit within box (kept in
// proportion) into shown. NotAPicture also for a file that cannot be read.
Decode fromFile(const std::string &path, QSize box, Picture &out, QImage &shown);

// How alike two hashes are, as a line for the pair comparison:
// "Similarity: 97 % (2 of 64 bits differ: nearly identical)".
QString similarityText(uint64_t a, uint64_t b);

// The hash of a decoded picture (any size, any format; scaled here).
uint64_t hashOf(const QImage &image);

inline int distance(uint64_t a, uint64_t b) { return std::popcount(a ^ b); }

// Whether a file's name ends in the suffix of a picture format the search
// reads (JPEG, PNG, WebP, GIF, BMP, TIFF, as far as the installed image
// plugins read them), without regard to case.
bool isCandidateName(std::string_view name);
// The suffixes isCandidateName takes, lower case, for the help and messages.
const QStringList &candidateSuffixes();

// Files smaller than this are not looked at (icons and placeholders).
inline constexpr int64_t kMinBytes = 1024;
// Files larger than this are not decoded.
inline constexpr int64_t kMaxBytes = int64_t(256) << 20;

// The similarity choices, from the strictest: the most bits two hashes may
// differ in to be listed together.
enum Level { NearlyIdentical = 0, VerySimilar = 1, Similar = 2 };
inline constexpr int kThresholds[3] = {4, 10, 14};
QStringList levelTexts();
}
