// Where the program lives and how it sees the machine: the application
// directory, and the drive and program tables with host.ini applied.
#pragma once

#include <string>
#include <vector>

#include "host/drive_table.h"
#include "host/filesystem.h"

namespace kelvo::host {

struct HostConfig {
  std::string appHostDir;  // directory of the running executable
  DriveTable drives;
  ProgramTable programs;
  // Why host.ini was left out ("ignoring '<file>': <reason>"), for the
  // caller to show.
  std::vector<std::string> warnings;
};

// The directory of the running executable (from /proc/self/exe).
std::string ExecutableDir();

// The stand-in tools installed beside the program, each the program table's
// entry for its DOS name ("wrar" for wrar.exe).
inline constexpr const char* kStandIns[] = {"wrar",    "wace",    "pkzip",   "size",
                                            "notepad", "winhelp", "webdial", "par2"};

// The default tables (the stand-in tools beside the executable), then
// host.ini in appHostDir. host.ini can name any program to run, so it is
// only read when neither it nor appHostDir can be written by anyone but
// their owner, and that owner is the running user or root; else it is left
// out with a warning. A table handed down by a parent process through
// DriveTable::kEnvVar replaces the drives, so a child maps paths exactly as
// its parent does; a malformed one throws HostError naming the bad entry.
HostConfig LoadHostConfig(const std::string& appHostDir);

// A stand-in's drives: those of its folder, or of its parent. host.ini
// warnings go to stderr when the drives come from the folder; the parent has
// shown its own. Throws HostError for a malformed handed-down table.
DriveTable ToolDrives();

// A stand-in's file system: ToolDrives(), with the working directory it was
// started in as the current DOS directory.
FileSystem ToolFileSystem();

// A desktop to show windows on: an X11 or a Wayland display is named.
bool HasDisplay();

}  // namespace kelvo::host
