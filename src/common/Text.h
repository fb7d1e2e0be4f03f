#pragma once
#include <QString>
#include <cstdint>
#include <string>
#include <string_view>

// The integer with the default locale's thousands separators and no decimals
// (1234567 gives "1,234,567" in en_US).
QString formatThousands(int64_t n);
// n with thousands separators and the noun that fits it: "1 file", "2 files".
QString countedText(int64_t n, const char *one, const char *many);

// A size in the unit that suits it, as the program writes sizes it chooses
// the unit of: multiples of 1,024 with their binary names and one decimal
// in the default locale ("976.6 KiB", "1.5 GiB"; below 1,024 "512 bytes").
QString sizeWithUnit(int64_t bytes);

// The text without leading and trailing spaces (only the space character).
QStringView trimSpaces(QStringView s);

// Field n (counted from 1) of a tab-separated line, trimmed of spaces;
// empty beyond the last field or for n < 1.
QString tabField(const QString &line, int n);

// folder, then "/" unless the folder already ends in one, then name.
std::string joinPath(const std::string &folder, const std::string &name);

// A path or name as bytes shown as text: valid UTF-8 is decoded, other bytes
// are shown as U+FFFD, control characters (tab, newline ...) as their visible
// substitutes from the Control Pictures block, so a display line never holds a
// tab or line break of its own.
QString displayName(const std::string &bytes);
// The same written at out, which has room for bytes.size() units (UTF-8
// never takes more units than bytes); gives the end of what was written.
QChar *displayNameInto(QChar *out, std::string_view bytes);

// Upper-cases a to z only, as the text sort key does.
QString asciiUpper(const QString &s);
