// How a waited-for program tells its progress: the runner hands it the
// write end of a pipe as descriptor kProgressChildFd and names that number
// in kProgressFdVar; the program writes one percentage per line ("37\n").
// A program started without the variable reports nothing and must not
// touch that descriptor, which may then be anything.
#pragma once

#include <string_view>
#include <vector>

namespace kelvo::host {

inline constexpr const char* kProgressFdVar = "KELVO32_PROGRESS_FD";
inline constexpr int kProgressChildFd = 3;

// The runner's side: percentages out of the bytes read from the pipe, in
// whatever pieces they arrive. A line that is not a number from 0 to 100
// is skipped.
class ProgressLines {
 public:
  std::vector<int> Feed(std::string_view bytes);

 private:
  std::string_view::size_type length_ = 0;  // of the line so far; over 3 is no percentage
  int value_ = 0;
  bool valid_ = true;
};

// The program's side: the descriptor its parent named, or -1 when it named
// none (or one that is not open). It is marked close-on-exec, so that the
// program's own children never hold it.
int ProgressChannelFromEnvironment();

// Writes "<percent>\n"; false when the reader is gone (the caller then stops
// reporting). SIGPIPE must be ignored by the caller.
bool WriteProgress(int fd, int percent);

}  // namespace kelvo::host
