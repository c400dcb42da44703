#include "run/run_driver.h"

#include <algorithm>
#include <limits>

#include "core/exit_status.h"
#include "core/message_titles.h"
#include "core/refusal.h"
#include "core/shared_files.h"
#include "host/dospath.h"
#include "host/host_error.h"
#include "host/stop_signal.h"
#include "run/archive_volumes.h"
#include "run/leftovers.h"
#include "run/recovery.h"
#include "run/zip_volumes.h"
#include "scripts/job_rules.h"
#include "source/special_files.h"
#include "texts/diz_nfo.h"
#include "texts/diz_numbering.h"

namespace kelvo {

RunDriver::RunDriver(Context& ctx) : ctx_(ctx), zip_(ctx.fs) {
  zip_.Adding = [this](const std::string& name) { ctx_.view.StatusLine = dos::Lower(name); };
  zip_.Status = [this](std::int16_t progress) {
    if (ctx_.view.Progress != progress) ctx_.view.Progress = progress;
  };
  zip_.Warning = [this](const std::string& text) { Warn(text); };
  zip_.ProcessEvents = [this] {
    ctx_.ui.ProcessEvents();
    // A stop noted by a signal handler is an "&Abort": the zip being written
    // is discarded, temporary file and all.
    if (host::StopSignal()) zip_.AbortRequest = true;
  };
}

std::optional<int> RunDriver::Refused() {
  if (auto refusal = CheckJob(ctx_, CheckMoment::Run)) {
    Present(ctx_, *refusal);
    return refusal->status;
  }
  const JobSettings& job = ctx_.job;
  if (job.SaveAsZips) {
    std::string pattern = job.ZipStorageDir;
    if (!pattern.ends_with('\\')) pattern += '\\';
    pattern += job.ZipBaseName + "*";
    // A run without a window answers Ok: its job says where the zips go.
    if (!ctx_.fs.ListFiles(pattern).empty() &&
        ctx_.ui.ShowMessage("Duplicate zip name in zip directory\nOverwrite?", kErrorTitle,
                            MessageIcon::Exclamation,
                            MessageButtons::OkCancel) != MessageResult::Ok)
      return kExitJobIncomplete;
  }
  if (auto warning = FreeSpaceWarning(ctx_)) Warn(*warning);
  return std::nullopt;
}

int RunDriver::RunJob() {
  return Start(false);
}

int RunDriver::ResumeJob() {
  return Start(true);
}

int RunDriver::Start(bool resume) {
  // A request left from an earlier run is stale; one made during this run,
  // at any point where events are processed, must stand.
  zip_.AbortRequest = false;
  ctx_.view.CheckedMenuItem = Panel::Run;
  ctx_.view.VisiblePanel = Panel::Run;
  ctx_.view.PanelHeader = PanelHeaderText(Panel::Run);
  // Nothing of an earlier run's end stays under this run's bar.
  ctx_.view.StatusLine.clear();
  ctx_.view.CurrentZipLine.clear();
  ctx_.view.CounterLine.clear();
  ctx_.view.Progress = 0;
  // A resume that is refused leaves the last run's folder shown as it was.
  if (!resume) {
    ctx_.view.LeftVolumes = {};
    ctx_.view.Resumable = false;
  }
  ctx_.run.WorkFolder.clear();
  record_ = {};
  ctx_.view.RunInProgress = true;
  ctx_.view.RunEnding = RunEnd::None;
  struct Ended {
    ViewState& view;
    ~Ended() { view.RunInProgress = false; }
  } ended{ctx_.view};
  int status = kExitRunError;
  try {
    // Held to the run's end: c:'s exchange files (the skip list, the DIZ
    // check's preview) and the storage directory's set names.
    const auto aborted = [this] { return zip_.AbortRequest; };
    auto exchange = HoldExchangeFiles(ctx_, aborted);
    auto storage = exchange && ctx_.job.SaveAsZips ? HoldZipStorage(ctx_, aborted) : nullptr;
    if (!exchange || (ctx_.job.SaveAsZips && !storage)) {
      ctx_.view.StatusLine = host::StopSignal() ? "Stopped" : "Aborted";
      ctx_.view.RunEnding = RunEnd::Aborted;
      ClearRunState();
      return kExitArchiverFailed;
    }
    RemoveZipTemporaries(ctx_);
    if (resume) {
      // The zips of the set are expected there: no question about them.
      if (auto refusal = CheckJob(ctx_, CheckMoment::Run)) {
        Present(ctx_, *refusal);
        ClearRunState();
        status = refusal->status;
      } else {
        status = BuildAndPackage(true);
      }
    } else if (auto refused = Refused()) {
      ClearRunState();
      status = *refused;
    } else {
      status = BuildAndPackage(false);
    }
  } catch (const host::HostError& error) {
    status = ErrorEnd(error.what());
  }
  ShowWarnings();
  return status;
}

void RunDriver::Warn(const std::string& text) {
  if (std::find(warnings_.begin(), warnings_.end(), text) != warnings_.end()) return;
  warnings_.push_back(text);
  ctx_.ui.Report("warning: " + text);
}

void RunDriver::ShowWarnings() {
  std::vector<std::string> warnings = std::move(warnings_);
  warnings_.clear();
  // A window that is closing shows no box; a run without a window has
  // reported each as it came.
  if (warnings.empty() || ctx_.programExit) return;
  std::string text;
  for (const auto& warning : warnings) text += (text.empty() ? "" : "\r\r") + warning;
  ctx_.ui.ShowMessage(text, kAppTitle, MessageIcon::Exclamation, MessageButtons::Ok);
}

int RunDriver::BuildAndPackage(bool resume) {
  JobSettings& job = ctx_.job;
  RunState& run = ctx_.run;
  ViewState& view = ctx_.view;

  auto step = CheckVolumeEstimate(ctx_);
  if (!step) {
    ClearRunState();
    return kExitTooManyVolumes;
  }
  if (std::string special = SpecialFilesWarning(FindSpecialFiles(ctx_.fs, job.SourcePath));
      !special.empty())
    Warn(special);
  // The window greys the choice out; a run without one says it.
  if (job.SaveAsZips && ctx_.prefs.WriteRecovery && !view.RecoveryUnavailable.empty())
    Warn(view.RecoveryUnavailable + ": the set gets no recovery files");
  std::unique_ptr<host::DirectoryLock> workFolderHeld;
  if (resume) {
    bool recorded = false;
    auto found = FindResumePoint(ctx_, &recorded);
    if (auto* refusal = std::get_if<Refusal>(&found)) {
      if (!recorded) view.Resumable = false;
      Present(ctx_, *refusal);
      ClearRunState();
      return refusal->status;
    }
    ResumePoint& point = std::get<ResumePoint>(found);
    view.LeftVolumes = {};
    view.Resumable = false;
    // Ended between a zip's record line and its volume's deletion.
    DropZippedVolumes(ctx_, point);
    workFolderHeld = std::move(point.held);
    run.WorkFolder = point.workFolder;
    record_ = std::move(point.record);
    run.DateStamp = record_.DateStamp();
    ctx_.ui.Report("resuming the set in " + run.WorkFolder);
    if (record_.HasVolumes()) {
      std::vector<std::string> volumes;
      for (const auto& volume : record_.Volumes()) volumes.push_back(volume.name);
      return PackageVolumes({std::move(volumes), std::move(point.made), {}});
    }
    // Stopped in the archiver: its partial set goes, and it runs again into
    // the same folder from a record begun anew.
    RemovePartialSet(ctx_);
    WriteSkipFile(ctx_, *step);
    record_.Restart();
  } else {
    WriteSkipFile(ctx_, *step);
    workFolderHeld = MakeWorkFolder(ctx_);
    for (const auto& warning : OfferLeftoverRemoval(ctx_)) Warn(warning);
    // Only a set of zips can be resumed: volumes without zips are the set.
    if (job.SaveAsZips) {
      record_ = SetRecord::Begin(ctx_);
      run.DateStamp = record_.DateStamp();
    }
  }

  view.WindowMinimised = true;
  ctx_.ui.ProcessEvents();
  const bool aborted = Archive(*step);

  view.WindowMinimised = false;
  ctx_.ui.ProcessEvents();
  if (host::StopSignal() || aborted) {
    // The stand-in takes its partial set with it; whatever an archiver that
    // ended harder left goes here, so that no volume of a stopped set stays.
    RemovePartialSet(ctx_);
    // Nothing is made yet: a new run does all a resume would.
    record_.Remove(ctx_);
    view.StatusLine = host::StopSignal() ? "Stopped" : "Aborted";
    view.RunEnding = RunEnd::Aborted;
    return FinalCleanup(kExitArchiverFailed);
  }

  auto volumes = VolumesIn(ctx_, run.WorkFolder);
  if (volumes.empty()) {
    // Nobody aborted: the archiver failed, whatever the line says. Running
    // it again would fail again: nothing is left to resume.
    record_.Remove(ctx_);
    view.StatusLine = "Aborted";
    view.RunEnding = RunEnd::Failed;
    ctx_.ui.Report(NoVolumeReason());
    return FinalCleanup(kExitArchiverFailed);
  }
  record_.NoteVolumes(ctx_, volumes);
  return PackageVolumes({std::move(volumes), {}, {}});
}

int RunDriver::PackageVolumes(VolumeSet set) {
  const JobSettings& job = ctx_.job;
  RunState& run = ctx_.run;
  ViewState& view = ctx_.view;
  zip_.CompressionLevel = job.ZipExtra ? 9 : 6;
  const auto& volumes = set.volumes;
  run.VolumeCount = static_cast<std::int16_t>(
      std::min<size_t>(volumes.size(), std::numeric_limits<std::int16_t>::max()));

  const char* kind = job.Archiver == ArchiverKind::Rar ? "Rar" : "Ace";
  if (job.SaveAsZips) {
    view.BusyPointer = true;
    ctx_.ui.ProcessEvents();
    view.NavigationBarEnabled = false;
    set.zipped = [this](const ZipCheck& check) { record_.NoteZip(ctx_, check); };
    if (std::int16_t result = ZipVolumes(ctx_, zip_, set)) return FailureEnd(result);
    // The set is whole: nothing is left to resume.
    record_.Remove(ctx_);
    if (RecoveryChosen(ctx_))
      if (auto ended = Recover()) return *ended;
  } else {
    view.CounterLine = NumberText(run.VolumeCount) + " " + kind + "'s";
  }

  view.NavigationBarEnabled = true;
  view.BusyPointer = false;
  ctx_.PlayAppSound("kvo.wav", false);
  view.StatusLine = "Ripping complete";
  view.RunEnding = RunEnd::Complete;
  if (!job.SaveAsZips) {
    view.StatusLine += std::string("\r\r") + kind + "'s are in " + run.WorkFolder;
  }
  return FinalCleanup(kExitComplete);
}

namespace {
std::string StepProgressText(const std::string& step, int percent) {
  std::string digits = std::to_string(percent);
  return step + " " + std::string(digits.size() < 3 ? 3 - digits.size() : 0, ' ') + digits + "%";
}
}  // namespace

std::string ArchiverProgressText(int percent) {
  return StepProgressText("Archiving", percent);
}

std::string RecoveryProgressText(int percent) {
  return StepProgressText("Recovery files", percent);
}

void RunDriver::ReportStep(const std::string& text, int percent, int& loggedTenth) {
  const bool milestone = percent / 10 != loggedTenth;
  if (milestone) loggedTenth = percent / 10;
  ctx_.ui.ReportProgress(text, milestone);
}

std::optional<int> RunDriver::Recover() {
  ViewState& view = ctx_.view;
  view.StatusLine = "Making recovery files";
  view.CurrentZipLine = RecoveryIndexName(ctx_.job.ZipBaseName);
  view.Progress = 0;
  host::WaitCallbacks callbacks;
  int loggedTenth = -1;
  callbacks.progress = [this, &view, &loggedTenth](int percent) {
    view.Progress = percent;
    ReportStep(RecoveryProgressText(percent), percent, loggedTenth);
  };
  // The window paints and takes "&Abort" while par2 works.
  callbacks.tick = [this] {
    ctx_.ui.ProcessEvents();
    return zip_.AbortRequest;
  };
  bool made = false;
  std::string failure;
  try {
    made = MakeRecoveryFiles(ctx_, callbacks);
  } catch (const host::HostError& error) {
    failure = error.what();
  }
  ctx_.ui.EndProgressReport();
  if (made) return std::nullopt;
  view.NavigationBarEnabled = true;
  view.BusyPointer = false;
  if (!failure.empty()) {
    // The zips are complete and checked: only their recovery files are not.
    view.StatusLine = failure;
    view.RunEnding = RunEnd::Failed;
    ctx_.ui.Report(failure);
    return FinalCleanup(kExitRecoveryFailed);
  }
  view.StatusLine = host::StopSignal() ? "Stopped" : "Aborted";
  view.RunEnding = RunEnd::Aborted;
  return FinalCleanup(kExitZipFailed);
}

bool RunDriver::Archive(const ArchiveStep& step) {
  ViewState& view = ctx_.view;
  archiver_ = {};
  // An "&Abort" while the window was being minimised needs no archiver.
  if (!zip_.AbortRequest) {
    host::WaitCallbacks callbacks;
    int loggedTenth = -1;
    callbacks.progress = [this, &view, &loggedTenth](int percent) {
      view.Progress = percent;
      view.TitleProgress = percent;
      ReportStep(ArchiverProgressText(percent), percent, loggedTenth);
    };
    // The window paints and takes "&Abort" and its close while 7-Zip works.
    callbacks.tick = [this] {
      ctx_.ui.ProcessEvents();
      return zip_.AbortRequest;
    };
    archiver_ = RunArchiver(ctx_, step, callbacks);
    ctx_.ui.EndProgressReport();
  }
  view.TitleProgress = -1;
  view.Progress = 0;
  return zip_.AbortRequest;
}

std::string RunDriver::NoVolumeReason() const {
  const std::string program = ctx_.job.Archiver == ArchiverKind::Rar ? "wrar.exe" : "wace.pif";
  if (!archiver_.started)
    return "can't start " + program + (archiver_.error.empty() ? "" : ": " + archiver_.error);
  return "the archiver made no volume in " + ctx_.run.WorkFolder + " (" + program +
         " ended with status " + std::to_string(archiver_.exitStatus) + ")";
}

void RunDriver::ClearRunState() {
  ctx_.run.VolumeNumber = 0;
  ctx_.run.VolumeCount = 0;
  ctx_.run.DizCheckPassed = false;
  ctx_.run.DizTestMode = false;
  ctx_.run.DateStamp.reset();
}

int RunDriver::FinalCleanup(int exitStatus) {
  ViewState& view = ctx_.view;
  view.Progress = 0;
  view.CurrentZipLine.clear();
  ctx_.ui.ProcessEvents();
  const std::string& folder = ctx_.run.WorkFolder;
  if (!folder.empty() && ctx_.fs.IsDirectory(folder)) {
    char drive = dos::DriveLetter(folder);
    ctx_.fs.ChangeDrive(drive);
    ctx_.fs.ChangeDir(std::string(1, drive) + ":\\");
    // Volumes kept on purpose (no zips) stay where the completion text says.
    if (!ctx_.fs.ExistsWithDirectories(dos::Join(folder, "*.*"))) ctx_.fs.RemoveDir(folder);
    ctx_.fs.ChangeDrive('c');
  }
  ClearRunState();
  // A finished run shows a full bar, not one that looks unstarted.
  if (exitStatus == kExitComplete) view.Progress = 100;
  ctx_.ui.ProcessEvents();
  NoteLeftVolumes(ctx_);
  return exitStatus;
}

int RunDriver::FailureEnd(std::int16_t zipResult) {
  ViewState& view = ctx_.view;
  view.Progress = 0;
  ClearRunState();
  if (zipResult == zip_result::kAborted) {
    // The zip step's last file and counter are no longer true.
    view.StatusLine = host::StopSignal() ? "Stopped" : "Aborted";
    view.RunEnding = RunEnd::Aborted;
    view.CurrentZipLine.clear();
    view.CounterLine.clear();
  } else {
    // "&Abort" gave the window back itself; any other failure does so here
    // and says what went wrong.
    view.NavigationBarEnabled = true;
    view.BusyPointer = false;
    view.StatusLine = zip_.LastError();
    view.RunEnding = RunEnd::Failed;
    ctx_.ui.Report(zip_.LastError());
  }
  NoteLeftVolumes(ctx_);
  return kExitZipFailed;
}

int RunDriver::ErrorEnd(const std::string& what) {
  ViewState& view = ctx_.view;
  view.WindowMinimised = false;
  ctx_.ui.ProcessEvents();
  view.NavigationBarEnabled = true;
  view.BusyPointer = false;
  view.Progress = 0;
  view.StatusLine = what;
  view.RunEnding = RunEnd::Failed;
  ClearRunState();
  ctx_.ui.Report(what);
  NoteLeftVolumes(ctx_);
  return kExitRunError;
}

void RunDriver::AbortRun() {
  zip_.AbortRequest = true;
  ctx_.view.NavigationBarEnabled = true;
  ctx_.view.BusyPointer = false;
}

void RunDriver::ExitFromRun() {
  AbortRun();
  // Only the window has this button: the program closes as it would.
  ctx_.EndProgram(kExitComplete);
}

}  // namespace kelvo
