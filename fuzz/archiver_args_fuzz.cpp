// libFuzzer target: the wrar/wace command line and the skip list. Input:
// one flavour byte, then the arguments one per line, then (after a NUL) the
// skip list file. A command line either reads back the same from its parts
// or is one "can't" line; the skip list only ever excludes relative archive
// paths inside a source (no absolute path, no "." or ".." step) and hands a
// real rar only absolute host paths without such steps.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <variant>
#include <vector>

#include "archiver/archiver_args.h"
#include "host/dospath.h"
#include "host/drive_table.h"
#include "host/text_file.h"
#include "scratch_dir.h"

namespace {

using namespace kelvo::archiver;
using kelvo::host::DriveTable;
namespace dos = kelvo::dos;

void Require(bool holds) {
  if (!holds) std::abort();
}

const DriveTable& Drives() {
  static const DriveTable drives = [] {
    const std::string& dir = kelvo::fuzz::ScratchDir();
    std::filesystem::create_directories(dir + "/c/games/src/save");
    std::filesystem::create_directories(dir + "/d");
    DriveTable t;
    t.Map('c', dir + "/c");
    t.Map('d', dir + "/d");
    t.Map('z', "/");
    return t;
  }();
  return drives;
}

// As the stand-in maps paths: absolute DOS paths through the drive table,
// "x:name" not at all, anything else from its current directory.
std::optional<std::string> ToHost(std::string_view dosPath) {
  if (dos::DriveLetter(dosPath)) {
    if (!dos::IsAbsolute(dosPath)) return std::nullopt;
    return Drives().ToHost(dosPath);
  }
  std::string rel;
  for (char c : dosPath) rel += c == '\\' ? '/' : c;
  if (!rel.empty() && rel[0] == '/') return kelvo::host::NormaliseHostPath(rel);
  return kelvo::host::NormaliseHostPath("/fuzz-cwd/" + rel);
}

std::vector<std::string> Steps(std::string_view path) {
  std::vector<std::string> steps;
  size_t start = 0;
  while (true) {
    size_t slash = path.find('/', start);
    steps.emplace_back(path.substr(start, slash - start));
    if (slash == std::string_view::npos) return steps;
    start = slash + 1;
  }
}

bool PlainSteps(const std::vector<std::string>& steps) {
  for (const auto& s : steps)
    if (s.empty() || s == "." || s == "..") return false;
  return true;
}

void CheckRequest(Flavour flavour, const std::vector<std::string>& args, const Request& r) {
  Require(r.flavour == flavour);
  Require(!SevenZipLevel(r.level).empty());
  Require(!r.archive.empty() && !r.sources.empty());
  for (const auto& s : r.sources) Require(!s.empty());
  Require(r.volumeBytes <= 1000000000000000000ull);
  bool endMark = false;
  for (const auto& a : args) endMark = endMark || a == "--";
  for (const auto& s : r.switches) Require(s.size() > 1 && s[0] == '-');
  // Every argument is a switch, the end of the switches, or a word.
  Require(r.switches.size() + (endMark ? 1 : 0) + 2 + r.sources.size() == args.size());

  // The parts, written out again with the words after "--", read the same.
  std::vector<std::string> again = r.switches;
  again.push_back("--");
  again.push_back("a");
  again.push_back(r.archive);
  again.insert(again.end(), r.sources.begin(), r.sources.end());
  auto reparsed = ParseArchiverArgs(flavour, again);
  const Request* r2 = std::get_if<Request>(&reparsed);
  Require(r2 && r2->recurse == r.recurse && r2->assumeYes == r.assumeYes &&
          r2->volumeBytes == r.volumeBytes && r2->level == r.level && r2->archive == r.archive &&
          r2->sources == r.sources && r2->excludeList == r.excludeList &&
          r2->switches == r.switches);
}

void CheckExclusions(const std::vector<std::string>& entries,
                     const std::vector<HostSource>& sources) {
  const DosToHost toHost = ToHost;
  auto paths = ExcludedArchivePaths(entries, sources, toHost);
  for (size_t i = 0; i < paths.size(); ++i) {
    const std::string& p = paths[i];
    for (size_t j = 0; j < i; ++j) Require(paths[j] != p);
    // "" is a whole drive ("x:\\*.*" under a drive-root source), which the
    // stand-in excludes as everything; nothing else may be empty.
    if (p.empty()) {
      bool root = false;
      for (const auto& s : sources) root = root || s.driveRoot;
      Require(root);
      continue;
    }
    Require(p[0] != '/');
    auto steps = Steps(p);
    Require(PlainSteps(steps));
    // Inside a source: under its own name, or anywhere below a drive root.
    bool inside = false;
    for (const auto& s : sources) inside = inside || s.driveRoot || ArchivePrefix(s) == steps[0];
    Require(inside);
  }
  for (const auto& line : RarExcludeLines(entries, sources, toHost)) {
    Require(!line.empty() && line[0] == '/');
    if (line == "/") continue;
    auto steps = Steps(std::string_view(line).substr(1));
    Require(PlainSteps(steps));
  }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  if (size == 0) return 0;
  const Flavour flavour = (data[0] & 1) ? Flavour::Ace : Flavour::Rar;
  std::string_view rest(reinterpret_cast<const char*>(data + 1), size - 1);
  size_t nul = rest.find('\0');
  std::string_view line = rest.substr(0, nul);
  std::string_view list = nul == std::string_view::npos ? std::string_view() : rest.substr(nul + 1);

  std::vector<std::string> args;
  if (!line.empty()) {
    size_t start = 0;
    while (true) {
      size_t end = line.find('\n', start);
      args.emplace_back(line.substr(start, end - start));
      if (end == std::string_view::npos) break;
      start = end + 1;
    }
  }

  std::vector<HostSource> sources;
  auto parsed = ParseArchiverArgs(flavour, args);
  if (const Request* request = std::get_if<Request>(&parsed)) {
    CheckRequest(flavour, args, *request);
    for (const auto& s : request->sources) {
      auto host = ToHost(s);
      if (!host) continue;
      bool root = dos::IsDriveRoot(s);
      for (const auto& d : Drives().Drives()) root = root || d.root == *host;
      sources.push_back({*host, root});
    }
  } else {
    Require(std::get<ArgError>(parsed).Text().starts_with("can't "));
  }
  if (sources.empty()) {
    sources = {{*ToHost("c:\\games\\src"), false}, {*ToHost("d:\\"), true}};
  }

  // The list as the stand-in reads it: its lines, blank ones left out.
  std::vector<std::string> entries;
  for (auto& l : kelvo::host::SplitLines(list))
    if (!l.empty()) entries.push_back(std::move(l));
  CheckExclusions(entries, sources);
  return 0;
}
