// Packages a job script unattended, as "!job.kvo" does, without a window:
// the benchmarks time the whole run with it.
//   kelvo_batch '!c:\jobs\demo.kvo' [--comment c:\comment.txt]
// Prints the peak memory of this process (not of the tools it runs) to
// stderr and exits with the batch status.
#include <sys/resource.h>

#include <cstdio>
#include <string>

#include "core/context.h"
#include "core/quiet_ui.h"
#include "host/command_runner.h"
#include "host/host_config.h"
#include "host/stop_signal.h"
#include "run/run_driver.h"
#include "run/unattended.h"

int main(int argc, char** argv) {
  kelvo::host::InstallStopHandlers();
  std::string commandLine, comment;
  for (int i = 1; i < argc; ++i) {
    std::string arg = argv[i];
    if (arg == "--comment" && i + 1 < argc) {
      comment = argv[++i];
    } else {
      commandLine += (commandLine.empty() ? "" : " ") + arg;
    }
  }
  if (commandLine.size() < 2 || (commandLine[0] != '!' && commandLine[0] != '$')) {
    std::fprintf(stderr, "usage: kelvo_batch '!c:\\job.kvo' [--comment c:\\comment.txt]\n");
    return 64;
  }
  kelvo::host::HostConfig config = kelvo::host::LoadHostConfig(KELVO_APP_DIR);
  kelvo::host::FileSystem fs(config.drives);
  kelvo::host::CommandRunner runner(fs, config.programs);
  kelvo::QuietUi ui(stderr);
  kelvo::SystemClock clock;
  auto appDir = config.drives.ToDos(config.appHostDir);
  if (!appDir) {
    std::fprintf(stderr, "can't map '%s': no drive holds it\n", config.appHostDir.c_str());
    return 64;
  }
  kelvo::Context ctx(fs, runner, ui, clock, *appDir);
  ctx.batchMode = commandLine[0] == '!' ? kelvo::BatchMode::Plain : kelvo::BatchMode::Dated;
  ctx.ScriptPath = commandLine.substr(1);
  if (!comment.empty()) {
    ctx.job.ZipCommentEnabled = true;
    ctx.job.ZipCommentPath = comment;
  }

  kelvo::RunDriver driver(ctx);
  int status = kelvo::RunUnattended(ctx, driver);
  rusage usage{};
  getrusage(RUSAGE_SELF, &usage);
  std::fprintf(stderr, "peak memory: %ld KiB\n", usage.ru_maxrss);
  return status;
}
