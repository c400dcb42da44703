// A file to go into a zip, taken when it is named: opened then, and read
// into memory then when it is small, so that a file deleted or rewritten
// afterwards (the next volume's DIZ) cannot change the zip it was named for.
#pragma once

#include <sys/types.h>

#include <cstdint>
#include <ctime>
#include <string>

#include "host/unique_fd.h"
#include "zip/error.h"

namespace kelvo::zip {

struct Input {
  // Files up to this size are read into memory when taken.
  static constexpr std::uint64_t kSnapshotBytes = 1 << 20;

  std::string name;   // the entry name in the zip
  std::string shown;  // how messages name the file
  host::UniqueFd fd;  // large files: read when the zip is written
  std::string data;   // small files and bytes: their contents
  bool inMemory = false;
  std::uint64_t size = 0;
  std::time_t mtime = 0;
  mode_t mode = 0644;
  int level = 6;       // 0 stores; 1-9 deflate where it helps
  bool store = false;  // decided from samples of the data
};

// Takes the ordinary file at `hostPath` as the entry `name`, at `level`
// (0-9). Data that deflate cannot shrink (7z output) is stored at any
// level; a few samples decide. Refused: a level out of range (kBadRequest),
// a file that is missing, unreadable or not an ordinary file (kInput).
Result<Input> TakeFile(const std::string& hostPath, std::string name, std::string shown, int level);

// An entry made of `bytes`, dated `mtime`.
Result<Input> TakeBytes(std::string name, std::string bytes, int level, std::time_t mtime);

}  // namespace kelvo::zip
