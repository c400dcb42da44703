// A job packaged without a window ("!job.kvo" or "$job.kvo"): read the
// script, check it, show the zip drive's free space, measure the source,
// run, and give the status the program ends with (exit_status.h).
#pragma once

#include "core/context.h"
#include "run/run_driver.h"

namespace kelvo {

// ctx.batchMode and ctx.ScriptPath are set by the caller from the command
// line. A stop noted by SIGINT or SIGTERM (host::InstallStopHandlers, the
// caller's choice) ends an unfinished job with 128 + the signal's number.
int RunUnattended(Context& ctx, RunDriver& driver);

}  // namespace kelvo
