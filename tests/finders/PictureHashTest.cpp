#include "finders/PictureGroups.h"
#include "finders/PictureHash.h"
#include "support/PictureScenes.h"

#include <QRandomGenerator>
#include <gtest/gtest.h>

#include <algorithm>
#include <map>

namespace {
PictureHash::Picture decoded(const QByteArray &bytes)
{
    PictureHash::Picture p;
    EXPECT_EQ(PictureHash::fromBytes(bytes, p), PictureHash::Decode::Ok);
    return p;
}
constexpr int kDefault = PictureHash::kThresholds[PictureHash::VerySimilar];
}

// Every kind of copy a disk collects of one photo stays within the default
// threshold of it, over several scenes; other photos of the same colours and
// the same scene reframed stay beyond it.
TEST(PictureHash, VariantsStayNearAndOtherPicturesFar)
{
    for (quint32 seed : {1u, 7u, 42u, 99u}) {
        const QImage photo = scenes::scene(seed, 960, 640, int(seed * 37 % 360));
        const QByteArray original = scenes::encode(photo, "JPEG", 92);
        const PictureHash::Picture o = decoded(original);
        EXPECT_EQ(o.width, 960u);
        EXPECT_EQ(o.height, 640u);
        const std::map<std::string, QByteArray> variants = {
            {"half", scenes::encode(scenes::scaled(photo, 0.5), "JPEG", 90)},
            {"quarter", scenes::encode(scenes::scaled(photo, 0.25), "JPEG", 90)},
            {"quality 60", scenes::encode(photo, "JPEG", 60)},
            {"cropped 2%", scenes::encode(scenes::cropped(photo, 0.02), "JPEG", 90)},
            {"brighter", scenes::encode(scenes::brighter(photo, 1.1), "JPEG", 90)},
            {"as PNG", scenes::encode(photo, "PNG")},
            {"with metadata", scenes::withOrientation(original, 1)},
            {"turned by EXIF", scenes::turnedByExif(photo)},
        };
        for (const auto &[kind, bytes] : variants) {
            const PictureHash::Picture v = decoded(bytes);
            EXPECT_LE(PictureHash::distance(o.hash, v.hash), kDefault) << kind << " of scene " << seed;
        }
        // Upright after the turn: its pixel size is the photo's.
        const PictureHash::Picture turned = decoded(variants.at("turned by EXIF"));
        EXPECT_EQ(turned.width, 960u);
        EXPECT_EQ(turned.height, 640u);

        const PictureHash::Picture other = decoded(scenes::encode(scenes::scene(seed + 1000, 960, 640, int(seed * 37 % 360)), "JPEG"));
        EXPECT_GT(PictureHash::distance(o.hash, other.hash), kDefault) << "same colours, scene " << seed;
        const PictureHash::Picture moved = decoded(scenes::encode(scenes::scene(seed, 960, 640, int(seed * 37 % 360), 0.25), "JPEG"));
        EXPECT_GT(PictureHash::distance(o.hash, moved.hash), kDefault) << "reframed, scene " << seed;
    }
}

// A picture cut short is refused though the decoder would show its top;
// bytes named as a picture that are none are refused; a JPEG's own
// embedded thumbnail does not pass for its end.
TEST(PictureHash, TruncatedAndFalsePicturesAreRefused)
{
    const QImage photo = scenes::scene(3, 400, 300);
    PictureHash::Picture p;
    const QByteArray jpeg = scenes::encode(photo, "JPEG");
    EXPECT_EQ(PictureHash::fromBytes(jpeg.left(jpeg.size() * 2 / 3), p), PictureHash::Decode::Truncated);
    const QByteArray png = scenes::encode(photo, "PNG");
    EXPECT_EQ(PictureHash::fromBytes(png.left(png.size() - 20), p), PictureHash::Decode::Truncated);
    EXPECT_EQ(PictureHash::fromBytes("just some text, not a picture at all", p), PictureHash::Decode::NotAPicture);
    EXPECT_EQ(PictureHash::fromBytes(QByteArray(), p), PictureHash::Decode::NotAPicture);
    // A complete JPEG with trailing bytes after its end is fine.
    EXPECT_EQ(PictureHash::fromBytes(jpeg + QByteArray(100, '\0'), p), PictureHash::Decode::Ok);

    EXPECT_TRUE(PictureHash::isCandidateName("IMG_0001.JPG"));
    EXPECT_TRUE(PictureHash::isCandidateName("a.b.png"));
    EXPECT_FALSE(PictureHash::isCandidateName("jpg"));
    EXPECT_FALSE(PictureHash::isCandidateName("notes.jpg.txt"));
    EXPECT_FALSE(PictureHash::isCandidateName(".png"));
}

// The index finds exactly what comparing every pair finds, for clustered
// hashes with repeats and for every radius the levels use.
TEST(PictureGroups, IndexFindsWhatEveryPairComparisonFinds)
{
    QRandomGenerator r(5);
    std::vector<uint64_t> hashes;
    for (int c = 0; c < 40; ++c) {
        const uint64_t centre = r.generate64();
        for (int k = 0; k < 30; ++k) {
            uint64_t h = centre;
            for (int b = int(r.bounded(20)); b > 0; --b)
                h ^= uint64_t(1) << r.bounded(64);
            hashes.push_back(h);
        }
    }
    hashes.push_back(hashes[3]);
    hashes.push_back(hashes[3]);
    std::vector<uint32_t> items(hashes.size());
    for (uint32_t i = 0; i < items.size(); ++i)
        items[i] = i;
    const PictureGroups::Index index(hashes, items);
    for (int radius : {0, 4, 10, 14}) {
        for (size_t q = 0; q < hashes.size(); q += 37) {
            std::vector<uint32_t> found;
            index.within(hashes[q], radius, found);
            std::sort(found.begin(), found.end());
            std::vector<uint32_t> want;
            for (uint32_t i = 0; i < hashes.size(); ++i)
                if (PictureHash::distance(hashes[i], hashes[q]) <= radius)
                    want.push_back(i);
            EXPECT_EQ(found, want) << "radius " << radius << " query " << q;
        }
    }
}

// A chain of near pictures is not glued: each group's members lie within
// the threshold of its centre, the most preferred picture, which leads it.
TEST(PictureGroups, ChainsAreCutAtTheCentre)
{
    const uint64_t a = 0, b = 0x3F, c = 0xFFF, far = ~uint64_t(0);
    ASSERT_EQ(PictureHash::distance(a, b), 6);
    ASSERT_EQ(PictureHash::distance(b, c), 6);
    ASSERT_EQ(PictureHash::distance(a, c), 12);
    const std::vector<uint64_t> hashes = {a, b, c, far, far};
    using G = std::vector<std::vector<uint32_t>>;
    EXPECT_EQ(PictureGroups::group(hashes, {0, 1, 2, 3, 4}, 8), (G{{0, 1}, {3, 4}}));
    // B preferred: A and C both lie within 8 of it; members follow the preference.
    EXPECT_EQ(PictureGroups::group(hashes, {1, 2, 0}, 8), (G{{1, 2, 0}}));
    // C first: C with B; A then has no one left near it.
    EXPECT_EQ(PictureGroups::group(hashes, {2, 0, 1}, 8), (G{{2, 1}}));
    // Items not in the preference take no part.
    EXPECT_EQ(PictureGroups::group(hashes, {0, 2}, 8), G{});
}
