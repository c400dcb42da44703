#include "run/archive_volumes.h"

#include <cstdio>

#include "core/refusal.h"
#include "host/dospath.h"
#include "host/host_error.h"
#include "run/resume.h"

namespace kelvo {

std::string WorkFolderName(char drive, int number) {
  char digits[16];
  std::snprintf(digits, sizeof digits, "%03d", number);
  return std::string(1, drive) + ":\\Kelvo" + digits;
}

std::string VolumeSwitch(ArchiverKind archiver, std::int16_t archiveSize) {
  std::int32_t n = static_cast<std::int32_t>(archiveSize) * 500;
  std::string digits = std::to_string(n);
  if (archiver == ArchiverKind::Rar) digits += "000";
  std::string volumeSwitch = "-v" + digits;
  // Size step 3 is the 1.44 MB floppy, not 1.5 MB.
  if (archiver == ArchiverKind::Rar && volumeSwitch == "-v1500000") volumeSwitch = "-v1440000";
  if (archiver == ArchiverKind::Ace && volumeSwitch == "-v1500") volumeSwitch = "-v1440";
  // RAR at size 0 reads "-v0000b" (no volumes to the stand-in); the line has
  // always carried it.
  if (archiver == ArchiverKind::Rar) volumeSwitch += "b";
  if (archiver == ArchiverKind::Ace && digits == "0") volumeSwitch.clear();
  return volumeSwitch;
}

std::string ArchiverOptions(ArchiverKind archiver, std::int16_t archiveSize,
                            std::int16_t compression) {
  return VolumeSwitch(archiver, archiveSize) + " -m" + std::to_string(compression);
}

std::string ArchiverCommandLine(ArchiverKind archiver, const std::string& options,
                                const std::string& archivePath, const std::string& source,
                                const std::string& excludeSwitch) {
  // Word for word as the lines have always read: "-y" after RAR's options but
  // before ACE's, two blanks before "-m" for ACE without volumes, and a last
  // blank without a skip list. The runner's split at blanks drops the extras.
  if (archiver == ArchiverKind::Rar)
    return "wrar.exe a -r " + options + " -y" + " " + archivePath + " " + source + " " +
           excludeSwitch;
  return "wace.pif a -r -y " + options + " " + archivePath + " " + source + " " + excludeSwitch;
}

std::optional<ArchiveStep> CheckVolumeEstimate(Context& ctx) {
  JobSettings& job = ctx.job;
  ArchiveStep step;
  step.Options = ArchiverOptions(job.Archiver, job.ArchiveSize, job.Compression);
  if (job.ArchiveSize == 0) {
    job.ThreeDigitNumbering = false;
    step.Extension = job.Archiver == ArchiverKind::Rar ? ".rar" : ".ace";
    return step;
  }
  const float estimate = EstimateJobVolumes(job);
  job.ThreeDigitNumbering = NeedsThreeDigitNumbers(estimate);
  if (job.Archiver == ArchiverKind::Rar) {
    step.Extension = job.ThreeDigitNumbering ? ".001" : ".rar";
  } else {
    step.Extension = ".ace";
  }
  if (estimate > 999.0f) {
    Present(ctx, Refusal{Panel::None, FocusBox::None, JobField::None, kVolumeLimitMessage,
                         kExitTooManyVolumes, MessageIcon::Critical, kVolumeLimitTitle});
    return std::nullopt;
  }
  return step;
}

void WriteSkipFile(Context& ctx, ArchiveStep& step) {
  if (ctx.job.SkipEntries.empty()) {
    step.ExcludeSwitch.clear();
    return;
  }
  step.ExcludeSwitch = kExcludeSwitch;
  auto writer = ctx.fs.OpenWrite(kSkipFile, host::LineWriter::Mode::Replace);
  writer->WriteLine(ctx.job.SkipEntries);
  writer->Close();
  ctx.NoteWritten(kSkipFile);
}

std::unique_ptr<host::DirectoryLock> MakeWorkFolder(Context& ctx) {
  for (int number = 1;; ++number) {
    std::string candidate = WorkFolderName(ctx.job.WorkDrive, number);
    if (ctx.fs.Exists(candidate)) continue;
    try {
      ctx.fs.MakeDir(candidate);
    } catch (const host::HostError&) {
      // Someone else took the name between the test and the make.
      if (ctx.fs.Exists(candidate)) continue;
      throw;
    }
    // Between the make and the lock another run may have found the empty
    // folder and claimed it to remove it: it is left to that run. A file
    // system without locks is used unheld.
    auto held = std::make_unique<host::DirectoryLock>(ctx.fs.RequireHostPath(candidate, "make"),
                                                      host::DirectoryLock::NoWait{});
    if (held->busy() || !ctx.fs.IsDirectory(candidate)) continue;
    ctx.run.WorkFolder = candidate;
    return held;
  }
}

std::string ArchiverLine(const Context& ctx, const ArchiveStep& step) {
  const JobSettings& job = ctx.job;
  const std::string archivePath = ctx.run.WorkFolder + "\\" + job.ZipBaseName + step.Extension;
  // RAR always takes its source quoted; for ACE a blank would split an
  // unquoted source into two arguments.
  const std::string source = job.Archiver == ArchiverKind::Rar
                                 ? "\"" + job.SourcePath + "\""
                                 : host::CommandArgument(job.SourcePath);
  return ArchiverCommandLine(job.Archiver, step.Options, archivePath, source, step.ExcludeSwitch);
}

host::ExecResult RunArchiver(Context& ctx, const ArchiveStep& step,
                             const host::WaitCallbacks& callbacks) {
  return ctx.runner.ExecCmd(ArchiverLine(ctx, step), callbacks);
}

void RemovePartialSet(Context& ctx) {
  const std::string& folder = ctx.run.WorkFolder;
  if (folder.empty() || !ctx.fs.IsDirectory(folder)) return;
  // The set's record stays: it is what lets the set be begun again.
  for (const auto& name : VolumesIn(ctx, folder)) ctx.fs.DeleteFile(dos::Join(folder, name));
}

}  // namespace kelvo
