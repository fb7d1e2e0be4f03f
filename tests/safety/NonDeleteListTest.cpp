#include "safety/TfrmStandBy.h"
#include "safety/FoldersFile.h"
#include "safety/NonDeleteList.h"
#include "support/TempTree.h"

#include <QApplication>
#include <QProgressBar>
#include <QTest>
#include <gtest/gtest.h>

#include <cstdlib>
#include <unistd.h>

namespace {
using Folders = std::vector<std::string>;

// A list whose file, search-path and system folders are real folders of a
// temporary tree, so links and case work as on disk.
struct Lists {
    TempTree t{"nd"};
    NonDeleteList l;
    std::string app = t.dir("Apps/Tool") + "/";
    std::string bin = t.dir("bin") + "/";
    std::string sys = t.dir("sys") + "/";
    Lists() { l.setLists({app}, {bin}, {sys}); }
};
}

TEST(NonDeleteList, SearchPathIsSplitAtColonsWithoutEmptiesOrRepeats)
{
    EXPECT_EQ(NonDeleteList::searchPathFolders("/usr/bin:/usr/bin/sub"), (Folders{"/usr/bin/", "/usr/bin/sub/"}));
    EXPECT_EQ(NonDeleteList::searchPathFolders("/a::/b/:"), (Folders{"/a/", "/b/"}));
    EXPECT_EQ(NonDeleteList::searchPathFolders("/Opt/x:/opt/X/"), (Folders{"/Opt/x/"}));
    EXPECT_TRUE(NonDeleteList::searchPathFolders("").empty());
    EXPECT_TRUE(NonDeleteList::searchPathFolders(":::").empty());
    EXPECT_EQ(NonDeleteList::systemFolders(), (Folders{"/usr/lib/", "/etc/"}));
}

TEST(NonDeleteList, FileModeProtectsOnlyFilesDirectlyInAListedFolder)
{
    Lists s;
    EXPECT_EQ(s.l.test(s.sys + "win.ini", true), 1);
    EXPECT_EQ(s.l.test(s.bin + "tool", true), 2);
    EXPECT_EQ(s.l.test(s.app + "tool.exe", true), 3);
    EXPECT_EQ(s.l.test(s.sys + "temp/x.tmp", true), 0);
    EXPECT_EQ(s.l.test(s.t.path("Apps/other.txt"), true), 0);
    // The trailing separator keeps a folder from matching a longer sibling.
    EXPECT_EQ(s.l.test(s.t.path("sy/x"), true), 0);
    EXPECT_EQ(s.l.test(s.t.path("system/x"), true), 0);
    EXPECT_EQ(s.l.test("relative-name", true), 0);
    EXPECT_EQ(nonDeleteReasonText(0), "");
    EXPECT_EQ(nonDeleteReasonText(1), "in the /usr/lib or /etc system folder");
    EXPECT_EQ(nonDeleteReasonText(2), "in the search path");
    EXPECT_EQ(nonDeleteReasonText(3), "referenced in the package lists or desktop entries");
}

TEST(NonDeleteList, FolderModeProtectsListedFoldersAndTheirContainers)
{
    Lists s;
    EXPECT_EQ(s.l.test(s.t.path("Apps"), false), 3);
    EXPECT_EQ(s.l.test(s.t.path("Apps/Tool"), false), 3);
    EXPECT_EQ(s.l.test(s.t.path("Apps/Tool/"), false), 3);
    EXPECT_EQ(s.l.test(s.t.root(), false), 1); // holds sys/, tried first
    EXPECT_EQ(s.l.test("/", false), 1);
    EXPECT_EQ(s.l.test(s.t.path("Apps/Tool/sub"), false), 0);
    EXPECT_EQ(s.l.test(s.t.path("Apps/Too"), false), 0);
    EXPECT_EQ(s.l.test(s.t.path("elsewhere"), false), 0);
}

TEST(NonDeleteList, ListsAreTriedSystemThenSearchPathThenAll)
{
    TempTree t;
    const std::string a = t.dir("a") + "/", b = t.dir("b") + "/";
    NonDeleteList l;
    l.setLists({a, b}, {a, b}, {a});
    EXPECT_EQ(l.test(a + "f", true), 1);
    EXPECT_EQ(l.test(b + "f", true), 2);
    EXPECT_EQ(l.test(t.root(), false), 1);
    // lb1 holds each folder once, sorted; the others as given.
    EXPECT_EQ(l.lb1(), (Folders{a, b}));
    EXPECT_EQ(l.lbSearchPath(), (Folders{a, b}));
    EXPECT_EQ(l.lbWindows(), (Folders{a}));
}

TEST(NonDeleteList, MatchingIgnoresCaseAndDoubledSeparators)
{
    NonDeleteList l;
    l.setLists({"/Program Files/Some App/", "/données/Été/"}, {}, {});
    EXPECT_EQ(l.test("/PROGRAM FILES/some app/x.exe", true), 3);
    EXPECT_EQ(l.test("/program files//SOME APP/x.exe", true), 3);
    EXPECT_EQ(l.test("/DONNÉES/éTÉ/photo.jpg", true), 3);
    EXPECT_EQ(l.test("/program files", false), 3);
    // Invalid UTF-8 is matched byte for byte apart from a to z.
    l.setLists({"/x/\xff\xfe" "ab/"}, {}, {});
    EXPECT_EQ(l.test("/X/\xff\xfe" "AB/f", true), 3);
    EXPECT_EQ(l.test("/X/\xfe\xff" "AB/f", true), 0);
}

TEST(NonDeleteList, LinkedFoldersAreProtectedUnderTheirRealNames)
{
    TempTree t;
    const std::string real = t.dir("usr/bin");
    ASSERT_EQ(::symlink(real.c_str(), t.path("bin").c_str()), 0);
    NonDeleteList l;
    l.setLists({}, {t.path("bin")}, {});
    EXPECT_EQ(l.test(real + "/ls", true), 2);
    EXPECT_EQ(l.test(t.path("bin/ls"), true), 2);
    EXPECT_EQ(l.lbSearchPath(), (Folders{t.path("bin/")})); // shown as found
    // A relative entry does not stand for the current folder.
    char cwd[4096];
    ASSERT_TRUE(::getcwd(cwd, sizeof cwd));
    ASSERT_EQ(::chdir(real.c_str()), 0);
    l.setLists({}, {"."}, {});
    EXPECT_EQ(l.test(real + "/ls", true), 0);
    EXPECT_EQ(l.test("./ls", true), 2);
    ASSERT_EQ(::chdir(cwd), 0);
}

TEST(NonDeleteList, RememberedFolderKeepsItsModeAndIsForgotten)
{
    Lists s;
    const std::string apps = s.t.path("Apps");
    EXPECT_EQ(s.l.test(apps, false), 3);
    EXPECT_FALSE(s.l.lastTestedFolder().empty());
    // The same folder as a file's folder is not listed itself.
    EXPECT_EQ(s.l.test(apps + "/readme", true), 0);
    EXPECT_EQ(s.l.test(apps + "/other", true), 0);
    s.l.forgetLastFolder();
    EXPECT_TRUE(s.l.lastTestedFolder().empty());
    EXPECT_EQ(s.l.test(s.app + "a", true), 3);
    s.l.setLists({}, {}, {});
    EXPECT_TRUE(s.l.lastTestedFolder().empty());
    EXPECT_EQ(s.l.test(s.app + "a", true), 0);
}

TEST(NonDeleteList, LoadReadsTheListFilePathAndSystemFolders)
{
    TempTree t;
    const std::string pkg = t.dir("pkg") + "/";
    const char *oldPath = std::getenv("PATH");
    const std::string saved = oldPath ? oldPath : "";
    setenv("PATH", (t.path("b1") + "::" + t.path("b2/")).c_str(), 1);

    NonDeleteList l;
    l.load();
    EXPECT_TRUE(l.listMissing());
    EXPECT_EQ(l.lbSearchPath(), (Folders{t.path("b1/"), t.path("b2/")}));
    EXPECT_EQ(l.lbWindows(), (Folders{"/etc/", "/usr/lib/"}));
    EXPECT_EQ(l.test("/etc/passwd", true), 1);
    EXPECT_EQ(l.test(pkg + "f", true), 0);

    ASSERT_TRUE(FoldersFile::write({t.path("pkg")}));
    l.load();
    EXPECT_FALSE(l.listMissing());
    EXPECT_EQ(l.test(pkg + "f", true), 3);
    EXPECT_EQ(l.lb1().size(), 5u);
    setenv("PATH", saved.c_str(), 1);
}

TEST(FoldersFile, WrittenSortedWithoutCaseReadBackAndRemovedWhenEmpty)
{
    const std::string f = FoldersFile::path();
    ASSERT_TRUE(FoldersFile::write({"/b/", "/A/", "/a/z", "/C/"}));
    EXPECT_EQ(TempTree::read(f), "/A/\n/a/z\n/b/\n/C/\n");
    Folders got;
    EXPECT_TRUE(FoldersFile::read(got));
    EXPECT_EQ(got, (Folders{"/A/", "/a/z/", "/b/", "/C/"}));
    ASSERT_TRUE(FoldersFile::write({}));
    EXPECT_FALSE(TempTree::exists(f));
    EXPECT_FALSE(FoldersFile::read(got));
    EXPECT_TRUE(got.empty());
    EXPECT_TRUE(FoldersFile::write({})); // removing a missing file is no failure

    TempTree t;
    const std::string crlf = t.file("list.txt", "/x/\r\n\r\n/y\r\n");
    EXPECT_TRUE(FoldersFile::read(got, crlf));
    EXPECT_EQ(got, (Folders{"/x/", "/y/"}));
}

TEST(TfrmStandBy, CannotBeClosedByTheUserAndForgetsTheLastFolder)
{
    TfrmStandBy &w = TfrmStandBy::instance();
    EXPECT_EQ(&w, &TfrmStandBy::instance());
    EXPECT_EQ(w.windowTitle(), "Loading Files");
    EXPECT_EQ(w.bar->objectName(), "bar");
    EXPECT_EQ(w.bar->minimum(), 0);
    EXPECT_EQ(w.bar->maximum(), 100);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowCloseButtonHint);
    EXPECT_EQ(w.size(), QSize(427, 94));

    NonDeleteList &l = nonDeleteList();
    l.setLists({}, {}, {"/etc/"});
    l.test("/etc/hosts", true);
    ASSERT_FALSE(l.lastTestedFolder().empty());
    w.show();
    EXPECT_TRUE(l.lastTestedFolder().empty());
    l.test("/etc/hosts", true);
    w.close();
    QTest::keyClick(&w, Qt::Key_Escape);
    EXPECT_TRUE(w.isVisible());
    EXPECT_FALSE(l.lastTestedFolder().empty());
    w.hide();
    EXPECT_TRUE(l.lastTestedFolder().empty());
}
