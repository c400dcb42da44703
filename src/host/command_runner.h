// Runs DOS command lines: the first word is looked up in the program table,
// "command.com /c" and "command.pif /c" are interpreted here (redirections
// included), and no host shell is ever involved.
#pragma once

#include <sys/types.h>

#include <functional>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "host/drive_table.h"
#include "host/filesystem.h"

namespace kelvo::host {

// Splits by blanks, double quotes group (and are removed); backslashes are
// plain characters, so "d:\" stays a drive root. nullopt for an unbalanced
// quote.
std::optional<std::vector<std::string>> SplitCommandLine(std::string_view line);

// A command line after "command.com /c": redirections "<f", ">f", "> f",
// ">>f" anywhere outside quotes (also glued to a word, as in "/t> f").
struct InterpretedCommand {
  std::vector<std::string> words;
  std::string input, output;  // DOS paths, empty when not redirected
  bool append = false;
};
std::optional<InterpretedCommand> ParseInterpreterLine(std::string_view rest);

// A path as one argument of a command line the program builds: in double
// quotes when it holds a blank (or a redirection sign), else as it is, so
// that a path never splits or redirects. Paths holding '"' are refused
// before they get here (dospath.h).
std::string CommandArgument(std::string_view path);

struct ExecResult {
  bool started = false;    // the program was found and ran
  int exitStatus = -1;     // its exit status, or 128 + signal
  std::string error;       // why it did not start
  bool stopAsked = false;  // the wait told it to stop (a tick or a noted signal)
};

// What the caller hears while a program runs (no threads: the wait polls
// the progress pipe and the process with a short timeout).
struct WaitCallbacks {
  // Each percentage the program reports on its progress channel
  // (progress_channel.h), in order.
  std::function<void(int percent)> progress;
  // Called about every `tickMs` and after each report: the caller processes
  // its events. True asks the program to stop; it is told once (SIGTERM) and
  // the wait goes on until it has ended.
  std::function<bool()> tick;
  int tickMs = 50;
};

// What a wait does when a stop is noted (stop_signal.h): the archiver and
// the size tool are stopped; a short step that must not be cut in half (the
// comment of a finished zip) is let finish.
enum class OnStop { Kill, Finish };

class CommandRunner {
 public:
  CommandRunner(FileSystem& fs, ProgramTable programs);
  ~CommandRunner();

  // Runs the line in the current DOS directory and waits for the program to
  // end, without a time limit. A program that cannot be found or started
  // returns at once; callers that follow the DOS contract ignore the result.
  // The program runs in a process group of its own, so that a Ctrl-C at the
  // terminal reaches this program only, which then stops it as `onStop` says.
  ExecResult ExecCmd(std::string_view commandLine, OnStop onStop = OnStop::Kill);
  // The same, with a progress channel handed to the program and the caller
  // called back while it runs.
  ExecResult ExecCmd(std::string_view commandLine, const WaitCallbacks& callbacks,
                     OnStop onStop = OnStop::Kill);
  // Starts the program and returns at once (editor, help viewer, links).
  ExecResult StartDetached(std::string_view commandLine);
  // The path itself when it names something, else empty (no 8.3 names here).
  std::string GetShortFileName(std::string_view dosPath) const;

  ProgramTable& Programs() { return programs_; }
  const ProgramTable& Programs() const { return programs_; }

 private:
  ExecResult Start(std::string_view commandLine, std::optional<OnStop> wait,
                   const WaitCallbacks* callbacks = nullptr);
  void ReapDetached();

  FileSystem& fs_;
  ProgramTable programs_;
  std::vector<pid_t> detached_;
};

}  // namespace kelvo::host
