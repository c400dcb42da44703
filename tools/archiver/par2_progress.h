// par2's progress output: "Processing: 37.5%" (making recovery data) or
// "Repairing: 37.5%", each update ended by CR, the other lines by LF.
#pragma once

#include <string>
#include <string_view>
#include <vector>

namespace kelvo::archiver {

class Par2Progress {
 public:
  // The whole percentages that this piece completes, each one differing
  // from the one before. Only the line heads above count: "Constructing"
  // runs from 0 to 100 first and would make the bar run twice.
  std::vector<int> Feed(std::string_view bytes);

 private:
  std::string line_;
  int last_ = -1;
};

}  // namespace kelvo::archiver
