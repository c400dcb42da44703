#include "host/directory_lock.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/held_elsewhere.h"
#include "support/temp_drives.h"

namespace kelvo::host {

using testing::HeldElsewhere;
using testing::TempDrives;

// The claim without waiting takes a directory only when nobody holds it,
// this process included, and tells a busy directory from one it can't lock.
TEST(DirectoryLockNoWait, TakesOnlyWhatNobodyHolds) {
  TempDrives drives;
  const std::string dir = drives.Host('c', "Kelvo001");
  std::filesystem::create_directories(dir);
  {
    DirectoryLock free(dir, DirectoryLock::NoWait{});
    EXPECT_TRUE(free.held());
    EXPECT_FALSE(free.busy());
    // While it is held, a second claim of this process finds it busy...
    DirectoryLock second(dir, DirectoryLock::NoWait{});
    EXPECT_FALSE(second.held());
    EXPECT_TRUE(second.busy());
    // ...and so does another process, which can't take it without waiting.
    pid_t pid = ::fork();
    if (pid == 0) {
      int fd = ::open(dir.c_str(), O_RDONLY | O_DIRECTORY);
      ::_exit(fd >= 0 && ::flock(fd, LOCK_EX | LOCK_NB) != 0 ? 0 : 1);
    }
    int status = -1;
    ::waitpid(pid, &status, 0);
    EXPECT_TRUE(WIFEXITED(status) && WEXITSTATUS(status) == 0);
  }
  // Let go with the object.
  EXPECT_TRUE(DirectoryLock(dir, DirectoryLock::NoWait{}).held());

  {
    HeldElsewhere other(dir);
    DirectoryLock claim(dir, DirectoryLock::NoWait{});
    EXPECT_FALSE(claim.held());
    EXPECT_TRUE(claim.busy());
  }
  // A run's own waiting lock counts as held too.
  {
    DirectoryLock run(dir, nullptr, nullptr);
    ASSERT_TRUE(run.held());
    EXPECT_TRUE(DirectoryLock(dir, DirectoryLock::NoWait{}).busy());
  }

  // Gone, or no directory at all: neither held nor busy.
  DirectoryLock gone(drives.Host('c', "Kelvo999"), DirectoryLock::NoWait{});
  EXPECT_FALSE(gone.held());
  EXPECT_FALSE(gone.busy());
  TempDrives::WriteFile(drives.Host('c', "file"), "x");
  EXPECT_FALSE(DirectoryLock(drives.Host('c', "file"), DirectoryLock::NoWait{}).held());
  std::filesystem::create_directory_symlink(dir, drives.Host('c', "link"));
  EXPECT_FALSE(DirectoryLock(drives.Host('c', "link"), DirectoryLock::NoWait{}).held());
}

}  // namespace kelvo::host
