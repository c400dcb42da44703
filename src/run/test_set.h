// "Test a set later": every zip of a set read back as the run reads each
// one before its volume goes (CRCs, headers), held against the set's SFV
// when there is one, and verified by par2 when the set has recovery files,
// which may then repair it.
#pragma once

#include <functional>
#include <string>
#include <vector>

#include "core/context.h"
#include "host/command_runner.h"
#include "host/filesystem.h"

namespace kelvo {

struct ZipVerdict {
  std::string name;     // the zip's name on disk
  std::string problem;  // empty when sound
};

// What par2 said of the set's recovery files.
enum class RecoveryState { None, Sound, Repairable, NotRepairable, Failed };

struct SetTest {
  std::vector<ZipVerdict> zips;  // in the set's order
  std::string refusal;           // why the path names no set at all
  std::string recoveryIndex;     // "DEMO.par2" when the set has one
  RecoveryState recovery = RecoveryState::None;
  std::string recoveryProblem;  // why par2 could not verify (Failed)
  bool Sound() const;
};

// What runs par2 for a test: the drive table's files and the program table.
// `tick` is called while par2 works (the window paints).
struct SetTools {
  host::FileSystem& fs;
  host::CommandRunner& runner;
  std::function<void()> tick;
};

// The set that `hostPath` names: its SFV (the zips it lists, beside it), or
// any one of its zips ("DEMO02.zip": every "DEMO<two digits>.zip" beside
// it, in any case, and "DEMO.sfv" when there is one). With "DEMO.par2"
// beside them, par2 verifies the set too.
SetTest TestSet(SetTools tools, const std::string& hostPath);

// par2 repairs the set from its recovery files, and the set is tested
// again; `problem` says why par2 could not repair it.
SetTest RepairSet(SetTools tools, const std::string& hostPath, std::string& problem);

// One line per zip ("DEMO01.zip: OK", "DEMO02.zip: <problem>"), par2's
// verdict ("DEMO.par2: the set can be repaired"), then "3 zips: all sound"
// or "3 zips: 1 not sound".
std::vector<std::string> SetTestLines(const SetTest& test);

// "&Test set..." of the File menu: a set's .sfv or zip chosen (starting in
// the zip directory), tested, and the verdict shown. A large set shows its
// count and only the zips that are not sound.
void TestChosenSet(Context& ctx);

}  // namespace kelvo
