#include "scripts/job_rules.h"

#include <unistd.h>

#include <array>

#include "core/skip_list.h"
#include "host/dospath.h"
#include "host/host_error.h"
#include "host/text_file.h"
#include "texts/diz_nfo.h"
#include "texts/diz_numbering.h"

namespace kelvo {

namespace {

constexpr const char* kCrLf = "\r\n";

std::string Quoted(const std::string& path) {
  return "'" + path + "'";
}

// A field whose text is no DOS name: told in a box, cleared at load.
std::optional<Refusal> NameRefusal(std::string problem, Panel panel, JobField field,
                                   FocusBox focus = FocusBox::None) {
  if (problem.empty()) return std::nullopt;
  return Refusal{panel, focus, field, std::move(problem), 0, MessageIcon::Critical};
}

std::optional<Refusal> Missing(Panel panel, std::string reason, JobField field = JobField::None,
                               FocusBox focus = FocusBox::None) {
  return Refusal{panel, focus, field, std::move(reason)};
}

// A path the job keeps must say where it is: a relative one would be read
// from whatever the current folder is when the archiver or a zip opens it.
std::optional<Refusal> DriveRefusal(const std::string& path, const char* what, Panel panel,
                                    JobField field) {
  if (path.empty() || dos::IsAbsolute(path)) return std::nullopt;
  return Refusal{panel,
                 FocusBox::None,
                 field,
                 std::string("The ") + what + " " + Quoted(path) +
                     " names no drive: give its whole path, as d:\\folder",
                 0,
                 MessageIcon::Critical};
}

// Why an existing file can't be opened for reading, or empty.
std::string ReadProblem(const Context& ctx, const std::string& path) {
  try {
    ctx.fs.OpenRead(path);
  } catch (const host::HostError& error) {
    return error.what();
  }
  return {};
}

// Why a folder can't take a new file, found by making and removing one.
std::string WriteProblem(Context& ctx, const std::string& dir) {
  const std::string probe = dos::Join(dir, "~kelvo" + std::to_string(::getpid()) + ".tmp");
  try {
    ctx.fs.OpenWrite(probe)->Close();
    ctx.fs.DeleteFile(probe);
  } catch (const host::HostError& error) {
    return error.what();
  }
  return {};
}

// The skip entries as the list box holds them, written to "text.tmp" and
// read back up to the first empty line; the first that no longer exists, or
// empty when each still does.
std::string MissingSkipEntry(Context& ctx) {
  std::string tmp = ctx.StateFile("text.tmp");
  {
    auto out = ctx.fs.OpenWrite(tmp, host::LineWriter::Mode::Replace);
    out->WriteRaw(ctx.job.SkipEntries);
    out->WriteRaw(kCrLf);
    out->Close();
  }
  auto in = ctx.fs.OpenRead(tmp);
  std::string entry;
  while (in->Next(entry) && !entry.empty()) {
    if (!SkipEntryMatches(ctx.fs, entry)) return entry;  // "text.tmp" stays
  }
  in.reset();
  ctx.fs.DeleteFile(tmp);
  return {};
}

// The file of a text field (DIZ, NFO, comment): there and readable.
std::optional<Refusal> TextFileRefusal(Context& ctx, const std::string& path, const char* what,
                                       Panel panel, JobField field) {
  if (!ctx.fs.ExistsAsFile(path))
    return Missing(panel, std::string("The ") + what + " " + Quoted(path) + " is missing", field);
  if (std::string problem = ReadProblem(ctx, path); !problem.empty())
    return Missing(panel,
                   std::string("The ") + what + " " + Quoted(path) + " can't be read: " + problem);
  return std::nullopt;
}

// Each row's check, in the order of the table.
const std::array<JobRule, 32> kRules{{
    {"a path that is no DOS name", kExitJobIncomplete, false, Scope::Job,
     [](Context& ctx) {
       return NameRefusal(dos::PathProblem(ctx.job.SourcePath), Panel::Source, JobField::Source);
     }},
    {"no source", kExitScriptRejected, false, Scope::Job,
     [](Context& ctx) {
       return ctx.job.SourcePath.empty() ? Missing(Panel::Source, kNoSource) : std::nullopt;
     }},
    {"a path without its drive", kExitJobIncomplete, false, Scope::Job,
     [](Context& ctx) {
       return DriveRefusal(ctx.job.SourcePath, "source", Panel::Source, JobField::Source);
     }},
    {"a source that is missing or empty", kExitScriptRejected, false, Scope::Job,
     [](Context& ctx) -> std::optional<Refusal> {
       if (ctx.fs.ExistsWithDirectories(ctx.job.SourcePath)) return std::nullopt;
       return Missing(Panel::Source,
                      "The source " + Quoted(ctx.job.SourcePath) + " is missing or empty",
                      JobField::SourceAndSkip);
     }},
    {"a skip entry that matches nothing", kExitScriptRejected, false, Scope::Zips,
     [](Context& ctx) -> std::optional<Refusal> {
       // The list box counts a line after every CR LF: one entry makes two.
       if (ctx.job.SkipEntries.find(kCrLf) == std::string::npos) return std::nullopt;
       std::string missing = MissingSkipEntry(ctx);
       if (missing.empty()) return std::nullopt;
       return Missing(Panel::Skip, "The skip entry " + Quoted(missing) + " is missing",
                      JobField::SkipEntries);
     }},
    {"a path that is no DOS name", kExitJobIncomplete, false, Scope::Zips,
     [](Context& ctx) {
       return NameRefusal(dos::PathProblem(ctx.job.DizPath), Panel::Diz, JobField::Diz);
     }},
    {"no file_id.diz", kExitScriptRejected, false, Scope::Zips,
     [](Context& ctx) {
       return ctx.job.DizPath.empty() ? Missing(Panel::Diz, kNoDiz) : std::nullopt;
     }},
    {"a path without its drive", kExitJobIncomplete, false, Scope::Zips,
     [](Context& ctx) {
       return DriveRefusal(ctx.job.DizPath, "file_id.diz", Panel::Diz, JobField::Diz);
     }},
    {"a file_id.diz that is missing or can't be read", kExitScriptRejected, false, Scope::Zips,
     [](Context& ctx) {
       return TextFileRefusal(ctx, ctx.job.DizPath, "file_id.diz", Panel::Diz, JobField::Diz);
     }},
    {"an empty numbering box", kExitScriptRejected, false, Scope::Zips,
     [](Context& ctx) -> std::optional<Refusal> {
       if (!ctx.job.DizNumbering) return std::nullopt;
       if (ctx.job.DizColumn.empty())
         return Missing(Panel::Diz, kNoDizColumn, JobField::None, FocusBox::DizColumn);
       if (ctx.job.DizLine.empty())
         return Missing(Panel::Diz, kNoDizLine, JobField::None, FocusBox::DizLine);
       return std::nullopt;
     }},
    {"a path that is no DOS name", kExitJobIncomplete, false, Scope::Zips,
     [](Context& ctx) {
       return NameRefusal(dos::PathProblem(ctx.job.NfoPath), Panel::Nfo, JobField::Nfo);
     }},
    {"an nfo named file_id.diz", kExitJobIncomplete, false, Scope::Zips,
     [](Context& ctx) {
       return NameRefusal(texts::NfoNameProblem(ctx.job.NfoPath), Panel::Nfo, JobField::Nfo);
     }},
    {"no nfo", kExitScriptRejected, false, Scope::Zips,
     [](Context& ctx) {
       return ctx.job.NfoPath.empty() ? Missing(Panel::Nfo, kNoNfo) : std::nullopt;
     }},
    {"a path without its drive", kExitJobIncomplete, false, Scope::Zips,
     [](Context& ctx) { return DriveRefusal(ctx.job.NfoPath, "nfo", Panel::Nfo, JobField::Nfo); }},
    {"an nfo that is missing or can't be read", kExitScriptRejected, false, Scope::Zips,
     [](Context& ctx) {
       return TextFileRefusal(ctx, ctx.job.NfoPath, "nfo", Panel::Nfo, JobField::None);
     }},
    {"a path that is no DOS name", kExitJobIncomplete, false, Scope::Zips,
     [](Context& ctx) {
       return NameRefusal(dos::PathProblem(ctx.job.ExtraPath), Panel::Nfo, JobField::Extra);
     }},
    {"a path without its drive", kExitJobIncomplete, false, Scope::Zips,
     [](Context& ctx) {
       return DriveRefusal(ctx.job.ExtraPath, "extra", Panel::Nfo, JobField::Extra);
     }},
    {"an extra that is missing, unreadable or not of its kind", kExitScriptRejected, false,
     Scope::Zips,
     [](Context& ctx) -> std::optional<Refusal> {
       const JobSettings& job = ctx.job;
       if (job.ExtraPath.empty() || job.ExtraKind == ExtraKindChoice::None) return std::nullopt;
       const std::string& path = job.ExtraPath;
       const bool wantFile = job.ExtraKind == ExtraKindChoice::File;
       std::string reason;
       if (wantFile ? ctx.fs.IsDirectory(path) : ctx.fs.ExistsAsFile(path)) {
         reason = "The extra " + Quoted(path) + " is a " + (wantFile ? "directory" : "file") +
                  ", not a " + (wantFile ? "file" : "directory");
       } else if (wantFile ? !ctx.fs.ExistsAsFile(path)
                           : !ctx.fs.IsDirectory(path) || !ctx.fs.ExistsWithDirectories(path)) {
         reason = "The extra " + Quoted(path) + " is missing";
       } else if (wantFile) {
         if (std::string problem = ReadProblem(ctx, path); !problem.empty())
           reason = "The extra " + Quoted(path) + " can't be read: " + problem;
       }
       if (reason.empty()) return std::nullopt;
       return Missing(Panel::Nfo, reason, JobField::Extra);
     }},
    {"a path that is no DOS name", kExitJobIncomplete, false, Scope::Zips,
     [](Context& ctx) {
       return NameRefusal(dos::PathProblem(ctx.job.ZipStorageDir), Panel::Zip,
                          JobField::ZipStorage);
     }},
    {"no zip directory", kExitScriptRejected, false, Scope::Zips,
     [](Context& ctx) {
       return ctx.job.ZipStorageDir.empty() ? Missing(Panel::Zip, kNoZipStorage) : std::nullopt;
     }},
    {"a path without its drive", kExitJobIncomplete, false, Scope::Zips,
     [](Context& ctx) {
       return DriveRefusal(ctx.job.ZipStorageDir, "zip directory", Panel::Zip,
                           JobField::ZipStorage);
     }},
    {"a zip directory that is missing", kExitScriptRejected, false, Scope::Zips,
     [](Context& ctx) -> std::optional<Refusal> {
       if (ctx.fs.IsDirectory(ctx.job.ZipStorageDir)) return std::nullopt;
       return Missing(Panel::Zip,
                      "The zip directory " + Quoted(ctx.job.ZipStorageDir) + " is missing",
                      JobField::ZipStorage);
     }},
    {"a zip directory that can't be written", kExitJobIncomplete, true, Scope::Zips,
     [](Context& ctx) -> std::optional<Refusal> {
       std::string problem = WriteProblem(ctx, ctx.job.ZipStorageDir);
       if (problem.empty()) return std::nullopt;
       return Missing(Panel::Zip, "The zip directory " + Quoted(ctx.job.ZipStorageDir) +
                                      " can't be written: " + problem);
     }},
    {"a path that is no DOS name", kExitJobIncomplete, false, Scope::Zips,
     [](Context& ctx) {
       return ctx.job.ZipCommentEnabled ? NameRefusal(dos::PathProblem(ctx.job.ZipCommentPath),
                                                      Panel::Zip, JobField::None)
                                        : std::nullopt;
     }},
    {"a zip comment that is missing or can't be read", kExitScriptRejected, false, Scope::Zips,
     [](Context& ctx) {
       return ctx.job.ZipCommentEnabled ? TextFileRefusal(ctx, ctx.job.ZipCommentPath,
                                                          "zip comment", Panel::Zip, JobField::None)
                                        : std::nullopt;
     }},
    {"no zip name", kExitScriptRejected, false, Scope::Job,
     [](Context& ctx) {
       return ctx.job.ZipBaseName.empty()
                  ? Missing(Panel::Zip, kNoBaseName, JobField::None, FocusBox::ZipBaseName)
                  : std::nullopt;
     }},
    {"a zip name with a space", kExitJobIncomplete, false, Scope::Job,
     [](Context& ctx) -> std::optional<Refusal> {
       if (ctx.job.ZipBaseName.find(' ') == std::string::npos) return std::nullopt;
       return Refusal{Panel::Zip, FocusBox::ZipBaseName,   JobField::BaseName, kSpacesInBaseName,
                      0,          MessageIcon::Exclamation};
     }},
    {"a path that is no DOS name", kExitJobIncomplete, false, Scope::Job,
     [](Context& ctx) {
       return NameRefusal(dos::NameProblem(ctx.job.ZipBaseName), Panel::Zip, JobField::BaseName,
                          FocusBox::ZipBaseName);
     }},
    {"no compression level", kExitJobIncomplete, false, Scope::Job,
     [](Context& ctx) -> std::optional<Refusal> {
       // A script may leave the list with no level selected; the archiver
       // would be asked for "-m-1".
       if (ctx.job.Compression >= 0 && ctx.job.Compression <= 5) return std::nullopt;
       return Refusal{
           Panel::Zip, FocusBox::None,          JobField::None, "Choose a compression level",
           0,          MessageIcon::Exclamation};
     }},
    {"a DIZ position that does not fit", kExitJobIncomplete, false, Scope::Zips,
     [](Context& ctx) {
       // The numbering only matters for the zips' DIZ.
       return texts::CheckDizNumbering(ctx);
     }},
    {"a work drive that can't be written", kExitRunError, true, Scope::Job,
     [](Context& ctx) -> std::optional<Refusal> {
       const std::string root = std::string(1, ctx.job.WorkDrive) + ":\\";
       std::string problem = WriteProblem(ctx, root);
       if (problem.empty()) return std::nullopt;
       return Missing(Panel::Source, "The work drive " + root + " can't be written: " + problem);
     }},
    {"an application folder that can't be written", kExitRunError, true, Scope::Job,
     [](Context& ctx) -> std::optional<Refusal> {
       // The folder that plays its part for writing, when it has one.
       std::string problem = WriteProblem(ctx, ctx.stateDir);
       if (problem.empty()) return std::nullopt;
       const char* which = ctx.stateDir == ctx.appDir ? "application folder" : "per-user folder";
       return Missing(Panel::None, std::string("The ") + which + " " + ctx.stateDir +
                                       " can't be written: " + problem);
     }},
}};

}  // namespace

std::span<const JobRule> JobRules() {
  return kRules;
}

std::optional<Refusal> CheckJob(Context& ctx, CheckMoment moment) {
  for (const JobRule& rule : kRules) {
    if (rule.onlyAtRun && moment != CheckMoment::Run) continue;
    // A row about the zips' own texts and folder passes when the job makes none.
    if (rule.scope == Scope::Zips && !ctx.job.SaveAsZips) continue;
    std::optional<Refusal> refusal = rule.check(ctx);
    if (!refusal) continue;
    refusal->status = rule.status;
    if (moment == CheckMoment::Run) refusal->clear = JobField::None;
    return refusal;
  }
  return std::nullopt;
}

std::optional<std::string> FreeSpaceWarning(const Context& ctx) {
  const JobSettings& job = ctx.job;
  if (!job.SaveAsZips || job.ZipStorageDir.empty()) return std::nullopt;
  auto free = ctx.fs.FreeBytes(job.ZipStorageDir);
  // The zips hold at most what the source holds, and a measured source is
  // all the estimate knows.
  const double needed = static_cast<double>(job.SourceSize) * 1e6;
  if (!free || needed <= static_cast<double>(*free)) return std::nullopt;
  return "The zips may not fit in " + job.ZipStorageDir + ": the source holds " +
         std::to_string(static_cast<long long>(job.SourceSize)) + " MB and the drive has " +
         std::to_string(*free / 1000000) + " MB free";
}

}  // namespace kelvo
