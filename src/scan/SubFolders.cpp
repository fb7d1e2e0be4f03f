#include "scan/SubFolders.h"

#include "common/FoldCompare.h"
#include "platform/DirReader.h"

#include <algorithm>

std::vector<std::string> SubFolders::list(const std::string &folder)
{
    std::vector<std::string> out;
    DirReader dir(folder);
    if (!dir.isOpen())
        return out;
    const char *name = nullptr;
    size_t length = 0;
    DirReader::Kind kind;
    while (dir.next(name, length, kind)) {
        if (name[0] == '.')
            continue;
        if (kind == DirReader::Kind::Unknown)
            kind = dir.kindOf(name);
        if (kind != DirReader::Kind::Folder)
            continue;
        // Opening it without following links also tells its file system and mount.
        DirReader child(dir, name);
        if (child.isOpen() && child.sameMount(dir))
            out.emplace_back(name, length);
    }
    std::sort(out.begin(), out.end(), [](const std::string &a, const std::string &b) {
        const int c = foldCompare(a, b);
        return c != 0 ? c < 0 : a < b;
    });
    return out;
}
