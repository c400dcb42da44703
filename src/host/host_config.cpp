#include "host/host_config.h"

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
    if (auto table = DriveTable::Deserialize(handed)) config.drives = *table;
  }
  return config;
}

}  // namespace kelvo::host
