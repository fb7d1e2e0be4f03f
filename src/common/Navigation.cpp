#include "common/Navigation.h"

#include <array>

namespace {
std::array<Navigation::Handler, size_t(Navigation::Target::Count)> &handlers()
{
    static std::array<Navigation::Handler, size_t(Navigation::Target::Count)> h;
    return h;
}
}

Navigation::Handler Navigation::setHandler(Target target, Handler handler)
{
    Handler old = std::move(handlers()[size_t(target)]);
    handlers()[size_t(target)] = std::move(handler);
    return old;
}

bool Navigation::isAvailable(Target target) { return bool(handlers()[size_t(target)]); }

bool Navigation::go(Target target, const Request &request)
{
    // A copy: the handler may replace itself while it runs.
    const Handler h = handlers()[size_t(target)];
    return h && h(request);
}

bool Navigation::viewFile(QObject *from, const std::string &file)
{
    return go(Target::ViewFile, {from, file, {}, {}});
}

bool Navigation::showDetails(QObject *from, const std::string &file)
{
    return go(Target::FileDetails, {from, file, {}, {}});
}

bool Navigation::removeFolder(QObject *from, const std::string &folder, FolderRemovalOutcome *outcome)
{
    return go(Target::RemoveFolder, {from, folder, {}, {}, outcome});
}

bool Navigation::browseFolder(QObject *from, const std::string &folder, const QString &mask)
{
    return go(Target::BrowseFolder, {from, folder, {}, mask});
}

bool Navigation::browseToFile(QObject *from, const std::string &filePath, const QString &mask)
{
    const size_t slash = filePath.rfind('/');
    if (slash == std::string::npos || slash + 1 == filePath.size())
        return false;
    const std::string folder = slash == 0 ? std::string("/") : filePath.substr(0, slash);
    return go(Target::BrowseFolder, {from, folder, filePath.substr(slash + 1), mask});
}

bool Navigation::mapFolder(QObject *from, const std::string &folder)
{
    return go(Target::FolderMap, {from, folder, {}, {}});
}

Navigation::Registration::Registration(Target target, Handler handler)
    : target_(target), previous_(setHandler(target, std::move(handler)))
{
}

Navigation::Registration::~Registration() { setHandler(target_, std::move(previous_)); }
