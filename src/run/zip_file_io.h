// Reading a zip file by its descriptor: little-endian fields and exact
// reads at an offset, for the comment writer and the zip check.
#pragma once

#include <unistd.h>

#include <cerrno>
#include <cstddef>
#include <cstdint>

namespace kelvo::zipio {

inline std::uint64_t Le(const char* p, int bytes) {
  std::uint64_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(p[i]);
  return v;
}

// Closes its descriptor at the end of its scope.
struct Descriptor {
  int fd = -1;
  Descriptor() = default;
  Descriptor(const Descriptor&) = delete;
  Descriptor& operator=(const Descriptor&) = delete;
  ~Descriptor() {
    if (fd >= 0) ::close(fd);
  }
};

// Exactly `len` bytes at `offset`, or false (errno 0 for a short file).
inline bool ReadExact(int fd, char* buffer, std::size_t len, std::uint64_t offset) {
  std::size_t done = 0;
  while (done < len) {
    ssize_t n = ::pread(fd, buffer + done, len - done, static_cast<off_t>(offset + done));
    if (n < 0 && errno == EINTR) continue;
    if (n <= 0) {
      if (n == 0) errno = 0;
      return false;
    }
    done += static_cast<std::size_t>(n);
  }
  return true;
}

}  // namespace kelvo::zipio
