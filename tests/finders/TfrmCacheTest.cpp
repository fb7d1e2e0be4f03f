#include "settings/IniFile.h"
#include "common/TModal.h"
#include "finders/CacheFolders.h"
#include "finders/TfrmCache.h"
#include "platform/Drives.h"
#include "safety/TfrmReallyDelete.h"
#include "support/ScriptedDialogs.h"
#include "support/SpontaneousShow.h"
#include "support/TempTree.h"
#include "support/TestEnv.h"

#include <QDateTime>
#include <QListWidget>
#include <QPushButton>
#include <QSpinBox>
#include <gtest/gtest.h>

#include <cstdlib>
#include <set>
#include <unistd.h>

namespace {
// Browser caches under the test's HOME and a separate XDG_CACHE_HOME.
class CacheTest : public testing::Test {
protected:
    CacheTest() : tree("caches"), xdgTree("xdg-cache"), homeTree("")
    {
        setenv("XDG_CACHE_HOME", xdgTree.root().c_str(), 1);
    }
    ~CacheTest() override
    {
        Drives::setMapping({});
        TModal::clear();
    }

    // The three sources of the usual user: one Firefox profile and two
    // Chromium profiles.
    std::vector<std::string> makeBrowsers() const
    {
        return {xdgTree.dir("mozilla/firefox/k3x9.default-release/cache2/entries"),
                xdgTree.dir("chromium/Default/Cache/Cache_Data"),
                xdgTree.dir("chromium/Profile 1/Cache/Cache_Data")};
    }

    // Noon of the day days before today (negative: ahead), in seconds.
    static time_t daysAgo(int days)
    {
        return time_t(QDateTime(QDate::currentDate().addDays(-days), QTime(12, 0)).toSecsSinceEpoch());
    }
    static std::string aged(const std::string &path, int days)
    {
        TempTree::setTimes(path, daysAgo(days), daysAgo(days));
        return path;
    }

    static QStringList texts(const std::vector<std::string> &paths)
    {
        QStringList out;
        for (const std::string &p : paths)
            out << QString::fromStdString(p);
        return out;
    }

    static QPushButton *button(TfrmCache &w, const char *name) { return w.findChild<QPushButton *>(name); }

    ScriptedDialogs dlg;
    TempTree tree;
    TempTree xdgTree;  // $XDG_CACHE_HOME
    TempTree homeTree; // $HOME (paths below it are made with dir("x/y"))
};
}

TEST_F(CacheTest, BrowserCachesAreFoundBrowserByBrowserWithTheirProfilesInOrder)
{
    xdgTree.dir("chromium/Profile 10/Cache/Cache_Data");
    xdgTree.dir("chromium/Profile 2/Cache/Cache_Data");
    xdgTree.dir("chromium/Guest Profile/Cache/Cache_Data"); // not a user profile
    xdgTree.dir("chromium/Profile 3");                       // no cache yet
    xdgTree.dir("mozilla/firefox/a0.old/startupCache");      // a profile without cache2
    homeTree.dir(".cache/chromium/Default/Cache/Cache_Data");           // not where XDG_CACHE_HOME points
    homeTree.dir("snap/firefox/common/.cache/mozilla/firefox/s1.default/cache2/entries");
    homeTree.dir(".var/app/com.brave.Browser/cache/BraveSoftware/Brave-Browser/Default/Cache/Cache_Data");
    xdgTree.dir("opera/Default/Cache/Cache_Data");
    const std::vector<std::string> three = makeBrowsers();
    const std::string home = TestEnv::home();
    const std::string xdg = xdgTree.root();
    EXPECT_EQ(CacheFolders::found(),
              texts({three[0], home + "/snap/firefox/common/.cache/mozilla/firefox/s1.default/cache2/entries",
                     three[1], three[2], xdg + "/chromium/Profile 2/Cache/Cache_Data",
                     xdg + "/chromium/Profile 10/Cache/Cache_Data",
                     home + "/.var/app/com.brave.Browser/cache/BraveSoftware/Brave-Browser/Default/Cache/Cache_Data",
                     xdg + "/opera/Default/Cache/Cache_Data"}));
}

TEST_F(CacheTest, CollectsOnlyFilesDirectlyInsideNotAccessedForTheDays)
{
    const std::string c = tree.dir("c");
    aged(tree.sized("c/exactly30", 10), 30);
    aged(tree.sized("c/old", 100), 400);
    aged(tree.sized("c/.hidden-old", 1000), 45);
    aged(tree.sized("c/ahead", 7), -31); // a clock set wrong: 31 days away all the same
    aged(tree.sized("c/recent", 3), 29);
    aged(tree.sized("c/today", 5), 0);
    aged(tree.sized("c/sub/deep-old", 20), 400); // sub-folders are never entered
    ASSERT_EQ(symlink((c + "/old").c_str(), (c + "/link").c_str()), 0);

    const QDate today = QDate::currentDate();
    CacheFolders::Collected got = CacheFolders::collect({QString::fromStdString(c)}, 30, today);
    EXPECT_EQ(std::set<std::string>(got.paths.begin(), got.paths.end()),
              (std::set<std::string>{c + "/exactly30", c + "/old", c + "/.hidden-old", c + "/ahead"}));
    EXPECT_EQ(got.bytes, 10 + 100 + 1000 + 7);

    // 0 days takes every file directly inside; the same folder listed again,
    // with a trailing slash or through a link, gives its files once.
    ASSERT_EQ(symlink(c.c_str(), tree.path("again").c_str()), 0);
    got = CacheFolders::collect({QString::fromStdString(c), QString::fromStdString(c + "/"),
                                 QString::fromStdString(tree.path("again")), QString(),
                                 QString::fromStdString(tree.path("missing"))},
                                0, today);
    EXPECT_EQ(got.paths.size(), 6u);
    EXPECT_EQ(got.bytes, 10 + 100 + 1000 + 7 + 3 + 5);
    for (const std::string &p : got.paths)
        EXPECT_EQ(p.find("/sub/"), std::string::npos) << p;

    EXPECT_EQ(CacheFolders::ageInDays(0, today), std::nullopt);
    EXPECT_EQ(CacheFolders::ageInDays(DosTime::fromUnix(daysAgo(-3)), today), 3);
}

TEST_F(CacheTest, FoldersTooWideToClearAreRefused)
{
    const std::string home = TestEnv::home();
    const std::string drive = tree.dir("drive");
    Drives::setMapping({{'D', drive}});
    for (const std::string &f : {std::string("/"), std::string("/usr"), std::string("/tmp/"), home, home + "/",
                                 tree.path("../caches/.."), drive})
        EXPECT_TRUE(CacheFolders::refusal(f).has_value()) << f;
    EXPECT_EQ(CacheFolders::refusal(home)->toStdString(),
              home + " cannot be a cache folder: every file directly inside it could be cleared.");
    EXPECT_FALSE(CacheFolders::refusal(tree.dir("drive/cache")).has_value());
    EXPECT_TRUE(CacheFolders::refusal(tree.dir("tab\there")).has_value());
    EXPECT_TRUE(CacheFolders::refusal(tree.dir("bad\xff")).has_value());

    // A folder the settings file lists by hand is not cleared either.
    aged(homeTree.file("notes.txt", "mine"), 100);
    EXPECT_TRUE(CacheFolders::collect({QString::fromStdString(home)}, 0).paths.empty());
}

TEST_F(CacheTest, FirstShowListsTheBrowsersAndInitializeAddsThemAgain)
{
    const std::vector<std::string> three = makeBrowsers();
    TfrmCache w;
    w.show();
    EXPECT_EQ(w.windowTitle(), "Internet Browser Cache Folders");
    EXPECT_EQ(w.folders(), texts(three));
    EXPECT_FALSE(w.btInit->isVisible());
    EXPECT_EQ(w.nDays->value(), 0);
    EXPECT_EQ(w.nDays->maximum(), 36500);
    EXPECT_TRUE(w.btClear->isDefault());

    w.btInitClick();
    EXPECT_EQ(w.folders(), texts(three) + texts(three));
    w.close();
    EXPECT_EQ(IniFile().readList("CacheFiles", {}), texts(three) + texts(three));
}

TEST_F(CacheTest, DeletingTheLastEntryKeepsTheFolderAndStoresAnEmptyList)
{
    const std::vector<std::string> three = makeBrowsers();
    IniFile().writeList("CacheFiles", {QString::fromStdString(three[1])});
    {
        TfrmCache w;
        w.show();
        ASSERT_EQ(w.folders(), texts({three[1]}));
        EXPECT_FALSE(w.btInit->isVisible());

        w.ListBox1->setCurrentRow(-1);
        w.ListBox1->clearSelection();
        button(w, "btDel")->click();
        EXPECT_EQ(dlg.last()->text, "Select a folder from the list above");
        EXPECT_EQ(dlg.last()->kind, Dialogs::Kind::Error);

        w.ListBox1->setCurrentRow(0);
        dlg.answer(Dialogs::Answer::Cancel);
        button(w, "btDel")->click();
        EXPECT_EQ(dlg.last()->text.toStdString(), "Really delete " + three[1]);
        EXPECT_EQ(dlg.last()->buttons, Dialogs::Buttons::OkCancel);
        EXPECT_EQ(w.folders().size(), 1);

        dlg.answer(Dialogs::Answer::Ok);
        button(w, "btDel")->click();
        EXPECT_TRUE(w.folders().isEmpty());
        EXPECT_TRUE(w.btInit->isVisible());
        EXPECT_TRUE(TempTree::exists(three[1]));
        w.reject(); // the close box and Escape store as Close does
    }
    EXPECT_EQ(IniFile().readInt("CacheFiles", "Number", -1), 0);

    // The browsers are found only while the list was never stored.
    TfrmCache again;
    again.show();
    EXPECT_TRUE(again.folders().isEmpty());
    EXPECT_TRUE(again.btInit->isVisible());

    // Initialize finds the three in order.
    again.btInit->click();
    EXPECT_EQ(again.folders(), texts(three));
    EXPECT_FALSE(again.btInit->isVisible());
}

TEST_F(CacheTest, ARestoreFromMinimisedKeepsUnsavedEditsAndTheDays)
{
    const std::vector<std::string> three = makeBrowsers();
    TfrmCache w;
    w.show();
    ASSERT_EQ(w.folders(), texts(three));
    w.ListBox1->setCurrentRow(0);
    dlg.answer(Dialogs::Answer::Ok);
    button(w, "btDel")->click();
    w.nDays->setValue(30);
    sendSpontaneousShow(&w);
    EXPECT_EQ(w.folders(), texts({three[1], three[2]}));
    EXPECT_EQ(w.nDays->value(), 30);
    // A new opening reads the stored list and starts from 0 days.
    w.hide();
    w.show();
    EXPECT_EQ(w.folders(), texts(three));
    EXPECT_EQ(w.nDays->value(), 0);
}

TEST_F(CacheTest, InitializeWithNothingFoundSaysSo)
{
    IniFile().writeList("CacheFiles", {});
    TfrmCache w;
    w.show();
    w.btInit->click();
    ASSERT_EQ(dlg.boxes.size(), 1u);
    EXPECT_EQ(dlg.boxes[0].kind, Dialogs::Kind::Info);
    EXPECT_EQ(dlg.boxes[0].text,
              "Could not find any internet cache folders on your machine.  You may add them in manually if you know "
              "where they are located.  Typically they will exist under your browser folder with the folder name of "
              "\"cache\".");
    EXPECT_TRUE(w.btInit->isVisible());
}

TEST_F(CacheTest, AddTakesAChosenFolderButNeverTheHomeFolder)
{
    IniFile().writeList("CacheFiles", {});
    const std::string mine = tree.dir("mine/Cache");
    TfrmCache w;
    w.show();
    dlg.folders = {TestEnv::home(), mine, std::nullopt};
    button(w, "btAdd")->click();
    EXPECT_TRUE(w.folders().isEmpty());
    EXPECT_EQ(dlg.last()->kind, Dialogs::Kind::Error);
    button(w, "btAdd")->click();
    button(w, "btAdd")->click(); // cancelled
    EXPECT_EQ(w.folders(), texts({mine}));
    EXPECT_FALSE(w.btInit->isVisible());
    EXPECT_EQ(dlg.pickers.front(), "folder:Select an internet Cache folder");
}

TEST_F(CacheTest, ClearHandsOverOldFilesAndStaysOpenWhateverTheResult)
{
    const std::vector<std::string> three = makeBrowsers();
    const std::string old1 = aged(xdgTree.sized("mozilla/firefox/k3x9.default-release/cache2/entries/A1", 400), 31);
    const std::string old2 = aged(xdgTree.sized("chromium/Profile 1/Cache/Cache_Data/f_000001", 600), 30);
    aged(xdgTree.sized("chromium/Default/Cache/Cache_Data/f_000002", 50), 29);
    aged(xdgTree.sized("chromium/Default/Cache/Cache_Data/index-dir/the-real-index", 8), 90);

    TfrmCache w;
    w.show();
    w.nDays->setValue(30);
    std::vector<std::string> handed;
    QString tag;
    double savings = 0;
    TModal::push([&](QDialog *d) {
        auto *del = qobject_cast<TfrmReallyDelete *>(d);
        ASSERT_TRUE(del);
        handed = del->deletionPanel();
        tag = del->archiveTag;
        savings = del->potentialSavings;
        d->reject();
    });
    w.btClear->click();
    EXPECT_EQ(TModal::pending(), 0u);
    EXPECT_EQ(std::set<std::string>(handed.begin(), handed.end()), (std::set<std::string>{old1, old2}));
    EXPECT_EQ(tag, "InternetCache");
    EXPECT_EQ(savings, 1000.0);
    EXPECT_TRUE(w.lb1().empty());
    EXPECT_TRUE(w.isVisible());
    EXPECT_TRUE(TempTree::exists(old1));

    w.nDays->setValue(400);
    w.btClear->click();
    EXPECT_EQ(dlg.last()->text, "No files found to clear");
    EXPECT_EQ(dlg.last()->kind, Dialogs::Kind::Error);
}

// The cache folder reached through a symbolic link (a home folder moved to
// another disk and linked back): listed, shown and cleared under its real
// path, so that removal, which takes no path through a link, removes it.
TEST_F(CacheTest, ACacheReachedThroughALinkIsClearedUnderItsRealPath)
{
    const std::string linked = tree.path("linked-cache");
    ASSERT_EQ(symlink(xdgTree.root().c_str(), linked.c_str()), 0);
    setenv("XDG_CACHE_HOME", linked.c_str(), 1);
    const std::vector<std::string> three = makeBrowsers(); // the real folders
    const std::string old = aged(xdgTree.sized("chromium/Default/Cache/Cache_Data/f_000001", 600), 40);

    TfrmCache w;
    w.show();
    EXPECT_EQ(w.folders(), texts(three));
    // An entry stored by hand through the link is collected under the real path too.
    const QString byLink = QString::fromStdString(linked + "/chromium/Default/Cache/Cache_Data");
    const CacheFolders::Collected got = CacheFolders::collect({byLink}, 0);
    EXPECT_EQ(got.paths, std::vector<std::string>{old});

    std::vector<std::string> handed;
    TModal::push([&](QDialog *d) {
        handed = qobject_cast<TfrmReallyDelete *>(d)->deletionPanel();
        dlg.answer(Dialogs::Answer::Yes);
        d->findChild<QPushButton *>("btDelete")->click();
    });
    w.btClear->click();
    EXPECT_EQ(TModal::pending(), 0u);
    EXPECT_EQ(handed, std::vector<std::string>{old});
    EXPECT_FALSE(TempTree::exists(old));
    w.close();
}

TEST_F(CacheTest, AFailedWriteOnCloseIsReported)
{
    const std::string blocker = tree.file("not-a-folder", "x");
    setenv("XDG_CONFIG_HOME", blocker.c_str(), 1);
    TfrmCache w;
    w.show();
    w.btClose->click();
    ASSERT_FALSE(dlg.boxes.empty());
    EXPECT_TRUE(dlg.last()->text.startsWith("Unable to write to ")) << dlg.last()->text.toStdString();
    EXPECT_FALSE(w.isVisible());
}
