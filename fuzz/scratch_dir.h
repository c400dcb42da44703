// A private directory for a fuzz target (its drive c:, its files), made on
// first use and removed when the fuzzer exits.
#pragma once

#include <unistd.h>

#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>

namespace kelvo::fuzz {

// Never destroyed itself, so that the exit handler can still read it. In
// memory where the machine allows: rewriting a file on ext4 flushes it on
// close, which would cost most of each run.
inline const std::string& ScratchDir() {
  static const std::string* root = [] {
    std::string tmpl = "/dev/shm/kelvo-fuzz-XXXXXX";
    if (!::mkdtemp(tmpl.data())) {
      tmpl = (std::filesystem::temp_directory_path() / "kelvo-fuzz-XXXXXX").string();
      if (!::mkdtemp(tmpl.data())) std::abort();
    }
    auto* path = new std::string(tmpl);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(ScratchDir(), ec);
    });
    return path;
  }();
  return *root;
}

// Replaces the file with exactly these bytes; aborts when it cannot, since
// every later check would be about the wrong file.
inline void WriteBytes(const std::string& hostPath, std::string_view bytes) {
  std::error_code ec;
  std::filesystem::remove(hostPath, ec);  // a new file, not a truncated one
  std::ofstream out(hostPath, std::ios::binary | std::ios::trunc);
  out.write(bytes.data(), static_cast<std::streamsize>(bytes.size()));
  if (!out.flush()) std::abort();
}

}  // namespace kelvo::fuzz
