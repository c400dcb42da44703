#include "run/run_driver.h"

#include <algorithm>
#include <cstdio>
#include <limits>

#include "core/exit_status.h"
#include "core/message_titles.h"
#include "host/dospath.h"
#include "host/host_error.h"
#include "run/archive_volumes.h"
#include "run/zip_volumes.h"
#include "texts/diz_numbering.h"

namespace kelvo {

RunDriver::RunDriver(Context& ctx) : ctx_(ctx), zip_(ctx.fs) {
  zip_.Adding = [this](const std::string& name) { ctx_.view.StatusLine = dos::Lower(name); };
  zip_.Status = [this](std::int16_t progress) {
    if (ctx_.view.Progress != progress) ctx_.view.Progress = progress;
  };
  zip_.ProcessEvents = [this] { ctx_.ui.ProcessEvents(); };
}

void RunDriver::Refuse(Panel panel, FocusBox focus) {
  if (ctx_.InBatch()) {
    ctx_.EndProgram(kExitJobIncomplete);
  } else {
    ShowPanel(ctx_.view, panel, focus);
  }
}

bool RunDriver::PassesChecks() {
  const JobSettings& job = ctx_.job;
  if (job.SaveAsZips) {
    if (job.SourcePath.empty()) return Refuse(Panel::Source), false;
    if (job.DizPath.empty()) return Refuse(Panel::Diz), false;
    if (job.DizNumbering) {
      if (job.DizColumn.empty()) return Refuse(Panel::Diz, FocusBox::DizColumn), false;
      if (job.DizLine.empty()) return Refuse(Panel::Diz, FocusBox::DizLine), false;
    }
    if (job.NfoPath.empty()) return Refuse(Panel::Nfo), false;
    if (job.ZipStorageDir.empty()) return Refuse(Panel::Zip), false;
  }
  if (job.ZipBaseName.empty()) return Refuse(Panel::Zip, FocusBox::ZipBaseName), false;
  if (job.ZipBaseName.find(' ') != std::string::npos) {
    if (!ctx_.InBatch()) {
      ctx_.ui.ShowMessage("Spaces aren't allowed in filename", kErrorTitle,
                          MessageIcon::Exclamation, MessageButtons::Ok);
    }
    return Refuse(Panel::Zip, FocusBox::ZipBaseName), false;
  }
  if (job.SaveAsZips) {
    std::string pattern = job.ZipStorageDir;
    if (!pattern.ends_with('\\')) pattern += '\\';
    pattern += job.ZipBaseName + "*";
    if (!ctx_.fs.ListFiles(pattern).empty() && !ctx_.InBatch()) {
      MessageResult answer =
          ctx_.ui.ShowMessage("Duplicate zip name in zip directory\nOverwrite?", kErrorTitle,
                              MessageIcon::Exclamation, MessageButtons::OkCancel);
      if (answer != MessageResult::Ok) return false;
    }
    // The numbering only matters for the zips' DIZ.
    if (job.DizNumbering) {
      texts::CheckDizNumbering(ctx_);
      if (!ctx_.run.DizCheckPassed) {
        if (ctx_.InBatch()) ctx_.EndProgram(kExitJobIncomplete);
        return false;
      }
    }
  }
  return true;
}

void RunDriver::RunJob() {
  // Saved before anything can fail, so that every end restores the source
  // display of this job and never that of an earlier one.
  ctx_.run.SavedSourceText = ctx_.job.SourcePath;
  if (!ctx_.InBatch()) {
    ctx_.view.CheckedMenuItem = Panel::Run;
    ctx_.view.VisiblePanel = Panel::Run;
    ctx_.view.PanelHeader = PanelHeaderText(Panel::Run);
  }
  try {
    if (!PassesChecks()) return;
    BuildAndPackage();
  } catch (const host::HostError& error) {
    ErrorEnd(error.what());
  }
}

void RunDriver::BuildAndPackage() {
  JobSettings& job = ctx_.job;
  RunState& run = ctx_.run;
  ViewState& view = ctx_.view;

  auto step = CheckVolumeEstimate(ctx_);
  if (!step) {
    if (ctx_.InBatch()) ctx_.EndProgram(kExitTooManyVolumes);
    return;
  }
  WriteSkipFile(ctx_, *step);
  MakeWorkFolder(ctx_);

  view.WindowMinimised = true;
  ctx_.ui.ProcessEvents();
  run.SavedSourceText = job.SourcePath;
  RunArchiver(ctx_, *step);

  if (ctx_.InBatch()) {
    view.VisiblePanel = Panel::Run;
    view.PanelHeader = PanelHeaderText(Panel::Run);
  }
  view.WindowMinimised = false;
  ctx_.ui.ProcessEvents();

  zip_.CompressionLevel = job.ZipExtra ? 9 : 6;
  const auto volumes = ctx_.fs.ListFiles(dos::Join(run.WorkFolder, "*.*"));
  if (volumes.empty()) {
    view.StatusLine = "Aborted";
    FinalCleanup(kExitArchiverFailed);
    return;
  }
  run.VolumeCount = static_cast<std::int16_t>(
      std::min<size_t>(volumes.size(), std::numeric_limits<std::int16_t>::max()));

  const char* kind = job.Archiver == ArchiverKind::Rar ? "Rar" : "Ace";
  if (job.SaveAsZips) {
    view.BusyPointer = true;
    ctx_.ui.ProcessEvents();
    view.NavigationBarEnabled = false;
    zip_.AbortRequest = false;  // a request left from an earlier run is stale
    if (std::int16_t result = ZipVolumes(ctx_, zip_)) {
      FailureEnd(result);
      return;
    }
  } else {
    view.CounterLine = NumberText(run.VolumeCount) + " " + kind + "'s";
  }

  view.NavigationBarEnabled = true;
  view.BusyPointer = false;
  if (!ctx_.InBatch()) {
    if (auto sound = ctx_.fs.HostPath(ctx_.AppFile("kvo.wav"))) ctx_.ui.PlaySound(*sound, false);
  }
  view.StatusLine = "Ripping complete";
  if (!job.SaveAsZips) {
    view.StatusLine += std::string("\r\r") + kind + "'s are in " + run.WorkFolder;
  }
  FinalCleanup(kExitComplete);
}

void RunDriver::ClearRunState() {
  ctx_.job.SourcePath = ctx_.run.SavedSourceText;
  ctx_.run.VolumeNumber = 0;
  ctx_.run.VolumeCount = 0;
  ctx_.run.DizCheckPassed = false;
  ctx_.run.DizTestMode = false;
}

void RunDriver::FinalCleanup(int exitStatus) {
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
  ctx_.ui.ProcessEvents();
  if (ctx_.InBatch()) ctx_.EndProgram(exitStatus);
}

void RunDriver::FailureEnd(std::int16_t zipResult) {
  ViewState& view = ctx_.view;
  view.Progress = 0;
  ClearRunState();
  if (zipResult != zip_result::kAborted) {
    // "&Abort" gave the window back itself; any other failure does so here
    // and says what went wrong.
    view.NavigationBarEnabled = true;
    view.BusyPointer = false;
    view.StatusLine = zip_.LastError();
    if (ctx_.InBatch()) std::fprintf(stderr, "%s\n", zip_.LastError().c_str());
  }
  if (ctx_.InBatch()) ctx_.EndProgram(kExitZipFailed);
}

void RunDriver::ErrorEnd(const std::string& what) {
  ViewState& view = ctx_.view;
  view.WindowMinimised = false;
  ctx_.ui.ProcessEvents();
  view.NavigationBarEnabled = true;
  view.BusyPointer = false;
  view.Progress = 0;
  view.StatusLine = what;
  ClearRunState();
  if (ctx_.InBatch()) {
    std::fprintf(stderr, "%s\n", what.c_str());
    ctx_.EndProgram(kExitRunError);
  }
}

void RunDriver::AbortRun() {
  zip_.AbortRequest = true;
  ctx_.view.NavigationBarEnabled = true;
  ctx_.view.BusyPointer = false;
  ctx_.job.SourcePath = ctx_.run.SavedSourceText;
}

void RunDriver::ExitFromRun() {
  AbortRun();
  ctx_.EndProgram(ctx_.InBatch() ? kExitZipFailed : kExitComplete);
}

}  // namespace kelvo
