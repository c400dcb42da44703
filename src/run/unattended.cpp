#include "run/unattended.h"

#include "core/exit_status.h"
#include "host/stop_signal.h"
#include "scripts/job_script.h"
#include "source/drives.h"
#include "source/measure.h"

namespace kelvo {

namespace {
int Status(const Context& ctx, int otherwise) {
  int status = ctx.programExit.value_or(otherwise);
  if (int signal = host::StopSignal(); signal && status != kExitComplete) return 128 + signal;
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
