#include "host/host_config.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <functional>

#include "host/host_error.h"
#include "support/temp_drives.h"

namespace kelvo::host {

namespace {

namespace fs = std::filesystem;
using testing::TempDrives;

constexpr uid_t kSomeoneElse = 65534;

// An application folder whose host.ini maps d: and sends wrar elsewhere.
struct AppFolder {
  AppFolder() {
    ::unsetenv(DriveTable::kEnvVar);
    fs::permissions(app, fs::perms(0755));
    TempDrives::WriteFile(ini, "[drives]\nd=" + t.Host('d') + "\n[programs]\nwrar=/bin/sh\n");
    fs::permissions(ini, fs::perms(0644));
  }
  TempDrives t;
  std::string app = t.Host('c', "app");
  std::string ini = app + "/host.ini";
};

bool IniWasRead(const HostConfig& config) {
  return config.drives.Root('d').has_value() && config.programs.Resolve("wrar") == "/bin/sh";
}

}  // namespace

TEST(HostIni, IsReadOnlyWhenNoOneButItsOwnerCanChangeIt) {
  {
    AppFolder f;
    HostConfig config = LoadHostConfig(f.app);
    EXPECT_TRUE(IniWasRead(config));
    EXPECT_TRUE(config.warnings.empty());
  }
  struct Row {
    const char* what;
    std::function<void(AppFolder&)> spoil;
    std::string reason;  // after "ignoring '<ini>': "
    bool needsRoot = false;
  };
  const Row rows[] = {
      {"world-writable file", [](AppFolder& f) { fs::permissions(f.ini, fs::perms(0666)); },
       "it can be written by its group or by others (mode 0666)"},
      {"group-writable file", [](AppFolder& f) { fs::permissions(f.ini, fs::perms(0664)); },
       "it can be written by its group or by others (mode 0664)"},
      {"folder writable by others", [](AppFolder& f) { fs::permissions(f.app, fs::perms(0757)); },
       "its folder can be written by its group or by others (mode 0757)"},
      {"file of another user",
       [](AppFolder& f) { ASSERT_EQ(::chown(f.ini.c_str(), kSomeoneElse, -1), 0); },
       "it belongs to user 65534, not to the running user or root", true},
      {"folder of another user",
       [](AppFolder& f) { ASSERT_EQ(::chown(f.app.c_str(), kSomeoneElse, -1), 0); },
       "its folder belongs to user 65534, not to the running user or root", true},
      {"link to a proper file elsewhere",
       [](AppFolder& f) {
         fs::rename(f.ini, f.t.Host('e', "host.ini"));
         fs::create_symlink(f.t.Host('e', "host.ini"), f.ini);
       },
       "it is a symbolic link"},
      // Opened without waiting for a writer.
      {"FIFO",
       [](AppFolder& f) {
         fs::remove(f.ini);
         ASSERT_EQ(::mkfifo(f.ini.c_str(), 0644), 0);
       },
       "it is not an ordinary file"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(row.what);
    if (row.needsRoot && ::geteuid() != 0) continue;  // only root gives files away
    AppFolder f;
    row.spoil(f);
    HostConfig config = LoadHostConfig(f.app);
    EXPECT_FALSE(config.drives.Root('d'));
    EXPECT_EQ(config.programs.Resolve("wrar.exe"), f.app + "/wrar");
    EXPECT_EQ(config.warnings, std::vector<std::string>{"ignoring '" + f.ini + "': " + row.reason});
  }
  {
    AppFolder f;
    fs::remove(f.ini);
    HostConfig config = LoadHostConfig(f.app);
    EXPECT_TRUE(config.warnings.empty());  // no file, nothing to say
  }
}

TEST(HostConfig, AMalformedHandedDownTableIsRefusedNotReplacedByTheDefaults) {
  AppFolder f;
  std::string home = f.t.Host('e', "home");
  fs::create_directories(home);
  const char* oldHome = std::getenv("HOME");
  std::string savedHome = oldHome ? oldHome : "";
  ::setenv("HOME", home.c_str(), 1);
  ::setenv(DriveTable::kEnvVar, ("c+" + f.t.Host('c') + "\x1fq:/x").c_str(), 1);
  try {
    LoadHostConfig(f.app);
    ADD_FAILURE() << "a malformed table was taken";
  } catch (const HostError& e) {
    EXPECT_STREQ(e.what(),
                 "can't use 'KELVO32_DRIVES': entry 2 'q:/x' has no '=' or '+' after its letter");
  }
  ::unsetenv(DriveTable::kEnvVar);
  ::setenv("HOME", savedHome.c_str(), 1);
  EXPECT_FALSE(fs::exists(home + "/.local"));
}

}  // namespace kelvo::host
