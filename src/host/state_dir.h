// Where the program writes what it keeps beside itself (its settings file,
// temp\, the DIZ and NFO work copies, text.tmp). Beside the executable, as
// its DOS home had it, when that folder takes a file; otherwise, as in a
// system-wide install, a per-user folder plays that part for writing while
// the tools, help and sounds are still read from the install.
#pragma once

#include <string>

namespace kelvo::host {

struct StateDir {
  std::string hostDir;  // empty when neither folder can be written
  bool perUser = false;
  std::string problem;  // why the application folder was passed over, or why both were
};

// "$XDG_DATA_HOME/kelvo32", or "~/.local/share/kelvo32" without it (an
// XDG_DATA_HOME that is not absolute is ignored, as the XDG rules say).
std::string PerUserDataDir();

// Why `hostDir` can't take a new file (found by making and removing one);
// empty when it can.
std::string WriteProblem(const std::string& hostDir);

// The application folder when it can be written, else the per-user folder
// (made, private to the user, when missing).
StateDir ChooseStateDir(const std::string& appHostDir);

}  // namespace kelvo::host
