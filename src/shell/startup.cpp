#include "shell/startup.h"

#include <filesystem>

#include "host/dospath.h"
#include "host/host_error.h"
#include "run/archive_volumes.h"
#include "run/recovery.h"
#include "run/run_driver.h"
#include "scripts/job_script.h"
#include "source/drives.h"
#include "source/measure.h"
#include "texts/diz_numbering.h"
#include "texts/text_files.h"
#include "texts/zip_comment.h"

namespace kelvo::shell {

namespace {

constexpr const char* kMarqueeCredit = " by the Kelvo32 authors  ";
constexpr const char* kMarqueeImageTag = "<IMG 1>";
constexpr int kNormalCompression = 3;

}  // namespace

std::string JoinArguments(int argc, const char* const* argv) {
  std::string joined;
  for (int i = 1; i < argc; ++i) {
    if (i > 1) joined += ' ';
    joined += argv[i];
  }
  return joined;
}

std::string ScriptOnDrives(const std::string& commandLine, const host::DriveTable& drives) {
  const std::size_t start =
      !commandLine.empty() && (commandLine[0] == '!' || commandLine[0] == '$');
  const std::string path = commandLine.substr(start);
  std::error_code error;
  if (path.empty() || path[0] != '/' || !std::filesystem::is_regular_file(path, error))
    return commandLine;
  auto dos = drives.ToDos(path);
  return dos ? commandLine.substr(0, start) + *dos : commandLine;
}

CommandLineJob ReadCommandLine(std::string_view commandLine) {
  CommandLineJob job;
  if (commandLine.empty()) return job;
  job.scriptPath = std::string(commandLine);
  if (commandLine.front() == '$') {
    job.batchMode = BatchMode::Dated;
    job.scriptPath.erase(0, 1);
  } else if (commandLine.front() == '!') {
    job.batchMode = BatchMode::Plain;
    job.scriptPath.erase(0, 1);
  }
  return job;
}

std::string ScriptFileName(std::string_view scriptPath) {
  // The same name that ScriptWindowTitle shows.
  if (scriptPath.find_last_of("\\/") == std::string_view::npos) return {};
  return dos::FileNamePart(scriptPath);
}

bool RunsFromDriveRoot(const Context& ctx) {
  return !ctx.appDir.empty() && ctx.appDir.back() == '\\';
}

std::string MarqueeText(std::string_view versionText) {
  return "Kelvo32 " + std::string(versionText) + kMarqueeCredit + kMarqueeImageTag;
}

void PrepareStart(Context& ctx) {
  ctx.view.MarqueeText = MarqueeText(kVersionText);
  InitWorkDrive(ctx);
  ctx.job.Compression = kNormalCompression;
  texts::SetZipCommentAtStart(ctx);
  NoteRecoveryTool(ctx);
}

void StartMainWindow(Context& ctx, std::string_view commandLine, const StartHooks& hooks) {
  PrepareStart(ctx);
  CommandLineJob job = ReadCommandLine(commandLine);
  ctx.batchMode = job.batchMode;
  ctx.ScriptPath = job.scriptPath;
  if (commandLine.empty()) return;

  if (hooks.closeSplash) hooks.closeSplash();
  ctx.view.WindowTitle = ScriptWindowTitle(ctx.ScriptPath);
  if (hooks.showWindow) hooks.showWindow();
  ReadScript(ctx);
  CheckLoadedJob(ctx);
  if (!ctx.job.ZipStorageDir.empty()) ShowZipDriveFreeSpace(ctx);
  MeasureSource(ctx, true);
}

void ExitProgram(Context& ctx, RunDriver& driver) {
  driver.RequestAbort();
  ctx.ui.ProcessEvents();
}

void CleanUpAtExit(Context& ctx, bool secondInstance) {
  if (RunsFromDriveRoot(ctx) || secondInstance) return;
  // Only what this process wrote, and only while it is still the file
  // written here: another run's exchange file of the same name stays.
  ctx.DeleteIfWritten(kSkipFile);
  ctx.DeleteIfWritten(kSizeReport);
  texts::RemoveWorkCopies(ctx);
  texts::RemoveDizPreview(ctx);
}

}  // namespace kelvo::shell
