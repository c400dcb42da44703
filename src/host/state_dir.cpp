#include "host/state_dir.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <system_error>

#include "host/unique_fd.h"

namespace kelvo::host {

std::string PerUserDataDir() {
  const char* xdg = std::getenv("XDG_DATA_HOME");
  if (xdg && xdg[0] == '/') return std::string(xdg) + "/kelvo32";
  const char* home = std::getenv("HOME");
  std::string base = home && *home ? home : "/";
  if (base.size() > 1 && base.back() == '/') base.pop_back();
  return (base == "/" ? "" : base) + "/.local/share/kelvo32";
}

std::string WriteProblem(const std::string& hostDir) {
  std::string probe = hostDir + "/.kelvo-probe-XXXXXX";
  UniqueFd fd(::mkstemp(probe.data()));
  if (!fd) return std::strerror(errno);
  ::unlink(probe.c_str());
  return {};
}

StateDir ChooseStateDir(const std::string& appHostDir) {
  StateDir chosen;
  std::string problem = WriteProblem(appHostDir);
  if (problem.empty()) {
    chosen.hostDir = appHostDir;
    return chosen;
  }
  chosen.perUser = true;
  const std::string dir = PerUserDataDir();
  std::error_code error;
  // Made here: private, as the settings and work copies are the user's.
  if (std::filesystem::create_directories(dir, error)) ::chmod(dir.c_str(), S_IRWXU);
  std::string userProblem = error ? error.message() : WriteProblem(dir);
  if (!userProblem.empty()) {
    chosen.problem = "neither '" + appHostDir + "' (" + problem + ") nor '" + dir + "' (" +
                     userProblem + ") can be written";
    return chosen;
  }
  chosen.hostDir = dir;
  chosen.problem = "'" + appHostDir + "' can't be written (" + problem + ")";
  return chosen;
}

}  // namespace kelvo::host
