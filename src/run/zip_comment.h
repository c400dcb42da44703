// The archive comment of a zip, written byte for byte into the end record.
//
// libzip refuses comments that are not ASCII or UTF-8 (a CP437 banner, a
// 0x1A), and Info-ZIP cuts a comment at a line holding ".", so the comment
// is written here: the end record is found and checked against the central
// directory it points at (zip64 included), and the new zip is written beside
// the old one and renamed over it, so that a failure leaves the old zip.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvo {

constexpr std::size_t kMaxZipComment = 65535;

struct ZipEndRecord {
  std::uint64_t offset = 0;         // of the end-of-central-directory record
  std::uint64_t commentLength = 0;  // as the record says
  bool zip64 = false;               // a zip64 end record and locator precede it
};

// Finds the real end record of the zip at `hostPath`. Throws HostError
// ("can't <verb> '<shownName>': <reason>") when the file cannot be read or
// is not a zip this code can vouch for (a spanned or self-extracting one).
ZipEndRecord FindZipEndRecord(const std::string& hostPath, std::string_view shownName);

// The comment of the zip, as bytes.
std::string ReadZipComment(const std::string& hostPath, std::string_view shownName);

// Makes `comment` the whole comment of the zip. Refused (HostError, zip
// untouched): more than kMaxZipComment bytes; bytes that a reader would take
// for an end record; a read-only zip; a file that is not a zip.
void WriteZipComment(const std::string& hostPath, std::string_view comment,
                     std::string_view shownName);

}  // namespace kelvo
