#include "archiver/seven_zip_progress.h"

namespace kelvo::archiver {

std::vector<int> SevenZipProgress::Feed(std::string_view bytes) {
  std::vector<int> percentages;
  for (char c : bytes) {
    if (c == '\b' || c == '\r' || c == '\n') {
      // The next text is a new update (or the blanks that clear the old one).
      state_ = State::Start;
      value_ = 0;
      digits_ = 0;
      continue;
    }
    switch (state_) {
      case State::Start:
        if (c >= '0' && c <= '9') {
          state_ = State::Digits;
          value_ = c - '0';
          digits_ = 1;
        } else if (c != ' ') {
          state_ = State::Rest;
        }
        break;
      case State::Digits:
        if (c >= '0' && c <= '9' && digits_ < 3) {
          value_ = value_ * 10 + (c - '0');
          ++digits_;
        } else {
          if (c == '%' && value_ <= 100 && value_ != last_) {
            percentages.push_back(value_);
            last_ = value_;
          }
          state_ = State::Rest;
        }
        break;
      case State::Rest:
        break;
    }
  }
  return percentages;
}

}  // namespace kelvo::archiver
