#include "host/progress_channel.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <string>

namespace kelvo::host {

std::vector<int> ProgressLines::Feed(std::string_view bytes) {
  std::vector<int> percentages;
  for (char c : bytes) {
    if (c == '\n') {
      if (valid_ && length_ > 0 && value_ <= 100) percentages.push_back(value_);
      length_ = 0;
      value_ = 0;
      valid_ = true;
      continue;
    }
    if (c < '0' || c > '9' || ++length_ > 3) {
      valid_ = false;
      continue;
    }
    value_ = value_ * 10 + (c - '0');
  }
  return percentages;
}

int ProgressChannelFromEnvironment() {
  const char* text = std::getenv(kProgressFdVar);
  if (!text || !*text) return -1;
  char* end = nullptr;
  long fd = std::strtol(text, &end, 10);
  if (*end || fd < 0 || fd > 1024) return -1;
  int flags = ::fcntl(static_cast<int>(fd), F_GETFD);
  if (flags < 0) return -1;
  ::fcntl(static_cast<int>(fd), F_SETFD, flags | FD_CLOEXEC);
  return static_cast<int>(fd);
}

bool WriteProgress(int fd, int percent) {
  const std::string line = std::to_string(percent) + "\n";
  for (;;) {
    // At most four bytes: one write, never a torn line.
    ssize_t n = ::write(fd, line.data(), line.size());
    if (n == static_cast<ssize_t>(line.size())) return true;
    if (n < 0 && errno == EINTR) continue;
    return false;
  }
}

}  // namespace kelvo::host
