// Helpers for the zip tests: external checkers, zip contents read back with
// libzip, deterministic data.
#pragma once

#include <cstdint>
#include <map>
#include <string>
#include <vector>

namespace kelvo::testing {

struct HostRun {
  int status = -1;
  std::string output;  // standard output and error
};
// Runs a host shell command (test paths hold no quotes).
HostRun RunHost(const std::string& command);
std::string Quote(const std::string& hostPath);

// Bytes that no compressor can shrink, the same for the same seed.
std::string RandomBytes(std::size_t size, std::uint64_t seed);
// Text that deflate shrinks well: CR LF lines with CP437 art.
std::string TextBytes(std::size_t size);

struct ZipEntry {
  std::string data;
  std::int32_t method = -1;  // ZIP_CM_STORE, ZIP_CM_DEFLATE
};
// Entries in zip order, by name; fails the test when the zip cannot be read.
std::vector<std::pair<std::string, ZipEntry>> ReadZip(const std::string& hostPath);
std::vector<std::string> EntryNames(const std::string& hostPath);
// Entry name -> bytes.
std::map<std::string, std::string> EntryMap(const std::string& hostPath);
// The archive comment byte for byte; "<not a zip>" when it can't be read.
std::string ZipComment(const std::string& hostPath);

// An entry's deflated bytes as they stand in the zip.
std::string CompressedBytes(const std::string& hostPath, const std::string& name);

// An entry's local header and central directory record, every field but the
// name, as "field=value ..." text; without the compressed size when
// `withCompressedSize` is false.
std::vector<std::string> EntryRecords(const std::string& hostPath, bool withCompressedSize);

// A zip of `bytes` under `name` made by libzip's own deflate at `level`, with
// the attributes and time the zip component gives an entry.
void LibzipDeflateZip(const std::string& hostPath, const std::string& name,
                      const std::string& bytes, int level, std::uint32_t mode, std::int64_t mtime);

// Names in a host directory, sorted.
std::vector<std::string> DirNames(const std::string& hostDir);

}  // namespace kelvo::testing
