#include "run/test_set.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

#include "host/dospath.h"
#include "host/host_error.h"
#include "host/ordinary_file.h"
#include "run/sfv.h"
#include "zip/check.h"

namespace kelvo {

namespace {

namespace fs = std::filesystem;

// An SFV holds a line per file; far less than this.
constexpr std::uint64_t kMaxSfv = 1 << 20;

bool EndsWithNoCase(const std::string& name, const std::string& end) {
  return name.size() >= end.size() && dos::EqualNoCase(name.substr(name.size() - end.size()), end);
}

// A file of `dir` by its name in any case, as DOS names go.
std::optional<std::string> FindNoCase(const std::string& dir, const std::string& name) {
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error))
    if (dos::EqualNoCase(entry.path().filename().string(), name)) return entry.path().string();
  return std::nullopt;
}

// The zips of the set `zipName` belongs to: BASE + its count of digits +
// ".zip", in number order.
std::vector<std::string> SiblingZips(const std::string& dir, const std::string& zipName,
                                     std::string& base) {
  std::string stem = zipName.substr(0, zipName.size() - 4);
  std::size_t digits = 0;
  while (digits < stem.size() &&
         std::isdigit(static_cast<unsigned char>(stem[stem.size() - 1 - digits])))
    ++digits;
  base = stem.substr(0, stem.size() - digits);
  if (digits == 0) return {zipName};
  std::map<unsigned long, std::string> zips;
  std::error_code error;
  for (const auto& entry : fs::directory_iterator(dir, error)) {
    const std::string name = entry.path().filename().string();
    if (name.size() != stem.size() + 4 || !EndsWithNoCase(name, ".zip") ||
        !dos::EqualNoCase(name.substr(0, base.size()), base))
      continue;
    const std::string number = name.substr(base.size(), digits);
    if (!std::all_of(number.begin(), number.end(),
                     [](char c) { return std::isdigit(static_cast<unsigned char>(c)); }))
      continue;
    zips[std::stoul(number)] = name;
  }
  std::vector<std::string> names;
  for (const auto& [number, name] : zips) names.push_back(name);
  return names;
}

// par2 of the program table on `indexName` in the host folder `dir`: its
// exit status, or nullopt with `problem` saying why it did not run.
std::optional<int> RunPar2(SetTools& tools, const std::string& dir, const std::string& indexName,
                           const char* verb, std::string& problem) {
  const auto dosDir = tools.fs.Drives().ToDos(fs::absolute(dir).lexically_normal().string());
  if (!dosDir) {
    problem = "no drive holds '" + dir + "'";
    return std::nullopt;
  }
  const char drive = tools.fs.CurrentDrive();
  const std::string current = tools.fs.CurrentDir();
  host::ExecResult result;
  try {
    tools.fs.ChangeDrive(dos::DriveLetter(*dosDir));
    tools.fs.ChangeDir(*dosDir);
    host::WaitCallbacks callbacks;
    callbacks.tick = [&tools] {
      if (tools.tick) tools.tick();
      return false;
    };
    result = tools.runner.ExecCmd(
        std::string("par2.exe ") + verb + " -- " + host::CommandArgument(indexName), callbacks);
    tools.fs.ChangeDrive(drive);
    tools.fs.ChangeDir(current);
  } catch (const host::HostError& error) {
    problem = error.what();
    return std::nullopt;
  }
  if (!result.started) {
    problem = result.error;
    return std::nullopt;
  }
  return result.exitStatus;
}

std::string SetStem(const std::string& name) {
  return name.substr(0, name.size() - 4);
}

}  // namespace

bool SetTest::Sound() const {
  return refusal.empty() && !zips.empty() &&
         (recovery == RecoveryState::None || recovery == RecoveryState::Sound) &&
         std::all_of(zips.begin(), zips.end(),
                     [](const ZipVerdict& z) { return z.problem.empty(); });
}

SetTest TestSet(SetTools tools, const std::string& hostPath) {
  SetTest test;
  const fs::path path(hostPath);
  const std::string dir = path.has_parent_path() ? path.parent_path().string() : ".";
  const std::string name = path.filename().string();

  std::vector<std::string> zips;
  std::optional<std::vector<SfvLine>> sfv;
  std::string sfvPath;
  std::string base;
  if (EndsWithNoCase(name, ".sfv")) {
    sfvPath = hostPath;
    base = SetStem(name);
  } else if (EndsWithNoCase(name, ".zip")) {
    zips = SiblingZips(dir, name, base);
    if (std::find(zips.begin(), zips.end(), name) == zips.end()) {
      test.refusal = "can't test '" + hostPath + "': no such zip";
      return test;
    }
    if (auto found = FindNoCase(dir, base + ".sfv")) sfvPath = *found;
  } else {
    test.refusal = "can't test '" + hostPath + "': name a set's .sfv or one of its zips";
    return test;
  }

  std::map<std::string, std::uint32_t> listed;  // by lower-case name
  if (!sfvPath.empty()) {
    host::OrdinaryFile file = host::ReadOrdinaryFile(sfvPath, kMaxSfv);
    if (file.status != host::OrdinaryFile::Status::Read) {
      using Status = host::OrdinaryFile::Status;
      test.refusal = "can't read '" + sfvPath + "': " +
                     (file.status == Status::NotOrdinary ? std::string("not a file")
                      : file.status == Status::TooLarge  ? std::string("larger than 1 MB")
                                                         : std::string(std::strerror(file.error)));
      return test;
    }
    sfv = ParseSfv(file.bytes);
    if (!sfv) {
      test.refusal = "can't read '" + sfvPath + "': not an SFV file";
      return test;
    }
    for (const SfvLine& entry : *sfv) listed[dos::Lower(entry.name)] = entry.crc;
    // Started from the SFV: its zips are the set.
    if (zips.empty())
      for (const SfvLine& entry : *sfv) zips.push_back(entry.name);
  }

  zip::Checker checker;
  for (const std::string& zipName : zips) {
    ZipVerdict verdict{zipName, {}};
    const std::optional<std::string> zipHost = FindNoCase(dir, zipName);
    if (!zipHost) {
      verdict.problem = "missing";
    } else if (auto sum = checker.Check({*zipHost, zipName}, {}); !sum) {
      // The line names the zip already.
      verdict.problem = sum.error->message;
      const std::string named = "can't check '" + zipName + "': ";
      if (verdict.problem.starts_with(named)) verdict.problem.erase(0, named.size());
    } else if (auto line = listed.find(dos::Lower(zipName)); sfv && line == listed.end()) {
      verdict.problem = "not in the SFV";
    } else if (sfv && line->second != sum.value.crc) {
      verdict.problem =
          "its CRC is " + SfvCrc(sum.value.crc) + ", the SFV says " + SfvCrc(line->second);
    }
    test.zips.push_back(std::move(verdict));
  }
  if (test.zips.empty()) {
    test.refusal = "can't test '" + hostPath + "': the set holds no zip";
    return test;
  }
  if (auto index = FindNoCase(dir, base + ".par2")) {
    test.recoveryIndex = fs::path(*index).filename().string();
    // par2's own statuses: 0 sound, 1 repairable, 2 too little recovery data.
    const std::optional<int> status =
        RunPar2(tools, dir, test.recoveryIndex, "v", test.recoveryProblem);
    if (status == 0) {
      test.recovery = RecoveryState::Sound;
    } else if (status == 1) {
      test.recovery = RecoveryState::Repairable;
    } else if (status == 2) {
      test.recovery = RecoveryState::NotRepairable;
    } else {
      test.recovery = RecoveryState::Failed;
      if (status) test.recoveryProblem = "par2 ended with status " + std::to_string(*status);
    }
  }
  return test;
}

SetTest RepairSet(SetTools tools, const std::string& hostPath, std::string& problem) {
  SetTest before = TestSet(tools, hostPath);
  if (before.recovery != RecoveryState::Repairable) {
    problem = before.recoveryIndex.empty() ? "the set has no recovery files"
                                           : "par2 can't repair the set";
    return before;
  }
  const fs::path path(hostPath);
  const std::string dir = path.has_parent_path() ? path.parent_path().string() : ".";
  const std::optional<int> status = RunPar2(tools, dir, before.recoveryIndex, "r", problem);
  if (status && *status != 0) problem = "par2 ended with status " + std::to_string(*status);
  return TestSet(tools, hostPath);
}

std::vector<std::string> SetTestLines(const SetTest& test) {
  if (!test.refusal.empty()) return {test.refusal};
  std::vector<std::string> lines;
  std::size_t bad = 0;
  for (const ZipVerdict& zip : test.zips) {
    lines.push_back(zip.name + ": " + (zip.problem.empty() ? "OK" : zip.problem));
    bad += !zip.problem.empty();
  }
  switch (test.recovery) {
    case RecoveryState::None:
      break;
    case RecoveryState::Sound:
      lines.push_back(test.recoveryIndex + ": OK");
      break;
    case RecoveryState::Repairable:
      lines.push_back(test.recoveryIndex + ": the set can be repaired");
      break;
    case RecoveryState::NotRepairable:
      lines.push_back(test.recoveryIndex + ": too little recovery data to repair the set");
      break;
    case RecoveryState::Failed:
      lines.push_back(test.recoveryIndex + ": can't verify: " + test.recoveryProblem);
      break;
  }
  lines.push_back(std::to_string(test.zips.size()) +
                  (test.zips.size() == 1 ? " zip: " : " zips: ") +
                  (bad == 0 ? "all sound" : std::to_string(bad) + " not sound"));
  return lines;
}

namespace {

// The verdict as a box shows it: a large set gives its count and only the
// lines that need a look.
std::string ShownVerdict(const SetTest& test) {
  std::vector<std::string> lines = SetTestLines(test);
  constexpr std::size_t kListed = 12;
  if (lines.size() > kListed + 1) {
    std::vector<std::string> shown{lines.back()};
    for (std::size_t i = 0; i + 1 < lines.size() && shown.size() <= kListed; ++i)
      if (!lines[i].ends_with(": OK")) shown.push_back(lines[i]);
    lines = shown;
  }
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r") + line;
  return text;
}

}  // namespace

void TestChosenSet(Context& ctx) {
  const char* title = "Test set";
  auto chosen =
      ctx.ui.OpenFile({title, "Set (*.sfv;*.zip)|*.sfv;*.zip|", "*.sfv", ctx.job.ZipStorageDir});
  if (!chosen) return;
  auto host = ctx.fs.HostPath(*chosen);
  if (!host) return;
  SetTools tools{ctx.fs, ctx.runner, [&ctx] { ctx.ui.ProcessEvents(); }};
  SetTest test = TestSet(tools, *host);
  std::string text = ShownVerdict(test);
  if (test.recovery == RecoveryState::Repairable) {
    if (ctx.ui.ShowMessage(text + "\r\rRepair the set with its recovery files?", title,
                           MessageIcon::Question, MessageButtons::YesNo) != MessageResult::Yes)
      return;
    std::string problem;
    test = RepairSet(tools, *host, problem);
    text = (problem.empty() ? "Repaired.\r\r" : "Can't repair the set: " + problem + "\r\r") +
           ShownVerdict(test);
  }
  ctx.ui.ShowMessage(text, title, test.Sound() ? MessageIcon::Information : MessageIcon::Critical,
                     MessageButtons::Ok);
}

}  // namespace kelvo
