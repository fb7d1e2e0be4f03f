#pragma once
#include <cstdint>
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

// Exit status for a wrong command line (also a platform that Qt has no
// plugin for).
constexpr int usageError = 2;
// The largest file a Qt option may name (-stylesheet, -qwindowicon, the
// offscreen platform's configfile): Qt reads such a file whole before the
// first window, so a FIFO or a device would hold it up for ever or fill the
// memory. parse refuses any path that is not a regular file of at most this
// size.
constexpr uint64_t maxOptionFile = 1 << 20;
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

// The platform plugins Qt can load, by the keys their metadata gives (lower
// case, sorted, each once): the plugins in "platforms" below Qt's plugin
// folder, below each QT_PLUGIN_PATH folder and below the program's own
// folder, and in the folder -platformpluginpath (else
// QT_QPA_PLATFORM_PLUGIN_PATH) names. Read from the files without loading
// them, before the application object exists.
std::vector<std::string> installedPlatforms(const std::vector<std::string> &qtArguments,
                                            const std::function<std::string(const char *)> &env);
// Why the platform that -platform (else QT_QPA_PLATFORM) names cannot
// start, decided before the application object exists (Qt ends the program
// with an abort when no platform plugin loads): one or more lines
// "vantor: ...\n" when none of the names in it ("a;b:options" tries a, then
// b) is one of installed(), or when the offscreen platform's configfile
// option names no small regular file. Empty when no platform is named or
// one may start. installed is asked only when a platform is named.
std::string platformProblem(const std::vector<std::string> &qtArguments,
                            const std::function<std::string(const char *)> &env,
                            const std::function<std::vector<std::string>()> &installed);

} // namespace CommandLine
