// The drive table: which host directory each DOS drive letter stands for.
#pragma once

#include <map>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo::host {

// DOS program names (lower case, no extension) -> host executables.
class ProgramTable {
 public:
  void Set(std::string_view dosName, std::string hostPath);
  // The first word of a command line: a directory part and the extensions
  // .exe/.pif/.com are ignored, case does not matter.
  std::optional<std::string> Resolve(std::string_view word) const;
  static std::string KeyOf(std::string_view word);

 private:
  std::map<std::string, std::string> programs_;
};

class DriveTable {
 public:
  struct Drive {
    char letter;
    std::string root;  // host directory, no trailing slash except "/"
    bool createOnUse;
    std::string label;  // a mounted volume's name for the drive list; empty for others
  };

  // c: -> the program's private directory (created on first use),
  // h: -> $HOME, z: -> /.
  static DriveTable Defaults();

  void Map(char letter, std::string hostRoot, bool createOnUse = false, std::string label = {});
  void Unmap(char letter);
  std::optional<std::string> Root(char letter) const;
  // The drive's label; empty when it has none or is not mapped.
  std::string Label(char letter) const;
  std::vector<Drive> Drives() const;

  // Host path for an absolute DOS path. "." and ".." are taken lexically
  // first; then each component is matched exactly, else case-insensitively
  // when exactly one entry matches; components that match nothing are kept
  // as written (the path then does not exist yet). nullopt when the drive is
  // not mapped, the path holds a NUL, or the host path would be longer than
  // the host takes (a name over NAME_MAX bytes, the whole over PATH_MAX - 1);
  // `whyNot`, when given, then receives the reason.
  std::optional<std::string> ToHost(std::string_view dosPath, std::string* whyNot = nullptr) const;
  // DOS path for an absolute host path: the mapped root with the longest
  // matching prefix wins.
  std::optional<std::string> ToDos(std::string_view hostPath) const;

  // The [drives] and [programs] sections of a host.ini. A missing file is
  // no error.
  void LoadIni(const std::string& hostIniPath, ProgramTable* programs);
  void ApplyIni(std::string_view iniText, ProgramTable* programs);

  // One-line form handed to the stand-in tools, so that a child maps DOS
  // paths exactly as its parent does. Labels are only shown, never used to
  // map a path, and are left out.
  std::string Serialize() const;
  // nullopt for a malformed line; `problem`, when given, then names the
  // first bad entry and what is wrong with it.
  static std::optional<DriveTable> Deserialize(std::string_view text,
                                               std::string* problem = nullptr);

  // The variable that carries Serialize() to child processes.
  static constexpr const char* kEnvVar = "KELVO32_DRIVES";

 private:
  std::map<char, Drive> drives_;
};

// Lexically normalised absolute host path (no ".", "..", or doubled "/").
std::string NormaliseHostPath(std::string_view path);

}  // namespace kelvo::host
