// The program's own options, read before the command line of a job and
// never part of it: "--help", "--version", "--test PATH", "--repair PATH"
// and "--resume '!JOB.kvo'". They answer without a display.
#pragma once

#include <optional>
#include <string>

namespace kelvo::shell {

enum class OwnOption { Help, Version, Test, Repair, Resume, Unknown };

// The option the first argument names, or nullopt when the arguments are a
// job's command line. Only a first argument starting with "-" is read
// here: a script path may start with "-" only after "!" or "$".
std::optional<OwnOption> ReadOwnOption(int argc, const char* const* argv);

// What "--help" prints: the job forms, the exit statuses, and where the
// settings and the drives live.
std::string UsageText();
// What "--version" prints.
std::string VersionLine();

// "--test PATH": tests the set PATH names (its .sfv or one of its zips, a
// host path), one line per zip on stdout. 0 when every zip is sound, 8 when
// not, 1 without a path. "--repair PATH" has par2 repair the set from its
// recovery files first.
int TestSetCommand(int argc, const char* const* argv);

// "--resume '!JOB.kvo'" (or '$JOB.kvo'): the job's command line, run
// unattended as a resumed set; nullopt (after saying why on stderr) when
// the argument is no batch job.
std::optional<std::string> ResumeCommandLine(int argc, const char* const* argv);

}  // namespace kelvo::shell
