// A TestApp with two more drives: p: on /proc, which has no free space at
// all, and r:, an empty disc drive whose root does not exist.
#pragma once

#include <sys/statvfs.h>

#include <cstdint>
#include <string>

#include "support/temp_drives.h"

namespace kelvo::testing {

inline host::DriveTable WithOddDrives(host::DriveTable table, const std::string& root) {
  table.Map('p', "/proc");
  table.Map('r', root + "/no-disc");
  return table;
}

struct SourceApp {
  TempDrives drives;
  host::FileSystem fs{WithOddDrives(drives.table, drives.root())};
  host::CommandRunner runner{fs, drives.programs};
  ScriptedUi ui;
  FixedClock clock;
  Context ctx{fs, runner, ui, clock, "c:\\app"};

  static bool ProcHasNoFreeSpace() {
    struct statvfs vfs;
    return ::statvfs("/proc", &vfs) == 0 && vfs.f_bavail == 0;
  }
  std::uint64_t FreeOf(const std::string& drive) const { return fs.FreeBytes(drive).value(); }
};

// The whole megabytes in a free-space text (its last number), for texts
// measured on a live, shared disk.
inline long long MegabytesIn(const std::string& text) {
  size_t end = text.find_last_of("0123456789");
  size_t start = text.find_last_not_of("0123456789", end);
  return std::stoll(text.substr(start + 1, end - start));
}

}  // namespace kelvo::testing
