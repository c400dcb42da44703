// The archiver step of a run: the 999-volume check, the skip file, a fresh
// work folder and the archiver's command line. The run driver calls the four
// operations in order and keeps the ArchiveStep between them:
//
//   auto step = CheckVolumeEstimate(ctx);   // nullopt: refused, end the run
//   if (!step) ...
//   WriteSkipFile(ctx, *step);               // may throw host::HostError
//   auto held = MakeWorkFolder(ctx);         // sets ctx.run.WorkFolder; may throw
//   RunArchiver(ctx, *step);
//
// Whether the archiver wrote anything is judged by the caller from the work
// folder's listing, never from the archiver's exit status.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "core/context.h"
#include "core/message_titles.h"
#include "host/command_runner.h"
#include "host/directory_lock.h"

namespace kelvo {

inline constexpr const char* kSkipFile = "c:\\skip.txt";
inline constexpr const char* kExcludeSwitch = "-x@c:\\skip.txt";
// "achive" is the message's own spelling, kept word for word as users know it.
inline constexpr const char* kVolumeLimitMessage =
    "Can't have more than 999 files in the set\r"
    "Raise the achive size, or choose a source with a smaller size";

// What one operation of the step hands to the next within a run.
struct ArchiveStep {
  std::string Extension;      // ".rar", ".ace" or ".001"; from CheckVolumeEstimate
  std::string Options;        // volume switch + " -m" + level; from CheckVolumeEstimate
  std::string ExcludeSwitch;  // kExcludeSwitch or empty; from WriteSkipFile
};

// Sets VolumeBytes (unless ArchiveSize is 0) and ThreeDigitNumbering, and
// decides the archive extension and options. More than 999 estimated
// volumes: presents the limit as a refusal (a box in the window, the reason
// on stderr unattended) and returns nullopt; the caller ends the run.
std::optional<ArchiveStep> CheckVolumeEstimate(Context& ctx);

// Writes kSkipFile as SkipEntries plus one CR LF and sets the exclude switch;
// an empty list writes nothing and leaves an old file in place. Host
// failures throw host::HostError.
void WriteSkipFile(Context& ctx, ArchiveStep& step);

// Creates the first free WorkDrive:\Kelvo001 ... \Kelvo999, \Kelvo1000 ...
// and stores it in ctx.run.WorkFolder. The folder is held (the lock
// returned) for as long as the caller keeps the result, so that no other
// run takes it for an earlier run's leftover. Host failures throw
// host::HostError.
std::unique_ptr<host::DirectoryLock> MakeWorkFolder(Context& ctx);
// The name of work folder `number` on `drive`: "c:\Kelvo001", "c:\Kelvo1000".
std::string WorkFolderName(char drive, int number);

// Builds the archiver's command line and runs it, waiting for the end. The
// callbacks hear the archiver's percentages and may stop it.
host::ExecResult RunArchiver(Context& ctx, const ArchiveStep& step,
                             const host::WaitCallbacks& callbacks = {});

// Removes every file an archiver left in the run's work folder: the folder
// is the run's own, made fresh for it, so all it holds is a partial set (and
// the set's record, which stays).
void RemovePartialSet(Context& ctx);

// The pieces of the command line, for the operations above and for tests.
// The volume switch, floppy size included; empty for ACE without volumes.
std::string VolumeSwitch(ArchiverKind archiver, std::int16_t archiveSize);
// Volume switch + " -m" + the compression level.
std::string ArchiverOptions(ArchiverKind archiver, std::int16_t archiveSize,
                            std::int16_t compression);
// The whole command line; `source` is the text that the line carries.
std::string ArchiverCommandLine(ArchiverKind archiver, const std::string& options,
                                const std::string& archivePath, const std::string& source,
                                const std::string& excludeSwitch);
// The line RunArchiver runs, from the job and run state as they are now
// (for RAR, RunArchiver has quoted the source display text first).
std::string ArchiverLine(const Context& ctx, const ArchiveStep& step);

}  // namespace kelvo
