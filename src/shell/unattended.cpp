#include "shell/unattended.h"

#include <csignal>

#include "core/exit_status.h"
#include "host/stop_signal.h"
#include "scripts/job_script.h"
#include "shell/startup.h"
#include "source/drives.h"
#include "source/measure.h"
#include "texts/zip_comment.h"

namespace kelvo::shell {

namespace {
int Status(Context& ctx, int status) {
  if (int signal = host::StopSignal(); signal && status != kExitComplete) {
    ctx.ui.Report(std::string("stopped by ") +
                  (signal == SIGINT    ? "SIGINT"
                   : signal == SIGTERM ? "SIGTERM"
                                       : "signal " + std::to_string(signal)) +
                  ": the zips already written stay, the one being written was discarded");
    return 128 + signal;
  }
  return status;
}
}  // namespace

namespace {
int Run(Context& ctx, RunDriver& driver, bool resume) {
  if (!ReadScript(ctx)) return Status(ctx, kExitScriptRejected);
  if (auto refusal = CheckLoadedJob(ctx)) return Status(ctx, refusal->status);
  if (!ctx.job.ZipStorageDir.empty()) ShowZipDriveFreeSpace(ctx);
  MeasureSource(ctx, true);
  if (host::StopSignal()) return Status(ctx, kExitArchiverFailed);
  return Status(ctx, resume ? driver.ResumeJob() : driver.RunJob());
}
}  // namespace

int RunUnattended(Context& ctx, RunDriver& driver, bool resume) {
  const int status = Run(ctx, driver, resume);
  // A log ends with how the run ended.
  ctx.ui.ReportProgress("Ended with status " + std::to_string(status), true);
  ctx.ui.EndProgressReport();
  return status;
}

int StartUnattended(Context& ctx, RunDriver& driver, std::string_view commandLine, bool resume) {
  texts::ReadSettingsFile(ctx);
  PrepareStart(ctx);
  CommandLineJob job = ReadCommandLine(commandLine);
  ctx.batchMode = job.batchMode;
  ctx.ScriptPath = job.scriptPath;
  return RunUnattended(ctx, driver, resume);
}

}  // namespace kelvo::shell
