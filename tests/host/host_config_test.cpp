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

}  // namespace

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
