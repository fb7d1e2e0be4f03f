#include "app/CommandLine.h"
#include "app/TNavigationTargets.h"
#include "app/TStartup.h"
#include "app/TfrmMain.h"
#include "safety/TfrmStandBy.h"
#include "common/TInteractiveDialogs.h"
#include "common/TLongLived.h"
#include "finders/TfrmDupCompare.h"
#include "inspect/TFindDlg.h"
#include "platform/QuitSignals.h"
#include "stats/TfrmStatistics.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>

int main(int argc, char **argv)
{
    // The command line is read before the window system is reached, so that
    // --help, --version and mistakes are answered without a display.
    const CommandLine::Parsed cmd = CommandLine::parse(std::vector<std::string>(argv, argv + argc));
    switch (cmd.action) {
    case CommandLine::Action::Help:
        std::fputs(CommandLine::helpText().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case CommandLine::Action::Version:
        std::fputs(CommandLine::versionText().c_str(), stdout);
        return std::fflush(stdout) == 0 ? 0 : 1;
    case CommandLine::Action::Error:
        std::fputs(cmd.error.c_str(), stderr);
        return CommandLine::usageError;
    case CommandLine::Action::Run:
        break;
    }

    // Qt sees only its own options, never the folder.
    std::vector<std::string> qtArgs = cmd.qtArguments;
    std::vector<char *> qtArgv;
    for (std::string &a : qtArgs)
        qtArgv.push_back(a.data());
    qtArgv.push_back(nullptr);
    int qtArgc = int(qtArgs.size());

    QApplication app(qtArgc, qtArgv.data());
    QApplication::setApplicationName(QStringLiteral("Vantor '95"));
    // Ties the windows to the installed menu entry (vantor.desktop), and gives
    // them the program's icon also when it runs from its build folder.
    QGuiApplication::setDesktopFileName(QStringLiteral("vantor"));
    QIcon icon;
    for (int px : {16, 32, 48, 64, 128, 256})
        icon.addFile(QStringLiteral(":/icons/%1x%1/vantor.png").arg(px));
    QApplication::setWindowIcon(icon);
    Q_INIT_RESOURCE(help);
    TInteractiveDialogs interactive;
    setDialogs(&interactive);
    TNavigationTargets::install();

    // The windows that live for the whole run, in their order; closing the
    // main window ends the program even while the statistics window is open.
    int rc = 0;
    {
        TfrmMain main;
        TfrmStatistics::instance();
        TFindDlg::instance();
        TfrmDupCompare::instance();
        TfrmStandBy::instance();
        app.setQuitOnLastWindowClosed(false);
        QObject::connect(&main, &TfrmMain::closed, &app, &QCoreApplication::quit, Qt::QueuedConnection);
        // A request to end (logout, Ctrl-C) closes the main window like its
        // Close button, so the program ends through its usual path.
        QuitSignals quitSignals;
        QObject::connect(&quitSignals, &QuitSignals::quitRequested, &main, [&main] { main.close(); });
        main.show();
        TStartup::afterShow(&main, cmd.folder, qEnvironmentVariableIsSet("VANTOR_STARTUP_REPORT"));
        rc = app.exec();
        TLongLived<TfrmStandBy>::destroy();
        TLongLived<TfrmDupCompare>::destroy();
        TLongLived<TFindDlg>::destroy();
        TLongLived<TfrmStatistics>::destroy();
    }
    return rc;
}
