// "Test a set later": every zip of a set read back as the run reads each
// one before its volume goes (CRCs, headers), and held against the set's
// SFV when there is one.
#pragma once

#include <string>
#include <vector>

#include "core/context.h"

namespace kelvo {

struct ZipVerdict {
  std::string name;     // the zip's name on disk
  std::string problem;  // empty when sound
};

struct SetTest {
  std::vector<ZipVerdict> zips;  // in the set's order
  std::string refusal;           // why the path names no set at all
  bool Sound() const;
};

// The set that `hostPath` names: its SFV (the zips it lists, beside it), or
// any one of its zips ("DEMO02.zip": every "DEMO<two digits>.zip" beside
// it, in any case, and "DEMO.sfv" when there is one).
SetTest TestSet(const std::string& hostPath);

// One line per zip ("DEMO01.zip: OK", "DEMO02.zip: <problem>"), then
// "3 zips: all sound" or "3 zips: 1 not sound".
std::vector<std::string> SetTestLines(const SetTest& test);

// "&Test set..." of the File menu: a set's .sfv or zip chosen (starting in
// the zip directory), tested, and the verdict shown. A large set shows its
// count and only the zips that are not sound.
void TestChosenSet(Context& ctx);

}  // namespace kelvo
