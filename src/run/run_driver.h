// The Kelvo command: checks the job, has the archiver build the volume set
// in a fresh work folder, wraps each volume into its zip, and reports the
// end on the run panel. One run is one call of RunJob; "&Abort" and "E&xit"
// reach it through the events the window processes while the archiver runs
// and while the zips are made.
#pragma once

#include <optional>
#include <string>
#include <vector>

#include "core/context.h"
#include "run/archive_volumes.h"
#include "run/resume.h"
#include "run/zip_component.h"
#include "run/zip_volumes.h"

namespace kelvo {

// The batch run's progress line for the archiver: "Archiving  37%".
std::string ArchiverProgressText(int percent);
// And for the recovery step: "Recovery files  37%".
std::string RecoveryProgressText(int percent);

class RunDriver {
 public:
  explicit RunDriver(Context& ctx);

  // "&Kelvo": runs the job from its checks to its clean-up, and returns
  // how it ended: the status an unattended run ends with (exit_status.h).
  // Each ending is on the run panel, and its reason also goes to the Ui's
  // report (stderr without a window).
  int RunJob();
  // "&Resume": finishes the set an interrupted run of the job left in its
  // work folder (run/resume.h), zipping only what is still missing; a
  // record that doesn't match the job, the source or the zips is refused
  // with the reason. Same statuses and endings as RunJob.
  int ResumeJob();
  // The run panel's "&Abort": the archiver or the zip step in progress
  // stops and the run ends.
  void AbortRun();
  // The run panel's "E&xit": abort, then close the program.
  void ExitFromRun();
  // Only the zip component's abort request, as "E&xit" of "&File" raises it.
  void RequestAbort() { zip_.AbortRequest = true; }

 private:
  // The job rules, then the question about zips of the same name: the
  // status of a refused job, presented; nullopt when it may run.
  std::optional<int> Refused();
  int Start(bool resume);
  int BuildAndPackage(bool resume);
  // From the volumes in the work folder to the end of a complete run.
  int PackageVolumes(VolumeSet set);
  // Runs the archiver, its percentages on the run panel, in the minimised
  // window's title and in the Ui's progress report; true when "&Abort" or
  // a close stopped it.
  bool Archive(const ArchiveStep& step);
  // The recovery files after the last zip: nullopt when they are made, else
  // the run's ending.
  std::optional<int> Recover();
  // A step's percentage in the Ui's progress report, each tenth kept.
  void ReportStep(const std::string& text, int percent, int& loggedTenth);
  // Why the archiver left no volume, for a run without a window.
  std::string NoVolumeReason() const;
  // The endings; each returns the run's status.
  int FinalCleanup(int exitStatus);
  int FailureEnd(std::int16_t zipResult);
  int ErrorEnd(const std::string& what);
  void ClearRunState();
  // Something the run leaves out or changes on purpose: a line on stderr
  // unattended; in the window one box after the run, each told once.
  void Warn(const std::string& text);
  void ShowWarnings();

  Context& ctx_;
  ZipComponent zip_;
  host::ExecResult archiver_;  // how the last archiver run went
  std::vector<std::string> warnings_;
  SetRecord record_;  // the set's record while a run makes zips
};

}  // namespace kelvo
