// The state that the operations share: the job, the view, the run, and the
// seams to the outside. One Context lives as long as the main window.
#pragma once

#include <cstdint>
#include <ctime>
#include <functional>
#include <map>
#include <optional>
#include <string>

#include "core/job_settings.h"
#include "core/program_settings.h"
#include "core/ui.h"
#include "core/view_state.h"
#include "host/command_runner.h"
#include "host/filesystem.h"

namespace kelvo {

enum class BatchMode { None, Plain, Dated };

// The run's counters and saved texts; cleared at every end of a run.
struct RunState {
  std::string WorkFolder;
  std::int16_t VolumeCount = 0;
  std::int16_t VolumeNumber = 0;
  std::string NfoCopyName;
  bool DizCheckPassed = false;
  bool DizTestMode = false;
  // A resumed set keeps the date stamp its zips were begun with.
  std::optional<std::string> DateStamp;
};

// The first three lines of the settings file, written back as they were read.
struct SettingsLines {
  std::string Line1, Line2, Line3;
};

class Clock {
 public:
  virtual ~Clock() = default;
  virtual std::tm Now() const = 0;  // local time
};

class SystemClock : public Clock {
 public:
  std::tm Now() const override;
};

struct Context {
  // `stateDir` is where the program writes what it keeps beside itself;
  // the application directory when empty.
  Context(host::FileSystem& fs, host::CommandRunner& runner, Ui& ui, const Clock& clock,
          std::string appDir, std::string stateDir = {});
  ~Context();
  Context(const Context&) = delete;
  Context& operator=(const Context&) = delete;

  JobSettings job;
  ViewState view;
  RunState run;
  SettingsLines settings;
  ProgramSettings prefs;
  // Only what it changes in what is made (the dated zip names) reads it;
  // how the user is told is the Ui's.
  BatchMode batchMode = BatchMode::None;
  std::string ScriptPath;
  bool LoadCheckPassed = false;
  bool DriveCheckSuppressed = false;

  host::FileSystem& fs;
  host::CommandRunner& runner;
  Ui& ui;
  const Clock& clock;
  const std::string appDir;  // DOS path of the application directory, no trailing '\'
  // DOS path of the folder that takes Kelvo32.ini, temp\ and text.tmp: the
  // application directory, or a per-user folder when that can't be written.
  const std::string stateDir;

  // Set when an action ends the program ("E&xit" of the run panel); the
  // window closes once that action has returned, and the program ends with
  // this status.
  std::optional<int> programExit;
  void EndProgram(int status) {
    if (!programExit) programExit = status;
  }

  // The folder of this process's DIZ and NFO work copies (under "temp"),
  // made on first use; empty until then.
  std::string WorkCopyFolder;

  // Shared files this process wrote, each by its identity when written:
  // clean-up deletes a file only while it is still the one written here, so
  // another run's file of the same name is never touched.
  void NoteWritten(const std::string& dosPath);
  void DeleteIfWritten(const std::string& dosPath);

  // appDir + "\" + name: what the install brings (tools, help, sounds).
  std::string AppFile(const std::string& name) const;
  // stateDir + "\" + name: what the program writes beside itself.
  std::string StateFile(const std::string& name) const;
  // Plays a sound file of the application directory; a missing one plays
  // nothing.
  void PlayAppSound(const std::string& name, bool wait);

 private:
  std::map<std::string, host::FileSystem::Identity> written_;
};

}  // namespace kelvo
