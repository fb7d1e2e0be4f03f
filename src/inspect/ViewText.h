#pragma once
#include <QString>
#include <cstdint>
#include <string>
#include <vector>

// How the viewer shows a row of a file as text.
namespace ViewText {
// The longest row text shown (in characters).
constexpr int kMaxColumns = 16384;
// The longest line text handed out for printing and copying.
constexpr int kMaxLineText = 1024;

// The text of a row's bytes: UTF-8 decoded, an invalid byte shown as U+FFFD,
// a control character as its visible picture (U+2400...). A tab becomes
// blanks up to the next multiple of tabSize when expand is set and tabSize
// is 1 or more; otherwise its picture. columns (when given) receives, for
// each byte and one past the last, the column where it is shown.
QString textRow(const std::string &bytes, bool expand, int tabSize, std::vector<int> *columns = nullptr);

// One row of the hexadecimal dump: the offset in offsetDigits hexadecimal
// digits, two blanks, up to 16 bytes as pairs of digits (an extra blank
// after the eighth), then the bytes as characters ("." for those that are
// not printable ASCII).
QString hexRow(uint64_t offset, const std::string &bytes, int offsetDigits);
// The column of byte i (0 to 16) of a hex row.
int hexColumn(int i, int offsetDigits);
// The number of offset digits for a file of size bytes (at least 8).
int hexDigits(uint64_t size);

// Printing a selection: lines from the selection's first to its last line;
// in the first, the characters before startColumn become blanks; the last
// is cut at endColumn.
std::vector<QString> selectionLines(std::vector<QString> lines, int startColumn, int endColumn);
}
