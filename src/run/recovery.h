// The recovery files of a set: BASE.par2 and BASE.volNN+MM.par2 beside the
// zips, made by par2 after the last zip checked out, so that a downloader
// can rebuild damaged or missing zips up to the chosen redundancy.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "core/context.h"
#include "host/command_runner.h"

namespace kelvo {

// "PAR&2" on the Zip panel and its redundancy: the program's own settings.
void SetWriteRecovery(Context& ctx, bool on);
void SetRecoveryPercent(Context& ctx, int percent);
inline constexpr int kMinRecoveryPercent = 1;
inline constexpr int kMaxRecoveryPercent = 100;

// Why recovery files can't be made on this computer (par2 missing), or
// empty; the window disables the choice with it as the reason.
std::string RecoveryToolProblem(const host::CommandRunner& runner);
// Looks once, at start-up, and keeps the answer in the view.
void NoteRecoveryTool(Context& ctx);
// Whether this run makes recovery files: chosen, and par2 there.
bool RecoveryChosen(const Context& ctx);

struct SetFile {
  std::string name;  // as it stands in the storage directory
  std::uint64_t bytes = 0;
};

// How the recovery data is cut. Blocks of a few per zip keep par2 fast (its
// work grows with the count of blocks); each recovery file holds as many
// blocks as fit in the largest zip, so that it goes where a zip goes.
struct RecoveryPlan {
  std::uint64_t blockSize = 0;  // a multiple of 4
  std::uint32_t sourceBlocks = 0;
  std::uint32_t recoveryBlocks = 0;
  std::uint32_t files = 0;
  bool operator==(const RecoveryPlan&) const = default;
};
RecoveryPlan PlanRecovery(const std::vector<SetFile>& zips, int percent);

// "BASE.par2": the index file's name for a set's base name.
std::string RecoveryIndexName(const std::string& baseName);

// The par2 command line, run in the storage directory.
std::string RecoveryCommandLine(const RecoveryPlan& plan, const std::string& indexName,
                                const std::vector<SetFile>& zips);

// Removes the set's recovery files from the storage directory (an earlier
// set's, or what a stopped step began).
void RemoveRecoveryFiles(Context& ctx);

// The run's recovery step for the run's zips: false when "&Abort" or a
// noted stop ended it, with nothing of it left. A failure removes what it
// began and throws host::HostError with the reason.
bool MakeRecoveryFiles(Context& ctx, const host::WaitCallbacks& callbacks);

}  // namespace kelvo
