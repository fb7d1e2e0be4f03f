#pragma once
#include <QUrl>
#include <cstdint>
#include <optional>
#include <string>

namespace FileLookup {
// The size of the file at path when it exists and is not a folder (files of
// every kind count: hidden, read-only, symbolic links themselves, devices);
// nothing otherwise. Symbolic links are not followed.
std::optional<int64_t> fileSize(const std::string &path);
// A file URL for a native path held as bytes; bytes that are not UTF-8 stay
// percent-encoded, so the URL names exactly that file.
QUrl fileUrl(const std::string &path);
}
