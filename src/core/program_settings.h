// What the program keeps for its user between starts, apart from jobs: the
// window loads it from the desktop's settings store and saves it there. It
// never goes into a job script, so a script runs the same for everyone.
#pragma once

#include <map>
#include <string>

namespace kelvo {

struct ProgramSettings {
  // "&SFV": a BASE.sfv of the zips beside them after a successful run.
  bool WriteSfv = false;
  // "PAR&2": recovery files (par2) beside the zips, with this redundancy in
  // percent of the set.
  bool WriteRecovery = false;
  int RecoveryPercent = 10;
  // "NFO p&icture": the NFO drawn as BASE-nfo.png beside the zips.
  bool WriteNfoPicture = false;
  // By dialog title, the DOS folder where each dialog that has no starting
  // folder of its own was last answered.
  std::map<std::string, std::string> LastFolders;
};

}  // namespace kelvo
