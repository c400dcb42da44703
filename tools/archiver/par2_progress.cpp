#include "archiver/par2_progress.h"

namespace kelvo::archiver {

namespace {

// A line over this is a file name or a message, no progress.
constexpr std::size_t kLongestLine = 64;

int Percent(std::string_view line) {
  for (std::string_view head : {"Processing: ", "Repairing: "}) {
    if (!line.starts_with(head)) continue;
    line.remove_prefix(head.size());
    int value = 0;
    std::size_t digits = 0;
    while (digits < line.size() && digits < 3 && line[digits] >= '0' && line[digits] <= '9')
      value = value * 10 + (line[digits++] - '0');
    if (digits == 0 || value > 100) return -1;
    line.remove_prefix(digits);
    return line.starts_with('.') || line.starts_with('%') ? value : -1;
  }
  return -1;
}

}  // namespace

std::vector<int> Par2Progress::Feed(std::string_view bytes) {
  std::vector<int> out;
  for (char c : bytes) {
    if (c != '\r' && c != '\n') {
      if (line_.size() <= kLongestLine) line_ += c;
      continue;
    }
    if (int percent = Percent(line_); percent >= 0 && percent != last_) {
      out.push_back(percent);
      last_ = percent;
    }
    line_.clear();
  }
  return out;
}

}  // namespace kelvo::archiver
