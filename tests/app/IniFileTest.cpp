#include "app/IniFile.h"
#include "common/DosTime.h"
#include "platform/Paths.h"
#include "support/TempTree.h"

#include <gtest/gtest.h>

#include <csignal>
#include <sys/resource.h>

namespace {
IniFile fileWith(const std::string &content)
{
    TempTree t("ini");
    return IniFile(t.file("vantor.ini", content));
}
}

TEST(IniFile, LivesInTheSettingsFolder)
{
    EXPECT_EQ(IniFile().path(), Paths::settingsFolder() + "/vantor.ini");
    EXPECT_NE(IniFile().path().find("/.config/vantor/vantor.ini"), std::string::npos);
}

TEST(IniFile, AbsentFileGivesEveryDefault)
{
    IniFile ini;
    EXPECT_EQ(ini.readString("ZipFile", "Path", "C:\\"), "C:\\");
    EXPECT_EQ(ini.readInt("Vantor", "Ndelete", -1), -1);
    EXPECT_EQ(ini.readString("Folders", "When", "Not recorded"), "Not recorded");
    EXPECT_EQ(ini.readList("TempFiles", {"*.tmp", "*.bak"}), QStringList({"*.tmp", "*.bak"}));
    EXPECT_FALSE(TempTree::exists(ini.path())); // reading never creates it
}

TEST(IniFile, WriteCreatesFolderFileAndSectionThenReadsBack)
{
    IniFile ini;
    ini.writeString("ZipFile", "Path", "/home/u/arch");
    ini.writeInt("Vantor", "Ndelete", 12);
    EXPECT_EQ(ini.readString("zipfile", "PATH", "x"), "/home/u/arch");
    EXPECT_EQ(ini.readInt("VANTOR", "ndelete", -1), 12);
    EXPECT_EQ(TempTree::read(ini.path()), "[ZipFile]\nPath=/home/u/arch\n[Vantor]\nNdelete=12\n");
    ini.writeString("ZipFile", "Comment", "hello");
    ini.writeString("zipfile", "path", "/other");
    EXPECT_EQ(TempTree::read(ini.path()),
              "[ZipFile]\nPath=/other\nComment=hello\n[Vantor]\nNdelete=12\n");
}

TEST(IniFile, IntegersReadDecimalHexOrDefault)
{
    IniFile ini = fileWith("[A]\nh=0x0A\nH=1\nx=0X1f\nbad=12abc\nempty=\nneg=-7\nhuge=99999999999999999999\n"
                           "big=5368709120\n");
    EXPECT_EQ(ini.readInt("A", "h", -1), 10);
    EXPECT_EQ(ini.readInt("A", "x", -1), 31);
    EXPECT_EQ(ini.readInt("A", "bad", -1), -1);
    EXPECT_EQ(ini.readInt("A", "empty", 5), 5);
    EXPECT_EQ(ini.readInt("A", "neg", 0), -7);
    EXPECT_EQ(ini.readInt("A", "huge", -1), -1);
    EXPECT_EQ(ini.readInt("A", "big", -1), 5368709120LL);
    EXPECT_EQ(ini.readList("TempFiles", {}).size(), 0);
}

TEST(IniFile, FirstOfDuplicateSectionsAndKeysIsRead)
{
    IniFile ini = fileWith("[S]\nk=first\nk=second\n[s]\nk=third\nj=only-later\n");
    EXPECT_EQ(ini.readString("S", "k", ""), "first");
    EXPECT_EQ(ini.readString("S", "j", "def"), "def");
    ini.writeString("S", "k", "new");
    EXPECT_EQ(TempTree::read(ini.path()), "[S]\nk=new\nk=second\n[s]\nk=third\nj=only-later\n");
}

TEST(IniFile, LongValueReadsAs1023Characters)
{
    IniFile ini;
    const QString v(1100, QLatin1Char('v'));
    ini.writeString("S", "long", v);
    EXPECT_EQ(ini.readString("S", "long", ""), v.left(1023));
}

TEST(IniFile, MalformedFileIsReadAndItsOtherLinesKept)
{
    std::string junk = "\xEF\xBB\xBF; comment\r\n[Junk]\r\nno equals here\r\n\r\n";
    junk += std::string("\x00\x01\xff\xfe=\x80", 6) + "\r\n";
    junk += "  [ Vantor ]  \r\n  Ndelete = 0x10 \r\n" + std::string(100000, 'z') + "\r\n[Tail]\r\nlast=1";
    IniFile ini = fileWith(junk);
    EXPECT_EQ(ini.readInt("Vantor", "Ndelete", -1), 16);
    EXPECT_EQ(ini.readInt("Tail", "last", -1), 1);
    ini.writeInt("Vantor", "NZip", 3);
    const std::string after = TempTree::read(ini.path());
    std::string expected = junk;
    const std::string anchor = std::string(100000, 'z') + "\r\n";
    expected.insert(expected.find(anchor) + anchor.size(), "NZip=3\r\n");
    EXPECT_EQ(after, expected);
    EXPECT_EQ(ini.readInt("vantor", "nzip", -1), 3);
}

TEST(IniFile, ListsUseNumberAndFileKeysAndKeepHigherEntries)
{
    IniFile ini;
    ini.writeList("TempFiles", {"*.1", "*.2", "*.3", "*.4", "*.5", "*.6", "*.7"});
    ini.writeList("TempFiles", {"*.a\tType A", "*.b", "*.c", "*.d", "*.e"});
    EXPECT_EQ(ini.readList("TempFiles", {"default"}), QStringList({"*.a", "*.b", "*.c", "*.d", "*.e"}));
    EXPECT_EQ(ini.readString("TempFiles", "File6", ""), "*.6");
    EXPECT_EQ(ini.readString("TempFiles", "File7", ""), "*.7");
    ini.writeList("TempFiles", {});
    EXPECT_TRUE(ini.readList("TempFiles", {"default"}).isEmpty());
}

TEST(IniFile, ListReadsTheFileOnceWhateverTheCount)
{
    // A hostile count must not turn into a million reads of the file; entries
    // are read as readString reads them (first duplicate, quotes removed).
    std::string content = "[TempFiles]\nNumber=0x7fffffff\nFile1=*.a\nfile1=*.dup\nFILE3=\"*.c\"\n";
    for (int i = 0; i < 20000; ++i)
        content += "Other" + std::to_string(i) + "=x\n";
    IniFile ini = fileWith(content);
    const QStringList list = ini.readList("tempfiles", {"default"});
    ASSERT_EQ(list.size(), 1000000);
    EXPECT_EQ(list[0], "*.a");
    EXPECT_EQ(list[1], "");
    EXPECT_EQ(list[2], "*.c");
    EXPECT_EQ(fileWith("[TempFiles]\nNumber=-3\nFile1=x\n").readList("TempFiles", {"d"}), QStringList({"d"}));
    EXPECT_EQ(fileWith("[TempFiles]\nNumber=two\n").readList("TempFiles", {"d"}), QStringList({"d"}));
}

TEST(IniFile, TalliesAddStartDateAndReset)
{
    IniFile ini;
    const QDate day(2027, 3, 1);
    ini.resetTotals();
    ini.addDeletionTotals(3, 1000, 0, 0, day);
    EXPECT_EQ(ini.readInt("Vantor", "Ndelete", 0), 3);
    EXPECT_EQ(ini.readInt("Vantor", "SizeDelete", 0), 1000);
    EXPECT_EQ(ini.readInt("Vantor", "NWaste", 7), 0);
    EXPECT_EQ(ini.readInt("Vantor", "DelDate", 0), dateSerial(day));
    ini.addDeletionTotals(2, 500, 1, 6000000000LL, day.addDays(1));
    EXPECT_EQ(ini.readInt("Vantor", "Ndelete", 0), 5);
    EXPECT_EQ(ini.readInt("Vantor", "SizeDelete", 0), 1500);
    EXPECT_EQ(ini.readInt("Vantor", "SizeWaste", 0), 6000000000LL);
    EXPECT_EQ(ini.readInt("Vantor", "DelDate", 0), dateSerial(day)); // unchanged
    ini.addZipTotals(4, 4096, day);
    ini.addZipTotals(1, 4, day.addDays(3));
    EXPECT_EQ(ini.readInt("Vantor", "NZip", 0), 5);
    EXPECT_EQ(ini.readInt("Vantor", "SizeZip", 0), 4100);
    EXPECT_EQ(ini.readInt("Vantor", "ZipDate", 0), dateSerial(day));
    ini.resetTotals();
    for (const char *k : {"Ndelete", "SizeDelete", "NZip", "ZipDate", "SizeZip", "NWaste", "SizeWaste", "DelDate"})
        EXPECT_EQ(ini.readInt("Vantor", k, 0), -1) << k;
}

TEST(IniFile, FailedWriteRaisesAndLeavesTheOldFileWhole)
{
    IniFile ini;
    ini.writeString("S", "keep", std::string(4000, 'k').c_str());
    const std::string before = TempTree::read(ini.path());

    // A file-size limit makes the write of the new content fail part way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit old{};
    getrlimit(RLIMIT_FSIZE, &old);
    rlimit tiny = old;
    tiny.rlim_cur = 100;
    setrlimit(RLIMIT_FSIZE, &tiny);
    try {
        ini.writeString("S", "more", "x");
        ADD_FAILURE() << "write did not fail";
    } catch (const IniWriteError &e) {
        EXPECT_EQ(std::string(e.what()), "Unable to write to " + ini.path());
    }
    setrlimit(RLIMIT_FSIZE, &old);
    EXPECT_EQ(TempTree::read(ini.path()), before);

    // A settings folder that cannot be created: the same message.
    TempTree t("blocked");
    const std::string blocker = t.file("notafolder");
    IniFile nowhere(blocker + "/vantor.ini");
    EXPECT_THROW(nowhere.writeInt("S", "k", 1), IniWriteError);
}
