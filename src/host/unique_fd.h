// One owner for a file descriptor, and exact reads at an offset.
#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>
#include <string>
#include <utility>

namespace kelvo::host {

// Closes its descriptor at the end of its scope; moves, never copies.
class UniqueFd {
 public:
  UniqueFd() = default;
  explicit UniqueFd(int fd) : fd_(fd) {}
  UniqueFd(UniqueFd&& other) noexcept : fd_(other.release()) {}
  UniqueFd& operator=(UniqueFd&& other) noexcept {
    if (this != &other) reset(other.release());
    return *this;
  }
  UniqueFd(const UniqueFd&) = delete;
  UniqueFd& operator=(const UniqueFd&) = delete;
  ~UniqueFd() { reset(); }

  int get() const { return fd_; }
  explicit operator bool() const { return fd_ >= 0; }
  // Hands the descriptor over: the caller closes it.
  int release() { return std::exchange(fd_, -1); }
  // Closes the one held and takes `fd`.
  void reset(int fd = -1);

 private:
  int fd_ = -1;
};

// How an exact read ended: every byte, the file ended first, or a read
// failed (error holds its errno).
struct ReadOutcome {
  enum class End { Complete, Short, Failed } end = End::Complete;
  std::size_t bytes = 0;  // read before it ended
  int error = 0;
  explicit operator bool() const { return end == End::Complete; }
};

// Exactly `len` bytes at `offset` (pread, again after EINTR).
ReadOutcome ReadExactly(int fd, char* buffer, std::size_t len, std::uint64_t offset);

// Reads `fd` from where it stands to its end, appending to `out`. The size
// is what the reads give, not what fstat said a moment ago: Complete, or
// Short when more than `limit` bytes came (one past the limit tells a
// longer file; what was read stays in `out`), or Failed.
ReadOutcome ReadToEnd(int fd, std::string& out, std::uint64_t limit);

}  // namespace kelvo::host
