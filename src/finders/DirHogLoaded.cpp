#include "finders/DirHogScan.h"

#include <cmath>

// A scan read from a file takes the place of an all-folders walk: the same
// lines, texts and names, so the grid, the clipboard and the map show it
// as they show a walk.
void DirHogScan::takeFolders(FolderNames *names, const std::vector<Totals> &own, double total)
{
    FolderNames kept = std::move(names ? *names : folders_);
    begin(Mode::AllFolders);
    folders_ = std::move(kept);
    capacity = total;
    // Shares are of the scan's total, which one folder may hold whole: taken
    // of a figure just above it, such a folder has 100.00, not the "???" of
    // a folder larger than its drive.
    const double shareOf = std::nextafter(total, HUGE_VAL);
    lb2.reserve(own.size());
    for (uint32_t n = 0; n < own.size() && n < folders_.size(); ++n) {
        const Totals &t = own[n];
        // A root holding nothing at all makes no line, as in a walk.
        if (folders_.parent(n) == FolderNames::kNone && t.files == 0 && t.folders == 0 && t.bytes == 0)
            continue;
        if (int64_t(lb2.size()) >= walker_.capacity) {
            limitReached = true;
            break;
        }
        QString head = days_.line(*store_, t, shareOf);
        const uint64_t lead = leadKey(head);
        lb2.push_back({std::move(head), n, t.bytes, t.files, lead});
    }
}
