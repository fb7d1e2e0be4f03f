#include "settings/IniFile.h"
#include "common/DosTime.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "safety/FoldersFile.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <gtest/gtest.h>

#include <csignal>
#include <fcntl.h>
#include <limits>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>
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

TEST(IniFile, UnreadableFileIsNeverReplaced)
{
    if (TestEnv::privileged())
        GTEST_SKIP() << "root reads a file of mode 000";
    IniFile ini;
    ini.writeString("ZipFile", "Path", "/srv/kept");
    ini.writeInt("Vantor", "Ndelete", 40);
    const std::string before = TempTree::read(ini.path());
    ASSERT_EQ(::chmod(ini.path().c_str(), 0), 0);

    // Reads give the defaults; every kind of write raises and changes nothing.
    EXPECT_EQ(ini.readString("ZipFile", "Path", "C:\\"), "C:\\");
    EXPECT_THROW(ini.writeString("ZipFile", "Comment", "x"), IniWriteError);
    EXPECT_THROW(ini.writeList("TempFiles", {"*.tmp"}), IniWriteError);
    EXPECT_THROW(ini.addDeletionTotals(1, 1, 0, 0), IniWriteError);
    EXPECT_THROW(ini.resetTotals(), IniWriteError);
    ASSERT_EQ(::chmod(ini.path().c_str(), 0600), 0);
    EXPECT_EQ(TempTree::read(ini.path()), before);

    // A folder in place of the file cannot be read either.
    TempTree t("dir");
    IniFile folder(t.dir("vantor.ini"));
    EXPECT_THROW(folder.writeInt("S", "k", 1), IniWriteError);
}

TEST(IniFile, OnlySaneRegularFilesAreReadAndTheOthersAreKept)
{
    // A FIFO (read at once, never blocking), a link to /dev/zero (no
    // endless read) and a file above the size limit: reads give the
    // defaults, writes raise, and each is left as it was.
    TempTree t("odd");
    const std::string fifo = t.path("fifo.ini"), zero = t.path("zero.ini"), huge = t.path("huge.ini");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    ASSERT_EQ(::symlink("/dev/zero", zero.c_str()), 0);
    {
        const int fd = ::open(huge.c_str(), O_CREAT | O_WRONLY, 0600);
        ASSERT_GE(fd, 0);
        ASSERT_EQ(::write(fd, "[ZipFile]\nPath=/srv\n", 20), 20);
        ASSERT_EQ(::ftruncate(fd, off_t(AtomicFile::kMaxReadSize + 1)), 0);
        ::close(fd);
    }
    for (const std::string &path : {fifo, zero, huge}) {
        IniFile ini(path);
        EXPECT_EQ(ini.readString("ZipFile", "Path", "C:\\"), "C:\\") << path;
        EXPECT_THROW(ini.writeString("ZipFile", "Path", "/x"), IniWriteError) << path;
    }
    struct stat st;
    ASSERT_EQ(::lstat(fifo.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
    ASSERT_EQ(::lstat(zero.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ASSERT_EQ(::stat(huge.c_str(), &st), 0);
    EXPECT_EQ(uint64_t(st.st_size), AtomicFile::kMaxReadSize + 1);
    EXPECT_EQ(AtomicFile::refusalOf(fifo), "it is not a regular file");
    EXPECT_EQ(AtomicFile::refusalOf(huge), "it is larger than 64 MB");

    // folders.txt the same: unreadable, said why, and never replaced.
    const std::string list = FoldersFile::path();
    ASSERT_TRUE(Paths::makeFolders(Paths::settingsFolder()));
    ASSERT_EQ(::mkfifo(list.c_str(), 0600), 0);
    std::vector<std::string> folders;
    EXPECT_EQ(FoldersFile::load(folders), FoldersFile::State::Unreadable);
    EXPECT_EQ(FoldersFile::unreadableText(), "Unable to read " + QString::fromStdString(list) + ": it is not a regular file");
    EXPECT_FALSE(FoldersFile::write({"/srv/"}));
    EXPECT_FALSE(FoldersFile::write({}));
    ASSERT_EQ(::lstat(list.c_str(), &st), 0);
    EXPECT_TRUE(S_ISFIFO(st.st_mode));
}

TEST(IniFile, ConcurrentWritersLoseNoUpdate)
{
    IniFile ini;
    ini.resetTotals();
    // Two programs add the totals of 500 actions each; one of them also
    // saves a setting part way, which the other must not revert.
    auto writer = [&](int id) {
        const pid_t pid = ::fork();
        if (pid != 0)
            return pid;
        int rc = 0;
        try {
            for (int i = 0; i < 500; ++i) {
                ini.addDeletionTotals(1, 10, 2, 300);
                if (id == 1 && i == 250)
                    ini.writeString("ZipFile", "Path", "/saved/by/one");
            }
        } catch (...) {
            rc = 1;
        }
        ::_exit(rc);
    };
    const pid_t a = writer(1), b = writer(2);
    ASSERT_GT(a, 0);
    ASSERT_GT(b, 0);
    for (const pid_t p : {a, b}) {
        int status = -1;
        ASSERT_EQ(::waitpid(p, &status, 0), p);
        EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
    }
    EXPECT_EQ(ini.readInt("Vantor", "Ndelete", 0), 1000);
    EXPECT_EQ(ini.readInt("Vantor", "SizeDelete", 0), 10000);
    EXPECT_EQ(ini.readInt("Vantor", "NWaste", 0), 2000);
    EXPECT_EQ(ini.readInt("Vantor", "SizeWaste", 0), 300000);
    EXPECT_EQ(ini.readString("ZipFile", "Path", ""), "/saved/by/one");
}

TEST(IniFile, TotalsStopAtTheLimit)
{
    constexpr int64_t max = std::numeric_limits<int64_t>::max();
    IniFile ini = fileWith("[Vantor]\nNdelete=9223372036854775806\nSizeDelete=9223372036854775807\n");
    ini.addDeletionTotals(5, 1, 0, 0);
    EXPECT_EQ(ini.readInt("Vantor", "Ndelete", 0), max);
    EXPECT_EQ(ini.readInt("Vantor", "SizeDelete", 0), max);
    ini.addDeletionTotals(5, 1, 0, 0); // stays at the limit, never "unset"
    EXPECT_EQ(ini.readInt("Vantor", "Ndelete", 0), max);
    EXPECT_EQ(ini.readInt("Vantor", "SizeDelete", 0), max);
}

TEST(IniFile, EachLineKeepsItsOwnEnding)
{
    IniFile ini = fileWith("[A]\r\nx=1\r\nodd=\r\r\n[B]\ny=2\n;note\r\nlast=3");
    ini.writeInt("A", "x", 2);
    ini.writeInt("B", "new", 4);
    // New lines take the ending most lines have (here CR LF).
    EXPECT_EQ(TempTree::read(ini.path()), "[A]\r\nx=2\r\nodd=\r\r\n[B]\ny=2\n;note\r\nlast=3\r\nnew=4\r\n");
    // One CR LF line in a file of LF lines keeps its CR.
    IniFile lf = fileWith("[A]\nx=1\r\ny=2\n");
    lf.writeInt("C", "z", 1);
    EXPECT_EQ(TempTree::read(lf.path()), "[A]\nx=1\r\ny=2\n[C]\nz=1\n");
}

TEST(IniFile, WriteThroughALinkReplacesItsTarget)
{
    TempTree dotfiles("dotfiles");
    const std::string target = dotfiles.file("conf/vantor.ini", "[A]\nx=1\n");
    IniFile ini;
    ASSERT_TRUE(Paths::makeFolders(Paths::settingsFolder()));
    // A relative link, as a dotfile manager makes them.
    ASSERT_EQ(::symlink("../../dotfiles/conf/vantor.ini", ini.path().c_str()), 0);
    ini.writeInt("A", "y", 2);
    struct stat st;
    ASSERT_EQ(::lstat(ini.path().c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    EXPECT_EQ(TempTree::read(target), "[A]\nx=1\ny=2\n");
    EXPECT_EQ(ini.readInt("A", "y", 0), 2);
}
