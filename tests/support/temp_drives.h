// A temporary directory tree with its own drive table: c:, d:, e: map to
// sub-directories, the application directory is c:\app (host: <root>/c/app),
// and the program table points at the built stand-in tools.
#pragma once

#include <sys/types.h>

#include <memory>
#include <string>
#include <vector>

#include "core/context.h"
#include "host/command_runner.h"
#include "host/filesystem.h"
#include "support/scripted_ui.h"

namespace kelvo::testing {

class FixedClock : public Clock {
 public:
  std::tm time{};
  FixedClock();  // 7 December 1998, 21:05:09
  std::tm Now() const override { return time; }
};

class TempDrives {
 public:
  TempDrives();
  ~TempDrives();
  TempDrives(const TempDrives&) = delete;
  TempDrives& operator=(const TempDrives&) = delete;

  const std::string& root() const { return root_; }
  // Host path of drive `letter` (c, d or e) plus a relative host path.
  std::string Host(char letter, const std::string& rel = "") const;

  host::DriveTable table;
  host::ProgramTable programs;  // the stand-in tools of the build

  // Files as bytes.
  static void WriteFile(const std::string& hostPath, const std::string& bytes);
  static std::string ReadFile(const std::string& hostPath);
  static bool FileExists(const std::string& hostPath);

 private:
  std::string root_;
};

// The DOS path of a host path for a program with the default drives, where
// z: is the host's root.
std::string OnDriveZ(const std::string& hostPath);

// A small release under the host folder `root` (src/readme.txt,
// rel/file_id.diz, rel/demo.nfo and an empty zips/), and the job that
// packages it stored into zips/ as DEMO, for a program with the default drives.
JobSettings DemoRelease(const std::string& root);

// Where this process keeps a DIZ or NFO work copy of the given name, under
// an application directory (DOS path).
std::string WorkCopyPath(const std::string& appDir, const std::string& name);

// Starts `program` (a host path) with `args`, its drive table that of
// `drives`, no display and stderr to /dev/null; -1 when it can't start.
pid_t StartWithDrives(const TempDrives& drives, const std::string& program,
                      std::vector<std::string> args);
// Waits for it: its exit status, or 256 + the signal that ended it.
int WaitForExit(pid_t pid);

// TempDrives plus a file system, runner, scripted UI and a Context over them.
struct TestApp {
  TestApp();
  TempDrives drives;
  host::FileSystem fs;
  host::CommandRunner runner;
  ScriptedUi ui;
  FixedClock clock;
  Context ctx;
};

}  // namespace kelvo::testing
