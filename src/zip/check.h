// Reads a finished zip back before anything it holds is deleted.
//
// One pass over the file with large reads: every entry's data is checked
// against the CRC-32 its central directory records (deflated entries are
// inflated), the local headers against the central directory, and one entry
// byte for byte against the file on disk it was made from. The CRC-32 of
// the whole zip falls out of the same reads.
#pragma once

#include <cstdint>
#include <string>
#include <vector>

#include "zip/error.h"
#include "zip/write.h"

namespace kelvo::zip {

// The whole zip file: its CRC-32 (the SFV's) and size.
struct CheckSum {
  std::uint32_t crc = 0;
  std::uint64_t bytes = 0;
};

// The entry that must match a file on disk byte for byte; an empty entry
// for none.
struct Original {
  std::string entry;
  std::string hostPath;
};

// Keeps its read buffers from zip to zip. Checkers on different threads
// share nothing.
class Checker {
 public:
  // kCheck with the reason, naming the entry ("demo.7z.001 differs from
  // the file on disk"). `chunks`, from the write of this zip, lets the
  // original's entry be inflated on all cores, each chunk primed with the
  // file's bytes before it (which the chunk before has been found to
  // match); sizes that do not add up to the entry are ignored.
  Result<CheckSum> Check(const Target& zip, const Original& original,
                         const ChunkMap* chunks = nullptr);

 private:
  std::vector<std::vector<char>> buffers_;
};

}  // namespace kelvo::zip
