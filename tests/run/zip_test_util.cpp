#include "zip_test_util.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zip.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <random>

namespace kelvo::testing {

HostRun RunHost(const std::string& command) {
  HostRun run;
  std::FILE* pipe = ::popen((command + " 2>&1").c_str(), "r");
  if (!pipe) return run;
  char buffer[4096];
  std::size_t n;
  while ((n = std::fread(buffer, 1, sizeof buffer, pipe)) > 0) run.output.append(buffer, n);
  int status = ::pclose(pipe);
  run.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
  return run;
}

std::string Quote(const std::string& hostPath) {
  return "'" + hostPath + "'";
}

std::string RandomBytes(std::size_t size, std::uint64_t seed) {
  std::mt19937_64 rng(seed);
  std::string bytes(size, '\0');
  for (std::size_t i = 0; i < size; i += 8) {
    std::uint64_t v = rng();
    for (std::size_t k = 0; k < 8 && i + k < size; ++k)
      bytes[i + k] = static_cast<char>(v >> (8 * k));
  }
  return bytes;
}

std::string TextBytes(std::size_t size) {
  std::string text;
  for (int line = 0; text.size() < size; ++line)
    text += "\xDB\xB2\xB1\xB0 Kelvo release line " + std::to_string(line) + " \xB0\xB1\xB2\xDB\r\n";
  text.resize(size);
  return text;
}

std::vector<std::pair<std::string, ZipEntry>> ReadZip(const std::string& hostPath) {
  std::vector<std::pair<std::string, ZipEntry>> entries;
  int err = 0;
  zip_t* z = zip_open(hostPath.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &err);
  if (!z) {
    ADD_FAILURE() << "cannot open " << hostPath << " as a zip (libzip error " << err << ")";
    return entries;
  }
  zip_int64_t count = zip_get_num_entries(z, 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    zip_stat_t st;
    zip_stat_index(z, static_cast<zip_uint64_t>(i), ZIP_FL_ENC_RAW, &st);
    ZipEntry entry;
    entry.method = st.comp_method;
    zip_file_t* f = zip_fopen_index(z, static_cast<zip_uint64_t>(i), 0);
    if (!f) {
      ADD_FAILURE() << "cannot read entry " << st.name;
      continue;
    }
    entry.data.resize(st.size);
    zip_int64_t got = zip_fread(f, entry.data.data(), st.size);
    EXPECT_EQ(got, static_cast<zip_int64_t>(st.size)) << st.name;
    zip_fclose(f);
    entries.emplace_back(st.name, std::move(entry));
  }
  zip_discard(z);
  return entries;
}

std::vector<std::string> EntryNames(const std::string& hostPath) {
  std::vector<std::string> names;
  for (const auto& [name, entry] : ReadZip(hostPath)) names.push_back(name);
  return names;
}

std::vector<std::string> DirNames(const std::string& hostDir) {
  std::vector<std::string> names;
  std::error_code ec;
  for (const auto& e : std::filesystem::directory_iterator(hostDir, ec))
    names.push_back(e.path().filename().string());
  std::sort(names.begin(), names.end());
  return names;
}

}  // namespace kelvo::testing
