// A TestApp with helpers for byte files on DOS paths and an editor that
// records what it was started with.
#pragma once

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <chrono>
#include <cstdlib>
#include <string>
#include <thread>
#include <vector>

#include "host/text_file.h"
#include "support/temp_drives.h"
#include "texts/text_files.h"

namespace kelvo::texts {

class TextsTest : public ::testing::Test {
 protected:
  // The work-copy folder is made on first use: made here, the tests may
  // write into it before the code under test does.
  TextsTest() { WorkCopyFolder(ctx); }

  std::string Host(const std::string& dosPath) { return *app.fs.HostPath(dosPath); }
  void Write(const std::string& dosPath, const std::string& bytes) {
    testing::TempDrives::WriteFile(Host(dosPath), bytes);
  }
  std::string Read(const std::string& dosPath) {
    return testing::TempDrives::ReadFile(Host(dosPath));
  }
  // A DIZ or NFO work copy of this process.
  static std::string Work(const std::string& name) {
    return testing::WorkCopyPath("c:\\app", name);
  }
  bool Exists(const std::string& dosPath) { return testing::TempDrives::FileExists(Host(dosPath)); }
  void MakeReadOnly(const std::string& dosPath) { ::chmod(Host(dosPath).c_str(), 0444); }

  // The editor becomes the argument recorder; EditorArgs waits for its record.
  void RecordEditor() {
    app.runner.Programs().Set("notepad", std::string(KELVO_TEST_BIN_DIR) + "/argv_recorder");
    record_ = app.drives.Host('e', "editor.txt");
    ::setenv("KELVO_RECORD", record_.c_str(), 1);
    ::unsetenv("KELVO_READ_STDIN");
    ::unsetenv("KELVO_EXIT");
  }
  std::vector<std::string> EditorArgs() {
    for (int i = 0; i < 500; ++i) {
      if (testing::TempDrives::FileExists(record_)) {
        auto lines = host::SplitLines(testing::TempDrives::ReadFile(record_));
        if (!lines.empty() && lines.back().starts_with("cwd=")) {
          lines.pop_back();
          return lines;
        }
      }
      std::this_thread::sleep_for(std::chrono::milliseconds(10));
    }
    ADD_FAILURE() << "the editor was not started";
    return {};
  }
  bool EditorStarted() { return testing::TempDrives::FileExists(record_); }

  testing::TestApp app;
  Context& ctx = app.ctx;

 private:
  std::string record_;
};

}  // namespace kelvo::texts
