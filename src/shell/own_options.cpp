#include "shell/own_options.h"

#include <cstdio>
#include <string_view>

#include "core/exit_status.h"
#include "host/command_runner.h"
#include "host/host_config.h"
#include "host/host_error.h"
#include "run/test_set.h"
#include "shell/startup.h"

namespace kelvo::shell {

std::optional<OwnOption> ReadOwnOption(int argc, const char* const* argv) {
  if (argc < 2 || argv[1][0] != '-') return std::nullopt;
  const std::string_view option = argv[1];
  if (option == "--help" || option == "-h") return OwnOption::Help;
  if (option == "--version") return OwnOption::Version;
  if (option == "--test") return OwnOption::Test;
  if (option == "--repair") return OwnOption::Repair;
  if (option == "--resume") return OwnOption::Resume;
  return OwnOption::Unknown;
}

int TestSetCommand(int argc, const char* const* argv) {
  const bool repair = argc > 1 && std::string_view(argv[1]) == "--repair";
  if (argc != 3) {
    std::fprintf(stderr, "kelvo32: %s needs one path: a set's .sfv or one of its zips\n",
                 repair ? "--repair" : "--test");
    return 1;
  }
  // par2 runs through the program table, as in a run.
  std::optional<host::HostConfig> config;
  try {
    config = host::LoadHostConfig(host::ExecutableDir());
  } catch (const host::HostError& error) {
    std::fprintf(stderr, "kelvo32: %s\n", error.what());
    return 1;
  }
  host::FileSystem fs(config->drives);
  host::CommandRunner runner(fs, config->programs);
  SetTools tools{fs, runner, {}};
  std::string problem;
  const SetTest test = repair ? RepairSet(tools, argv[2], problem) : TestSet(tools, argv[2]);
  if (!problem.empty())
    std::fprintf(stderr, "kelvo32: can't repair the set: %s\n", problem.c_str());
  for (const std::string& line : SetTestLines(test))
    std::fprintf(test.refusal.empty() ? stdout : stderr, "%s\n", line.c_str());
  if (!repair && test.recovery == RecoveryState::Repairable)
    std::fprintf(stderr, "kelvo32 --repair %s repairs it\n",
                 host::CommandArgument(argv[2]).c_str());
  return test.Sound() ? kExitComplete : kExitSetNotSound;
}

std::optional<std::string> ResumeCommandLine(int argc, const char* const* argv) {
  if (argc == 3) {
    // Read as the plain batch run reads its command line.
    std::string line = JoinArguments(argc - 1, argv + 1);
    if (ReadCommandLine(line).batchMode != BatchMode::None) return line;
  }
  std::fputs("kelvo32: --resume needs one job: '!JOB.kvo' or '$JOB.kvo'\n", stderr);
  return std::nullopt;
}

std::string VersionLine() {
  return std::string("Kelvo32 ") + kVersionText + "\n";
}

std::string UsageText() {
  return R"(Usage: kelvo32 [JOB.kvo]
       kelvo32 '!JOB.kvo'
       kelvo32 '$JOB.kvo'
       kelvo32 --test SET
       kelvo32 --repair SET
       kelvo32 --resume '!JOB.kvo'
       kelvo32 --help | --version

Packages a release: a source directory, drive or CD image becomes numbered
archive volumes, each wrapped into its own numbered zip with a FILE_ID.DIZ,
an NFO, extras and a zip comment.

  JOB.kvo     opens the window with the job script loaded
  '!JOB.kvo'  packages the job unattended, without a window or a display
  '$JOB.kvo'  the same, with the date in the zip names
  --test SET  reads every zip of a set again (SET: its .sfv or any of its
              zips, a host path), holds each against the SFV and has par2
              verify the set when it has recovery files (BASE.par2); one
              line per zip, status 0 when all are sound, 8 when not
  --repair SET  has par2 rebuild the damaged or missing zips from the
              set's recovery files, then tests the set as --test does
  --resume '!JOB.kvo'
              finishes the set an interrupted run of the job left in its
              work folder: only the volumes not yet zipped are zipped, after
              the job, the source and the zips made are found unchanged;
              '$JOB.kvo' as well. Statuses as for a run; 3 when there is
              nothing of the job to resume or something has changed
  --help      prints this text
  --version   prints the version

Paths are DOS paths (d:\rel\job.kvo); a host path of an existing script is
taken too. Quote "!" and "$" for the shell.

An unattended run ends with one of these statuses, its reason on stderr:
  0  "Ripping complete": every volume made (and zipped)
  1  nothing was started (another copy runs from this folder, a drive root,
     a malformed KELVO32_DRIVES, no desktop for the window, an unknown option)
  2  the script could not be read, or the job lacks a file or setting it names
  3  a setting the run needs is wrong (a path that is no DOS name or has no
     drive, a zip directory that can't be written, a DIZ position that does
     not fit, ...); --resume: no interrupted set of the job, or its job,
     source or zips changed
  4  more than 999 volumes would be made
  5  the archiver made no volume, or the run was stopped while it waited
  6  a zip could not be written, or the run was aborted
  7  a file or folder operation failed
  8  --test: a zip of the set is damaged, missing or unlike its SFV line
  9  the zips are complete, but their recovery files (PAR2) could not be made
  130, 143  stopped by SIGINT or SIGTERM

Drives: c: is ~/.local/share/kelvo32/drive_c (the work folders and exchange
files), h: your home directory, z: the root directory; mounted CDs and USB
drives take free letters from d:. A host.ini beside the program adds or
changes letters in its [drives] section (d=/media/cdrom).
Settings: Kelvo32.ini in the program's folder (the zip comment), or in
$XDG_DATA_HOME/kelvo32 (~/.local/share/kelvo32) when that folder can't be
written, as in a system-wide install; and $XDG_CONFIG_HOME/kelvo32/kelvo32.conf
(&SFV, PAR&2 and its redundancy, the dialogs' folders, the window's place).
)";
}

}  // namespace kelvo::shell
