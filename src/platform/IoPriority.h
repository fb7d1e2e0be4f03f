#pragma once

// The I/O priority of the calling thread. A whole-drive scan's workers read
// at the lowest level of the best-effort class: their requests wait behind
// those of the programs the user is working with, yet still progress under
// sustained load (the idle class could stall a scan for as long as another
// program keeps the disk busy).
namespace IoPriority {
// false when the system refused (the scan then runs at the usual priority).
bool lowerThisThread();
}
