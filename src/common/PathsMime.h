#pragma once
#include <QByteArray>
#include <QString>
#include <string>
#include <vector>

class QMimeData;

// The clipboard's forms of paths (bytes), so that what is pasted names the
// files: a path is copied as the bytes the system gave, never as the text
// shown for it (a control character's visible substitute, U+FFFD).
namespace PathsMime {

// A path as text to paste into a terminal or an input line: its bytes
// decoded as Qt decodes local file names (QFile::decodeName).
QString pathText(const std::string &path);
// The file:// URI of a path: every byte but the unreserved characters and
// "/" percent-encoded, so any name (a newline, bytes that are not UTF-8)
// comes back whole.
QByteArray fileUri(const std::string &path);
// The forms file managers and text fields paste: text/plain (pathText of
// each, each followed by a line feed when asLines) and text/uri-list
// (fileUri of each, each followed by CR LF). The caller owns the result
// (QClipboard::setMimeData takes it).
QMimeData *mimeData(const std::vector<std::string> &paths, bool asLines);

} // namespace PathsMime
