#pragma once
#include "common/DosTime.h"

#include <QString>
#include <cstdint>
#include <string>

// One file (or, when a finder asks for them, a folder or special entry) as
// the walker hands it to a finder's visitor. The walker reuses one record for
// a whole walk: a visitor copies what it keeps.
struct FoundFile {
    std::string name;        // as the file system spells it (bytes)
    int64_t size = 0;        // bytes, 64-bit
    uint8_t attributes = 0;  // FileAttr bits (platform/DirReader.h)
    DosDateTime written = 0; // local time; 0 when it cannot be converted
    bool writtenOdd = false; // the written second is odd (the stamp keeps seconds / 2)
    DosDateTime accessed = 0;
    DosDateTime created = 0; // 0 where the file system keeps no birth time
    uint64_t device = 0;     // the file system and the file on it: hard links share both
    uint64_t inode = 0;
    uint32_t links = 1;      // names the file has (a hard link's every name counts them); 1 for a folder
    // Modification and change times to the nanosecond as the walk saw them
    // (changedNs 0: not known); they tell whether the file is still in a
    // state remembered from an earlier search.
    int64_t modifiedNs = 0, changedNs = 0;

    std::string path;        // full path as found: act on the file by this
    std::string folder;      // the folder as text: a drive's root ends in "/", any other folder does not
    QString folderText;      // folder for display (displayName)
};
