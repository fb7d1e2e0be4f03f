#pragma once
#include <string>
#include <vector>

// The list file folders.txt in the settings folder: one folder per line, each
// a full path ending in "/", in ascending order without regard to case. An
// empty list is never written; the file is removed instead.
namespace FoldersFile {
// Paths::settingsFile("folders.txt").
std::string path();
// Reads the folders (lines without their ends; CR LF is accepted, empty lines
// are skipped, a missing trailing "/" is added). False when the file does
// not exist; an existing file that cannot be read gives true and no folders.
bool read(std::vector<std::string> &folders, const std::string &file = path());
// Sorts the folders and replaces the file atomically, or removes it when the
// list is empty. False when that failed (the old file is then unchanged).
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
