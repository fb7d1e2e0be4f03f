#include "safety/RegistryFolderScan.h"

#include "platform/PathInfo.h"
#include "safety/FoldersFile.h"

bool RegistryFolderScan::acceptValue(const std::string &value)
{
    return value.size() > 3 && value[0] == '/' && value.find_first_of(";:\n\r") == std::string::npos;
}

std::string RegistryFolderScan::folderPart(const std::string &value)
{
    const auto slash = value.find_last_of('/');
    return slash == std::string::npos ? std::string() : value.substr(0, slash + 1);
}

void RegistryFolderScan::run()
{
    for (const RegistryRoot root : {RegistryRoot::LocalMachine, RegistryRoot::CurrentUser}) {
        registryDepth_ = 0;
        findpaths(root, "\\SOFTWARE");
    }
}

void RegistryFolderScan::findpaths(RegistryRoot root, const std::string &key)
{
    if (++registryDepth_ > maxDepth) {
        --registryDepth_;
        return;
    }
    if (const auto k = view_.open(root, key)) {
        for (const std::string &name : k->subKeyNames()) {
            const std::string full = key + "\\" + name;
            const auto sub = view_.open(root, full);
            if (!sub)
                continue;
            for (const std::string &v : sub->valueNames()) {
                if (const auto text = sub->readText(v))
                    take(*text);
            }
            if (sub->hasSubKeys())
                findpaths(root, full);
        }
    }
    --registryDepth_;
}

void RegistryFolderScan::take(const std::string &value)
{
    if (!acceptValue(value))
        return;
    const std::string folder = folderPart(value);
    const std::string key = FoldersFile::caseKey(folder);
    if (held_.count(key) || absent_.count(key))
        return;
    if (!PathInfo::isFolder(folder)) {
        absent_.insert(key);
        return;
    }
    held_.insert(key);
    if (onFolder)
        onFolder(folder);
}
