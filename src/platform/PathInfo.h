#pragma once
#include <cstdint>
#include <string>

// Questions about paths on disk, kept as bytes.
namespace PathInfo {
// True when path names an existing folder (a symbolic link to one counts).
bool isFolder(const std::string &path);
// True when path names an existing entry of any kind (links are not followed).
bool exists(const std::string &path);
// The path with every symbolic link, "." and ".." resolved; empty when it
// cannot be resolved (it does not exist, or a folder on the way is denied).
std::string resolved(const std::string &path);
// The path that resolved() will give once the folders it names are made: the
// nearest existing folder above it resolved, with the missing components
// appended. Empty when nothing of it resolves.
std::string resolvedAsCreated(const std::string &path);
// The first component of path (as a path itself) that is a symbolic link or
// not a folder; empty when each one is a real folder or one is missing.
struct NotAFolder {
    std::string component;
    bool link = false;
};
NotAFolder firstNonFolder(const std::string &path);
// Removes a file, reached as AnchoredPath reaches it (no symbolic link
// followed on the way). True when it is gone afterwards (also when it never
// existed).
bool removeFile(const std::string &path);
// Removes one of the program's own files (settings, an archive it has just
// created) by its path as configured, which may pass through the user's own
// links. True when it is gone afterwards.
bool removeOwnFile(const std::string &path);
// Why path cannot be read as a small regular file: "does not exist", "is
// not a regular file" (a FIFO, a device, a folder; links are followed),
// "is larger than N bytes" or "cannot be read (reason)"; empty when it is a
// regular file of at most maxBytes that opens for reading. It is looked at
// before it is opened (opening a device can have effects of its own), and
// opened without blocking, so a FIFO never holds the caller up.
std::string smallFileProblem(const std::string &path, uint64_t maxBytes);
}
