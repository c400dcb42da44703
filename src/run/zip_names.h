// How the zips of a set are named: base name, date stamp, volume digits.
#pragma once

#include <cstdint>
#include <ctime>
#include <string>
#include <string_view>

#include "core/context.h"

namespace kelvo {

// Empty for a set of one volume or one archive; else the number with
// leading zeros to three digits (three-digit sets) or two.
std::string VolumeDigits(std::int16_t volumeNumber, std::int16_t volumeCount,
                         std::int16_t archiveSize, bool threeDigits);

// "mmdyy" in Dated batch mode (7 December 1998 gives "12798"), else empty.
std::string DateStamp(BatchMode mode, const std::tm& today);

// The storage directory without its trailing backslash: a drive root
// "D:\" gives "D:".
std::string StoragePrefix(std::string_view zipStorageDir);

struct ZipName {
  std::string path;   // storage prefix + "\" + base + stamp + digits, no extension
  std::string shown;  // base + stamp + digits + ".zip"
};
ZipName ZipNameFor(const Context& ctx, std::int16_t volumeNumber);

}  // namespace kelvo
