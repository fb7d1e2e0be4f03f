#pragma once
#include "scan/GridLayout.h"

#include <cstdint>
#include <functional>
#include <string>

class ResultGridModel;
class WildPattern;

// What the folder browser shows of one folder: the ordinary files directly
// in it (regular files whose names do not begin with "."; folders, symbolic
// links and special files are left out) whose names match the mask, one
// grid row each, in the order the folder lists them.
namespace BrowseList {

// Six columns Modified, Time, Access, Size, Filename (marked), Type; the
// size right-aligned; texts 3 pixels in; Filename and Type share what the
// four fixed columns leave. Sort entries "Name" (checked at first),
// "Modified &Date", "&Access Date", "&Size", "&Type", whose directions flip
// before each sort.
GridLayout gridLayout();

struct Filled {
    int64_t files = 0; // rows added
    int64_t bytes = 0; // their sizes
    bool opened = false;   // the folder could be read
    bool complete = false; // every entry was looked at (keepGoing never said stop)
};

// Adds the folder's files that match mask to model (which the caller
// cleared). keepGoing is asked after every file (a window lets its events
// run there); false stops the listing, keeping the rows added so far.
Filled fill(ResultGridModel &model, const std::string &folder, const WildPattern &mask,
            const std::function<bool()> &keepGoing = {});

} // namespace BrowseList
