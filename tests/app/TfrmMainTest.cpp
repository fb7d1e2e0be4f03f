#include "settings/AppState.h"
#include "settings/IniFile.h"
#include "app/THelpViewer.h"
#include "app/TfrmAbout.h"
#include "app/TfrmMain.h"
#include "common/TModal.h"
#include "common/TShell.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "safety/FoldersFile.h"
#include "safety/NonDeleteList.h"
#include "safety/TfrmNoDelete.h"
#include "stats/TfrmStatistics.h"
#include "support/FakeSoftware.h"
#include "support/ScriptedDialogs.h"
#include "support/TestEnv.h"

#include <QApplication>
#include <QLabel>
#include <QPushButton>
#include <QTest>
#include <QTextBrowser>
#include <gtest/gtest.h>

#include <sys/stat.h>

namespace {
using Handler = void (TfrmMain::*)();
const std::vector<Handler> guarded = {&TfrmMain::btDuplicateClick, &TfrmMain::btFileHogClick,
                                      &TfrmMain::btFilesClick,     &TfrmMain::btDirHogsClick,
                                      &TfrmMain::btCleanClick,     &TfrmMain::btBrowseClick,
                                      &TfrmMain::btClearCacheClick};

QPushButton *button(QWidget &w, const char *name) { return w.findChild<QPushButton *>(name); }
}

TEST(TfrmMain, GuardRefusesEveryFinderUntilABuildWritesTheList)
{
    ScriptedDialogs d;
    FakeSoftware s;
    s.package("tool", s.tree.dir("opt/tool") + "/tool\n");
    TfrmMain w;
    w.show();
    ASSERT_TRUE(nonDeleteList().listMissing());

    TModal::push([](QDialog *dlg) { dlg->reject(); }); // must stay unused
    for (const Handler h : guarded)
        (w.*h)();
    EXPECT_EQ(d.count(TfrmMain::guardMessage), 7);
    EXPECT_EQ(d.boxes.size(), 7u);
    EXPECT_EQ(d.last()->kind, Dialogs::Kind::Error);
    EXPECT_EQ(TModal::pending(), 1u);
    TModal::clear();

    // The list window builds from the fake software and closes; the lists
    // are reloaded at once.
    bool opened = false;
    TModal::push([&](QDialog *dlg) {
        auto *nd = qobject_cast<TfrmNoDelete *>(dlg);
        ASSERT_TRUE(nd);
        opened = true;
        nd->sources = s.sources();
        d.answer(Dialogs::Answer::Yes);
        nd->btBuildClick();
        nd->btCloseClick();
    });
    w.btBuildClick();
    EXPECT_TRUE(opened);
    EXPECT_TRUE(TempTree::exists(FoldersFile::path()));
    EXPECT_FALSE(nonDeleteList().listMissing());
    EXPECT_EQ(nonDeleteList().test(s.tree.path("opt/tool/tool"), true), 3);

    d.boxes.clear();
    // Each tool that is part of the program opens; its window is closed at once.
    for (size_t i = 0; i < guarded.size(); ++i)
        TModal::push([](QDialog *dlg) { dlg->reject(); });
    for (const Handler h : guarded)
        (w.*h)();
    TModal::clear();
    EXPECT_TRUE(d.boxes.empty());
    EXPECT_TRUE(w.checkExceptionList());
}

TEST(TfrmMain, GuardMessageText)
{
    EXPECT_EQ(TfrmMain::guardMessage, "The list of deletion exceptions has not been created yet.  Click on the Build "
                                      "Non-Delete List button to initialize.");
}

TEST(TfrmMain, DuplicateAndFileHogButtonsSetTheMode)
{
    ScriptedDialogs d;
    TfrmMain w;
    // Whether the guard lets the window open or not, it is closed at once.
    for (int i = 0; i < 3; ++i)
        TModal::push([](QDialog *dlg) { dlg->reject(); });
    w.btFileHogClick();
    EXPECT_FALSE(AppState::dupMode);
    w.btDuplicateClick();
    EXPECT_TRUE(AppState::dupMode);
    w.btFileHogClick();
    EXPECT_FALSE(AppState::dupMode);
    TModal::clear();
}

TEST(TfrmMain, ShowReadsTheArchiveFolderAndReloadsTheLists)
{
    ScriptedDialogs d;
    IniFile().writeString("ZipFile", "Path", "/srv/archives");
    ASSERT_TRUE(FoldersFile::write({"/srv/kept/"}));
    nonDeleteList().setLists({}, {}, {"/etc/"}, true);
    nonDeleteList().test("/etc/hosts", true);
    TfrmMain w;
    w.show();
    EXPECT_EQ(AppState::defaultZipPath, "/srv/archives");
    EXPECT_FALSE(nonDeleteList().listMissing());
    EXPECT_TRUE(nonDeleteList().lastTestedFolder().empty());
    EXPECT_EQ(nonDeleteList().test("/srv/kept/a", true), 3);
    w.hide();

    // Each show reads the setting afresh; without one the default applies.
    IniFile().writeString("ZipFile", "Path", "");
    w.show();
    EXPECT_EQ(AppState::defaultZipPath, "");
    EXPECT_EQ(AppState::zipFolder(), TestEnv::home() + "/VantorArchives");
    EXPECT_FALSE(w.usesGradient());
}

TEST(TfrmMain, LowColourDepthUsesTheGradient)
{
    TfrmMain w;
    w.applyBackground(8);
    EXPECT_TRUE(w.usesGradient());
    EXPECT_EQ(w.palette().brush(QPalette::Window).style(), Qt::LinearGradientPattern);
    w.applyBackground(16);
    EXPECT_FALSE(w.usesGradient());
    EXPECT_EQ(w.palette().brush(QPalette::Window).style(), Qt::TexturePattern);
}

TEST(TfrmMain, LayoutCaptionsHintsAndWhichToolsAreAvailable)
{
    TfrmMain w;
    EXPECT_EQ(w.windowTitle(), "Vantor '95 Version 2.9a from Brackwell Corporation");
    EXPECT_EQ(w.minimumSize(), QSize(557, 428));
    EXPECT_EQ(w.maximumSize(), QSize(557, 428));
    EXPECT_TRUE(w.windowFlags() & Qt::WindowMinimizeButtonHint);
    EXPECT_FALSE(w.windowFlags() & Qt::WindowMaximizeButtonHint);
    struct Row {
        const char *name, *caption, *hint;
        bool enabled;
    };
    const Row rows[] = {
        {"btDuplicate", "&Duplicate files", "Locate duplicate files", true},
        {"btFileHog", "&File hogs", "Locate large files", true},
        {"btFiles", "Files &accessed", "Locate old and recent files", true},
        {"btDirHogs", "Folder &hogs", "Locate folders taking the most space", true},
        {"btClean", "&Quick clean", "Quickly clean up temporary files", true},
        {"btStatistic", "&Statistics", "Compute disk statistics", true},
        {"btBrowse", "&Browse", "Browse through disks/folders", true},
        {"btClearCache", "&Clear internet files", "Clean up web browser cache folders", true},
        {"btZip", "&Unzip archive files", "Unzip files that have been zipped up by Vantor (compressed)", true},
        {"btBuild", "Build &non-delete list",
         "Build list of folders that will not be deleted in Vantor without warning", true},
        {"btReach", "Ab&out", "", true},
        {"btHelp", "H&elp", "", true},
        {"btClose", "E&xit", "Quit and close ", true},
    };
    for (const Row &r : rows) {
        QPushButton *b = button(w, r.name);
        ASSERT_TRUE(b) << r.name;
        EXPECT_EQ(b->text(), r.caption);
        EXPECT_EQ(b->toolTip(), r.hint);
        EXPECT_EQ(b->isEnabled(), r.enabled) << r.name;
    }
    // Two columns of five, the left one first.
    const auto pos = [&](const char *n) { return button(w, n)->mapTo(&w, QPoint(0, 0)); };
    EXPECT_LT(pos("btDuplicate").x(), pos("btStatistic").x());
    EXPECT_EQ(pos("btDuplicate").y(), pos("btStatistic").y());
    EXPECT_LT(pos("btDuplicate").y(), pos("btClean").y());
    EXPECT_LT(pos("btBuild").y(), pos("btReach").y());
    EXPECT_EQ(w.findChild<QLabel *>("EsLabel2")->text(), "Brackwell Corporation");
}

TEST(TfrmMain, StatisticsIsOneWindowShownModelessly)
{
    TfrmMain w;
    w.btStatisticClick();
    TfrmStatistics *first = &TfrmStatistics::instance();
    EXPECT_TRUE(first->isVisible());
    EXPECT_FALSE(first->isModal());
    first->hide();
    w.btStatisticClick();
    EXPECT_EQ(&TfrmStatistics::instance(), first);
    EXPECT_TRUE(first->isVisible());
    EXPECT_EQ(first->windowTitle(), "File Statistics Not Yet Collected");
    first->hide();
}

TEST(TfrmMain, AboutOpensModallyFromTheButtonAndTheMakerLabels)
{
    ScriptedDialogs d;
    TfrmMain w;
    w.show();
    int opened = 0;
    const auto about = [&](QDialog *dlg) {
        EXPECT_TRUE(qobject_cast<TfrmAbout *>(dlg));
        EXPECT_EQ(dlg->windowTitle(), "How to contact us");
        EXPECT_EQ(dlg->parentWidget(), &w);
        ++opened;
        dlg->accept();
    };
    TModal::push(about);
    w.btReachClick();
    TModal::push(about);
    QTest::mouseClick(w.findChild<QLabel *>("EsLabel3"), Qt::LeftButton);
    EXPECT_EQ(opened, 2);
    // Closed tools are destroyed.
    EXPECT_TRUE(w.findChildren<TfrmAbout *>().isEmpty());
}

TEST(TfrmAbout, HomePageButtonReportsABrowserThatDoesNotStart)
{
    ScriptedDialogs d;
    QUrl asked;
    bool result = false;
    const auto old = TShell::setOpener([&](const QUrl &u) {
        asked = u;
        return result;
    });
    TfrmAbout w;
    w.show();
    EXPECT_EQ(w.size(), QSize(480, 356));
    auto *web = w.findChild<QPushButton *>("btWeb");
    EXPECT_EQ(web->text(), "Brackwell Home Page");
    EXPECT_EQ(web->toolTip(), "Launch your browser to Brackwell Home Page");
    EXPECT_TRUE(w.findChild<QPushButton *>("OKButton")->isDefault());
    web->click();
    EXPECT_EQ(asked, QUrl(TfrmAbout::webAddress));
    ASSERT_EQ(d.boxes.size(), 1u);
    EXPECT_EQ(d.last()->text, "Unable to start web browser. Make sure you have it properly set-up on your system.");
    EXPECT_EQ(d.last()->kind, Dialogs::Kind::Error);
    EXPECT_TRUE(w.isVisible());
    result = true;
    web->click();
    EXPECT_EQ(d.boxes.size(), 1u);
    TShell::setOpener(old);
}

TEST(TfrmMain, HelpShowsTheManualAtTopicOne)
{
    TfrmMain w;
    w.btHelpClick();
    THelpViewer *h = w.helpViewer();
    ASSERT_TRUE(h);
    EXPECT_TRUE(h->isVisible());
    EXPECT_FALSE(h->isModal());
    EXPECT_EQ(h->txtHelp->source().fragment(), "topic1");
    EXPECT_TRUE(h->txtHelp->toPlainText().contains("non-delete list"));
    w.btHelpClick();
    EXPECT_EQ(w.helpViewer(), h);
}

TEST(TfrmMain, ClosingTheWindowEndsTheProgram)
{
    TfrmMain w;
    int closed = 0;
    QObject::connect(&w, &TfrmMain::closed, [&] { ++closed; });
    w.show();
    button(w, "btClose")->click();
    EXPECT_EQ(closed, 1);
    EXPECT_FALSE(w.isVisible());
}

TEST(TfrmMain, GuardRefusesEveryFinderWhileTheListCannotBeRead)
{
    if (TestEnv::privileged())
        GTEST_SKIP() << "root reads a file of mode 000";
    ScriptedDialogs d;
    ASSERT_TRUE(FoldersFile::write({"/srv/kept/"}));
    ASSERT_EQ(::chmod(FoldersFile::path().c_str(), 0), 0);
    TfrmMain w;
    w.show();
    EXPECT_TRUE(nonDeleteList().listUnreadable());
    TModal::push([](QDialog *dlg) { dlg->reject(); }); // must stay unused
    for (const Handler h : guarded)
        (w.*h)();
    EXPECT_EQ(d.count("Unable to read " + QString::fromStdString(FoldersFile::path())), 7);
    EXPECT_EQ(d.boxes.size(), 7u);
    EXPECT_EQ(TModal::pending(), 1u);
    TModal::clear();
    ::chmod(FoldersFile::path().c_str(), 0600);
    w.hide();
    w.show();
    EXPECT_FALSE(nonDeleteList().listUnreadable());
    EXPECT_TRUE(w.checkExceptionList());
}

TEST(TfrmMain, StartGoesOnPastSettingsFilesThatAreFifosAndSaysSoOnce)
{
    ScriptedDialogs d;
    ASSERT_TRUE(Paths::makeFolders(Paths::settingsFolder()));
    const char *names[] = {"vantor.ini", "drives.ini", "registry.ini"};
    for (const char *name : names)
        ASSERT_EQ(::mkfifo(Paths::settingsFile(name).c_str(), 0600), 0);
    Drives::setMapping({});
    EXPECT_FALSE(Drives::list().empty()); // from the mounts alone
    {
        TfrmMain w;
        w.show();
        w.hide();
        w.show();
        w.hide();
    }
    ASSERT_EQ(d.boxes.size(), 3u);
    for (size_t i = 0; i < 3; ++i) {
        EXPECT_EQ(d.boxes[i].kind, Dialogs::Kind::Warning);
        EXPECT_EQ(d.boxes[i].text, "Unable to read " + QString::fromStdString(Paths::settingsFile(names[i]))
                                       + ": it is not a regular file. It is left as it is, and Vantor goes on without it.");
    }
    for (const char *name : names) {
        struct stat st;
        ASSERT_EQ(::lstat(Paths::settingsFile(name).c_str(), &st), 0);
        EXPECT_TRUE(S_ISFIFO(st.st_mode)) << name;
        ::unlink(Paths::settingsFile(name).c_str());
    }
}

TEST(TfrmMain, WritesToARefusedSettingsFileAreSkippedOnceTheWarningWasShown)
{
    ScriptedDialogs d;
    const std::string ini = Paths::settingsFile("vantor.ini");
    ASSERT_TRUE(Paths::makeFolders(Paths::settingsFolder()));
    ASSERT_EQ(::symlink("/dev/zero", ini.c_str()), 0);
    auto store = [] { return writeOrReport([] { IniFile().writeString("ZipFile", "Path", "/srv"); }); };
    // Before anyone was told: the one box says why.
    EXPECT_FALSE(store());
    ASSERT_EQ(d.boxes.size(), 1u);
    EXPECT_EQ(d.boxes[0].text, "Unable to write to " + QString::fromStdString(ini) + ": it is not a regular file.");
    {
        TfrmMain w;
        w.show();
        ASSERT_EQ(d.boxes.size(), 2u); // the start-up warning
        // A window that stores its settings as it closes goes on quietly.
        EXPECT_TRUE(store());
        EXPECT_TRUE(writeOrReport([] { IniFile().addDeletionTotals(1, 10, 0, 0); }));
        EXPECT_EQ(d.boxes.size(), 2u);
    }
    struct stat st;
    ASSERT_EQ(::lstat(ini.c_str(), &st), 0);
    EXPECT_TRUE(S_ISLNK(st.st_mode));
    ::unlink(ini.c_str());
}

TEST(TfrmMain, TheKeyboardFocusComesBackWhenAToolCloses)
{
    ScriptedDialogs d;
    ASSERT_TRUE(FoldersFile::write({TestEnv::home() + "/protected/"}));
    TfrmMain w;
    w.show();
    w.activateWindow();
    ASSERT_TRUE(QTest::qWaitForWindowActive(&w));
    for (auto open : {&TfrmMain::btDuplicateClick, &TfrmMain::btCleanClick, &TfrmMain::btBrowseClick}) {
        bool ran = false;
        TModal::push([&](QDialog *dlg) {
            ran = true;
            dlg->activateWindow();
            dlg->close();
        });
        (w.*open)();
        ASSERT_TRUE(ran);
        QCoreApplication::processEvents(); // the window system's answer
        // Alt+D works at once: the main window is active and holds the focus.
        EXPECT_EQ(QApplication::activeWindow(), &w);
        ASSERT_NE(QApplication::focusWidget(), nullptr);
        EXPECT_EQ(QApplication::focusWidget()->window(), &w);
    }
}
