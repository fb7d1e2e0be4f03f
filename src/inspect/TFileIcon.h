#pragma once
#include <QIcon>
#include <string>

// The picture for a file: for a folder our own "DIRECTORY" picture; else
// the icon the desktop associates with the file's type, or our own
// "NOICON" picture when it has none.
QIcon fileIcon(const std::string &path);
// The two pictures of our own, by those names ("DIRECTORY", "NOICON").
QIcon ownIcon(const char *name);
