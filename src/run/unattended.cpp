#include "run/unattended.h"

#include <csignal>

#include "core/exit_status.h"
#include "host/stop_signal.h"
#include "scripts/job_script.h"
#include "source/drives.h"
#include "source/measure.h"

namespace kelvo {

namespace {
int Status(Context& ctx, int otherwise) {
  int status = ctx.programExit.value_or(otherwise);
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

int RunUnattended(Context& ctx, RunDriver& driver) {
  if (!ReadScript(ctx)) return Status(ctx, kExitScriptRejected);
  CheckLoadedJob(ctx);
  if (!ctx.LoadCheckPassed) return Status(ctx, kExitScriptRejected);
  if (!ctx.job.ZipStorageDir.empty()) ShowZipDriveFreeSpace(ctx);
  MeasureSource(ctx, true);
  if (host::StopSignal()) return Status(ctx, kExitArchiverFailed);
  driver.RunJob();
  // Every ending of a batch run sets its status; none set is a fault.
  return Status(ctx, kExitRunError);
}

}  // namespace kelvo
