#include "app/CommandLine.h"

#include "platform/PathInfo.h"

#include <algorithm>
#include <array>
#include <string_view>

#ifndef VANTOR_VERSION
#define VANTOR_VERSION "unknown"
#endif

namespace {

// Qt's own options that the application object reads (and removes) itself.
constexpr std::array<std::string_view, 13> qtValueOptions{
    "platform", "platformpluginpath", "platformtheme", "plugin",  "qmljsdebugger", "qwindowgeometry", "qwindowicon",
    "qwindowtitle", "session", "display", "geometry", "style", "stylesheet"};
constexpr std::array<std::string_view, 2> qtFlagOptions{"reverse", "widgetcount"};

template <size_t N> bool listed(const std::array<std::string_view, N> &list, std::string_view name)
{
    return std::find(list.begin(), list.end(), name) != list.end();
}

CommandLine::Parsed failure(const std::string &text)
{
    CommandLine::Parsed p;
    p.action = CommandLine::Action::Error;
    p.error = "vantor: " + text + "\nTry 'vantor --help' for more information.\n";
    return p;
}

} // namespace

CommandLine::Parsed CommandLine::parse(const std::vector<std::string> &args)
{
    Parsed result;
    result.qtArguments.push_back(args.empty() ? std::string("vantor") : args.front());
    std::string given; // the folder as typed
    bool optionsEnded = false;
    for (size_t i = 1; i < args.size(); ++i) {
        const std::string &arg = args[i];
        if (!optionsEnded && arg.size() > 1 && arg[0] == '-') {
            if (arg == "--") {
                optionsEnded = true;
                continue;
            }
            if (arg == "-h" || arg == "--help") {
                result.action = Action::Help;
                return result;
            }
            if (arg == "-v" || arg == "--version") {
                result.action = Action::Version;
                return result;
            }
            // Qt takes its options with one dash or two.
            std::string_view name(arg);
            name.remove_prefix(arg.compare(0, 2, "--") == 0 ? 2 : 1);
            if (listed(qtFlagOptions, name)) {
                result.qtArguments.push_back(arg);
                continue;
            }
            if (listed(qtValueOptions, name)) {
                if (i + 1 >= args.size())
                    return failure("option '" + arg + "' needs a value");
                result.qtArguments.push_back(arg);
                result.qtArguments.push_back(args[++i]);
                continue;
            }
            if (name.substr(0, 6) == "style=" || name.substr(0, 11) == "stylesheet=") {
                result.qtArguments.push_back(arg);
                continue;
            }
            return failure("unknown option '" + arg + "'");
        }
        if (!result.folder.empty())
            return failure("only one folder can be given ('" + given + "' and '" + arg + "')");
        if (!PathInfo::isFolder(arg))
            return failure(PathInfo::exists(arg) ? "'" + arg + "' is not a folder" : "'" + arg + "': no such folder");
        result.folder = PathInfo::resolved(arg);
        if (result.folder.empty())
            return failure("'" + arg + "': the folder cannot be reached");
        given = arg;
    }
    return result;
}

std::string CommandLine::helpText()
{
    return "Usage: vantor [OPTION]... [FOLDER]\n"
           "Find duplicate, large, old and temporary files and win back disk space.\n"
           "\n"
           "With FOLDER, the folder browser opens on it once the main window is shown.\n"
           "\n"
           "Options:\n"
           "  -h, --help     show this help and exit\n"
           "  -v, --version  show the version and exit\n"
           "  --             end of options: the next argument is the folder\n"
           "\n"
           "Qt's own options, such as -platform NAME and -style NAME, are accepted too.\n"
           "\n"
           "Exit status: 0 when the program ends normally, 2 for a wrong command line.\n"
           "The manual page vantor(1) tells where the program keeps its settings,\n"
           "lists and archives; the Help button opens the program's own manual.\n";
}

std::string CommandLine::versionText()
{
    return "Vantor '95 " VANTOR_VERSION "\n";
}

std::string CommandLine::displayProblem(const std::vector<std::string> &qtArguments,
                                        const std::function<std::string(const char *)> &env)
{
    std::string platform, display;
    for (size_t i = 1; i + 1 < qtArguments.size(); ++i) {
        if (qtArguments[i] == "-platform" || qtArguments[i] == "--platform")
            platform = qtArguments[i + 1];
        else if (qtArguments[i] == "-display" || qtArguments[i] == "--display")
            display = qtArguments[i + 1];
    }
    if (platform.empty())
        platform = env("QT_QPA_PLATFORM");
    if (platform.empty())
        platform = env("XDG_SESSION_TYPE") == "wayland" ? "wayland;xcb" : "xcb";
    if (display.empty())
        display = env("DISPLAY");
    const std::string runtime = env("XDG_RUNTIME_DIR");
    const bool wayland = !env("WAYLAND_DISPLAY").empty() || !env("WAYLAND_SOCKET").empty()
        || (!runtime.empty() && PathInfo::exists(runtime + "/wayland-0"));
    // Each candidate's name, without its ":options".
    size_t from = 0;
    for (;;) {
        const size_t end = std::min(platform.find(';', from), platform.size());
        const std::string spec = platform.substr(from, end - from);
        const std::string name = spec.substr(0, spec.find(':'));
        if (name == "xcb") {
            if (!display.empty())
                return {};
        } else if (name.compare(0, 7, "wayland") == 0) {
            if (wayland)
                return {};
        } else if (!name.empty()) {
            return {};
        }
        if (end >= platform.size())
            break;
        from = end + 1;
    }
    return "vantor: no display to open windows on (neither DISPLAY nor WAYLAND_DISPLAY is set)\n";
}
