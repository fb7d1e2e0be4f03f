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
// Sizes of many files in one folder, each as fileSize(folder joined with
// name) gives it: the folder is looked up once (following links in it, as a
// full path's look-up does) and each name relative to it, which spares the
// walk along the folder's path per file. When the folder cannot be found,
// none of its files exists.
class FolderSizes {
public:
    explicit FolderSizes(const std::string &folder);
    ~FolderSizes();
    FolderSizes(const FolderSizes &) = delete;
    FolderSizes &operator=(const FolderSizes &) = delete;
    std::optional<int64_t> size(const std::string &name) const;

private:
    std::string folder_;
    int fd_ = -1;
    bool missing_ = false; // the folder's look-up failed for a reason every name shares
};

// A file URL for a native path held as bytes; bytes that are not UTF-8 stay
// percent-encoded, so the URL names exactly that file.
QUrl fileUrl(const std::string &path);
}
