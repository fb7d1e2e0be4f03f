#include "common/FoldCompare.h"

#include <QChar>
#include <QList>
#include <QString>
#include <gtest/gtest.h>

#include <random>
#include <string>
#include <utility>
#include <vector>

namespace {
int sign(int v) { return v < 0 ? -1 : (v > 0 ? 1 : 0); }

// The order the fold compare promises: upper-case code points, compared in turn.
int reference(const std::string &a, const std::string &b)
{
    auto fold = [](const std::string &s) {
        std::vector<char32_t> out;
        for (char32_t c : QString::fromStdString(s).toUcs4())
            out.push_back(QChar::toUpper(c));
        return out;
    };
    const auto x = fold(a), y = fold(b);
    return x < y ? -1 : (x > y ? 1 : 0);
}

// Two texts of the alphabet's pieces, shorter than length; every other
// pair begins alike.
std::pair<std::string, std::string> randomPair(std::mt19937 &rng, const std::vector<std::string> &alphabet, int length)
{
    std::string a, b;
    const int la = int(rng() % unsigned(length)), lb = int(rng() % unsigned(length));
    const int shared = (rng() % 2) ? la / 2 : 0;
    for (int i = 0; i < la; ++i) {
        a += alphabet[rng() % alphabet.size()];
        if (i + 1 == shared)
            b = a;
    }
    for (int i = 0; i < lb; ++i)
        b += alphabet[rng() % alphabet.size()];
    return {a, b};
}
}

TEST(FoldCompare, IgnoresCaseAndOrdersByCodePoint)
{
    EXPECT_EQ(foldCompare("README.TXT", "readme.txt"), 0);
    EXPECT_TRUE(foldEqual("Straße", "STRAßE"));
    EXPECT_EQ(foldCompare("\xc3\x89t\xc3\xa9", "\xc3\xa9T\xc3\x89"), 0); // Été, éTÉ
    EXPECT_LT(foldCompare("a", "B"), 0);
    EXPECT_LT(foldCompare("ab", "ab c"), 0); // a prefix sorts first
    EXPECT_LT(foldCompare("Z", "\xc3\xa9"), 0); // letters beyond ASCII after Z
    EXPECT_LT(foldCompare("1/2/2021", "12/31/2020"), 0);
    EXPECT_GT(foldCompare("b", ""), 0);
    EXPECT_EQ(foldCompare("", ""), 0);
}

TEST(FoldCompare, MalformedBytesStayDistinct)
{
    const std::string bad1 = "a\xff", bad2 = "a\xfe";
    EXPECT_NE(foldCompare(bad1, bad2), 0);
    EXPECT_EQ(foldCompare(bad1, bad1), 0);
    // Not equal to the replacement character a display would show for it.
    EXPECT_NE(foldCompare(bad1, "a\xef\xbf\xbd"), 0);
    // A truncated sequence is malformed, not read past the end.
    EXPECT_NE(foldCompare(std::string("\xc3"), std::string("\xc3\xa9")), 0);
    const int ab = foldCompare(bad1, bad2), ba = foldCompare(bad2, bad1);
    EXPECT_EQ(ab, -ba);
}

TEST(FoldCompare, AgreesWithUpperCaseOrderOnRandomTexts)
{
    const std::vector<std::string> alphabet = {"a", "A", "b", "Z", "_", ".", " ", "1", "\xc3\xa9", "\xc3\x89",
                                               "\xc3\x9f", "\xe2\x82\xac", "\xf0\x9f\x98\x80", "~", "z"};
    std::mt19937 rng(7);
    for (int n = 0; n < 3000; ++n) {
        const auto [a, b] = randomPair(rng, alphabet, 5);
        ASSERT_EQ(sign(foldCompare(a, b)), reference(a, b)) << a << " | " << b;
    }
}

TEST(FoldCompare, APrefixNumberOrdersTextsAsTheyCompare)
{
    // Letters whose upper case is ASCII (dotless i, long s), DEL, text
    // beyond ASCII and malformed bytes, in texts longer than the number.
    const std::vector<std::string> alphabet = {"a", "I", "i", "S", "s", "\xc4\xb1", "\xc5\xbf", "\x7f", "~",
                                               "\xc3\xa9", "\xc3\x89", "\xff", "0", ".", "z"};
    std::mt19937 rng(11);
    for (int n = 0; n < 20000; ++n) {
        const int chars = 1 + int(rng() % 18);
        const auto [a, b] = randomPair(rng, alphabet, 22);
        const unsigned __int128 x = foldPrefix(a, chars), y = foldPrefix(b, chars);
        if (x != y) {
            ASSERT_EQ(sign(foldCompare(a, b)), x < y ? -1 : 1) << a << " | " << b << " in " << chars;
        }
        if (foldCompare(a, b) == 0) {
            ASSERT_EQ(x, y) << a << " | " << b;
        }
    }
    // Only the first characters count.
    EXPECT_EQ(foldPrefix("readme.txt", 6), foldPrefix("README.md", 6));
    EXPECT_LT(foldPrefix("ab", 4), foldPrefix("abc", 4));
}
