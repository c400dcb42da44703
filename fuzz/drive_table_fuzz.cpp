// libFuzzer target: host.ini and the one-line drive table handed to child
// processes. Whatever table a host.ini or the line makes, its line (which
// travels in an environment variable) reads back as the same drives, so a
// child maps DOS paths exactly as its parent does. No program name in it is
// empty.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>
#include <vector>

#include "host/drive_table.h"
#include "scratch_dir.h"

namespace {

using kelvo::host::DriveTable;

void Require(bool holds) {
  if (!holds) std::abort();
}

bool SameDrives(const DriveTable& a, const DriveTable& b) {
  auto x = a.Drives(), y = b.Drives();
  if (x.size() != y.size()) return false;
  for (size_t i = 0; i < x.size(); ++i) {
    if (x[i].letter != y[i].letter || x[i].root != y[i].root ||
        x[i].createOnUse != y[i].createOnUse)
      return false;
  }
  return true;
}

void CheckTable(const DriveTable& table) {
  for (const auto& d : table.Drives()) {
    Require(!d.root.empty() && d.root[0] == '/');
    Require(kelvo::host::NormaliseHostPath(d.root) == d.root);
  }
  std::string line = table.Serialize();
  auto back = DriveTable::Deserialize(line);
  Require(back && SameDrives(*back, table));
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);

  if (auto table = DriveTable::Deserialize(bytes)) CheckTable(*table);

  const std::string ini = kelvo::fuzz::ScratchDir() + "/host.ini";
  kelvo::fuzz::WriteBytes(ini, bytes);
  DriveTable table;
  kelvo::host::ProgramTable programs;
  table.LoadIni(ini, &programs);
  for (const auto& d : table.Drives()) Require(d.letter >= 'a' && d.letter <= 'z');
  CheckTable(table);
  // The line is an environment variable's value: a NUL would cut it short.
  Require(table.Serialize().find('\0') == std::string::npos);
  // A command line's empty program word ("") names no program.
  Require(!programs.Resolve(""));
  return 0;
}
