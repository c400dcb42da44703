#include "host/host_config.h"

#include "host/dospath.h"
#include "host/host_error.h"

#include <unistd.h>

#include <cstdlib>

namespace kelvo::host {

std::string ExecutableDir() {
  char buffer[4096];
  ssize_t n = ::readlink("/proc/self/exe", buffer, sizeof buffer - 1);
  if (n <= 0) return ".";
  std::string path(buffer, static_cast<size_t>(n));
  auto slash = path.find_last_of('/');
  return slash == 0 ? "/" : path.substr(0, slash);
}

HostConfig LoadHostConfig(const std::string& appHostDir) {
  HostConfig config{appHostDir, DriveTable::Defaults(), {}};
  for (const char* tool : {"wrar", "wace", "pkzip", "size", "notepad", "winhelp", "webdial"})
    config.programs.Set(tool, appHostDir + "/" + tool);
  config.drives.LoadIni(appHostDir + "/host.ini", &config.programs);
  if (const char* handed = std::getenv(DriveTable::kEnvVar)) {
    // Falling back to the defaults would put files where the parent never
    // meant them to go.
    std::string problem;
    auto table = DriveTable::Deserialize(handed, &problem);
    if (!table) throw HostError("use", DriveTable::kEnvVar, problem);
    config.drives = *table;
  }
  return config;
}

DriveTable ToolDrives() {
  return LoadHostConfig(ExecutableDir()).drives;
}

FileSystem ToolFileSystem() {
  FileSystem fs(ToolDrives());
  char cwd[4096];
  if (::getcwd(cwd, sizeof cwd)) {
    if (auto dos = fs.Drives().ToDos(cwd)) {
      try {
        fs.ChangeDrive(dos::DriveLetter(*dos));
        fs.ChangeDir(*dos);
      } catch (const HostError&) {
        // Relative paths then start at the drive's root.
      }
    }
  }
  return fs;
}

bool HasDisplay() {
  auto named = [](const char* name) {
    const char* value = std::getenv(name);
    return value && *value;
  };
  return named("DISPLAY") || named("WAYLAND_DISPLAY");
}

}  // namespace kelvo::host
