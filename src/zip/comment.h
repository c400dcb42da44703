// The archive comment of a zip, written byte for byte into the end record.
//
// libzip refuses comments that are not ASCII or UTF-8 (a CP437 banner, a
// 0x1A), and Info-ZIP cuts a comment at a line holding ".", so the comment
// is written here: the end record is found and checked against the central
// directory it points at (zip64 included), and the new zip is written beside
// the old one and renamed over it, so that a failure leaves the old zip.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "zip/error.h"

namespace kelvo::zip {

constexpr std::size_t kMaxComment = 65535;

struct EndRecord {
  std::uint64_t offset = 0;         // of the end-of-central-directory record
  std::uint64_t commentLength = 0;  // as the record says
  bool zip64 = false;               // a zip64 end record and locator precede it
};

// The bytes of a zip as the end-record search reads them: a whole zip in
// memory, or an open file read where the search looks.
class ZipBytes {
 public:
  explicit ZipBytes(std::string_view file) : memory_(file), size_(file.size()) {}
  ZipBytes(int fd, std::uint64_t size) : fd_(fd), size_(size) {}
  std::uint64_t size() const { return size_; }
  // Exactly `len` bytes at `offset`: false past the end or when a read
  // fails, with the read's errno in *error (0 for the end).
  bool Read(char* out, std::size_t len, std::uint64_t offset, int* error = nullptr) const;

 private:
  std::string_view memory_;
  int fd_ = -1;
  std::uint64_t size_ = 0;
};

// What the search found: the real end record, or none when the bytes are
// no zip this code can vouch for (a spanned or self-extracting one, or no
// zip at all); readError is the errno of a failed read of the file's end.
struct EndSearch {
  std::optional<EndRecord> record;
  int readError = 0;
};
EndSearch SearchEndRecord(const ZipBytes& zip);

// What follows the end record's first 20 bytes once `comment` is the zip's
// comment (its length, then the comment itself), or the reason it is
// refused: longer than kMaxComment bytes, or a zip end record signature
// in it or across its length. readError as above.
struct CommentTail {
  std::string bytes;
  std::string refusal;
  int readError = 0;
};
CommentTail NewCommentTail(const ZipBytes& zip, const EndRecord& record, std::string_view comment);

// Finds the real end record of the zip at `hostPath`; `shownName` names it
// in messages. kNotAZip when the file cannot be read or is not a zip this
// code can vouch for (a spanned or self-extracting one).
Result<EndRecord> FindEndRecord(const std::string& hostPath, std::string_view shownName);

// The comment of the zip, as bytes.
Result<std::string> ReadComment(const std::string& hostPath, std::string_view shownName);

// Makes `comment` the whole comment of the zip. Refused, the zip untouched:
// more than kMaxComment bytes or bytes that a reader would take for an end
// record (kBadRequest); a read-only zip (kWrite); not a zip (kNotAZip).
[[nodiscard]] std::optional<Error> WriteComment(const std::string& hostPath,
                                                std::string_view comment,
                                                std::string_view shownName);

}  // namespace kelvo::zip
