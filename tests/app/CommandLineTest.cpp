#include "app/CommandLine.h"
#include "app/TStartup.h"
#include "app/TfrmMain.h"
#include "common/Navigation.h"
#include "platform/PathInfo.h"
#include "safety/FoldersFile.h"
#include "safety/NonDeleteList.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"
#include "support/TestChild.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>
#include <algorithm>
#include <csignal>
#include <map>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

using CommandLine::Action;

namespace {
CommandLine::Parsed parse(std::vector<std::string> args)
{
    args.insert(args.begin(), "/usr/bin/vantor");
    return CommandLine::parse(args);
}
}

TEST(CommandLine, HelpAndVersionWinOverWhatFollowsThem)
{
    EXPECT_EQ(parse({}).action, Action::Run);
    EXPECT_TRUE(parse({}).folder.empty());
    for (const char *a : {"-h", "--help"})
        EXPECT_EQ(parse({a, "--no-such-option"}).action, Action::Help) << a;
    for (const char *a : {"-v", "--version"})
        EXPECT_EQ(parse({a, "/no/such/folder"}).action, Action::Version) << a;
    EXPECT_NE(CommandLine::helpText().find("Usage: vantor [OPTION]... [FOLDER]\n"), std::string::npos);
    EXPECT_EQ(CommandLine::versionText().rfind("Vantor '95 ", 0), 0u);
    // An error met first is reported, not hidden by a later --help.
    EXPECT_EQ(parse({"--bogus", "--help"}).action, Action::Error);
}

TEST(CommandLine, MistakesAreNamedAndPointToTheHelp)
{
    TempTree t;
    const std::string file = t.file("notes.txt", "x");
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"--bogus"}, "unknown option '--bogus'"},
        {{"-x"}, "unknown option '-x'"},
        {{"-platform"}, "option '-platform' needs a value"},
        {{file}, "'" + file + "' is not a folder"},
        {{t.path("gone")}, "'" + t.path("gone") + "': no such folder"},
        {{""}, "'': no such folder"},
        {{t.root(), t.root()}, "only one folder can be given ('" + t.root() + "' and '" + t.root() + "')"},
    };
    for (const auto &c : cases) {
        const auto p = parse(c.args);
        EXPECT_EQ(p.action, Action::Error) << c.message;
        EXPECT_EQ(p.error, "vantor: " + c.message + "\nTry 'vantor --help' for more information.\n");
    }
}

TEST(CommandLine, QtOptionsGoToQtAndTheFolderIsResolved)
{
    TempTree t;
    t.dir("sub");
    t.dir("-dash");
    // A name need not be valid UTF-8.
    const std::string odd = t.dir("caf\xe9");
    const std::string root = PathInfo::resolved(t.root());

    auto p = parse({"-platform", "wayland", "--style", "fusion", "-reverse", "-style=windows", odd});
    EXPECT_EQ(p.action, Action::Run);
    EXPECT_EQ(p.qtArguments, (std::vector<std::string>{"/usr/bin/vantor", "-platform", "wayland", "--style", "fusion",
                                                       "-reverse", "-style=windows"}));
    EXPECT_EQ(p.folder, root + "/caf\xe9");

    // After "--" a name that looks like an option is the folder.
    p = parse({"--", t.path("-dash")});
    EXPECT_EQ(p.action, Action::Run);
    EXPECT_EQ(p.folder, root + "/-dash");
    EXPECT_EQ(p.qtArguments.size(), 1u);

    // A relative folder is taken from the current folder, with ".." resolved.
    char here[4096];
    ASSERT_NE(::getcwd(here, sizeof here), nullptr);
    ASSERT_EQ(::chdir(t.root().c_str()), 0);
    p = parse({"sub/../sub"});
    const std::string fromDot = parse({"."}).folder;
    ASSERT_EQ(::chdir(here), 0);
    EXPECT_EQ(p.folder, root + "/sub");
    EXPECT_EQ(fromDot, root);
}

// Qt reads the files its options name whole before the first window: only
// a regular file of a sane size is handed on, in both forms of the option.
TEST(CommandLine, QtOptionsNamingFilesTakeOnlySmallRegularFiles)
{
    TempTree t;
    const std::string sheet = t.file("look.qss", "QWidget { color: black; }");
    const std::string fifo = t.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    const std::string big = t.file("big.qss", std::string(CommandLine::maxOptionFile + 1, ' '));
    const std::string just = t.file("just.qss", std::string(CommandLine::maxOptionFile, ' '));
    const std::string folder = t.dir("sheets");

    for (const std::string &ok : {sheet, just}) {
        EXPECT_EQ(parse({"-stylesheet", ok}).action, Action::Run) << ok;
        EXPECT_EQ(parse({"--stylesheet=" + ok}).qtArguments.back(), "--stylesheet=" + ok);
        EXPECT_EQ(parse({"-qwindowicon", ok}).action, Action::Run);
    }
    const struct {
        std::vector<std::string> args;
        std::string message;
    } cases[] = {
        {{"-stylesheet", fifo}, "option '-stylesheet': '" + fifo + "' is not a regular file"},
        {{"-stylesheet=/dev/zero"}, "option '-stylesheet': '/dev/zero' is not a regular file"},
        {{"--stylesheet=" + folder}, "option '--stylesheet': '" + folder + "' is not a regular file"},
        {{"--stylesheet", big},
         "option '--stylesheet': '" + big + "' is larger than " + std::to_string(CommandLine::maxOptionFile) + " bytes"},
        {{"-stylesheet", t.path("gone.qss")}, "option '-stylesheet': '" + t.path("gone.qss") + "' does not exist"},
        {{"-stylesheet="}, "option '-stylesheet': '' does not exist"},
        {{"-qwindowicon", fifo}, "option '-qwindowicon': '" + fifo + "' is not a regular file"},
    };
    for (const auto &c : cases) {
        const auto p = parse(c.args);
        EXPECT_EQ(p.action, Action::Error) << c.message;
        EXPECT_EQ(p.error, "vantor: " + c.message + "\nTry 'vantor --help' for more information.\n");
    }
}

TEST(CommandLine, APlatformQtHasNoPluginForIsNamedBeforeQtStarts)
{
    std::map<std::string, std::string> env;
    const auto getenv = [&](const char *n) { return env[n]; };
    int asked = 0;
    const auto installed = [&] {
        ++asked;
        return std::vector<std::string>{"offscreen", "wayland", "xcb"};
    };
    auto problem = [&](std::vector<std::string> args) {
        args.insert(args.begin(), "vantor");
        return CommandLine::platformProblem(args, getenv, installed);
    };
    // Nothing named: Qt's default, and the plugins are not even looked for.
    EXPECT_EQ(problem({}), "");
    EXPECT_EQ(asked, 0);
    EXPECT_EQ(problem({"-platform", "bogus"}),
              "vantor: option '-platform': Qt has no platform plugin 'bogus' (installed: offscreen, wayland, xcb)\n");
    // Qt's own reading: case does not matter, options follow a colon, the
    // first name of a list that loads is taken.
    EXPECT_EQ(problem({"--platform", "XCB:nomitshm"}), "");
    EXPECT_EQ(problem({"-platform", "bogus;offscreen"}), "");
    EXPECT_NE(problem({"-platform", "bogus;other"}).find("no platform plugin 'bogus', 'other' ("), std::string::npos);
    EXPECT_EQ(problem({"-platform", ""}), "vantor: option '-platform' names no platform\n");
    // The variable counts when no option is given; the option wins over it.
    env["QT_QPA_PLATFORM"] = "bogus";
    EXPECT_EQ(problem({}).rfind("vantor: QT_QPA_PLATFORM: Qt has no platform plugin 'bogus'", 0), 0u);
    EXPECT_EQ(problem({"-platform", "offscreen"}), "");
    // The offscreen platform reads its configuration file at start.
    TempTree t;
    const std::string config = t.file("offscreen.json", "{}");
    EXPECT_EQ(problem({"-platform", "offscreen:configfile=" + config}), "");
    EXPECT_EQ(problem({"-platform", "offscreen:configfile=/dev/zero"}),
              "vantor: option '-platform': the configuration file '/dev/zero' is not a regular file\n");

    // The real folders: this test program runs on the offscreen platform.
    const std::vector<std::string> real = CommandLine::installedPlatforms({"vantor"}, getenv);
    EXPECT_TRUE(std::binary_search(real.begin(), real.end(), "offscreen"));
    EXPECT_FALSE(std::binary_search(real.begin(), real.end(), "bogus"));
}

namespace {
constexpr int kDeadlineMs = 60000;

// The program started with args; its standard error joins its output.
TestChild::Process program(const std::vector<std::string> &args, const std::vector<std::string> &setEnv = {})
{
    std::vector<std::string> argv{"/bin/sh", "-c", "exec \"$@\" 2>&1", "sh", VANTOR_PROGRAM};
    argv.insert(argv.end(), args.begin(), args.end());
    return TestChild::Process(argv, setEnv, {});
}

void expectRefusal(const std::vector<std::string> &args, const std::string &message,
                   const std::vector<std::string> &setEnv = {})
{
    TestChild::Process p = program(args, setEnv);
    const int status = p.waitForEnd(kDeadlineMs);
    ASSERT_NE(status, -1) << "still running";
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 2) << "wait status " << status;
    EXPECT_NE(p.out().find(message), std::string::npos) << p.out();
}
} // namespace

// The program itself: a FIFO or a device as the style sheet, or a platform
// without a plugin, ends it with the message and status 2 before any window
// (it used to wait for ever, grow without bound or abort); a good style
// sheet still starts it.
TEST(CommandLine, TheProgramRefusesBadQtOptionsAndStartsWithGoodOnes)
{
    TempTree t;
    const std::string fifo = t.path("fifo");
    ASSERT_EQ(::mkfifo(fifo.c_str(), 0600), 0);
    expectRefusal({"-stylesheet", fifo}, "vantor: option '-stylesheet': '" + fifo + "' is not a regular file\n");
    expectRefusal({"-stylesheet=/dev/zero"}, "vantor: option '-stylesheet': '/dev/zero' is not a regular file\n");
    expectRefusal({"-platform", "bogus"}, "vantor: option '-platform': Qt has no platform plugin 'bogus' (installed: ");
    expectRefusal({}, "vantor: QT_QPA_PLATFORM: Qt has no platform plugin 'bogus'", {"QT_QPA_PLATFORM=bogus"});

    const std::string sheet = t.file("look.qss", "QPushButton { color: navy; }");
    TestChild::Process p = program({"-stylesheet", sheet}, {"VANTOR_STARTUP_REPORT=1", "QT_QPA_PLATFORM=offscreen"});
    ASSERT_TRUE(p.waitForLine("vantor: main window shown (platform offscreen)", kDeadlineMs)) << p.out();
    p.signal(SIGTERM);
    const int status = p.waitForEnd(kDeadlineMs);
    EXPECT_TRUE(status != -1 && WIFEXITED(status) && WEXITSTATUS(status) == 0) << "wait status " << status;
}

namespace {
// Runs pending events until done() or a few seconds have passed.
template <class F> bool pumpUntil(F done)
{
    const QDeadlineTimer deadline(5000);
    while (!done() && !deadline.hasExpired())
        QCoreApplication::processEvents(QEventLoop::AllEvents, 20);
    return done();
}
}

TEST(Startup, AFolderOnTheCommandLineOpensTheBrowserThroughTheGuard)
{
    ScriptedDialogs d;
    TempTree t;
    std::vector<std::string> asked;
    Navigation::Registration reg(Navigation::Target::BrowseFolder, [&](const Navigation::Request &r) {
        asked.push_back(r.path);
        EXPECT_TRUE(r.selected.empty());
        EXPECT_TRUE(r.mask.isEmpty());
        return true;
    });

    // Without the non-delete list the browser does not open; the guard says why.
    {
        TfrmMain main;
        main.show();
        TStartup::afterShow(&main, t.root(), false);
        EXPECT_TRUE(pumpUntil([&] { return d.count(TfrmMain::guardMessage) == 1; }));
        EXPECT_TRUE(asked.empty());
    }

    ASSERT_TRUE(FoldersFile::write({"/srv/kept/"}));
    TfrmMain main;
    main.show();
    TStartup::afterShow(&main, t.root(), false);
    // Not from inside the show: the browser is modal and runs its own loop.
    EXPECT_TRUE(asked.empty());
    EXPECT_TRUE(pumpUntil([&] { return !asked.empty(); }));
    EXPECT_EQ(asked, std::vector<std::string>{t.root()});

    // Without a folder nothing opens.
    TfrmMain other;
    other.show();
    TStartup::afterShow(&other, {}, false);
    QCoreApplication::processEvents();
    EXPECT_EQ(asked.size(), 1u);
    EXPECT_EQ(d.count(TfrmMain::guardMessage), 1);
}
