#include "app/CommandLine.h"

#include "platform/PathInfo.h"

#include <QDir>
#include <QJsonArray>
#include <QJsonObject>
#include <QLibrary>
#include <QLibraryInfo>
#include <QPluginLoader>
#include <algorithm>
#include <array>
#include <optional>
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

// Qt's options whose value is a file that Qt reads whole before the first
// window: the style sheet and the window icon.
bool namesFile(std::string_view name) { return name == "stylesheet" || name == "qwindowicon"; }

// Why a file a Qt option names cannot be handed to Qt; empty when it can.
std::string optionFileProblem(const std::string &option, const std::string &path)
{
    const std::string why = PathInfo::smallFileProblem(path, CommandLine::maxOptionFile);
    return why.empty() ? why : "option '" + option + "': '" + path + "' " + why;
}

// The names of the platforms a platform text tries in turn ("a;b:opt=x"),
// as Qt reads it: lower case, without their options.
struct PlatformSpec {
    std::string name;
    std::vector<std::string> options;
};
std::vector<PlatformSpec> platformSpecs(const std::string &text)
{
    std::vector<PlatformSpec> specs;
    const QStringList parts = QString::fromLocal8Bit(text).split(QLatin1Char(';'), Qt::SkipEmptyParts);
    for (const QString &part : parts) {
        QStringList fields = part.split(QLatin1Char(':'), Qt::SkipEmptyParts);
        if (fields.isEmpty())
            continue;
        PlatformSpec spec;
        spec.name = fields.takeFirst().toLower().toStdString();
        for (const QString &f : std::as_const(fields))
            spec.options.push_back(f.toLocal8Bit().toStdString());
        specs.push_back(std::move(spec));
    }
    return specs;
}

// The value of the last -NAME/--NAME VALUE pair of Qt's arguments; none
// when the option is not given.
std::optional<std::string> lastValue(const std::vector<std::string> &qtArguments, const std::string &name)
{
    std::optional<std::string> value;
    for (size_t i = 1; i + 1 < qtArguments.size(); ++i)
        if (qtArguments[i] == "-" + name || qtArguments[i] == "--" + name)
            value = qtArguments[++i];
    return value;
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
                if (namesFile(name))
                    if (const std::string why = optionFileProblem(arg, args[i + 1]); !why.empty())
                        return failure(why);
                result.qtArguments.push_back(arg);
                result.qtArguments.push_back(args[++i]);
                continue;
            }
            if (name.substr(0, 6) == "style=" || name.substr(0, 11) == "stylesheet=") {
                if (name.substr(0, 11) == "stylesheet=")
                    if (const std::string why = optionFileProblem(arg.substr(0, arg.find('=')), std::string(name.substr(11)));
                        !why.empty())
                        return failure(why);
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

std::vector<std::string> CommandLine::installedPlatforms(const std::vector<std::string> &qtArguments,
                                                       const std::function<std::string(const char *)> &env)
{
    // The folders Qt's plugin factory looks in for a platform.
    QStringList folders{QLibraryInfo::path(QLibraryInfo::PluginsPath) + QStringLiteral("/platforms")};
    for (const QString &p : QString::fromLocal8Bit(env("QT_PLUGIN_PATH")).split(QDir::listSeparator(), Qt::SkipEmptyParts))
        folders << p + QStringLiteral("/platforms");
    if (const std::string self = PathInfo::resolved("/proc/self/exe"); !self.empty())
        folders << QString::fromLocal8Bit(self.substr(0, self.rfind('/'))) + QStringLiteral("/platforms");
    std::string own = lastValue(qtArguments, "platformpluginpath").value_or(std::string());
    if (own.empty())
        own = env("QT_QPA_PLATFORM_PLUGIN_PATH");
    if (!own.empty())
        folders << QString::fromLocal8Bit(own);

    std::vector<std::string> keys;
    for (const QString &folder : std::as_const(folders)) {
        const QDir dir(folder);
        for (const QString &file : dir.entryList(QDir::Files)) {
            if (!QLibrary::isLibrary(file))
                continue;
            // The metadata is read from the file; the library is not loaded.
            const QJsonObject meta = QPluginLoader(dir.absoluteFilePath(file)).metaData();
            if (!meta.value(QStringLiteral("IID")).toString().startsWith(
                    QStringLiteral("org.qt-project.Qt.QPA.QPlatformIntegrationFactoryInterface")))
                continue;
            const QJsonArray names = meta.value(QStringLiteral("MetaData")).toObject().value(QStringLiteral("Keys")).toArray();
            for (const QJsonValue &k : names)
                if (const QString key = k.toString().toLower(); !key.isEmpty())
                    keys.push_back(key.toStdString());
        }
    }
    std::sort(keys.begin(), keys.end());
    keys.erase(std::unique(keys.begin(), keys.end()), keys.end());
    return keys;
}

std::string CommandLine::platformProblem(const std::vector<std::string> &qtArguments,
                                         const std::function<std::string(const char *)> &env,
                                         const std::function<std::vector<std::string>()> &installed)
{
    // Qt takes the last -platform option, else the variable (when not empty).
    const std::optional<std::string> option = lastValue(qtArguments, "platform");
    const bool byOption = option.has_value();
    const std::string text = byOption ? *option : env("QT_QPA_PLATFORM");
    if (!byOption && text.empty())
        return {};
    const std::string source = byOption ? "option '-platform'" : "QT_QPA_PLATFORM";
    const std::vector<PlatformSpec> specs = platformSpecs(text);
    if (specs.empty())
        return "vantor: " + source + " names no platform\n";
    const std::vector<std::string> known = installed();
    for (const PlatformSpec &spec : specs) {
        if (!std::binary_search(known.begin(), known.end(), spec.name))
            continue;
        // The offscreen platform reads its configuration file whole at start.
        for (const std::string &o : spec.options)
            if (o.compare(0, 11, "configfile=") == 0)
                if (const std::string why = PathInfo::smallFileProblem(o.substr(11), maxOptionFile); !why.empty())
                    return "vantor: " + source + ": the configuration file '" + o.substr(11) + "' " + why + "\n";
        return {};
    }
    std::string names, list;
    for (const PlatformSpec &spec : specs)
        names += (names.empty() ? "'" : ", '") + spec.name + "'";
    for (const std::string &k : known)
        list += (list.empty() ? "" : ", ") + k;
    return "vantor: " + source + ": Qt has no platform plugin " + names + " (installed: "
        + (list.empty() ? std::string("none") : list) + ")\n";
}
