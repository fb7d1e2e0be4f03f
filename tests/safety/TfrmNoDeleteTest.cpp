#include "settings/IniFile.h"
#include "platform/AtomicFile.h"
#include "platform/Paths.h"
#include "safety/FoldersFile.h"
#include "safety/RegistryFolderScan.h"
#include "safety/TfrmNoDelete.h"
#include "support/FakeSoftware.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {
using Folders = std::vector<std::string>;

const QString buildQuestion = "Vantor will now scan the package lists and desktop entries for references to "
                              "folders.  It may take a few minutes.  Continue? ";

// Software whose values name real folders of the tree, and some that are refused.
struct Installed {
    FakeSoftware s;
    std::string tool = s.tree.dir("opt/Tool/bin");
    std::string data = s.tree.dir("opt/Data");
    std::string gone = s.tree.path("opt/Gone");
    Installed()
    {
        s.package("tool", "/.\n" + tool + "/tool\n" + tool + "/helper\n" + s.tree.path("opt/tool/BIN/x") + "\n" +
                              gone + "/file\n" + tool + "/x:" + data + "\n" + tool + "/a;b\n" +
                              "opt/relative/x\n" + s.tree.path("opt/Data") + "\n");
        s.userEntry("data.desktop", "[Desktop Entry]\nExec=" + data + "/run\n");
    }
};

QString label(QWidget &w, const char *name) { return w.findChild<QLabel *>(name)->text(); }
QListWidget *list(QWidget &w) { return w.findChild<QListWidget *>("ListBox1"); }

QDateTime fixedNow() { return QDateTime(QDate(2026, 3, 14), QTime(9, 26, 53)); }
}

TEST(RegistryFolderScan, AcceptanceRuleAndFolderPart)
{
    EXPECT_TRUE(RegistryFolderScan::acceptValue("/usr/bin/tool"));
    EXPECT_TRUE(RegistryFolderScan::acceptValue("/usr"));
    EXPECT_FALSE(RegistryFolderScan::acceptValue("/us"));
    EXPECT_FALSE(RegistryFolderScan::acceptValue("/app/app C:/data"));
    EXPECT_FALSE(RegistryFolderScan::acceptValue("/app/x;/y"));
    EXPECT_FALSE(RegistryFolderScan::acceptValue("usr/bin/tool"));
    EXPECT_FALSE(RegistryFolderScan::acceptValue("\"/usr/bin/tool\""));
    EXPECT_FALSE(RegistryFolderScan::acceptValue("/usr/bin/two\nlines"));
    EXPECT_EQ(RegistryFolderScan::folderPart("/apps/tool/tool -s"), "/apps/tool/");
    EXPECT_EQ(RegistryFolderScan::folderPart("/apps/tool"), "/apps/");
    EXPECT_EQ(RegistryFolderScan::folderPart("/usr"), "/");
}

TEST(RegistryFolderScan, FindsEachExistingFolderOnce)
{
    Installed i;
    const RegistryView v(i.s.sources());
    RegistryFolderScan scan(v);
    Folders found;
    scan.onFolder = [&](const std::string &f) { found.push_back(f); };
    scan.run();
    // The second spelling of Tool/bin in other case, the missing folder, the
    // value with a second colon, the one with ";" and the relative one add
    // nothing; a folder without its "/" yields its parent.
    EXPECT_EQ(found, (Folders{i.tool + "/", i.s.tree.path("opt/"), i.data + "/"}));
}

TEST(TfrmNoDelete, BuildFillsTheSortedListAndCloseWritesTheFile)
{
    ScriptedDialogs d;
    Installed i;
    TfrmNoDelete w;
    w.sources = i.s.sources();
    w.now = fixedNow;
    w.show();
    EXPECT_EQ(label(w, "lblCount"), "0 folders");
    EXPECT_EQ(label(w, "lblWhen"), "Not recorded");
    EXPECT_EQ(label(w, "lblToday"), "Saturday, March 14, 2026");

    d.answer(Dialogs::Answer::Yes);
    w.btBuildClick();
    EXPECT_EQ(d.last()->text, buildQuestion);
    EXPECT_EQ(d.last()->buttons, Dialogs::Buttons::YesNo);
    EXPECT_EQ(w.folders(), (Folders{i.s.tree.path("opt/"), i.data + "/", i.tool + "/"}));
    EXPECT_EQ(label(w, "lblCount"), "3 folders");
    EXPECT_EQ(label(w, "lblWhen"), "Saturday, March 14, 2026 9:26:53 AM");
    EXPECT_EQ(IniFile().readString("Folders", "When", ""), "Saturday, March 14, 2026 9:26:53 AM");
    EXPECT_TRUE(w.findChild<QPushButton *>("btBuild")->isEnabled());
    EXPECT_FALSE(TempTree::exists(FoldersFile::path()));

    w.btCloseClick();
    EXPECT_EQ(TempTree::read(FoldersFile::path()), i.s.tree.path("opt/") + "\n" + i.data + "/\n" + i.tool + "/\n");
    EXPECT_EQ(d.boxes.size(), 1u);
}

TEST(TfrmNoDelete, DecliningTheBuildChangesNothing)
{
    ScriptedDialogs d;
    Installed i;
    FoldersFile::write({"/kept/"});
    TfrmNoDelete w;
    w.sources = i.s.sources();
    w.show();
    w.btBuildClick(); // unscripted: No
    EXPECT_EQ(w.folders(), (Folders{"/kept/"}));
    EXPECT_FALSE(w.listChanged());
    w.close();
    EXPECT_EQ(TempTree::read(FoldersFile::path()), "/kept/\n");
}

TEST(TfrmNoDelete, BuildFindingNothingRecordsNoDateAndRemovesTheFile)
{
    ScriptedDialogs d;
    FakeSoftware none;
    FoldersFile::write({"/old/"});
    TfrmNoDelete w;
    w.sources = none.sources();
    w.show();
    EXPECT_EQ(label(w, "lblCount"), "1 folders");
    d.answer(Dialogs::Answer::Yes);
    w.btBuildClick();
    EXPECT_TRUE(w.folders().empty());
    EXPECT_EQ(label(w, "lblWhen"), "Not recorded");
    EXPECT_EQ(IniFile().readString("Folders", "When", ""), "Not recorded");
    w.reject();
    EXPECT_FALSE(TempTree::exists(FoldersFile::path()));
}

TEST(TfrmNoDelete, OpeningAndClosingWithoutChangeLeavesTheFileAlone)
{
    ScriptedDialogs d;
    {
        TfrmNoDelete w;
        w.show();
        w.close();
    }
    EXPECT_FALSE(TempTree::exists(FoldersFile::path()));
    // Written unsorted by someone else: stays as it is.
    const std::string content = "/b/\n/a/\n";
    ASSERT_TRUE(AtomicFile::write(FoldersFile::path(), content));
    {
        TfrmNoDelete w;
        w.show();
        EXPECT_EQ(w.folders(), (Folders{"/b/", "/a/"}));
        w.btCloseClick();
    }
    EXPECT_EQ(TempTree::read(FoldersFile::path()), content);
    EXPECT_TRUE(d.boxes.empty());
}

TEST(TfrmNoDelete, AddAndDeleteByHand)
{
    ScriptedDialogs d;
    TfrmNoDelete w;
    w.show();
    d.folders.push_back(std::nullopt);
    w.btAddClick();
    EXPECT_EQ(d.pickers.back(), "folder:Select a folder that won't be deleted");
    EXPECT_FALSE(w.listChanged());
    d.folders.push_back(std::string("/srv/Zeta"));
    d.folders.push_back(std::string("/srv/alpha/"));
    d.folders.push_back(std::string("/srv/Zeta"));
    w.btAddClick();
    EXPECT_EQ(label(w, "lblCount"), "1 folders");
    w.btAddClick();
    w.btAddClick(); // no check for a folder already listed
    EXPECT_EQ(w.folders(), (Folders{"/srv/Zeta/", "/srv/alpha/", "/srv/Zeta/"}));
    EXPECT_EQ(label(w, "lblCount"), "3 folders");

    w.btDelClick();
    EXPECT_EQ(d.last()->text, "Select one or more folders from the list above");
    EXPECT_EQ(d.last()->kind, Dialogs::Kind::Error);
    list(w)->item(0)->setSelected(true);
    list(w)->item(2)->setSelected(true);
    w.btDelClick(); // unscripted: Cancel
    EXPECT_EQ(d.last()->text, "Really delete the selected folders?");
    EXPECT_EQ(d.last()->buttons, Dialogs::Buttons::OkCancel);
    EXPECT_EQ(w.folders().size(), 3u);
    d.answer(Dialogs::Answer::Ok);
    w.btDelClick();
    EXPECT_EQ(w.folders(), (Folders{"/srv/alpha/"}));
    EXPECT_EQ(label(w, "lblCount"), "1 folders");
    w.accept();
    EXPECT_EQ(TempTree::read(FoldersFile::path()), "/srv/alpha/\n");
}

TEST(TfrmNoDelete, AFailedWriteIsReportedAndTheOldFileKept)
{
    if (TestEnv::privileged())
        GTEST_SKIP() << "permission checks do not apply to root";
    ScriptedDialogs d;
    ASSERT_TRUE(FoldersFile::write({"/old/"}));
    TfrmNoDelete w;
    w.show();
    d.folders.push_back(std::string("/new"));
    w.btAddClick();
    ::chmod(Paths::settingsFolder().c_str(), 0555);
    w.close();
    ::chmod(Paths::settingsFolder().c_str(), 0755);
    EXPECT_EQ(d.last()->text, QString::fromStdString("Unable to write to " + FoldersFile::path()));
    EXPECT_EQ(TempTree::read(FoldersFile::path()), "/old/\n");
}

TEST(TfrmNoDelete, CaptionsAndHints)
{
    ScriptedDialogs d;
    TfrmNoDelete w;
    EXPECT_EQ(w.windowTitle(), "List of folders that should not be deleted");
    const auto bt = [&](const char *n) { return w.findChild<QPushButton *>(n); };
    EXPECT_EQ(bt("btAdd")->text(), "Add");
    EXPECT_EQ(bt("btAdd")->toolTip(), "Add a new folder to this list");
    EXPECT_EQ(bt("btDel")->toolTip(), "Delete a folder.  Select multiple folders above to delete more than one.");
    EXPECT_EQ(bt("btBuild")->text(), "Build list of folders");
    EXPECT_TRUE(bt("btBuild")->isDefault());
    EXPECT_EQ(bt("btClose")->toolTip(), "Close window");
    EXPECT_EQ(list(w)->selectionMode(), QAbstractItemView::ExtendedSelection);
    EXPECT_EQ(list(w)->toolTip(), "Drag the mouse over the list to select multiple folders");
    EXPECT_EQ(label(w, "Label3"), "Date of last build:");
    EXPECT_EQ(label(w, "Label4"), "Today's date:");
    EXPECT_TRUE(label(w, "Label2").startsWith("Note: It is recommended"));
}

TEST(TfrmNoDelete, AnUnreadableListIsReportedAndNeverReplaced)
{
    if (TestEnv::privileged())
        GTEST_SKIP() << "root reads a file of mode 000";
    ScriptedDialogs d;
    const std::string f = FoldersFile::path();
    ASSERT_TRUE(FoldersFile::write({"/srv/kept/", "/opt/app/"}));
    ASSERT_EQ(::chmod(f.c_str(), 0), 0);

    Folders got;
    EXPECT_EQ(FoldersFile::load(got), FoldersFile::State::Unreadable);
    EXPECT_FALSE(FoldersFile::write({"/new/"}));
    EXPECT_FALSE(FoldersFile::write({})); // nor removed

    TfrmNoDelete w;
    w.show();
    EXPECT_EQ(d.count("Unable to read " + QString::fromStdString(f)), 1);
    EXPECT_FALSE(w.findChild<QPushButton *>("btAdd")->isEnabled());
    EXPECT_FALSE(w.findChild<QPushButton *>("btBuild")->isEnabled());
    w.close();
    ASSERT_EQ(::chmod(f.c_str(), 0600), 0);
    EXPECT_EQ(TempTree::read(f), "/opt/app/\n/srv/kept/\n");
}
