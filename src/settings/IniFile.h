#pragma once
#include <QDate>
#include <QString>
#include <QStringList>
#include <cstdint>
#include <functional>
#include <stdexcept>
#include <string>

// A failed write of the settings file; what() is "Unable to write to <file>",
// reason() why, when it is known ("it is not a regular file").
class IniWriteError : public std::runtime_error {
public:
    explicit IniWriteError(const std::string &file, std::string reason = {});
    const std::string &reason() const { return reason_; }

private:
    std::string reason_;
};

// Runs write (a store of settings, or anything that stores them on its way);
// when it throws IniWriteError, shows its text (and its reason) as an error
// through dialogs() and returns false, so that a failed store is never
// passed over in silence.
bool writeOrReport(const std::function<void()> &write);

// The settings file vantor.ini in the classic initialisation-file form.
// Section and key names match without regard to case; the first of duplicate
// sections or keys is the one read. Every read and write opens the file
// afresh. Writes keep every other line of the file (its line end too) as it
// was, replace the file atomically, and hold a lock from their read to the
// replacement so that concurrent writers (two running programs) lose nothing.
class IniFile {
public:
    // The program's settings file (vantor.ini in the settings folder).
    IniFile();
    explicit IniFile(std::string path);

    const std::string &path() const { return path_; }

    // A value of at most 1023 characters, or def when the file, section or key is missing.
    QString readString(const QString &section, const QString &key, const QString &def) const;
    void writeString(const QString &section, const QString &key, const QString &value);

    // Decimal, or hexadecimal after "0x"/"0X"; def when missing or not a number
    // (or out of the 64-bit range).
    int64_t readInt(const QString &section, const QString &key, int64_t def) const;
    void writeInt(const QString &section, const QString &key, int64_t value);

    // Numbered list: "Number" and "File1" ... "File<n>". defaults when "Number" < 0.
    QStringList readList(const QString &section, const QStringList &defaults) const;
    // Writes the part of each line before its first tab; higher keys stay in the file.
    void writeList(const QString &section, const QStringList &lines);

    // Running totals of reclaimed space (section "Vantor").
    void addDeletionTotals(int64_t filesDeleted, int64_t bytesDeleted, int64_t filesRecycled,
                           int64_t bytesRecycled, const QDate &today = QDate::currentDate());
    void addZipTotals(int64_t filesZipped, int64_t bytesZipped, const QDate &today = QDate::currentDate());
    void resetTotals();

    // The user was told that the file at path is refused unread (not a
    // regular file, too large: AtomicFile::refusalOf) and is left as it is.
    // From then on a write to it while it is still refused changes nothing
    // and raises no error: the program goes on without it, as it said.
    static void refusalAnnounced(const std::string &path);

private:
    std::string load() const;
    std::string path_;
};
