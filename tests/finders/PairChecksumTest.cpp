#include "finders/PairChecksum.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <zlib.h>

#include <random>

using PairChecksum::Verdict;

namespace {
uint32_t wholeCrc(const std::string &bytes)
{
    return uint32_t(crc32(0, reinterpret_cast<const Bytef *>(bytes.data()), uInt(bytes.size())));
}
}

TEST(PairChecksum, KnownValuesAndTheirTexts)
{
    TempTree t;
    const std::string a = t.file("a", "123456789"), b = t.file("b", "123456789");
    EXPECT_EQ(PairChecksum::fileChecksum(a).crc, 0xCBF43926u);
    const auto r = PairChecksum::compare(a, b);
    EXPECT_EQ(r.verdict, Verdict::Identical);
    EXPECT_EQ(PairChecksum::crcLine(r.left, r.verdict), "CBF43926 file contents are identical");
    EXPECT_EQ(PairChecksum::crcLine(r.right, r.verdict), "CBF43926 file contents are identical");

    const std::string e1 = t.file("e1"), e2 = t.file("e2");
    const auto empty = PairChecksum::compare(e1, e2);
    EXPECT_EQ(empty.verdict, Verdict::Identical);
    EXPECT_TRUE(empty.left.read && empty.right.read);
    EXPECT_EQ(PairChecksum::crcLine(empty.left, empty.verdict), "       0 file contents are identical");
    EXPECT_EQ(PairChecksum::crcText(0xABCu), "     ABC");
}

// Summing the CRCs of 2048-byte blocks would call these two identical.
TEST(PairChecksum, SwappedHalvesDiffer)
{
    TempTree t;
    const std::string x(2048, 'A'), y(2048, 'B');
    const auto r = PairChecksum::compare(t.file("h1", x + y), t.file("h2", y + x));
    EXPECT_EQ(r.verdict, Verdict::Differ);
    EXPECT_EQ(r.left.crc, wholeCrc(x + y));
    EXPECT_EQ(r.right.crc, wholeCrc(y + x));
    EXPECT_NE(r.left.crc, r.right.crc);
    EXPECT_EQ(PairChecksum::crcLine(r.left, r.verdict).right(21), " file contents differ");
}

// Files of several blocks: the CRC is carried over the blocks, and the right
// file's CRC is right whichever block the files part in.
TEST(PairChecksum, LongFilesAcrossBlocks)
{
    TempTree t;
    const size_t n = 3 * PairChecksum::kBlock + 12345;
    const std::string base = TempTree::randomBytes(n, 7);
    const std::string a = t.file("a", base);
    EXPECT_EQ(PairChecksum::fileChecksum(a).crc, wholeCrc(base));
    EXPECT_EQ(PairChecksum::fileChecksum(a).size, n);

    const auto same = PairChecksum::compare(a, t.file("b", base));
    EXPECT_EQ(same.verdict, Verdict::Identical);
    EXPECT_EQ(same.right.crc, wholeCrc(base));

    for (size_t at : {size_t(0), PairChecksum::kBlock - 1, PairChecksum::kBlock, 2 * PairChecksum::kBlock + 5, n - 1}) {
        std::string other = base;
        other[at] = char(other[at] ^ 1);
        const auto r = PairChecksum::compare(a, t.file("c", other));
        EXPECT_EQ(r.verdict, Verdict::Differ) << at;
        EXPECT_EQ(r.left.crc, wholeCrc(base)) << at;
        EXPECT_EQ(r.right.crc, wholeCrc(other)) << at;
    }
    // One file a prefix of the other, ending in the middle of a block and on its edge.
    for (size_t len : {n - 1, 2 * PairChecksum::kBlock}) {
        const std::string prefix = base.substr(0, len);
        const auto r = PairChecksum::compare(t.file("p", prefix), a);
        EXPECT_EQ(r.verdict, Verdict::Differ) << len;
        EXPECT_EQ(r.left.crc, wholeCrc(prefix)) << len;
        EXPECT_EQ(r.right.crc, wholeCrc(base)) << len;
        EXPECT_EQ(r.left.size, len);
    }
}

// A file that cannot be read is never part of "identical": not two missing
// files, not a FIFO (which is not opened, so nothing blocks), not a denied file.
TEST(PairChecksum, UnreadableFilesAreNotCompared)
{
    TempTree t;
    const std::string a = t.file("a", "x");
    const auto missing = PairChecksum::compare(t.path("gone1"), t.path("gone2"));
    EXPECT_EQ(missing.verdict, Verdict::NotCompared);
    EXPECT_EQ(PairChecksum::crcLine(missing.left, missing.verdict), "Unreadable file contents could not be compared");

    const std::string fifo = t.path("fifo");
    ASSERT_EQ(mkfifo(fifo.c_str(), 0600), 0);
    const auto f = PairChecksum::compare(a, fifo);
    EXPECT_EQ(f.verdict, Verdict::NotCompared);
    EXPECT_TRUE(f.left.read);
    EXPECT_FALSE(f.right.read);
    EXPECT_EQ(PairChecksum::crcLine(f.left, f.verdict), "8CDC1683 file contents could not be compared");

    const std::string folder = t.dir("folder");
    EXPECT_EQ(PairChecksum::compare(folder, folder).verdict, Verdict::NotCompared);

    if (!TestEnv::privileged()) {
        const std::string denied = t.file("denied", "x");
        ASSERT_EQ(chmod(denied.c_str(), 0), 0);
        EXPECT_EQ(PairChecksum::compare(a, denied).verdict, Verdict::NotCompared);
        EXPECT_FALSE(PairChecksum::fileChecksum(denied).read);
    }
}

TEST(PairChecksum, StoppedRunComparesNothing)
{
    TempTree t;
    const std::string base = TempTree::randomBytes(2 * PairChecksum::kBlock + 1, 3);
    int calls = 0;
    const auto r = PairChecksum::compare(t.file("a", base), t.file("b", base), [&] { return ++calls < 2; });
    EXPECT_TRUE(r.stopped);
    EXPECT_EQ(calls, 2);
    EXPECT_EQ(r.verdict, Verdict::NotCompared);
}
