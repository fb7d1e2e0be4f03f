#include "common/TModal.h"
#include "finders/TfrmClean.h"
#include "platform/Drives.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmReallyDelete.h"
#include "scan/SortDirections.h"
#include "scan/TResultGrid.h"
#include "PatternTestSupport.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <QApplication>
#include <QCheckBox>
#include <QPushButton>
#include <gtest/gtest.h>

#include <algorithm>
#include <cstdio>
#include <cstdlib>
#include <map>
#include <set>
#include <sys/stat.h>
#include <unistd.h>

namespace {
class CleanLintTest : public testing::Test {
protected:
    CleanLintTest() : tree("drive")
    {
        Drives::setMapping({{'C', tree.root()}});
        SortDirections::resetForTests();
    }
    ~CleanLintTest() override
    {
        Drives::setMapping({});
        nonDeleteList().setLists({}, {}, {});
        TModal::clear();
    }

    // Shows the window with the three kinds ticked (and the patterns
    // selected or not) and scans.
    static void scanWithKinds(TfrmClean &w, bool patterns)
    {
        w.show();
        if (!patterns)
            w.DeselectAll2Click();
        for (QCheckBox *b : {w.cbEmptyFolders, w.cbEmptyFiles, w.cbBrokenLinks})
            b->setChecked(true);
        w.btScan->click();
    }

    // Rows by path relative to the tree, with their type texts.
    std::map<std::string, QString> rows(TfrmClean &w) const
    {
        std::map<std::string, QString> out;
        for (int r = 1; r <= w.foundCount(); ++r)
            out[w.grid->gridModel()->path(r).substr(tree.root().size() + 1)] = w.grid->gridModel()->cell(r, 5);
        return out;
    }

    ScriptedDialogs dlg;
    FixedFileTypes types;
    TempTree tree;
};

std::vector<std::string> lines(const std::string &command)
{
    std::vector<std::string> out;
    FILE *p = ::popen(command.c_str(), "r");
    if (!p)
        return out;
    char buf[4096];
    while (std::fgets(buf, sizeof buf, p)) {
        std::string l(buf);
        if (!l.empty() && l.back() == '\n')
            l.pop_back();
        out.push_back(l);
    }
    ::pclose(p);
    return out;
}
}

TEST_F(CleanLintTest, KindsAreFoundInTheSameWalkAndFoldersBottomUp)
{
    tree.dir("chain/a/b/c");
    tree.dir("mixed/empty");
    tree.file("mixed/data.txt", "x");
    tree.dir("hidden/.cache"); // not entered: its folder holds something
    tree.dir("pipe");
    ASSERT_EQ(::mkfifo(tree.path("pipe/fifo").c_str(), 0600), 0);
    tree.file("zero.txt");
    tree.file("zero.tmp"); // empty and temporary: one row, as an empty file
    tree.file("full.tmp", "data");
    tree.file(".hidden-empty");
    ASSERT_EQ(::symlink("nowhere", tree.path("dangling").c_str()), 0);
    ASSERT_EQ(::symlink("loop", tree.path("loop").c_str()), 0);
    ASSERT_EQ(::symlink("zero.txt", tree.path("good").c_str()), 0);
    ASSERT_EQ(::symlink("/", tree.path("outside").c_str()), 0); // resolves off the drive: not broken
    tree.dir("linkonly");
    ASSERT_EQ(::symlink("../zero.txt", tree.path("linkonly/ok").c_str()), 0);
    tree.dir("mountlike/deep");
    tree.file("mountlike/deep/x.bin", "x");

    TfrmClean w;
    scanWithKinds(w, true);
    const std::map<std::string, QString> expected{{"chain", "Empty folder"},
                                                  {"chain/a", "Empty folder"},
                                                  {"chain/a/b", "Empty folder"},
                                                  {"chain/a/b/c", "Empty folder"},
                                                  {"mixed/empty", "Empty folder"},
                                                  {"zero.txt", "Empty file"},
                                                  {"zero.tmp", "Empty file"},
                                                  {".hidden-empty", "Empty file"},
                                                  {"full.tmp", "Temporary file"},
                                                  {"dangling", "Broken link"},
                                                  {"loop", "Broken link"}};
    EXPECT_EQ(rows(w), expected);
    EXPECT_EQ(w.lintFinder().counts().emptyFolders, 5);
    EXPECT_EQ(w.lintFinder().counts().leafFolders, 2);
    EXPECT_EQ(w.lintFound().size(), 10u);
    EXPECT_TRUE(dlg.boxes.empty());

    // Without any kind ticked the walk is the temporary-file search it was.
    for (QCheckBox *b : {w.cbEmptyFolders, w.cbEmptyFiles, w.cbBrokenLinks})
        b->setChecked(false);
    w.btScan->click();
    EXPECT_EQ(rows(w), (std::map<std::string, QString>{{"full.tmp", "Temporary file"}, {"zero.tmp", "Temporary file"}}));
    EXPECT_TRUE(w.lintFound().empty());
}

TEST_F(CleanLintTest, RootHomeAndProtectedFoldersAreNeverListed)
{
    TfrmClean w;
    scanWithKinds(w, false); // the drive's root is empty: nothing at all
    EXPECT_EQ(w.foundCount(), 0);
    EXPECT_EQ(dlg.count("No files found."), 1);

    tree.dir("users/me");
    tree.dir("apps/bin/plugins"); // inside a folder of the search path
    tree.dir("tools/lib");        // a listed folder that is empty itself
    tree.dir("free/one");
    nonDeleteList().setLists({tree.path("tools/lib") + "/"}, {tree.path("apps/bin") + "/"}, {});
    const std::string home = std::getenv("HOME");
    ::setenv("HOME", tree.path("users/me").c_str(), 1);
    w.btScan->click();
    ::setenv("HOME", home.c_str(), 1);
    EXPECT_EQ(rows(w), (std::map<std::string, QString>{{"free", "Empty folder"}, {"free/one", "Empty folder"}}));
}

TEST_F(CleanLintTest, CountsEqualFindOnAGeneratedTree)
{
    // Folders up to seven deep, files of 0 or 1 byte, links that resolve or
    // not, and chains of empty folders; no dot names, so find sees what the
    // walk sees.
    unsigned seed = 4711;
    const auto next = [&seed](unsigned n) {
        seed = seed * 1664525u + 1013904223u;
        return (seed >> 8) % n;
    };
    std::vector<std::string> folders{tree.root()};
    for (int i = 0; i < 600; ++i) {
        const std::string &parent = folders[next(unsigned(folders.size()))];
        const std::string f = parent + "/d" + std::to_string(i);
        if (std::count(f.begin() + long(tree.root().size()), f.end(), '/') > 7 || ::mkdir(f.c_str(), 0755) != 0)
            continue;
        folders.push_back(f);
    }
    for (int i = 0; i < 2000; ++i) {
        const std::string name = folders[1 + next(unsigned(folders.size() - 1))] + "/e" + std::to_string(i);
        const unsigned k = next(6);
        if (k == 0)
            ASSERT_EQ(::symlink(next(2) ? "../missing" : "/", name.c_str()), 0);
        else if (k == 1)
            ASSERT_EQ(::symlink(next(2) ? "." : "loop", name.c_str()), 0);
        else {
            FILE *f = std::fopen(name.c_str(), "w");
            ASSERT_TRUE(f);
            if (k > 3)
                std::fputc('x', f);
            std::fclose(f);
        }
    }
    for (int i = 0; i < 20; ++i) {
        std::string chain = folders[1 + next(unsigned(folders.size() - 1))] + "/chain" + std::to_string(i);
        for (unsigned d = 0, deep = 1 + next(5); d < deep; ++d, chain += "/c")
            ASSERT_EQ(::mkdir(chain.c_str(), 0755), 0) << chain;
    }

    TfrmClean w;
    scanWithKinds(w, false);
    const std::string root = "'" + tree.root() + "'";
    const auto found = [&](const std::string &args) { return int64_t(lines("find " + root + " " + args).size()); };
    const LintFinder::Counts &c = w.lintFinder().counts();
    EXPECT_EQ(c.emptyFiles, found("-type f -empty"));
    EXPECT_EQ(c.brokenLinks, found("-xtype l"));
    EXPECT_EQ(c.leafFolders, found("-mindepth 1 -type d -empty"));
    // Every folder with no entry but folders anywhere below it.
    std::set<std::string> full;
    for (const std::string &p : lines("find " + root + " -mindepth 1 ! -type d"))
        for (size_t s = p.rfind('/'); s != std::string::npos && s > tree.root().size(); s = p.rfind('/', s - 1))
            full.insert(p.substr(0, s));
    int64_t empty = 0;
    for (const std::string &d : lines("find " + root + " -mindepth 1 -type d"))
        empty += full.count(d) == 0;
    EXPECT_EQ(c.emptyFolders, empty);
    EXPECT_GT(c.emptyFolders, c.leafFolders); // the tree has chains
    EXPECT_GT(c.brokenLinks, 0);
    EXPECT_EQ(w.foundCount(), c.emptyFolders + c.emptyFiles + c.brokenLinks);
}

TEST_F(CleanLintTest, MarkedKindsGoThroughTheDeletionWindowAndChangesAreKept)
{
    tree.dir("chain/a/b");
    tree.dir("later/x");
    tree.file("nothing.log");
    ASSERT_EQ(::symlink("gone", tree.path("dangling").c_str()), 0);
    ASSERT_EQ(::symlink("to-come", tree.path("mended").c_str()), 0);
    TfrmClean w;
    scanWithKinds(w, false);
    ASSERT_EQ(w.foundCount(), 8);

    // One folder row marked: it has no size to count, yet "Clean?" acts.
    int chainRow = 0;
    for (int r = 1; r <= w.foundCount(); ++r)
        if (w.grid->gridModel()->path(r) == tree.path("chain"))
            chainRow = r;
    ASSERT_GT(chainRow, 0);
    w.grid->MarkThisFile(chainRow);
    EXPECT_EQ(w.grid->markedCount(), 0);
    EXPECT_TRUE(w.btDelete->isEnabled());
    w.grid->MarkThisFile(chainRow);
    EXPECT_FALSE(w.btDelete->isEnabled());

    // After the walk a file is written into later/x and mended's target appears.
    tree.file("later/x/new.txt", "new");
    tree.file("to-come", "t");
    w.grid->Markall1Click();
    bool handedOver = false;
    TModal::push([&](QDialog *d) {
        auto *del = static_cast<TfrmReallyDelete *>(d);
        handedOver = del->lint.size() == 8 && del->deletionPanel().size() == 8;
        dlg.answer(Dialogs::Answer::Yes);
        del->btDelete->click();
    });
    w.btDelete->click();
    EXPECT_TRUE(handedOver);
    for (const char *gone : {"chain", "nothing.log"})
        EXPECT_FALSE(TempTree::exists(tree.path(gone))) << gone;
    struct stat st;
    EXPECT_NE(::lstat(tree.path("dangling").c_str(), &st), 0);
    EXPECT_EQ(::lstat(tree.path("mended").c_str(), &st), 0);
    EXPECT_EQ(TempTree::read(tree.path("later/x/new.txt")), "new");
    ASSERT_NE(dlg.last(), nullptr);
    EXPECT_TRUE(dlg.last()->text.contains(QString::fromStdString(tree.path("later/x")) + " - something was written into it"));
    EXPECT_TRUE(dlg.last()->text.contains(QString::fromStdString(tree.path("mended")) + " - its target exists now"));
}

// A picture of the window with the kinds found: VANTOR_SHOTS names the folder.
TEST_F(CleanLintTest, Picture)
{
    const QString out = qEnvironmentVariable("VANTOR_SHOTS");
    if (out.isEmpty())
        GTEST_SKIP() << "set VANTOR_SHOTS to a folder for the pictures";
    tree.dir("projects/build/obj/empty");
    tree.dir("photos/2019");
    tree.file("notes/draft.txt");
    tree.file("notes/old.tmp", "temporary");
    tree.file("notes/list.txt", "x");
    ASSERT_EQ(::symlink("/opt/gone/app", tree.path("notes/app-link").c_str()), 0);
    TfrmClean w;
    scanWithKinds(w, true);
    w.grid->MarkThisFile(1);
    QApplication::processEvents();
    EXPECT_TRUE(w.grab().save(out + "/quickclean-lint.png"));
}
