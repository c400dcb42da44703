// The largest zip a set of inputs can make, figured before it is written:
// "will it fit the floppy?".
#pragma once

#include <cstdint>
#include <string>
#include <vector>

namespace kelvo::zip {

// A zip's bytes beside its entries' data: every entry's local header and
// central directory record (libzip writes no extra fields for a file of
// this size and a name of ASCII), and the end record with its comment.
constexpr std::uint64_t kLocalHeaderBytes = 30;
constexpr std::uint64_t kCentralRecordBytes = 46;
constexpr std::uint64_t kEndRecordBytes = 22;

// The most bytes the data of an entry of `size` bytes can take in a zip
// written at `level` (1-9): whether it is stored or deflated is decided
// from samples of the data, so this is the larger of the two, by the
// deflate the writer would use for that size.
std::uint64_t LargestEntryData(std::uint64_t size, int level);

struct SizedEntry {
  std::string name;  // as the zip stores it
  std::uint64_t bytes = 0;
};

// The most bytes a zip of these entries and comment can take as the writer
// makes it at `level`.
std::uint64_t LargestZipBytes(const std::vector<SizedEntry>& entries, std::uint64_t commentBytes,
                              int level);

}  // namespace kelvo::zip
