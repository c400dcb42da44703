// Start-up and shutdown of the program: the command line, the initial job
// values, loading a job named on the command line, and the removal of the
// exchange files at the end.
#pragma once

#include <functional>
#include <string>
#include <string_view>

#include "core/context.h"
#include "host/drive_table.h"

namespace kelvo {
class RunDriver;
}

namespace kelvo::shell {

inline constexpr const char* kVersionText = "v3.17";
// Shown when the program lies in a drive's root directory.
inline constexpr const char* kDriveRootText =
    "Kelvo32 can not be run from\r\na root directory, please reinstall.";
// The offset of the window below the screen's centre.
inline constexpr int kPlacementTwips = 1300;

struct CommandLineJob {
  BatchMode batchMode = BatchMode::None;
  std::string scriptPath;  // as written: no quotes removed, no blanks trimmed
};

// The arguments after the program name (argv[0]) joined by single spaces
// into the one command-line text.
std::string JoinArguments(int argc, const char* const* argv);
// A file manager opens a script with its host path (the desktop entry's
// "%f"); the program takes DOS paths. A path that names an existing host
// file becomes its DOS path, "!" or "$" kept; anything else stays as written.
std::string ScriptOnDrives(const std::string& commandLine, const host::DriveTable& drives);
// "!path" Plain, "$path" Dated, anything else a script to load; nothing else
// is parsed.
CommandLineJob ReadCommandLine(std::string_view commandLine);
// The script's file name for the title: after the last backslash (or
// slash, as DOS takes both); empty when there is none.
std::string ScriptFileName(std::string_view scriptPath);

// The program lies in a drive's root directory (its directory ends in '\').
bool RunsFromDriveRoot(const Context& ctx);

// "Kelvo32 v3.17", the credit line and the marquee's picture tag.
std::string MarqueeText(std::string_view versionText);

// What start-up asks of the window at its named moments.
struct StartHooks {
  std::function<void()> closeSplash;
  std::function<void()> showWindow;  // shows and repaints the main window
};

// The start-up values every mode begins with, once the settings file is
// read: marquee, work drive, compression, zip comment.
void PrepareStart(Context& ctx);

// The window's start-up after it is placed: PrepareStart, the command line,
// and a job named there loaded, checked and measured (never run: "!" and
// "$" jobs are StartUnattended's, without a window). The settings file has
// already been read (Session::ReadSettings); the window runs this through
// Session::Start, which ends it with the refresh of every figure.
void StartMainWindow(Context& ctx, std::string_view commandLine, const StartHooks& hooks);

// "E&xit" of "&File": raises the zip component's abort request and lets
// pending events run; the caller then closes the window.
void ExitProgram(Context& ctx, RunDriver& driver);

// Removes the exchange files when the window closes: the skip file, the NFO
// copy, the DIZ work copy, the size report and the numbering preview. A copy
// started from a drive root or as a second instance removes nothing.
void CleanUpAtExit(Context& ctx, bool secondInstance);

}  // namespace kelvo::shell
