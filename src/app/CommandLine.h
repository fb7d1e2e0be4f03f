#pragma once
#include <functional>
#include <string>
#include <vector>

// The program's command line: vantor [--help | --version] [FOLDER], plus
// Qt's own options (-platform NAME, -style NAME ...), which are handed on to
// the application object. Parsed from the raw arguments before any window
// system is reached, so that --help, --version and mistakes are answered in a
// terminal without a display. Arguments are kept as bytes: a folder name need
// not be valid UTF-8.
namespace CommandLine {

enum class Action {
    Run,     // start the program (on folder, when one was given)
    Help,    // print helpText() on standard output, exit 0
    Version, // print versionText() on standard output, exit 0
    Error    // print error on standard error, exit 2
};

struct Parsed {
    Action action = Action::Run;
    // Run: the folder to browse, absolute with links resolved; empty for none.
    std::string folder;
    // Run: the program name followed by the Qt options and their values.
    std::vector<std::string> qtArguments;
    // Error: the message, one or more lines ending in a newline.
    std::string error;
};

// Exit status for a wrong command line.
constexpr int usageError = 2;
// Exit status when no window system can be reached.
constexpr int noDisplayError = 1;

// args as main received them, the program name first.
Parsed parse(const std::vector<std::string> &args);
std::string helpText();

// Why the window system cannot be reached, decided before the application
// object exists (Qt ends the program with an abort when no platform plugin
// starts): one line "vantor: ...\n", or empty when a platform may start. The
// platform is the -platform option's, else QT_QPA_PLATFORM's, else Qt's
// default (xcb; wayland when XDG_SESSION_TYPE says so); "a;b" tries each.
// The X11 platform needs DISPLAY (or -display), the Wayland one
// WAYLAND_DISPLAY, WAYLAND_SOCKET or the default socket in XDG_RUNTIME_DIR;
// any other platform (offscreen, vnc ...) is let through. env gives a
// variable's value (empty when unset).
std::string displayProblem(const std::vector<std::string> &qtArguments,
                           const std::function<std::string(const char *)> &env);
std::string versionText();

} // namespace CommandLine
