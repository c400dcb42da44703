// Removable and optical volumes mounted on this machine, for the drive list:
// each one gets a free drive letter from d: on.
#pragma once

#include <string>
#include <string_view>
#include <vector>

#include "host/drive_table.h"

namespace kelvo::host {

struct MountedVolume {
  std::string mountPoint;  // host directory, unescaped
  std::string label;       // its last component ("CDROM", "USB STICK")
};

// The volumes of a /proc/self/mountinfo text mounted under /media,
// /run/media or /mnt (not those directories themselves), in the order
// given, each mount point once.
std::vector<MountedVolume> RemovableVolumes(std::string_view mountinfo);

// The contents of /proc/self/mountinfo, empty when it can't be read.
std::string ReadMountInfo();

// Maps each volume whose mount point no drive holds yet to the next free
// letter from d: on, with its label; volumes beyond z: are left out.
void AddMountedVolumes(DriveTable& drives, const std::vector<MountedVolume>& volumes);

}  // namespace kelvo::host
