#include "zip_test_util.h"

#include <gtest/gtest.h>
#include <sys/wait.h>
#include <zip.h>

#include <sys/stat.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <iterator>
#include <random>
#include <sstream>

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

std::map<std::string, std::string> EntryMap(const std::string& hostPath) {
  std::map<std::string, std::string> entries;
  for (auto& [name, entry] : ReadZip(hostPath)) entries[name] = std::move(entry.data);
  return entries;
}

std::string ZipComment(const std::string& hostPath) {
  int error = 0;
  zip_t* z = zip_open(hostPath.c_str(), ZIP_RDONLY | ZIP_CHECKCONS, &error);
  if (!z) return "<not a zip>";
  int length = 0;
  const char* comment = zip_get_archive_comment(z, &length, ZIP_FL_ENC_RAW);
  std::string text = comment ? std::string(comment, static_cast<size_t>(length)) : "";
  zip_discard(z);
  return text;
}

std::vector<std::string> EntryNames(const std::string& hostPath) {
  std::vector<std::string> names;
  for (const auto& [name, entry] : ReadZip(hostPath)) names.push_back(name);
  return names;
}

std::string CompressedBytes(const std::string& hostPath, const std::string& name) {
  int err = 0;
  zip_t* z = zip_open(hostPath.c_str(), ZIP_RDONLY, &err);
  if (!z) {
    ADD_FAILURE() << "cannot open " << hostPath << " as a zip (libzip error " << err << ")";
    return {};
  }
  std::string bytes;
  zip_stat_t st;
  zip_file_t* f = nullptr;
  if (zip_stat(z, name.c_str(), 0, &st) == 0 &&
      (f = zip_fopen(z, name.c_str(), ZIP_FL_COMPRESSED)) != nullptr) {
    bytes.resize(st.comp_size);
    EXPECT_EQ(zip_fread(f, bytes.data(), bytes.size()), static_cast<zip_int64_t>(bytes.size()));
    zip_fclose(f);
  } else {
    ADD_FAILURE() << "no entry " << name << " in " << hostPath;
  }
  zip_discard(z);
  return bytes;
}

namespace {

std::uint32_t Le(const std::string& b, std::size_t at, int bytes) {
  std::uint32_t v = 0;
  for (int i = bytes - 1; i >= 0; --i) v = (v << 8) | static_cast<unsigned char>(b.at(at + i));
  return v;
}

}  // namespace

std::vector<std::string> EntryRecords(const std::string& hostPath, bool withCompressedSize) {
  std::vector<std::string> records;
  std::ifstream in(hostPath, std::ios::binary);
  std::string b((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  std::size_t end = b.rfind(std::string("PK\x05\x06", 4));
  if (end == std::string::npos) {
    ADD_FAILURE() << "no end record in " << hostPath;
    return records;
  }
  std::size_t at = Le(b, end + 16, 4);
  for (std::uint32_t n = Le(b, end + 10, 2); n > 0; --n) {
    if (Le(b, at, 4) != 0x02014b50) {
      ADD_FAILURE() << "bad central directory in " << hostPath;
      break;
    }
    std::size_t nameLen = Le(b, at + 28, 2), extraLen = Le(b, at + 30, 2);
    std::size_t commentLen = Le(b, at + 32, 2), local = Le(b, at + 42, 4);
    std::ostringstream r;
    r << std::hex << "central: made=" << Le(b, at + 4, 2) << " need=" << Le(b, at + 6, 2)
      << " flags=" << Le(b, at + 8, 2) << " method=" << Le(b, at + 10, 2)
      << " time=" << Le(b, at + 12, 4) << " crc=" << Le(b, at + 16, 4);
    if (withCompressedSize) r << " csize=" << Le(b, at + 20, 4);
    r << " size=" << Le(b, at + 24, 4) << " attrs=" << Le(b, at + 38, 4) << " extra=" << extraLen;
    std::size_t localExtra = Le(b, local + 28, 2);
    r << " | local: need=" << Le(b, local + 4, 2) << " flags=" << Le(b, local + 6, 2)
      << " method=" << Le(b, local + 8, 2) << " time=" << Le(b, local + 10, 4)
      << " crc=" << Le(b, local + 14, 4);
    if (withCompressedSize) r << " csize=" << Le(b, local + 18, 4);
    r << " size=" << Le(b, local + 22, 4) << " extra=" << localExtra;
    records.push_back(r.str());
    at += 46 + nameLen + extraLen + commentLen;
  }
  return records;
}

void LibzipDeflateZip(const std::string& hostPath, const std::string& name,
                      const std::string& bytes, int level, std::uint32_t mode, std::int64_t mtime) {
  int err = 0;
  zip_t* z = zip_open(hostPath.c_str(), ZIP_CREATE | ZIP_TRUNCATE, &err);
  ASSERT_TRUE(z) << err;
  zip_source_t* src = zip_source_buffer(z, bytes.data(), bytes.size(), 0);
  zip_int64_t index = zip_file_add(z, name.c_str(), src, ZIP_FL_ENC_GUESS);
  ASSERT_GE(index, 0);
  auto at = static_cast<zip_uint64_t>(index);
  ASSERT_EQ(zip_set_file_compression(z, at, ZIP_CM_DEFLATE, static_cast<zip_uint32_t>(level)), 0);
  ASSERT_EQ(zip_file_set_external_attributes(z, at, 0, ZIP_OPSYS_UNIX, (S_IFREG | mode) << 16), 0);
  ASSERT_EQ(zip_file_set_mtime(z, at, static_cast<time_t>(mtime), 0), 0);
  ASSERT_EQ(zip_close(z), 0) << zip_strerror(z);
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
