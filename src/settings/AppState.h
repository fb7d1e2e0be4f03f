#pragma once
#include <QString>
#include <string>

// Program-wide values owned by the main window.
namespace AppState {
// Which mode the duplicate window opens in: true for duplicates, false for file hogs.
extern bool dupMode;
// The folder for new archives ("ZipFile"/"Path"), read at each show of the
// main window and replaced by the zip options window. Empty means the default.
extern QString defaultZipPath;
// defaultZipPath as a native path, or ~/VantorArchives when it is empty (or
// the Windows spelling "C:\" of the default).
std::string zipFolder();
}
