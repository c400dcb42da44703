// libFuzzer target: the end record of a zip, as pkzip finds it to read and
// to replace the comment. Input: the file. An accepted end record has its
// comment reach exactly to the end of the file; a new comment written into
// it reads back as written, with every byte before the record's comment
// length kept, or is refused with the file untouched.
#include <cstdint>
#include <cstdlib>
#include <fstream>
#include <iterator>
#include <optional>
#include <string>
#include <string_view>

#include "host/host_error.h"
#include "run/zip_comment.h"
#include "scratch_dir.h"

namespace {

constexpr std::size_t kEndSize = 22;

void Require(bool holds) {
  if (!holds) std::abort();
}

std::string ReadAll(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  return std::string((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
}

std::optional<kelvo::ZipEndRecord> Find(const std::string& path) {
  try {
    return kelvo::FindZipEndRecord(path, "fuzz.zip");
  } catch (const kelvo::host::HostError&) {
    return std::nullopt;
  }
}

std::optional<std::string> Comment(const std::string& path) {
  try {
    return kelvo::ReadZipComment(path, "fuzz.zip");
  } catch (const kelvo::host::HostError&) {
    return std::nullopt;
  }
}

// The end record found in `file`, checked against the file's bytes.
std::optional<kelvo::ZipEndRecord> CheckedRecord(const std::string& path, std::string_view file) {
  auto record = Find(path);
  auto comment = Comment(path);
  Require(record.has_value() == comment.has_value());
  if (!record) return std::nullopt;
  Require(record->offset + kEndSize + record->commentLength == file.size());
  Require(file.substr(record->offset, 4) == std::string_view("PK\x05\x06", 4));
  Require(!record->zip64 || record->offset >= 20 + 56);
  Require(*comment == file.substr(record->offset + kEndSize));
  return record;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view file(reinterpret_cast<const char*>(data), size);
  const std::string path = kelvo::fuzz::ScratchDir() + "/fuzz.zip";
  kelvo::fuzz::WriteBytes(path, file);
  auto record = CheckedRecord(path, file);
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
  bool written = true;
  try {
    kelvo::WriteZipComment(path, comment, "fuzz.zip");
  } catch (const kelvo::host::HostError&) {
    written = false;
  }
  std::string after = ReadAll(path);
  if (!written) {
    Require(after == file);
    return 0;
  }
  std::size_t keep = record->offset + kEndSize - 2;
  Require(after.size() == keep + 2 + comment.size());
  Require(std::string_view(after).substr(0, keep) == file.substr(0, keep));
  auto rewritten = CheckedRecord(path, after);
  Require(rewritten && rewritten->offset == record->offset && rewritten->zip64 == record->zip64 &&
          rewritten->commentLength == comment.size());
  return 0;
}
