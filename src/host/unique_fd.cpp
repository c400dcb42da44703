#include "host/unique_fd.h"

#include <unistd.h>

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

}  // namespace kelvo::host
