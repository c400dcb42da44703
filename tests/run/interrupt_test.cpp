// The program's unattended run stopped by SIGTERM or SIGINT at any moment:
// it ends with 128 + the signal (or 0 when it had finished), leaves no
// temporary zip behind, and every zip it leaves is complete, comment
// included. It runs from a copy of its folder (c:\app), whose Kelvo32.ini
// remembers the comment.
#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <thread>

#include "run/zip_test_util.h"
#include "support/temp_drives.h"
#include "tools/file_tree.h"

extern char** environ;

namespace kelvo {

using testing::TempDrives;

namespace {

const std::string kComment = "\xC9\xCD\xBB comment \xB0\xB1\r\n";

// The program under test and the folder it is built in.
const std::string kProgramDir = KELVO_APP_BUILD_DIR;
const std::string kProgramName = "kelvo32";

// The program's folder copied to c:\app, with the comment remembered there.
void InstallProgram(const TempDrives& drives) {
  std::filesystem::copy(
      kProgramDir, drives.Host('c', "app"),
      std::filesystem::copy_options::recursive | std::filesystem::copy_options::overwrite_existing);
  TempDrives::WriteFile(drives.Host('c', "app/Kelvo32.ini"), "\r\n\r\n\r\nc:\\comment.txt\r\n");
}

// Starts the program on !c:\job.kvo and sends `signal` after `delay`.
int RunAndStop(const TempDrives& drives, int signal, std::chrono::milliseconds delay) {
  const pid_t pid =
      testing::StartWithDrives(drives, drives.Host('c', "app/" + kProgramName), {"!c:\\job.kvo"});
  if (pid < 0) return -1;
  // Counted from the run's start, not the program's: a loaded machine may
  // take longer to start it than any delay here.
  const auto started = std::chrono::steady_clock::now();
  while (!std::filesystem::exists(drives.Host('c', "Kelvo001")) &&
         std::chrono::steady_clock::now() - started < std::chrono::seconds(20))
    std::this_thread::sleep_for(std::chrono::milliseconds(2));
  std::this_thread::sleep_for(delay);
  ::kill(pid, signal);
  return testing::WaitForExit(pid);
}

}  // namespace

TEST(InterruptedBatchRun, LeavesNoTemporaryZipAndOnlyCompleteZips) {
  TempDrives drives;
  testing::TreeMap tree;
  for (int i = 0; i < 12; ++i)
    tree["f" + std::to_string(i) + ".bin"] = testing::NoiseBytes(1'000'000, i);
  testing::WriteTree(drives.Host('d', "src"), tree);
  TempDrives::WriteFile(drives.Host('c', "rel/file_id.diz"), "DEMO xx/xx\r\n");
  TempDrives::WriteFile(drives.Host('c', "rel/demo.nfo"), "notes\r\n");
  TempDrives::WriteFile(drives.Host('c', "comment.txt"), kComment);
  InstallProgram(drives);
  TempDrives::WriteFile(drives.Host('c', "job.kvo"),
                        "Kelvo32 script\r\nSource: d:\\src\r\nSkip: \r\n\r\n"
                        "Diz: c:\\rel\\file_id.diz\r\nAutoN: True\r\nCol: 1\r\nLin: 1\r\n"
                        "Nfo: c:\\rel\\demo.nfo\r\n 1st: 0\r\n File:False\r\n Extra:\r\n"
                        "Zip: e:\\zips\r\n name:DEMO\r\n Size: 1\r\n Solid: 0\r\n Extra: 0\r\n");
  int stopped = 0;
  for (int round = 0; round < 12; ++round) {
    std::filesystem::remove_all(drives.Host('e', "zips"));
    std::filesystem::create_directories(drives.Host('e', "zips"));
    int signal = round % 2 ? SIGINT : SIGTERM;
    int status = RunAndStop(drives, signal, std::chrono::milliseconds(20 + 25 * round));
    // A signal that comes before the handlers are in place ends the
    // program as it would any other (256 + signal here).
    ASSERT_TRUE(status == 0 || status == 128 + signal || status == 256 + signal)
        << "round " << round << ": " << status;
    if (status == 128 + signal) ++stopped;
    for (const auto& name : testing::FileNames(drives.Host('e', "zips"))) {
      ASSERT_TRUE(name.ends_with(".zip")) << "round " << round << " left " << name;
      EXPECT_EQ(testing::ZipComment(drives.Host('e', "zips/" + name)), kComment)
          << "round " << round << ": " << name;
    }
  }
  // Most rounds must really have been cut short, or this proves nothing.
  EXPECT_GE(stopped, 6);
}

}  // namespace kelvo
