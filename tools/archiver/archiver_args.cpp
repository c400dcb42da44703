#include "archiver/archiver_args.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>
#include <span>

#include "host/dospath.h"
#include "host/host_error.h"

namespace kelvo::archiver {

namespace {

enum class Value {
  None,   // a flag: "-r"
  Level,  // one digit 0..5: "-m3"
  Size,   // digits, then the unit suffix if any: "-v1440000b", "-v1440"
  List,   // a DOS path: "-x@c:\skip.txt"
};

struct SwitchRule {
  std::string_view name;  // after the '-', lower case
  Value value;
  std::uint64_t unit = 1;   // bytes per unit of a size without suffix
  bool byteSuffix = false;  // "b": the size is in bytes
};

// RAR sizes are in thousands of bytes, or in bytes with "b".
constexpr SwitchRule kRarSwitches[] = {
    {"r", Value::None},
    {"y", Value::None},
    {"m", Value::Level},
    {"x@", Value::List},
    {"v", Value::Size, 1000, true},
};
// ACE sizes are in thousands of bytes: -v1440 is the floppy.
constexpr SwitchRule kAceSwitches[] = {
    {"r", Value::None},
    {"y", Value::None},
    {"m", Value::Level},
    {"x@", Value::List},
    {"v", Value::Size, 1000, false},
};

// "Store", "Fastest", "Fast", "Normal", "Good", "Maximum!". 7-Zip's own
// normal (-mx5) is several times slower for a few per cent, so "Normal"
// stays at -mx3.
constexpr std::array<std::string_view, 6> kSevenZipLevels = {"-mx0", "-mx1", "-mx2",
                                                             "-mx3", "-mx5", "-mx9"};

std::span<const SwitchRule> SwitchTable(Flavour flavour) {
  if (flavour == Flavour::Rar) return kRarSwitches;
  return kAceSwitches;
}

std::string LowerAscii(std::string_view text) {
  std::string out(text);
  for (char& c : out) c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
  return out;
}

bool AllDigits(std::string_view text) {
  if (text.empty()) return false;
  for (char c : text)
    if (c < '0' || c > '9') return false;
  return true;
}

ArgError UnknownSwitch(const std::string& word) {
  return {"use switch", word, "unknown switch"};
}

// Applies one switch to the request; an error when no table entry takes it.
std::optional<ArgError> ApplySwitch(Flavour flavour, const std::string& word, Request& request) {
  const std::string body = word.substr(1);
  const std::string lower = LowerAscii(body);
  for (const SwitchRule& rule : SwitchTable(flavour)) {
    if (!lower.starts_with(rule.name)) continue;
    std::string rest = body.substr(rule.name.size());
    switch (rule.value) {
      case Value::None:
        if (!rest.empty()) continue;
        if (rule.name == "r") request.recurse = true;
        if (rule.name == "y") request.assumeYes = true;
        return std::nullopt;
      case Value::Level:
        if (rest.size() != 1 || rest[0] < '0' || rest[0] > '5') return UnknownSwitch(word);
        request.level = rest[0] - '0';
        return std::nullopt;
      case Value::List:
        if (rest.empty()) return ArgError{"use switch", word, "no list file named"};
        request.excludeList = rest;
        return std::nullopt;
      case Value::Size: {
        std::uint64_t unit = rule.unit;
        if (rule.byteSuffix && !rest.empty() && (rest.back() == 'b' || rest.back() == 'B')) {
          rest.pop_back();
          unit = 1;
        }
        if (!AllDigits(rest)) return UnknownSwitch(word);
        // "-v0000b" is the run's RAR line for one archive: no volumes.
        rest.erase(0, std::min(rest.find_first_not_of('0'), rest.size()));
        // Past 10^15 bytes a volume size means nothing; this also keeps the
        // product inside 64 bits.
        if (rest.size() > 15) return ArgError{"use switch", word, "volume size too large"};
        request.volumeBytes = rest.empty() ? 0 : std::stoull(rest) * unit;
        return std::nullopt;
      }
    }
  }
  return UnknownSwitch(word);
}

// "x:\dir\sub" under "x:\dir" as host paths: "sub"; nullopt when outside.
std::optional<std::string> Below(const std::string& path, const std::string& base) {
  if (path == base) return std::string();
  if (base == "/")
    return path.size() > 1 && path[0] == '/' ? std::optional(path.substr(1)) : std::nullopt;
  if (path.size() > base.size() && path.starts_with(base) && path[base.size()] == '/')
    return path.substr(base.size() + 1);
  return std::nullopt;
}

std::string JoinHost(const std::string& dir, const std::string& name) {
  return dir == "/" ? "/" + name : dir + "/" + name;
}

// The "\*.*" the program writes after a directory entry.
bool IsWholeDirectory(std::string_view lastComponent) {
  return lastComponent == "*.*";
}

// The host path an entry names, taken literally: the directory itself for
// "dir\*.*"; nullopt for an entry that names nothing.
std::optional<std::string> MapEntry(const std::string& entry, const DosToHost& toHost) {
  if (!dos::IsAbsolute(entry)) return std::nullopt;
  if (!IsWholeDirectory(dos::FileNamePart(entry))) return toHost(entry);
  return toHost(dos::Parent(entry));
}

}  // namespace

std::string ArgError::Text() const {
  return host::HostError(verb, object, reason).what();
}

std::variant<Request, ArgError> ParseArchiverArgs(Flavour flavour,
                                                  const std::vector<std::string>& args) {
  Request request;
  request.flavour = flavour;
  std::vector<std::string> words;
  bool switchesEnd = false;
  for (const std::string& arg : args) {
    if (!switchesEnd && arg == "--") {
      switchesEnd = true;
      continue;
    }
    if (!switchesEnd && arg.size() > 1 && arg[0] == '-') {
      if (auto error = ApplySwitch(flavour, arg, request)) return *error;
      request.switches.push_back(arg);
      continue;
    }
    words.push_back(arg);
  }
  std::string line;
  for (const auto& arg : args) line += (line.empty() ? "" : " ") + arg;
  if (words.empty()) return ArgError{"read command line", line, "no command given"};
  if (LowerAscii(words[0]) != "a")
    return ArgError{"run command", words[0], "only 'a' (add) is supported"};
  if (words.size() < 2) return ArgError{"read command line", line, "no archive named"};
  if (words.size() < 3) return ArgError{"read command line", line, "no file to add"};
  for (size_t i = 1; i < words.size(); ++i)
    if (words[i].empty()) return ArgError{"read command line", line, "empty file name"};
  request.archive = words[1];
  request.sources.assign(words.begin() + 2, words.end());
  return request;
}

std::string SevenZipLevel(int level) {
  if (level < 0 || level >= static_cast<int>(kSevenZipLevels.size())) return {};
  return std::string(kSevenZipLevels[static_cast<size_t>(level)]);
}

std::string SevenZipSourceArg(const HostSource& source) {
  if (source.driveRoot) return JoinHost(source.hostPath, ".");
  return source.linkTarget.empty() ? source.hostPath : source.linkTarget;
}

std::string ArchivePrefix(const HostSource& source) {
  if (source.driveRoot) return {};
  const std::string packed = SevenZipSourceArg(source);
  auto slash = packed.find_last_of('/');
  return slash == std::string::npos ? packed : packed.substr(slash + 1);
}

std::vector<std::string> ExpandSkipEntries(const std::vector<std::string>& entries,
                                           const DosToHost& toHost, const ListHostDir& listDir) {
  std::vector<std::string> out;
  for (const std::string& entry : entries) {
    const std::string pattern = dos::FileNamePart(entry);
    if (!dos::HasWildcard(pattern) || IsWholeDirectory(pattern) || !dos::IsAbsolute(entry)) {
      out.push_back(entry);
      continue;
    }
    const std::string parent = dos::Parent(entry);
    auto hostDir = toHost(parent);
    if (!hostDir) continue;
    const bool directoriesToo = pattern.back() == '*';
    for (const DirEntry& e : listDir(*hostDir))
      if ((directoriesToo || !e.directory) && dos::MatchWildcard(pattern, e.name))
        out.push_back(dos::Join(parent, e.name));
  }
  return out;
}

std::vector<std::string> ExcludedArchivePaths(const std::vector<std::string>& entries,
                                              const std::vector<HostSource>& sources,
                                              const DosToHost& toHost) {
  std::vector<std::string> out;
  std::set<std::string> seen;
  for (const std::string& entry : entries) {
    auto mapped = MapEntry(entry, toHost);
    if (!mapped) continue;
    for (const HostSource& source : sources) {
      auto rel = Below(*mapped, source.hostPath);
      if (!rel) continue;
      std::string prefix = ArchivePrefix(source);
      std::string path;
      if (prefix.empty()) {
        path = *rel;  // "" for the whole drive
      } else {
        path = rel->empty() ? prefix : prefix + "/" + *rel;
      }
      if (seen.insert(path).second) out.push_back(path);
    }
  }
  return out;
}

bool FitsExclusionList(std::string_view path) {
  if (path.empty() || path.front() == ' ' || path.back() == ' ') return false;
  for (size_t i = 0; i < path.size();) {
    const auto c = static_cast<unsigned char>(path[i]);
    if (c == '\n' || c == '\r') return false;
    if (c < 0x80) {
      ++i;
      continue;
    }
    // Strict UTF-8: no overlong forms, no surrogates, nothing past U+10FFFF.
    size_t extra;
    unsigned char low = 0x80, high = 0xBF;
    if (c >= 0xC2 && c <= 0xDF) {
      extra = 1;
    } else if (c >= 0xE0 && c <= 0xEF) {
      extra = 2;
      if (c == 0xE0) low = 0xA0;
      if (c == 0xED) high = 0x9F;
    } else if (c >= 0xF0 && c <= 0xF4) {
      extra = 3;
      if (c == 0xF0) low = 0x90;
      if (c == 0xF4) high = 0x8F;
    } else {
      return false;
    }
    if (i + extra >= path.size()) return false;
    for (size_t k = 1; k <= extra; ++k) {
      const auto b = static_cast<unsigned char>(path[i + k]);
      if (b < (k == 1 ? low : 0x80) || b > (k == 1 ? high : 0xBF)) return false;
    }
    i += extra + 1;
  }
  return true;
}

std::vector<std::string> SevenZipArgs(const Request& request, const std::string& archiveHost,
                                      const std::vector<HostSource>& sources,
                                      const std::vector<std::string>& excludedArchivePaths,
                                      bool progress, const std::string& listPath) {
  std::vector<std::string> args = {"a", "-t7z", SevenZipLevel(request.level)};
  if (request.volumeBytes > 0) args.push_back("-v" + std::to_string(request.volumeBytes) + "b");
  if (request.assumeYes) args.push_back("-y");
  args.push_back("-bso0");
  args.push_back(progress ? "-bsp1" : "-bsp0");
  // Followed links pack what lies outside the source, and a loop never ends.
  args.push_back("-snl");
  // Names are names: "a*b.txt" must not also pick "a1b.txt", in a source or
  // in an exclusion.
  args.push_back("-spd");
  // Archive paths, matched exactly: "-xr-" keeps 7-Zip from matching the
  // name at every depth, and absolute paths would match nothing. The whole
  // drive is the one pattern, so it turns wildcards back on ("w").
  for (const auto& path : excludedArchivePaths) {
    if (path.empty()) {
      args.push_back("-xr-w!*");
    } else if (listPath.empty() || !FitsExclusionList(path)) {
      args.push_back("-xr-!" + path);
    }
  }
  if (!listPath.empty()) {
    args.push_back("-scsUTF-8");
    args.push_back("-xr-@" + listPath);
  }
  args.push_back("--");
  args.push_back(archiveHost);
  for (const auto& source : sources) args.push_back(SevenZipSourceArg(source));
  return args;
}

std::string ArchiveStem(std::string_view archiveFileName) {
  auto dot = archiveFileName.find_last_of('.');
  if (dot == std::string_view::npos || dot == 0) return std::string(archiveFileName);
  return std::string(archiveFileName.substr(0, dot));
}

std::string SevenZipArchiveName(std::string_view archiveFileName) {
  return ArchiveStem(archiveFileName) + ".7z";
}

std::vector<std::string> RarArgs(const Request& request, const std::string& archiveHost,
                                 const std::vector<std::string>& sourcesHost,
                                 const std::string& hostListPath) {
  std::vector<std::string> args = {"a"};
  for (const auto& s : request.switches) {
    if (LowerAscii(s).starts_with("-x@")) {
      args.push_back("-x@" + hostListPath);
    } else {
      args.push_back(s);
    }
  }
  args.push_back("-ol");
  args.push_back(archiveHost);
  for (const auto& s : sourcesHost) args.push_back(s);
  return args;
}

std::vector<std::string> RarExcludeLines(const std::vector<std::string>& entries,
                                         const std::vector<HostSource>& sources,
                                         const DosToHost& toHost) {
  std::vector<std::string> lines;
  for (const std::string& entry : entries) {
    auto mapped = MapEntry(entry, toHost);
    if (!mapped) continue;
    for (const HostSource& source : sources) {
      auto rel = source.linkTarget.empty() ? std::nullopt : Below(*mapped, source.hostPath);
      if (!rel) continue;
      mapped = rel->empty() ? source.linkTarget : JoinHost(source.linkTarget, *rel);
      break;
    }
    // A whole directory keeps its "all files" form, in the host's spelling.
    lines.push_back(IsWholeDirectory(dos::FileNamePart(entry)) ? JoinHost(*mapped, "*") : *mapped);
  }
  return lines;
}

}  // namespace kelvo::archiver
