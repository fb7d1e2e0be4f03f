#include "settings/IniFile.h"
#include "finders/TempMatcher.h"
#include "finders/TempPatterns.h"
#include "PatternTestSupport.h"

#include <gtest/gtest.h>

TEST(TempPatterns, ExtensionIsFromTheLastDotUnlessBackslashOrColonFollows)
{
    EXPECT_EQ(TempPatterns::extensionOf(QString("ARCHIVE.TAR.TMP")), ".TMP");
    EXPECT_EQ(TempPatterns::extensionOf(QString("README")), "");
    EXPECT_EQ(TempPatterns::extensionOf(QString(".tmp")), ".tmp");
    EXPECT_EQ(TempPatterns::extensionOf(QString("name.")), ".");
    EXPECT_EQ(TempPatterns::extensionOf(QString("a.b\\c")), "");
    EXPECT_EQ(TempPatterns::extensionOf(QString("a.b:c")), "");
    EXPECT_EQ(TempPatterns::extensionOf(QString("x:y.z")), ".z");
    EXPECT_EQ(TempPatterns::extensionOf(std::string_view("ARCHIVE.TAR.TMP")), ".TMP");
    EXPECT_EQ(TempPatterns::extensionOf(std::string_view("a.b\\c")), "");
    EXPECT_EQ(TempPatterns::extensionOf(std::string_view("README")), "");
}

TEST(TempPatterns, BuiltInListMatchesLiterallyWithoutRegardToCase)
{
    QStringList rows;
    for (const QString &p : TempPatterns::cleanFallback())
        rows << TempPatterns::rowFor(p);
    const TempMatcher m(rows);
    for (const char *yes : {"REPORT.TMP", "old.Bak", "~WRL0003.TMP", ".tmp", "a.b.DB$", "x.~*"})
        EXPECT_TRUE(m.isTemporary(std::string_view(yes))) << yes;
    for (const char *no : {"page.htm~", "x.~tmp", "tmp", "a.tmp\\x", "a.tmp.gz", "notes.txt", "README"})
        EXPECT_FALSE(m.isTemporary(std::string_view(no))) << no;
    EXPECT_TRUE(m.isTemporary(QString("Report.Tmp")));
    EXPECT_FALSE(m.isTemporary(QString("page.htm~")));
}

TEST(TempPatterns, OddPatternsAndNamesCompareAsText)
{
    // The first character of a pattern is dropped whatever it is; "*" alone
    // stands for names without an extension.
    const TempMatcher m({"*\tNo extension", "?.Äbc\tx", "x.log"});
    EXPECT_TRUE(m.isTemporary(std::string_view("README")));
    EXPECT_FALSE(m.isTemporary(std::string_view("read.me")));
    EXPECT_TRUE(m.isTemporary(std::string_view("file.\xc3\xa4" "BC"))); // ".äBC"
    EXPECT_TRUE(m.isTemporary(std::string_view("x.LOG")));
    EXPECT_FALSE(m.isTemporary(std::string_view("bad.\xff\xfe")));
    EXPECT_FALSE(TempMatcher().isTemporary(std::string_view("README")));
    EXPECT_TRUE(TempMatcher().empty());
}

TEST(TempPatterns, FallbacksAndStoredLists)
{
    FixedFileTypes types;
    // Nothing stored: each reader has its own fall-back, nothing is written.
    EXPECT_EQ(patternsOf(TempPatterns::readFromDisk(TempPatterns::editorFallback())),
              QStringList({"*.$$$", "*.bak", "*.tmp"}));
    EXPECT_EQ(TempPatterns::readFromDisk(TempPatterns::cleanFallback()).size(), 10);
    EXPECT_EQ(IniFile().readInt("TempFiles", "Number", -1), -1);

    const QStringList rows = TempPatterns::readFromDisk(TempPatterns::editorFallback());
    EXPECT_EQ(rows[1], "*.bak\tBackup file");
    TempPatterns::writeToDisk(rows);
    EXPECT_EQ(IniFile().readInt("TempFiles", "Number", -1), 3);
    EXPECT_EQ(IniFile().readString("TempFiles", "File1", ""), "*.$$$");
    EXPECT_EQ(TempPatterns::readFromDisk(TempPatterns::cleanFallback()), rows);

    // A saved empty list gives no patterns to either reader.
    TempPatterns::writeToDisk({});
    EXPECT_TRUE(TempPatterns::readFromDisk(TempPatterns::cleanFallback()).isEmpty());
    EXPECT_TRUE(TempPatterns::readFromDisk(TempPatterns::editorFallback()).isEmpty());
}

TEST(TempPatterns, ShorterListLeavesOldKeysThatReadingIgnores)
{
    FixedFileTypes types;
    TempPatterns::writeToDisk({"*.a\tA", "*.b\tB", "*.c\tC", "*.d\tD", "*.e\tE"});
    TempPatterns::writeToDisk({"*.xyz\tXYZ File", "*.b\tB", "*.c\tC"});
    EXPECT_EQ(IniFile().readString("TempFiles", "File5", ""), "*.e");
    EXPECT_EQ(TempPatterns::readFromDisk({}),
              QStringList({"*.b\tB File", "*.c\tC File", "*.xyz\tXYZ File"}));
    // Empty entries are skipped; a stored list is shown sorted.
    IniFile().writeString("TempFiles", "Number", "4");
    IniFile().writeString("TempFiles", "File2", "");
    IniFile().writeString("TempFiles", "File4", "*.TMP");
    EXPECT_EQ(patternsOf(TempPatterns::readFromDisk({})), QStringList({"*.c", "*.TMP", "*.xyz"}));
}

TEST(TempPatterns, NoBuiltInListTakesAUsersDataFiles)
{
    // FITS images and computation checkpoints are data on Linux: no built-in
    // list matches them, but a pattern added by hand still does.
    for (const QStringList *list :
         {&TempPatterns::cleanFallback(), &TempPatterns::editorFallback(), &TempPatterns::defaults()}) {
        QStringList rows;
        for (const QString &p : *list)
            rows << TempPatterns::rowFor(p);
        const TempMatcher m(rows);
        for (const char *data : {"m31.fts", "NGC224.FTS", "water.chk"})
            EXPECT_FALSE(m.isTemporary(std::string_view(data))) << data;
        EXPECT_TRUE(m.isTemporary(std::string_view("x.tmp")));
    }
    EXPECT_TRUE(TempMatcher({"*.fts\tFITS document"}).isTemporary(std::string_view("m31.fts")));
}

TEST(TempPatterns, DefaultsGiveElevenRowsOnceAndDuplicatesIgnoreCase)
{
    FixedFileTypes types;
    QStringList rows;
    int added = 0;
    for (const QString &p : TempPatterns::defaults())
        added += TempPatterns::addUnique(rows, TempPatterns::rowFor(p)) >= 0;
    EXPECT_EQ(TempPatterns::defaults().size(), 12);
    EXPECT_EQ(added, 11);
    for (const QString &p : TempPatterns::defaults())
        EXPECT_EQ(TempPatterns::addUnique(rows, TempPatterns::rowFor(p)), -1);
    EXPECT_EQ(rows.size(), 11);
    EXPECT_EQ(TempPatterns::addUnique(rows, "*.TMP\tTEMPORARY FILE"), -1);
    QStringList sorted = rows;
    TempPatterns::sort(sorted);
    EXPECT_EQ(rows, sorted);
    EXPECT_EQ(TempPatterns::addUnique(rows, "*.Aaa\tAAA File"), 1); // after "*.$$$"
}
