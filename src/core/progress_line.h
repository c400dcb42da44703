// Progress on stderr. On a terminal one line: each text rewrites it in
// place ("\r", blanks over what a longer text left), and End closes it with
// a newline. A stream that is no terminal (a log) gets only the milestones,
// each as a line of its own, so that the log stays short and readable.
#pragma once

#include <cstdio>
#include <string>

namespace kelvo {

class ProgressLine {
 public:
  ProgressLine(std::FILE* out, bool terminal) : out_(out), terminal_(terminal) {}
  // stderr, taken as a terminal when it is one.
  static ProgressLine ForStderr();

  void Show(const std::string& text, bool milestone = true);
  // Ends a line that was shown; nothing otherwise.
  void End();

 private:
  std::FILE* out_;
  bool terminal_;
  bool open_ = false;
  std::size_t shown_ = 0;  // length of the text on the line now
};

}  // namespace kelvo
