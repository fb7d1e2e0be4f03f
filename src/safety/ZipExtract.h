#pragma once
#include "safety/ZipArchive.h"

#include <QString>
#include <functional>
#include <optional>
#include <string>
#include <vector>

// Extracts every item of an archive below a destination folder, one item at
// a time, each streamed from the archive to disk.
//
// Nothing is written outside the destination: names that are absolute or
// climb with ".." (either separator), items that are symbolic links or
// devices, and names that pass through a symbolic link on disk are refused.
// Each file is written unnamed in its folder, checked against its recorded
// size and CRC, and only then named; an existing name is never replaced. A
// failed or aborted item leaves nothing behind; the run goes on with the
// next item.
class ZipExtract {
public:
    struct Hooks {
        // An encrypted item needs a password (the last one that worked is
        // tried first); nothing means none was given and the item fails.
        std::function<std::optional<std::string>(const ZipEntry &)> needPassword;
        // Overall progress in percent (0-100) at each piece of data and each
        // item; return true to abort the run.
        std::function<bool(int percent)> progress;
        // An item could not be extracted; reason says why.
        std::function<void(const ZipEntry &, const std::string &reason)> itemFailed;
    };

    // Files and folders are counted apart: the counts of the closing
    // message are of files.
    struct Result {
        size_t items = 0;     // files in the archive
        size_t extracted = 0; // files written
        size_t failed = 0;    // files that could not be
        size_t existing = 0;  // of those, files left out because a file of that name is there
        size_t folders = 0, foldersFailed = 0; // folder items made or found, and not
        bool aborted = false;
        std::string destinationError; // the destination could not be opened, or lacks the space
        std::string missing;          // what the archive lacked (ZipArchive::missing)
        std::string remark;           // what the reader worked around (ZipArchive::remark)
        std::string repairNote;       // how the archive was repaired (ZipArchive::repairNote)
    };

    static Result extractAll(const ZipArchive &zip, const std::string &destination, const Hooks &hooks);

    // The plain folder names of a stored name (the last one is the item's own
    // name unless the item is a folder). False with why for names that could
    // leave the destination or cannot be names on disk.
    static bool splitStoredName(const std::string &name, std::vector<std::string> &parts, std::string &why);

    // The closing message of a run: "Files were unzipped" when every item
    // was extracted from a whole archive that was never repaired, else the
    // counts (and what the archive lacked, or how it was repaired). When
    // the only failures are files already there, it says so first: they
    // were left untouched.
    static QString closingMessage(const Result &r);
    // True when the run had nothing worse to report than files already
    // there (an information, not a warning).
    static bool onlyExisting(const Result &r);
};
