// Small real directory trees for the archiver tests: build one, read one
// back as a map, and unpack a 7z set with the real 7zz.
#pragma once

#include <sys/wait.h>
#include <unistd.h>

#include <spawn.h>
#include <algorithm>
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <string>
#include <vector>

#include "support/temp_drives.h"

extern char** environ;

namespace kelvo::testing {

// Deterministic bytes that do not compress (xorshift).
inline std::string NoiseBytes(size_t size, std::uint32_t seed) {
  std::string out(size, '\0');
  std::uint32_t x = seed ? seed : 1;
  for (auto& c : out) {
    x ^= x << 13;
    x ^= x >> 17;
    x ^= x << 5;
    c = static_cast<char>(x & 0xff);
  }
  return out;
}

// Relative path -> file content, or "<dir>" for a directory.
using TreeMap = std::map<std::string, std::string>;
inline const std::string kDirMark = "<dir>";

inline void WriteTree(const std::string& root, const TreeMap& tree) {
  std::filesystem::create_directories(root);
  for (const auto& [rel, content] : tree) {
    if (content == kDirMark) {
      std::filesystem::create_directories(root + "/" + rel);
    } else {
      TempDrives::WriteFile(root + "/" + rel, content);
    }
  }
}

inline TreeMap ReadTree(const std::string& root) {
  TreeMap tree;
  for (const auto& entry : std::filesystem::recursive_directory_iterator(root)) {
    std::string rel = std::filesystem::relative(entry.path(), root).string();
    tree[rel] = entry.is_directory() ? kDirMark : TempDrives::ReadFile(entry.path().string());
  }
  return tree;
}

// The first executable `name` on the PATH, or empty.
inline std::string OnPath(const std::string& name) {
  const char* path = std::getenv("PATH");
  std::string dirs = path ? path : "";
  size_t start = 0;
  while (start <= dirs.size()) {
    size_t colon = dirs.find(':', start);
    if (colon == std::string::npos) colon = dirs.size();
    std::string candidate = dirs.substr(start, colon - start) + "/" + name;
    if (::access(candidate.c_str(), X_OK) == 0) return candidate;
    start = colon + 1;
  }
  return {};
}

// Runs a program with arguments, waits, returns its exit status.
inline int RunProgram(const std::vector<std::string>& argvText) {
  std::vector<std::string> copy = argvText;
  std::vector<char*> argv;
  for (auto& a : copy) argv.push_back(a.data());
  argv.push_back(nullptr);
  pid_t pid;
  if (::posix_spawnp(&pid, argv[0], nullptr, nullptr, argv.data(), environ) != 0) return -1;
  int status = 0;
  ::waitpid(pid, &status, 0);
  return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

// Unpacks the set whose first volume (or only archive) is `first` into dir.
inline int Unpack(const std::string& first, const std::string& dir) {
  return RunProgram({"7zz", "x", "-y", "-bso0", "-bsp0", "-o" + dir, first});
}

// The names of the ordinary files of a directory, sorted.
inline std::vector<std::string> FileNames(const std::string& dir) {
  std::vector<std::string> names;
  if (!std::filesystem::is_directory(dir)) return names;
  for (const auto& entry : std::filesystem::directory_iterator(dir))
    if (entry.is_regular_file()) names.push_back(entry.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace kelvo::testing
