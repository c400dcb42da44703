// A finished zip read back through libzip alone, the way any unzip would:
// the benchmark's baseline against our own checker (run/zip_verify.h), and
// written to take its place if the figures say so.
//
// libzip opens the zip with ZIP_CHECKCONS (every local header against its
// central directory record, no entry running into the central directory),
// then every entry is read to its end: only at the end does libzip compare
// the CRC-32 and size it computed with the recorded ones. The entry of the
// file the zip wraps is compared with that file byte for byte as it comes.
// The CRC-32 of the whole zip (for the SFV) takes a second, plain read of
// the file.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>
#include <vector>

namespace kelvo::bench {

struct LibzipCheck {
  bool ok = false;
  std::string reason;       // why not, naming the entry where one is at fault
  std::uint32_t crc = 0;    // of the whole zip file, when ok
  std::uint64_t bytes = 0;  // the zip's size, when ok
};

// `original` names the entry that must match `originalPath` byte for byte;
// empty for none. `buffers` holds the blocks the reads use, kept from call
// to call.
LibzipCheck CheckWithLibzip(const std::string& zipPath, std::string_view original,
                            const std::string& originalPath,
                            std::vector<std::vector<char>>& buffers);

}  // namespace kelvo::bench
