// A job packaged without a window ("!job.kvo" or "$job.kvo"): read the
// script, check it, show the zip drive's free space, measure the source,
// run, and give the status the program ends with (exit_status.h). Its Ui is
// the unattended one: no dialog, reasons and progress on stderr.
#pragma once

#include <string_view>

#include "core/context.h"
#include "run/run_driver.h"

namespace kelvo::shell {

// ctx.batchMode and ctx.ScriptPath are set by the caller. A stop noted by
// SIGINT or SIGTERM (host::InstallStopHandlers, the caller's choice) ends an
// unfinished job with 128 + the signal's number. With `resume` the job's
// interrupted set is finished instead (kelvo32 --resume '!job.kvo').
int RunUnattended(Context& ctx, RunDriver& driver, bool resume = false);

// The whole unattended start: the settings file, the start-up values, and
// the job of the command line ("!job.kvo" or "$job.kvo") run.
int StartUnattended(Context& ctx, RunDriver& driver, std::string_view commandLine,
                    bool resume = false);

}  // namespace kelvo::shell
