#include "common/DosTime.h"
#include "common/Text.h"

#include <QLocale>
#include <gtest/gtest.h>

#include <random>

TEST(Text, FormatThousandsUsesLocaleSeparatorAnd64Bits)
{
    EXPECT_EQ(formatThousands(1234567), "1,234,567");
    EXPECT_EQ(formatThousands(0), "0");
    EXPECT_EQ(formatThousands(999), "999");
    EXPECT_EQ(formatThousands(-1234), "-1,234");
    EXPECT_EQ(formatThousands(5368709120LL), "5,368,709,120");
    QLocale::setDefault(QLocale(QLocale::German, QLocale::Germany));
    EXPECT_EQ(formatThousands(1234567), "1.234.567");
    QLocale::setDefault(QLocale(QLocale::English, QLocale::UnitedStates));
}

TEST(Text, TabFieldCountsFromOneAndTrims)
{
    const QString line = QStringLiteral("  a \tb\t\t c  ");
    EXPECT_EQ(tabField(line, 1), "a");
    EXPECT_EQ(tabField(line, 2), "b");
    EXPECT_EQ(tabField(line, 3), "");
    EXPECT_EQ(tabField(line, 4), "c");
    EXPECT_EQ(tabField(line, 5), "");
    EXPECT_EQ(tabField(line, 0), "");
    EXPECT_EQ(tabField(QString(), 1), "");
}

TEST(Text, JoinPathAddsOneSeparator)
{
    EXPECT_EQ(joinPath("/", "a"), "/a");
    EXPECT_EQ(joinPath("/home/u", "a b"), "/home/u/a b");
    EXPECT_EQ(joinPath("/home/u/", "x"), "/home/u/x");
}

TEST(Text, DisplayNameShowsControlCharactersVisibly)
{
    const QString s = displayName(std::string("a\tb\nc\\d"));
    EXPECT_FALSE(s.contains(QLatin1Char('\t')));
    EXPECT_FALSE(s.contains(QLatin1Char('\n')));
    EXPECT_EQ(s, QString::fromUtf8("a\u2409b\u240Ac\\d"));
    EXPECT_EQ(displayName(std::string("bad\xff")).size(), 4);
}

// Names of any bytes decode as QString::fromUtf8 decodes them: bad, cut
// short and overlong sequences, encoded surrogates, a leading byte-order mark.
TEST(Text, DisplayNameDecodesAnyBytesAsUtf8Decoding)
{
    std::mt19937 random(7);
    std::vector<std::string> names = {"\xEF\xBB\xBF" "a", "a\xC3", "b\xE2\x82", "\xED\xA0\x80x", "\xC0\xAF", "\xF4\x90\x80\x80",
                                      "\xF0\x9F\x98\x80\x7f", ""};
    for (int i = 0; i < 20000; ++i) {
        // Some long enough to be read sixteen bytes at a time, some all printable.
        std::string n(random() % 40, ' ');
        const bool plain = i % 2 == 0;
        for (char &c : n)
            c = char(plain || random() % 3 == 0 ? 0x20 + random() % 0x5f : random() % 256);
        if (plain && !n.empty() && i % 4 == 0)
            n[random() % n.size()] = char(random() % 2 ? 0x7f : random() % 0x20); // one control character
        names.push_back(n);
    }
    for (const std::string &n : names) {
        QString expected = QString::fromUtf8(n.data(), qsizetype(n.size()));
        for (QChar &c : expected)
            if (c.unicode() < 0x20 || c.unicode() == 0x7f)
                c = QChar(ushort(c.unicode() == 0x7f ? 0x2421 : 0x2400 + c.unicode()));
        ASSERT_EQ(displayName(n), expected) << QByteArray::fromStdString(n).toHex().toStdString();
    }
}

TEST(DosTime, PackAndUnpackRoundTrip)
{
    const QDateTime t(QDate(2027, 3, 1), QTime(9, 5, 7));
    const DosDateTime s = DosTime::pack(t);
    EXPECT_EQ(DosTime::year(s), 2027);
    EXPECT_EQ(DosTime::month(s), 3);
    EXPECT_EQ(DosTime::day(s), 1);
    EXPECT_EQ(DosTime::hour(s), 9);
    EXPECT_EQ(DosTime::minute(s), 5);
    EXPECT_EQ(DosTime::second(s), 6); // two-second resolution
    EXPECT_EQ(DosTime::unpack(s), QDateTime(QDate(2027, 3, 1), QTime(9, 5, 6)));
    EXPECT_TRUE(DosTime::isValid(s));
    EXPECT_EQ(DosTime::pack(QDateTime(QDate(1979, 12, 31), QTime(23, 59))), 0u);
    EXPECT_EQ(DosTime::pack(QDateTime(QDate(2108, 1, 1), QTime(0, 0))), 0u);
    EXPECT_NE(DosTime::pack(QDateTime(QDate(2107, 12, 31), QTime(23, 59, 58))), 0u);
}

TEST(DosTime, FromUnixIsLocalTimeAndBounded)
{
    // The tests run in UTC: 2000-01-01 00:00:00.
    const DosDateTime s = DosTime::fromUnix(946684800);
    EXPECT_EQ(DosTime::unpack(s), QDateTime(QDate(2000, 1, 1), QTime(0, 0)));
    EXPECT_EQ(DosTime::fromUnix(0), 0u);
    EXPECT_EQ(DosTime::fromUnix(-5), 0u);
    EXPECT_EQ(DosTime::fromUnix(int64_t(1) << 40), 0u);
}

TEST(DosTime, TextsAreEmptyForZeroAndFallBackWhenInvalid)
{
    EXPECT_EQ(dosDateText(0), "");
    EXPECT_EQ(dosTimeText(0), "");
    const DosDateTime s = DosTime::pack(QDateTime(QDate(2027, 3, 1), QTime(13, 5, 8)));
    EXPECT_EQ(dosDateText(s), "3/1/2027");
    EXPECT_EQ(dosTimeText(s), "1:05:08 PM");
    // Month 13, day 31, hour 25.
    const DosDateTime bad = (uint32_t(10) << 25) | (13u << 21) | (31u << 16) | (25u << 11);
    EXPECT_EQ(dosDateText(bad), "1/1/1980");
    EXPECT_EQ(dosTimeText(bad), "12:00:00");
    EXPECT_FALSE(DosTime::isValid(bad));
}

TEST(DosTime, DateSerialCountsFrom30December1899)
{
    EXPECT_EQ(dateSerial(QDate(1899, 12, 30)), 0);
    EXPECT_EQ(dateSerial(QDate(1998, 1, 1)), 35796);
}

// Sizes the program gives a unit of its own: binary multiples with binary names.
TEST(Text, SizeWithUnitNamesBinaryMultiplesAsSuch)
{
    EXPECT_EQ(sizeWithUnit(1000000), "976.6 KiB");
    EXPECT_EQ(sizeWithUnit(1024), "1.0 KiB");
    EXPECT_EQ(sizeWithUnit(1536LL * 1024 * 1024), "1.5 GiB");
    EXPECT_EQ(sizeWithUnit(512), "512 bytes");
}
