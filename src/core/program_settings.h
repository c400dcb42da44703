// What the program keeps for its user between starts, apart from jobs: the
// window loads it from the desktop's settings store and saves it there. It
// never goes into a job script, so a script runs the same for everyone.
#pragma once

namespace kelvo {

struct ProgramSettings {
  // "S&FV": a BASE.sfv of the zips beside them after a successful run.
  bool WriteSfv = false;
};

}  // namespace kelvo
