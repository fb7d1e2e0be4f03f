// A request to end the program (SIGTERM at logout, Ctrl-C) ends it within a
// bounded time with status 0, whatever runs: the program runs in a child
// process (TestChild) with real message boxes, so a box shown after the
// request, or a run that goes on, would hold it until the deadline.
#include "app/CommandLine.h"
#include "app/TNavigationTargets.h"
#include "app/TStartup.h"
#include "app/TfrmMain.h"
#include "common/EventPump.h"
#include "common/Runs.h"
#include "common/TInteractiveDialogs.h"
#include "common/TModal.h"
#include "finders/ContentSearch.h"
#include "finders/TfrmBrowse.h"
#include "finders/TfrmDup.h"
#include "platform/Drives.h"
#include "platform/Paths.h"
#include "safety/FoldersFile.h"
#include "scan/TDriveCheckList.h"
#include "support/TempTree.h"
#include "support/TestChild.h"

#include <QComboBox>
#include <QCoreApplication>
#include <QListWidget>
#include <QPushButton>
#include <QRadioButton>
#include <QSpinBox>
#include <QTimer>
#include <gtest/gtest.h>

#include <csignal>
#include <cstdio>
#include <fstream>
#include <map>
#include <sstream>
#include <sys/wait.h>
#include <thread>

namespace {
// Generous: the program ends in moments; the bound only keeps a hung child
// from holding the test run.
constexpr int kDeadlineMs = 60000;

std::string childTree() { return std::getenv("VANTOR_CHILD_TREE"); }

// The program as main starts it, with real message boxes.
int runProgram(const std::string &folder, const std::function<void(TfrmMain *)> &started)
{
    TInteractiveDialogs interactive;
    setDialogs(&interactive);
    TNavigationTargets::install();
    return TStartup::run(folder, false, started);
}

// Once the run named what is going on, says "running" on standard output
// and holds the run (letting events through, as its pump does) until the
// program was asked to end: the request arrives inside the run.
void holdRun(const QString &what)
{
    auto *watch = new QTimer(qApp);
    watch->setInterval(0);
    QObject::connect(watch, &QTimer::timeout, watch, [watch, what] {
        if (Runs::current() != what)
            return;
        watch->stop();
        std::fputs("running\n", stdout);
        std::fflush(stdout);
        while (!Runs::quitRequested())
            QCoreApplication::processEvents(QEventLoop::WaitForMoreEvents);
    });
    watch->start();
}

// The folder browser opened on the tree from the command line, and its map
// walking the tree.
const TestChild::Registration mapWalk("quit-map-walk", [] {
    EventPump::setDefaultInterval(0);
    TModal::push([](QDialog *dlg) {
        if (auto *b = qobject_cast<TfrmBrowse *>(dlg))
            b->btMapClick();
    });
    holdRun(QStringLiteral("a drive scan"));
    return runProgram(childTree(), {});
});

// "Same contents" over the tree as drive D:, its workers held at their
// first file until the search is cancelled.
const TestChild::Registration contentSearch("quit-content-search", [] {
    Drives::setMapping({{'D', childTree()}});
    return runProgram({}, [](TfrmMain *main) {
        TModal::push([](QDialog *dlg) {
            auto *w = qobject_cast<TfrmDup *>(dlg);
            if (!w)
                return;
            for (int i = 0; i < w->pckDrive->count(); ++i) {
                QListWidgetItem *it = w->pckDrive->item(i);
                it->setCheckState(it->text().startsWith('D') ? Qt::Checked : Qt::Unchecked);
            }
            w->pckDrive->pckDriveClick();
            w->rbLarger->setChecked(true);
            w->cbKB1->setCurrentIndex(0);
            w->num1->setValue(0);
            w->cbDup->setCurrentIndex(7);
            w->searchStarting = [](ContentSearch &s) {
                s.afterRead = [&s](size_t, int) {
                    std::fputs("running\n", stdout);
                    std::fflush(stdout);
                    while (!s.cancelled())
                        std::this_thread::yield();
                };
            };
            w->btScan->click();
        });
        QTimer::singleShot(0, main, [main] { main->btDuplicateClick(); });
    });
});

std::string settingsText(const char *name)
{
    std::ifstream in(Paths::settingsFile(name));
    std::stringstream s;
    s << in.rdbuf();
    return s.str();
}

void expectCleanEnd(TestChild::Process &p)
{
    const int status = p.waitForEnd(kDeadlineMs);
    ASSERT_NE(status, -1) << "still running long after SIGTERM; stderr:\n" << p.err();
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status << "; stderr:\n" << p.err();
}
} // namespace

TEST(Quit, ASignalDuringTheBrowsersMapWalkEndsTheProgramAsACloseDoes)
{
    TempTree t("big");
    for (int i = 0; i < 2000; ++i)
        t.file("d" + std::to_string(i / 40) + "/s" + std::to_string(i) + "/f.txt", "x");
    ASSERT_TRUE(FoldersFile::write({t.dir("protected") + "/"}));
    TestChild::Process p = TestChild::Process::child("quit-map-walk", {"VANTOR_CHILD_TREE=" + t.path("")});
    ASSERT_TRUE(p.waitForLine("running", kDeadlineMs)) << p.err();
    p.signal(SIGTERM);
    expectCleanEnd(p);
    // The browser closed as a close does: its placement is stored.
    EXPECT_NE(settingsText("registry.ini").find("frmBrowse"), std::string::npos);
}

TEST(Quit, ASignalDuringASameContentsSearchStopsItsWorkersAndEnds)
{
    TempTree t("same");
    const std::string same(30000, 's');
    for (int i = 0; i < 8; ++i)
        t.file("D/f" + std::to_string(i) + ".bin", same);
    ASSERT_TRUE(FoldersFile::write({t.dir("protected") + "/"}));
    TestChild::Process p = TestChild::Process::child("quit-content-search", {"VANTOR_CHILD_TREE=" + t.path("D")});
    ASSERT_TRUE(p.waitForLine("running", kDeadlineMs)) << p.err();
    p.signal(SIGTERM);
    expectCleanEnd(p);
}

TEST(Quit, WithoutADisplayTheProgramSaysSoInOneLine)
{
    // The real program, as a desktop session without a display would start it.
    TestChild::Process p({VANTOR_PROGRAM}, {"QT_QPA_PLATFORM=xcb"},
                         {"DISPLAY", "WAYLAND_DISPLAY", "WAYLAND_SOCKET", "XDG_RUNTIME_DIR", "XDG_SESSION_TYPE"});
    const int status = p.waitForEnd(kDeadlineMs);
    ASSERT_NE(status, -1);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 1) << "wait status " << status;
    EXPECT_EQ(p.err(), "vantor: no display to open windows on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n");
}

TEST(Quit, TheDisplayCheckFollowsThePlatformQtWouldChoose)
{
    auto problem = [](std::vector<std::string> args, std::map<std::string, std::string> env) {
        args.insert(args.begin(), "vantor");
        return !CommandLine::displayProblem(args, [&](const char *n) { return env[n]; }).empty();
    };
    EXPECT_TRUE(problem({}, {}));
    EXPECT_FALSE(problem({}, {{"DISPLAY", ":0"}}));
    EXPECT_FALSE(problem({"-display", ":1"}, {}));
    // Wayland only where the session or the platform says so.
    EXPECT_TRUE(problem({}, {{"WAYLAND_DISPLAY", "wayland-1"}}));
    EXPECT_FALSE(problem({}, {{"WAYLAND_DISPLAY", "wayland-1"}, {"XDG_SESSION_TYPE", "wayland"}}));
    EXPECT_FALSE(problem({}, {{"WAYLAND_DISPLAY", "wayland-1"}, {"QT_QPA_PLATFORM", "wayland"}}));
    EXPECT_TRUE(problem({}, {{"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland"}}));
    EXPECT_FALSE(problem({}, {{"DISPLAY", ":0"}, {"QT_QPA_PLATFORM", "wayland;xcb"}}));
    // The option wins over the variable; platforms without a display pass.
    EXPECT_FALSE(problem({"-platform", "offscreen"}, {{"QT_QPA_PLATFORM", "xcb"}}));
    EXPECT_FALSE(problem({}, {{"QT_QPA_PLATFORM", "offscreen:configfile=/x"}}));
    EXPECT_TRUE(problem({"--platform", "xcb"}, {{"QT_QPA_PLATFORM", "offscreen"}}));
}
