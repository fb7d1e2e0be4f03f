#include "PeImage.h"
#include "inspect/VersionInfo.h"
#include "support/TempTree.h"

#include <QElapsedTimer>
#include <gtest/gtest.h>

#include <random>

namespace {
const QStringList kExpected = {
    "Company: \tFennwick Tools",   "File description: \tSample tool", "File version: \t1.2.3.4",
    "Internal name: \tsample",     "Copyright: \t\t(c) 2026 Fennwick", "Trademarks: \tnone",
    "Original filename: \tsample.exe", "Private build info: \tpb",    "Product name: \tSample",
    "Product version: \t1.2",      QString::fromUtf8("Special build info: \tsb \xc3\xa9"),
};
}

TEST(VersionInfo, ExecutableListsElevenLinesInOrder)
{
    TempTree t;
    const std::string exe = t.file("tool.exe", PeImage::image(PeImage::versionBlock(PeImage::fullStrings())));
    QStringList list = {"old line"};
    versionInfoLines(exe, list, true);
    EXPECT_EQ(list, kExpected);

    // Without the tab flag there is no separator at all; PE32+ images read the same.
    const std::string dll = t.file("lib.dll", PeImage::image(PeImage::versionBlock(PeImage::fullStrings()), true));
    versionInfoLines(dll, list, false);
    ASSERT_EQ(list.size(), 11);
    EXPECT_EQ(list[0], "Company: Fennwick Tools");
    EXPECT_EQ(list[4], "Copyright: (c) 2026 Fennwick");
}

TEST(VersionInfo, TranslationDecidesTableAndMissingKeysGiveEmptyValues)
{
    // Only two keys stored; keys match without regard to case, the table's
    // name too (upper-case hexadecimal digits).
    const auto r = VersionInfo::fromBytes(PeImage::image(
        PeImage::versionBlock({{u"companyname", u"Acme"}, {u"ProductName", u"Thing"}}, u"040904B0")));
    ASSERT_TRUE(r);
    EXPECT_EQ(r->language, 0x0409);
    EXPECT_EQ(r->codePage, 0x04B0);
    const QStringList lines = VersionInfo::lines(*r, true);
    ASSERT_EQ(lines.size(), 11);
    EXPECT_EQ(lines[0], "Company: \tAcme");
    EXPECT_EQ(lines[1], "File description: \t");
    EXPECT_EQ(lines[4], "Copyright: \t\t");
    EXPECT_EQ(lines[8], "Product name: \tThing");

    // A translation naming a table that is not there: eleven empty values.
    const auto other = VersionInfo::fromBytes(
        PeImage::image(PeImage::versionBlock(PeImage::fullStrings(), u"040904b0", 0x0407, 0x04E4)));
    ASSERT_TRUE(other);
    EXPECT_TRUE(other->strings.empty());
    EXPECT_EQ(VersionInfo::lines(*other, false)[0], "Company: ");
}

TEST(VersionInfo, FilesWithoutResourceGiveNoLines)
{
    TempTree t;
    QStringList list = {"x"};
    // No translation table.
    versionInfoLines(t.file("a.exe", PeImage::image(PeImage::versionBlock(PeImage::fullStrings(), u"040904b0", -1))),
                     list, true);
    EXPECT_TRUE(list.isEmpty());
    list = {"x"};
    versionInfoLines(t.file("plain.txt", "MZ but nothing else"), list, true);
    EXPECT_TRUE(list.isEmpty());
    list = {"x"};
    versionInfoLines(t.path("missing.exe"), list, true);
    EXPECT_TRUE(list.isEmpty());
    list = {"x"};
    versionInfoLines(t.dir("folder.exe"), list, true);
    EXPECT_TRUE(list.isEmpty());
}

// Truncated and damaged images must give a result or none, never a crash or
// a hang; run under the sanitizers this also catches every read out of bounds.
TEST(VersionInfo, DamagedImagesNeverCrash)
{
    const std::string good = PeImage::image(PeImage::versionBlock(PeImage::fullStrings()));
    QElapsedTimer clock;
    clock.start();
    const size_t blockEnd = 0x200 + 0x58 + PeImage::versionBlock(PeImage::fullStrings()).size();
    for (size_t n = 0; n < good.size(); ++n) {
        const auto r = VersionInfo::fromBytes(good.substr(0, n));
        EXPECT_EQ(bool(r), n >= blockEnd) << n;
    }

    std::mt19937 rng(20);
    int survived = 0;
    for (int i = 0; i < 20000; ++i) {
        std::string bad = good;
        const int flips = 1 + int(rng() % 8);
        for (int k = 0; k < flips; ++k) {
            // Aim most flips at the headers and the resource section.
            const size_t at = (rng() % 4 != 0) ? 0x200 + rng() % (good.size() - 0x200) : rng() % 0x200;
            bad[at] = char(uint8_t(bad[at]) ^ uint8_t(1u << (rng() % 8)));
        }
        if (const auto r = VersionInfo::fromBytes(bad)) {
            ++survived;
            EXPECT_LE(r->strings.size(), 64u);
        }
    }
    EXPECT_GT(survived, 0);
    // Damaged version blocks alone, with random lengths everywhere.
    const std::string block = PeImage::versionBlock(PeImage::fullStrings());
    for (int i = 0; i < 20000; ++i) {
        std::string bad = block;
        for (int k = 0; k < 4; ++k) {
            const size_t at = rng() % bad.size();
            bad[at] = char(rng());
        }
        if (rng() % 3 == 0)
            bad.resize(rng() % bad.size());
        VersionInfo::fromVersionBlock(bad);
    }
    EXPECT_LT(clock.elapsed(), 20000);
}
