#pragma once
#include <QDateTime>
#include <QString>
#include <string>

// The archive for files of one drive, one kind of clean-up and one time:
// the archive folder (AppState::zipFolder()) joined with
// "Drive-" + letter in upper case + "-" + tag + "ddMMMyyhhmm" + ".zip"
// (the month's short name in the default locale's language, hours 0-23).
std::string zipArchivePath(const QString &tag, char driveLetter, const QDateTime &time);

// The name a file is stored under: its path relative to the root of its
// drive, with "/" separators and no leading "/". Empty when the path is not
// below root.
std::string zipStoredName(const std::string &path, const std::string &driveRoot);
