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
#include <string_view>
#include <vector>

namespace kelvo {

struct ZipCheck {
  bool ok = false;
  std::string reason;       // why not, naming the entry: "demo.7z.001 differs from ..."
  std::uint32_t crc = 0;    // of the whole zip file, when ok
  std::uint64_t bytes = 0;  // the zip's size, when ok
  std::string fileName;     // the zip's own name on disk (set by ZipComponent::Check)
};

// Checks the zip at `zipHost`. `original` names the entry that must match
// the file `originalHost` byte for byte (the volume the zip wraps); empty
// for none. `buffers` holds the blocks the reads use, kept from call to call.
// `chunks`, when given, are the deflated sizes of the original's
// ParallelDeflate chunks: those are inflated on all cores, each primed with
// the file's bytes before it (which the chunk before has been found to
// match). Sizes that do not add up to the entry are ignored.
ZipCheck CheckZip(const std::string& zipHost, std::string_view original,
                  const std::string& originalHost, std::vector<std::vector<char>>& buffers,
                  const std::vector<std::uint64_t>* chunks = nullptr);

}  // namespace kelvo
