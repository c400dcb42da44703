#include "host/find_program.h"

#include <sys/stat.h>
#include <unistd.h>

#include <cstdlib>
#include <string_view>

namespace kelvo::host {

std::string FindOnPath(const std::string& name, const std::string& notThis) {
  struct stat self {};
  const bool skip = !notThis.empty() && ::stat(notThis.c_str(), &self) == 0;
  const char* path = std::getenv("PATH");
  std::string_view dirs = path ? path : "";
  while (true) {
    auto colon = dirs.find(':');
    std::string_view dir = dirs.substr(0, colon);
    if (dir.empty()) dir = ".";
    // Reserved first: GCC 12 takes the plain concatenation for an
    // overlapping copy (-Wrestrict).
    std::string candidate;
    candidate.reserve(dir.size() + 1 + name.size());
    candidate.append(dir).append(1, '/').append(name);
    struct stat st;
    if (::stat(candidate.c_str(), &st) == 0 && S_ISREG(st.st_mode) &&
        ::access(candidate.c_str(), X_OK) == 0 &&
        !(skip && st.st_dev == self.st_dev && st.st_ino == self.st_ino))
      return candidate;
    if (colon == std::string_view::npos) return {};
    dirs.remove_prefix(colon + 1);
  }
}

}  // namespace kelvo::host
