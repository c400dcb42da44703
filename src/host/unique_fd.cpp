#include "host/unique_fd.h"

#include <unistd.h>

#include <algorithm>
#include <cerrno>

namespace kelvo::host {

void UniqueFd::reset(int fd) {
  if (fd_ >= 0 && fd_ != fd) ::close(fd_);
  fd_ = fd;
}

ReadOutcome ReadExactly(int fd, char* buffer, std::size_t len, std::uint64_t offset) {
  ReadOutcome outcome;
  while (outcome.bytes < len) {
    ssize_t n = ::pread(fd, buffer + outcome.bytes, len - outcome.bytes,
                        static_cast<off_t>(offset + outcome.bytes));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      outcome.end = ReadOutcome::End::Failed;
      outcome.error = errno;
      return outcome;
    }
    if (n == 0) {
      outcome.end = ReadOutcome::End::Short;
      return outcome;
    }
    outcome.bytes += static_cast<std::size_t>(n);
  }
  return outcome;
}

ReadOutcome ReadToEnd(int fd, std::string& out, std::uint64_t limit) {
  ReadOutcome outcome;
  char buffer[1 << 16];
  for (;;) {
    const std::uint64_t room = limit - std::min<std::uint64_t>(limit, outcome.bytes) + 1;
    ssize_t n = ::read(fd, buffer,
                       static_cast<std::size_t>(std::min<std::uint64_t>(
                           sizeof buffer, room == 0 ? sizeof buffer : room)));
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) {
      outcome.end = ReadOutcome::End::Failed;
      outcome.error = errno;
      return outcome;
    }
    if (n == 0) return outcome;
    out.append(buffer, static_cast<std::size_t>(n));
    outcome.bytes += static_cast<std::size_t>(n);
    if (outcome.bytes > limit) {
      outcome.end = ReadOutcome::End::Short;
      return outcome;
    }
  }
}

}  // namespace kelvo::host
