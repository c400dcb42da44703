#include "host/state_dir.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>

#include "support/temp_drives.h"

namespace kelvo::host {

namespace {

// Sets an environment variable for one scope.
class Env {
 public:
  Env(const char* name, const char* value) : name_(name) {
    if (const char* old = std::getenv(name)) old_ = old;
    if (value)
      ::setenv(name, value, 1);
    else
      ::unsetenv(name);
  }
  ~Env() {
    if (old_)
      ::setenv(name_, old_->c_str(), 1);
    else
      ::unsetenv(name_);
  }

 private:
  const char* name_;
  std::optional<std::string> old_;
};

}  // namespace

TEST(StateDirTest, TheApplicationFolderWhenItTakesAFileElseAPrivatePerUserFolder) {
  testing::TempDrives t;
  const std::string home = t.Host('d', "home");
  const std::string app = t.Host('d', "app");
  std::filesystem::create_directories(app);
  Env noXdg("XDG_DATA_HOME", nullptr);
  Env homeEnv("HOME", home.c_str());

  StateDir chosen = ChooseStateDir(app);
  EXPECT_EQ(chosen.hostDir, app);
  EXPECT_FALSE(chosen.perUser);
  EXPECT_TRUE(std::filesystem::is_empty(app)) << "the probe is removed";

  // Even root can't make a file in /proc/1: the install is read-only here.
  chosen = ChooseStateDir("/proc/1");
  EXPECT_TRUE(chosen.perUser);
  EXPECT_EQ(chosen.hostDir, home + "/.local/share/kelvo32");
  struct stat st;
  ASSERT_EQ(::stat(chosen.hostDir.c_str(), &st), 0);
  EXPECT_EQ(st.st_mode & 0777, 0700u);
  EXPECT_NE(chosen.problem.find("'/proc/1' can't be written"), std::string::npos) << chosen.problem;

  // XDG_DATA_HOME decides where it is absolute, and only then.
  {
    Env xdg("XDG_DATA_HOME", (home + "/data").c_str());
    EXPECT_EQ(ChooseStateDir("/proc/1").hostDir, home + "/data/kelvo32");
  }
  {
    Env relative("XDG_DATA_HOME", "data");
    EXPECT_EQ(PerUserDataDir(), home + "/.local/share/kelvo32");
  }
  // Nowhere to write at all is said, with both reasons.
  Env nowhere("XDG_DATA_HOME", "/proc/1/nowhere");
  chosen = ChooseStateDir("/proc/1");
  EXPECT_TRUE(chosen.hostDir.empty());
  EXPECT_NE(chosen.problem.find("neither '/proc/1'"), std::string::npos) << chosen.problem;
}

}  // namespace kelvo::host
