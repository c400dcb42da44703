// libFuzzer target: the end record of a zip, as pkzip finds it to read and
// to replace the comment. Input: the zip's bytes, searched in memory. An
// accepted end record has its comment reach exactly to the end of the file;
// a new comment put into it is found again as written, with every byte
// before the record's comment length kept, or is refused.
#include <cstdint>
#include <cstdlib>
#include <optional>
#include <string>
#include <string_view>

#include "zip/comment.h"

namespace {

constexpr std::size_t kEndSize = 22;

void Require(bool holds) {
  if (!holds) std::abort();
}

// The end record found in `file`, checked against the file's bytes.
std::optional<kelvo::zip::EndRecord> CheckedRecord(std::string_view file) {
  kelvo::zip::EndSearch search = kelvo::zip::SearchEndRecord(kelvo::zip::ZipBytes(file));
  Require(search.readError == 0);
  if (!search.record) return std::nullopt;
  const kelvo::zip::EndRecord& record = *search.record;
  Require(record.offset + kEndSize + record.commentLength == file.size());
  Require(file.substr(record.offset, 4) == std::string_view("PK\x05\x06", 4));
  Require(!record.zip64 || record.offset >= 20 + 56);
  return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view file(reinterpret_cast<const char*>(data), size);
  auto record = CheckedRecord(file);
  if (!record) return 0;

  // A new comment: the old one repeated to the length the file's first two
  // bytes give (for a zip, "PK" asks for 19,280 bytes).
  std::string_view old = file.substr(record->offset + kEndSize);
  std::string comment;
  if (!old.empty()) {
    std::size_t length = static_cast<unsigned char>(file[0]) |
                         static_cast<std::size_t>(static_cast<unsigned char>(file[1])) << 8;
    while (comment.size() < length) comment += old;
    comment.resize(length);
  }
  kelvo::zip::CommentTail tail =
      kelvo::zip::NewCommentTail(kelvo::zip::ZipBytes(file), *record, comment);
  Require(tail.readError == 0);
  if (!tail.refusal.empty()) {
    Require(tail.bytes.empty());
    return 0;
  }
  std::size_t keep = record->offset + kEndSize - 2;
  std::string after = std::string(file.substr(0, keep)) + tail.bytes;
  Require(after.size() == keep + 2 + comment.size());
  auto rewritten = CheckedRecord(after);
  Require(rewritten && rewritten->offset == record->offset && rewritten->zip64 == record->zip64 &&
          rewritten->commentLength == comment.size());
  Require(std::string_view(after).substr(keep + 2) == comment);
  return 0;
}
