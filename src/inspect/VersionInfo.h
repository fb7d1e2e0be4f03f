#pragma once
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <map>
#include <optional>
#include <string>

// The version resource of a Windows executable or library (PE image): the
// first translation of its version block and the string values stored for
// it. Our own parser: every offset, length and count read from the file is
// checked against the data before use, the walk over nested blocks is
// bounded, and a damaged image gives no resource rather than a crash.
namespace VersionInfo {

struct Resource {
    uint16_t language = 0;  // the first translation's language identifier
    uint16_t codePage = 0;  // and its code page
    // The values of the string table of that translation, by key (the keys
    // as stored; look-ups ignore case).
    std::map<QString, QString> strings;
    QString value(const QString &key) const;
};

// Reads n bytes at offset into buf; false when they are not all there.
using ReadAt = std::function<bool(uint64_t offset, void *buf, size_t n)>;

// The resource of the image that read gives access to (size bytes long);
// nothing when it is no PE image, holds no version resource, or the
// resource has no translation table.
std::optional<Resource> fromImage(const ReadAt &read, uint64_t size);
// The same over an image held in memory.
std::optional<Resource> fromBytes(const std::string &image);
// The same over a file; nothing when it cannot be opened as a regular file.
std::optional<Resource> fromFile(const std::string &path);

// The version block alone (what the resource section's version entry holds).
std::optional<Resource> fromVersionBlock(const std::string &block);

// The eleven keys in the order they are listed, with their labels.
struct Field {
    const char *key;
    const char *label;
};
extern const Field kFields[11];

// The lines shown for a resource: label, separator, value (the copyright
// with the separator twice); the value without its leading blanks.
QStringList lines(const Resource &r, bool tabs);
}

// Replaces list with the version lines of the file at path (separator a TAB
// when tabs is set, else nothing); empty when the file has no version resource.
void versionInfoLines(const std::string &path, QStringList &list, bool tabs);
