#pragma once
#include <QString>
#include <string>
#include <vector>

// The list file folders.txt in the settings folder: one folder per line, each
// a full path ending in "/", in ascending order without regard to case. An
// empty list is never written; the file is removed instead.
namespace FoldersFile {
// Paths::settingsFile("folders.txt").
std::string path();
enum class State { Read, Missing, Unreadable };
// Reads the folders (lines without their ends; CR LF is accepted, empty lines
// are skipped, a missing trailing "/" is added). Missing when the file does
// not exist; Unreadable (and no folders) when it exists but cannot be read
// whole: the list is then unknown, not empty.
State load(std::vector<std::string> &folders, const std::string &file = path());
// The same; true only when the file was read.
bool read(std::vector<std::string> &folders, const std::string &file = path());
// "Unable to read <file>": the message for a list file that exists but
// cannot be read, with the reason when it is refused unread (": it is not a
// regular file", ": it is larger than 64 MB").
QString unreadableText(const std::string &file = path());
// Sorts the folders and replaces the file atomically, or removes it when the
// list is empty, under the file's lock. False when that failed or when the
// existing file cannot be read (the old file is then unchanged).
bool write(std::vector<std::string> folders, const std::string &file = path());

// The comparison key of a path: upper case (Unicode for valid UTF-8, else
// a to z only), runs of "/" made one. Equal keys mean the same folder
// without regard to case.
std::string caseKey(const std::string &path);
// Ascending order without regard to case; equal keys by their bytes.
void sortNoCase(std::vector<std::string> &folders);
// A folder with "/" appended when it does not end in one.
std::string withSlash(const std::string &folder);
}
