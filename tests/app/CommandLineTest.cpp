#include "app/CommandLine.h"
#include "app/TStartup.h"
#include "app/TfrmMain.h"
#include "common/Navigation.h"
#include "platform/PathInfo.h"
#include "safety/FoldersFile.h"
#include "safety/NonDeleteList.h"
#include "support/ScriptedDialogs.h"
#include "support/TempTree.h"

#include <QCoreApplication>
#include <QDeadlineTimer>
#include <gtest/gtest.h>
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
