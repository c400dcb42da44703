// The rules a job must meet, in one table: the script's load check and the
// run's own check walk the same rows in the same order, and each row ends an
// unattended run with its one status.
#pragma once

#include <optional>
#include <span>
#include <string_view>

#include "core/refusal.h"

namespace kelvo {

// The load check empties a refused field, so that the window never shows
// what can't be used; the run's check leaves the job as the user made it,
// and also tries what only writing shows (a folder that can't be written).
enum class CheckMoment { Load, Run };

// Whom a row concerns: every job, or only a job that makes zips.
enum class Scope { Job, Zips };

struct JobRule {
  std::string_view what;  // what the row checks, as the README's status table names it
  int status;
  bool onlyAtRun;  // the row writes to find out, so a load does not try it
  Scope scope;
  std::optional<Refusal> (*check)(Context& ctx);
};

std::span<const JobRule> JobRules();

// The first row the job breaks, with the row's status; nullopt when it meets
// them all. Throws HostError when a file the check needs itself fails.
std::optional<Refusal> CheckJob(Context& ctx, CheckMoment moment);

// Warnings about a job that can run: the zips may not fit the storage drive.
std::optional<std::string> FreeSpaceWarning(const Context& ctx);

}  // namespace kelvo
