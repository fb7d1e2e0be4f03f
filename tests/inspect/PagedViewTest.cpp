#include "inspect/FileSearch.h"
#include "inspect/LineIndex.h"
#include "inspect/PagedFile.h"
#include "inspect/ViewText.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <fcntl.h>
#include <random>
#include <sys/socket.h>
#include <sys/stat.h>
#include <sys/un.h>
#include <unistd.h>

namespace {
constexpr uint64_t W = LineIndex::kWidth;

// Row starts by the plain rule: a row ends after a line feed, or after W
// bytes when no line feed comes by then.
std::vector<uint64_t> referenceRows(const std::string &d)
{
    std::vector<uint64_t> rows;
    for (uint64_t s = 0; s < d.size();) {
        rows.push_back(s);
        const size_t f = d.find('\n', s);
        s = (f != std::string::npos && f - s <= W) ? f + 1 : std::min<uint64_t>(d.size(), s + W);
    }
    return rows;
}

std::string mixedText(std::mt19937 &rng, size_t lines)
{
    std::string d;
    for (size_t i = 0; i < lines; ++i) {
        const int kind = int(rng() % 20);
        size_t len = kind == 0 ? W * (1 + rng() % 3) : kind == 1 ? W * 2 + rng() % 3 - 1 : kind == 2 ? 0 : rng() % 90;
        if (kind == 3)
            len = 5000 + rng() % 20000;
        d += std::string(len, char('a' + i % 26));
        d += '\n';
    }
    return d;
}
}

TEST(LineIndex, RowsMatchThePlainRule)
{
    std::mt19937 rng(1);
    TempTree t;
    for (int round = 0; round < 6; ++round) {
        std::string d = mixedText(rng, 3000 + rng() % 3000);
        if (round % 2)
            d += std::string(rng() % (3 * W), 'z'); // a last row without its feed
        if (round == 4)
            d += std::string(10 * W + 7, '\0');
        const std::string path = t.file("f" + std::to_string(round), d);
        const std::vector<uint64_t> ref = referenceRows(d);

        PagedFile f;
        ASSERT_TRUE(f.open(path));
        LineIndex idx(f);
        // Count in steps, as scrolling does, then to the end.
        for (uint64_t r = 0; r < 200; r += 37)
            idx.countRows(r);
        EXPECT_FALSE(idx.complete());
        idx.countAll();
        ASSERT_TRUE(idx.complete());
        ASSERT_EQ(idx.counted(), ref.size()) << round;
        EXPECT_GT(idx.checkpointCount(), 1u);
        for (size_t r = 0; r < ref.size(); r += 1 + rng() % 50)
            ASSERT_EQ(idx.rowStart(r), ref[r]) << "row " << r;
        ASSERT_EQ(idx.rowStart(ref.size() - 1), ref.back());
        for (int k = 0; k < 300; ++k) {
            const uint64_t off = rng() % d.size();
            const uint64_t expect = uint64_t(std::upper_bound(ref.begin(), ref.end(), off) - ref.begin()) - 1;
            ASSERT_EQ(idx.rowOf(off), expect) << off;
        }
    }
}

// Holes of a sparse file are counted without being read, as rows of zeros.
TEST(LineIndex, SparseHolesCountLikeZeros)
{
    TempTree t;
    const std::string path = t.file("sparse", "head line\nsecond\n");
    std::mt19937 rng(9);
    for (int k = 0; k < 4; ++k) {
        const int fd = ::open(path.c_str(), O_WRONLY);
        ASSERT_GE(fd, 0);
        const off_t end = ::lseek(fd, 0, SEEK_END);
        const off_t at = end + off_t(rng() % (3 << 20)) + (k == 1 ? 5 : 0);
        const std::string piece = k == 3 ? std::string("tail") : "x\n" + std::string(rng() % 9000, 'y') + "\nmore";
        ASSERT_EQ(::pwrite(fd, piece.data(), piece.size(), at), ssize_t(piece.size()));
        ::close(fd);
    }
    const std::string d = TempTree::read(path);
    const std::vector<uint64_t> ref = referenceRows(d);
    PagedFile f;
    ASSERT_TRUE(f.open(path));
    LineIndex idx(f);
    idx.countAll();
    ASSERT_EQ(idx.counted(), ref.size());
    for (size_t r = 0; r < ref.size(); r += 1 + rng() % 40)
        ASSERT_EQ(idx.rowStart(r), ref[r]) << r;
    EXPECT_EQ(idx.rowOf(d.size() - 2), ref.size() - 1);
}

TEST(LineIndex, RowOfCountsOnlyAsFarAsNeededAndEdgeFiles)
{
    TempTree t;
    std::string d;
    for (int i = 0; i < 200000; ++i)
        d += "line " + std::to_string(i) + "\n";
    PagedFile f;
    ASSERT_TRUE(f.open(t.file("many", d)));
    LineIndex idx(f);
    EXPECT_EQ(idx.rowOf(d.find("line 1000\n")), 1000u);
    EXPECT_FALSE(idx.complete());
    EXPECT_EQ(idx.rowOf(d.size() - 1), 199999u);
    EXPECT_EQ(idx.rowStart(150000), d.find("line 150000\n"));

    PagedFile e;
    ASSERT_TRUE(e.open(t.file("empty", "")));
    LineIndex none(e);
    EXPECT_TRUE(none.complete());
    EXPECT_EQ(none.counted(), 0u);
    PagedFile one;
    ASSERT_TRUE(one.open(t.file("one", "\n")));
    LineIndex single(one);
    single.countAll();
    EXPECT_EQ(single.counted(), 1u);
    PagedFile two;
    ASSERT_TRUE(two.open(t.file("two", "a\r\nb")));
    LineIndex pair(two);
    pair.countAll();
    EXPECT_EQ(pair.counted(), 2u);
    EXPECT_EQ(pair.contentEnd(0), 2u);
    EXPECT_EQ(ViewText::textRow(two.read(0, 2), true, 8), "a");
}

TEST(LineIndex, CountingStopsWhenAskedAndGoesOnLater)
{
    TempTree t;
    std::string d;
    for (int i = 0; i < 100000; ++i)
        d += std::string(30, 'x') + "\n";
    PagedFile f;
    ASSERT_TRUE(f.open(t.file("f", d)));
    LineIndex idx(f);
    int calls = 0;
    EXPECT_FALSE(idx.countAll([&] { return ++calls < 2; }));
    EXPECT_FALSE(idx.complete());
    EXPECT_TRUE(idx.countAll());
    EXPECT_EQ(idx.counted(), 100000u);
}

TEST(PagedFile, OnlyRegularFilesOpen)
{
    TempTree t;
    PagedFile f;
    const std::string fifo = t.path("pipe");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    EXPECT_FALSE(f.open(fifo)); // returns at once: a FIFO is never opened
    EXPECT_FALSE(f.open("/dev/null"));
    EXPECT_FALSE(f.open(t.dir("folder")));
    EXPECT_FALSE(f.open(t.path("missing")));
    const std::string target = t.file("target", "hello");
    ASSERT_EQ(::symlink(target.c_str(), t.path("link").c_str()), 0);
    ASSERT_TRUE(f.open(t.path("link")));
    EXPECT_EQ(f.read(1, 100), "ello");
    ASSERT_EQ(::symlink(fifo.c_str(), t.path("fifolink").c_str()), 0);
    EXPECT_FALSE(f.open(t.path("fifolink")));
}

TEST(PagedFile, AFileThatReportsNoSizeIsReadToItsEnd)
{
    // /proc files report a size of 0 and still hold text.
    PagedFile f;
    ASSERT_TRUE(f.open("/proc/self/status"));
    ASSERT_GT(f.size(), 5u);
    EXPECT_EQ(f.read(0, 5), "Name:");
    std::string scanned;
    EXPECT_TRUE(f.scan(0, f.size(), [&](const uint8_t *data, size_t n, uint64_t) {
        scanned.append(reinterpret_cast<const char *>(data), n);
        return data != nullptr;
    }, true));
    EXPECT_EQ(scanned, f.read(0, size_t(f.size())));
    EXPECT_EQ(scanned.back(), '\n');
}

TEST(FileSearch, ForwardBackwardAndCaseAgainstPlainSearch)
{
    std::mt19937 rng(3);
    std::string d;
    // Long enough for several pieces, with matches across piece boundaries.
    while (d.size() < 3 * 1024 * 1024 + 100) {
        d += std::string(rng() % 50000, '.');
        d += (rng() % 2) ? "Marker" : "mArKeR";
    }
    TempTree t;
    PagedFile f;
    ASSERT_TRUE(f.open(t.file("hay", d)));
    std::string lower = d;
    for (char &c : lower)
        c = char(std::tolower(uint8_t(c)));
    for (int k = 0; k < 60; ++k) {
        const uint64_t from = rng() % d.size();
        const auto fw = FileSearch::find(f, "Marker", from, true, true);
        const size_t e1 = d.find("Marker", from);
        EXPECT_EQ(fw.offset.value_or(UINT64_MAX), e1 == std::string::npos ? UINT64_MAX : e1);
        const auto bw = FileSearch::find(f, "Marker", from, false, true);
        const size_t e2 = from == 0 ? std::string::npos : d.rfind("Marker", from - 1);
        EXPECT_EQ(bw.offset.value_or(UINT64_MAX), e2 == std::string::npos ? UINT64_MAX : e2);
        const auto fi = FileSearch::find(f, "MARKER", from, true, false);
        const size_t e3 = lower.find("marker", from);
        EXPECT_EQ(fi.offset.value_or(UINT64_MAX), e3 == std::string::npos ? UINT64_MAX : e3);
        const auto bi = FileSearch::find(f, "marker", from, false, false);
        const size_t e4 = from == 0 ? std::string::npos : lower.rfind("marker", from - 1);
        EXPECT_EQ(bi.offset.value_or(UINT64_MAX), e4 == std::string::npos ? UINT64_MAX : e4);
    }
    EXPECT_FALSE(FileSearch::find(f, "absent", 0, true, false).offset);
    EXPECT_FALSE(FileSearch::find(f, "", 0, true, false).offset);
}

TEST(ViewText, TabsControlsAndInvalidBytes)
{
    EXPECT_EQ(ViewText::textRow("a\tb", true, 8), "a       b");
    EXPECT_EQ(ViewText::textRow("ab\tc\td", true, 3), "ab c  d");
    EXPECT_EQ(ViewText::textRow("a\tb", true, 0), QString::fromUtf8("a\u2409b"));
    EXPECT_EQ(ViewText::textRow("a\tb", false, 8), QString::fromUtf8("a\u2409b"));
    std::vector<int> cols;
    const QString s = ViewText::textRow("\xc3\xa9\xff\x01x", true, 8, &cols);
    EXPECT_EQ(s, QString::fromUtf8("\u00e9\ufffd\u2401x"));
    EXPECT_EQ(cols, (std::vector<int>{0, 0, 1, 2, 3, 4}));
    ViewText::textRow("\t\tz", true, 4, &cols);
    EXPECT_EQ(cols, (std::vector<int>{0, 4, 8, 9}));

    EXPECT_EQ(ViewText::hexRow(0x10, std::string("Hello, world!\n\0\x7f", 16), 8),
              "00000010  48 65 6C 6C 6F 2C 20 77  6F 72 6C 64 21 0A 00 7F  Hello, world!...");
    EXPECT_EQ(ViewText::hexRow(0x100000000ull, "A", ViewText::hexDigits(0x100000010ull)).left(13), "100000000  41");
    EXPECT_EQ(ViewText::hexColumn(0, 8), 10);
    EXPECT_EQ(ViewText::hexColumn(8, 8), 35);

    const auto lines = ViewText::selectionLines({"first line", "middle", "last line"}, 6, 4);
    EXPECT_EQ(lines, (std::vector<QString>{"      line", "middle", "last"}));
}
