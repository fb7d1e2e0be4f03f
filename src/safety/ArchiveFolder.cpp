#include "safety/ArchiveFolder.h"

#include "platform/DirReader.h"
#include "scan/WildMatch.h"

#include <algorithm>
#include <cctype>

std::vector<std::string> ArchiveFolder::archivesIn(const std::string &folder)
{
    static const WildPattern mask(QStringLiteral("Drive*.ZIP"));
    std::vector<std::string> out = DirReader::namesOfKind(
        folder, DirReader::Kind::File, [](std::string_view name) { return mask.matches(name); });
    std::sort(out.begin(), out.end());
    return out;
}

std::optional<char> ArchiveFolder::driveLetter(const std::string &archivePath)
{
    const size_t slash = archivePath.rfind('/');
    const std::string name = slash == std::string::npos ? archivePath : archivePath.substr(slash + 1);
    const size_t at = name.find("Drive-");
    if (at == std::string::npos || at + 6 >= name.size())
        return std::nullopt;
    const unsigned char c = static_cast<unsigned char>(name[at + 6]);
    if (!std::isalpha(c) || c >= 0x80)
        return std::nullopt;
    return char(std::toupper(c));
}
