// 7-Zip's progress output ("-bso0 -bsp1"), read as it comes: each update
// rubs out the last one with backspaces and writes "<blanks>37% 2 + name".
// Only a number that opens an update counts, so that digits and '%' in a
// file name are never taken for progress.
#pragma once

#include <string_view>
#include <vector>

namespace kelvo::archiver {

class SevenZipProgress {
 public:
  // The percentages that this piece completes, each one differing from the
  // one before (7-Zip repeats a value while the file name changes).
  std::vector<int> Feed(std::string_view bytes);

 private:
  enum class State { Start, Digits, Rest };
  State state_ = State::Start;
  int value_ = 0;
  int digits_ = 0;
  int last_ = -1;
};

}  // namespace kelvo::archiver
