#pragma once
#include <cstddef>
#include <string>
#include <vector>

// Replaces a file's whole content so that a failure at any point leaves the
// old file as it was: the new content goes to a temporary file in the same
// folder, is synced, and is then renamed over the old name (and the folder
// synced). The folder is created when missing. A new file gets mode 0644; an
// existing file keeps its mode.
namespace AtomicFile {
bool write(const std::string &path, const std::string &content);
// Reads a whole file. False when it cannot be opened or read.
bool read(const std::string &path, std::string &content);
// Reads a text file as lines: split at LF, a CR before it dropped, the last
// line kept even without its LF. False when it cannot be opened or read.
bool readLines(const std::string &path, std::vector<std::string> &lines);
// Writes all of data to an open descriptor, retrying short writes and EINTR.
bool writeAll(int fd, const char *data, size_t len);
}
