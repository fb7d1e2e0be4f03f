#include "platform/Removal.h"
#include "platform/AnchoredPath.h"

bool Removal::deleteFile(const std::string &path, int *error, int64_t *size)
{
    return AnchoredPath::unlink(path, error, nullptr, size);
}

int64_t Removal::entrySize(const std::string &path)
{
    FileIdentity id;
    return AnchoredPath::stat(path, id) ? id.size : -1;
}
