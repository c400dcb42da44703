// How a batch run ends the program. Only a completed run ends with 0; every
// other ending has its own status so that a calling script can tell why.
#pragma once

namespace kelvo {

enum ExitStatus : int {
  kExitComplete = 0,        // "Ripping complete"
  kExitScriptRejected = 2,  // the script could not be read or failed its check
  kExitJobIncomplete = 3,   // a run check refused the job (missing setting, space, DIZ position)
  kExitTooManyVolumes = 4,  // more than 999 volumes estimated
  kExitArchiverFailed = 5,  // the archiver wrote no volume ("Aborted")
  kExitZipFailed = 6,       // a zip step failed or was aborted
  kExitRunError = 7,        // any other run-time error (a file or folder operation failed)
  kExitSetNotSound = 8,     // --test: a zip of the set is damaged, missing or unlike its SFV line
  kExitRecoveryFailed = 9,  // the zips are complete, their recovery files could not be made
};

}  // namespace kelvo
