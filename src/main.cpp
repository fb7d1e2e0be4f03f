#include "app/CommandLine.h"
#include "app/TNavigationTargets.h"
#include "app/TStartup.h"
#include "common/TInteractiveDialogs.h"

#include <QApplication>
#include <QIcon>
#include <cstdio>
#include <cstdlib>
#include <string>
#include <unistd.h>

namespace {
// While the application object is made, Qt's messages are held back: a
// window system that cannot be started after all (a display that does not
// answer) ends the program with one line and status 1 instead of an abort;
// otherwise they are given out afterwards.
std::string g_firstWarning;
QStringList g_held;
void startupMessages(QtMsgType type, const QMessageLogContext &, const QString &text)
{
    if (type != QtFatalMsg) {
        if (g_firstWarning.empty() && type != QtDebugMsg && type != QtInfoMsg)
            g_firstWarning = text.section(QLatin1Char('\n'), 0, 0).toStdString();
        g_held << text;
        return;
    }
    const std::string why = g_firstWarning.empty() ? text.section(QLatin1Char('\n'), 0, 0).toStdString() : g_firstWarning;
    std::fprintf(stderr, "vantor: the window system cannot be reached (%s)\n", why.c_str());
    std::fflush(stderr);
    ::_exit(CommandLine::noDisplayError);
}
}

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
    const auto env = [](const char *name) {
        const char *v = std::getenv(name);
        return std::string(v ? v : "");
    };
    // A platform Qt has no plugin for would end the application object with
    // an abort: it is named here instead.
    const std::string noPlatform = CommandLine::platformProblem(
        cmd.qtArguments, env, [&] { return CommandLine::installedPlatforms(cmd.qtArguments, env); });
    if (!noPlatform.empty()) {
        std::fputs(noPlatform.c_str(), stderr);
        return CommandLine::usageError;
    }
    const std::string noDisplay = CommandLine::displayProblem(cmd.qtArguments, env);
    if (!noDisplay.empty()) {
        std::fputs(noDisplay.c_str(), stderr);
        return CommandLine::noDisplayError;
    }

    // Qt sees only its own options, never the folder.
    std::vector<std::string> qtArgs = cmd.qtArguments;
    std::vector<char *> qtArgv;
    for (std::string &a : qtArgs)
        qtArgv.push_back(a.data());
    qtArgv.push_back(nullptr);
    int qtArgc = int(qtArgs.size());

    const QtMessageHandler previous = qInstallMessageHandler(startupMessages);
    QApplication app(qtArgc, qtArgv.data());
    qInstallMessageHandler(previous);
    for (const QString &m : std::as_const(g_held))
        qWarning("%s", qPrintable(m));
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
    return TStartup::run(cmd.folder, qEnvironmentVariableIsSet("VANTOR_STARTUP_REPORT"));
}
