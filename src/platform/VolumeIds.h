#pragma once
#include <cstdint>
#include <string>
#include <unordered_map>

// File system UUIDs by the device number their files carry. udev names each
// block device that holds a file system with a UUID by a link in
// /dev/disk/by-uuid; a file system mounted straight from such a device gives
// its files that device's number (st_dev equals the device node's st_rdev).
// File systems that give their files another number (btrfs subvolumes,
// overlays, network and memory file systems) are not in the map: their
// device number is all that tells them apart.
namespace VolumeIds {
// Device number (as makedev encodes it) -> UUID, read from folder's links.
// Empty when the folder cannot be read.
std::unordered_map<uint64_t, std::string> uuidsByDevice(const std::string &folder = "/dev/disk/by-uuid");
// What one stat of a file saw: which file it is and its state, times in
// nanoseconds.
struct Stat {
    uint64_t device = 0, inode = 0;
    int64_t size = 0, modifiedNs = 0, changedNs = 0;
    bool regular = false;
};
// Stats name in the open folder without following a symbolic link; false
// (errno set) when that fails.
bool statAt(int folder, const char *name, Stat &out);
}
