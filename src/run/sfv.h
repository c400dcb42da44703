// The SFV file of a set: one line per zip with the CRC-32 of the whole zip,
// so that a downloader can check the set with any SFV checker.
#pragma once

#include <cstdint>
#include <ctime>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "core/context.h"

namespace kelvo {

// "&SFV" on the Zip panel: the program's own setting, never the job's.
void SetWriteSfv(Context& ctx, bool on);

struct SfvLine {
  std::string name;  // the zip's name as it stands on disk
  std::uint32_t crc = 0;
};

// The lines of the file, without their ends: ";" comment lines, then
// "name CRC" with eight upper-case hex digits.
std::vector<std::string> SfvLines(const std::vector<SfvLine>& zips, const std::tm& now);

// A CRC as an SFV line writes it: eight upper-case hex digits.
std::string SfvCrc(std::uint32_t crc);

// The "name CRC" lines of an SFV file's bytes, ";" lines skipped; nullopt
// when a line is neither, or names a file in another folder.
std::optional<std::vector<SfvLine>> ParseSfv(std::string_view bytes);

// ZipStorageDir + "\" + ZipBaseName + ".sfv".
std::string SfvPath(const Context& ctx);

// Writes SfvPath with every line ended by CR LF; throws HostError.
void WriteSfv(Context& ctx, const std::vector<SfvLine>& zips);

}  // namespace kelvo
