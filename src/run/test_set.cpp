#include "run/test_set.h"

#include <algorithm>
#include <cctype>
#include <cstring>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

#include "host/dospath.h"
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

}  // namespace

bool SetTest::Sound() const {
  return refusal.empty() && !zips.empty() &&
         std::all_of(zips.begin(), zips.end(),
                     [](const ZipVerdict& z) { return z.problem.empty(); });
}

SetTest TestSet(const std::string& hostPath) {
  SetTest test;
  const fs::path path(hostPath);
  const std::string dir = path.has_parent_path() ? path.parent_path().string() : ".";
  const std::string name = path.filename().string();

  std::vector<std::string> zips;
  std::optional<std::vector<SfvLine>> sfv;
  std::string sfvPath;
  if (EndsWithNoCase(name, ".sfv")) {
    sfvPath = hostPath;
  } else if (EndsWithNoCase(name, ".zip")) {
    std::string base;
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
  if (test.zips.empty()) test.refusal = "can't test '" + hostPath + "': the set holds no zip";
  return test;
}

std::vector<std::string> SetTestLines(const SetTest& test) {
  if (!test.refusal.empty()) return {test.refusal};
  std::vector<std::string> lines;
  std::size_t bad = 0;
  for (const ZipVerdict& zip : test.zips) {
    lines.push_back(zip.name + ": " + (zip.problem.empty() ? "OK" : zip.problem));
    bad += !zip.problem.empty();
  }
  lines.push_back(std::to_string(test.zips.size()) +
                  (test.zips.size() == 1 ? " zip: " : " zips: ") +
                  (bad == 0 ? "all sound" : std::to_string(bad) + " not sound"));
  return lines;
}

void TestChosenSet(Context& ctx) {
  const char* title = "Test set";
  auto chosen =
      ctx.ui.OpenFile({title, "Set (*.sfv;*.zip)|*.sfv;*.zip|", "*.sfv", ctx.job.ZipStorageDir});
  if (!chosen) return;
  auto host = ctx.fs.HostPath(*chosen);
  if (!host) return;
  const SetTest test = TestSet(*host);
  std::vector<std::string> lines = SetTestLines(test);
  constexpr std::size_t kListed = 12;
  if (lines.size() > kListed + 1) {
    // The count first, then what needs a look.
    std::vector<std::string> shown{lines.back()};
    for (std::size_t i = 0; i + 1 < lines.size() && shown.size() <= kListed; ++i)
      if (!test.zips[i].problem.empty()) shown.push_back(lines[i]);
    lines = shown;
  }
  std::string text;
  for (const std::string& line : lines) text += (text.empty() ? "" : "\r") + line;
  ctx.ui.ShowMessage(text, title, test.Sound() ? MessageIcon::Information : MessageIcon::Critical,
                     MessageButtons::Ok);
}

}  // namespace kelvo
