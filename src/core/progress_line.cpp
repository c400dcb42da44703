#include "core/progress_line.h"

#include <unistd.h>

namespace kelvo {

ProgressLine ProgressLine::ForStderr() {
  return ProgressLine(stderr, ::isatty(STDERR_FILENO) == 1);
}

void ProgressLine::Show(const std::string& text, bool milestone) {
  if (!out_) return;
  if (!terminal_) {
    if (milestone) std::fprintf(out_, "%s\n", text.c_str());
    return;
  }
  std::string line = "\r" + text;
  if (text.size() < shown_) line.append(shown_ - text.size(), ' ');
  std::fputs(line.c_str(), out_);
  std::fflush(out_);
  shown_ = text.size();
  open_ = true;
}

void ProgressLine::End() {
  if (!open_) return;
  std::fputc('\n', out_);
  std::fflush(out_);
  open_ = false;
  shown_ = 0;
}

}  // namespace kelvo
