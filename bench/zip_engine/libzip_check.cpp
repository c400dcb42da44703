#include "libzip_check.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <zip.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <memory>

#include "host/unique_fd.h"

namespace kelvo::bench {

namespace {

constexpr std::size_t kBlock = 1 << 20;

struct Discard {
  void operator()(zip_t* z) const { zip_discard(z); }
};
struct Close {
  void operator()(zip_file_t* f) const { zip_fclose(f); }
};

std::string OpenError(int code) {
  zip_error_t error;
  zip_error_init_with_code(&error, code);
  std::string text = zip_error_strerror(&error);
  zip_error_fini(&error);
  return text;
}

}  // namespace

LibzipCheck CheckWithLibzip(const std::string& zipPath, std::string_view original,
                            const std::string& originalPath,
                            std::vector<std::vector<char>>& buffers) {
  LibzipCheck check;
  auto fail = [&](std::string reason) {
    check.reason = std::move(reason);
    return check;
  };
  buffers.resize(2);
  for (auto& b : buffers)
    if (b.size() < kBlock) b.resize(kBlock);
  std::vector<char>& entryBlock = buffers[0];
  std::vector<char>& diskBlock = buffers[1];

  int openError = 0;
  std::unique_ptr<zip_t, Discard> z(
      zip_open(zipPath.c_str(), ZIP_CHECKCONS | ZIP_RDONLY, &openError));
  if (!z) return fail(OpenError(openError));

  zip_int64_t wanted = -1;
  host::UniqueFd disk;
  if (!original.empty()) {
    const std::string name(original);
    wanted = zip_name_locate(z.get(), name.c_str(), ZIP_FL_ENC_RAW);
    if (wanted < 0) return fail(name + " is missing from the zip");
    disk.reset(::open(originalPath.c_str(), O_RDONLY | O_CLOEXEC));
    struct stat st;
    if (!disk || ::fstat(disk.get(), &st) != 0)
      return fail("can't read " + name + ": " + std::strerror(errno));
    zip_stat_t entry;
    if (zip_stat_index(z.get(), static_cast<zip_uint64_t>(wanted), ZIP_FL_ENC_RAW, &entry) != 0)
      return fail(name + ": " + zip_strerror(z.get()));
    if (static_cast<std::uint64_t>(st.st_size) != entry.size)
      return fail(name + " differs from the file on disk (" + std::to_string(entry.size) +
                  " bytes in the zip, " + std::to_string(st.st_size) + " on disk)");
  }

  const zip_int64_t count = zip_get_num_entries(z.get(), 0);
  for (zip_int64_t i = 0; i < count; ++i) {
    const auto index = static_cast<zip_uint64_t>(i);
    zip_stat_t entry;
    if (zip_stat_index(z.get(), index, ZIP_FL_ENC_RAW, &entry) != 0)
      return fail(zip_strerror(z.get()));
    const std::string name = entry.name;
    std::unique_ptr<zip_file_t, Close> f(zip_fopen_index(z.get(), index, 0));
    if (!f) return fail(name + ": " + zip_strerror(z.get()));
    // libzip compares the CRC and the size only once a read returns 0:
    // every entry is read to its very end.
    std::uint64_t at = 0;
    for (;;) {
      zip_int64_t n = zip_fread(f.get(), entryBlock.data(), entryBlock.size());
      if (n < 0) return fail(name + ": " + zip_file_strerror(f.get()));
      if (n == 0) break;
      const auto got = static_cast<std::size_t>(n);
      if (i == wanted && (!host::ReadExactly(disk.get(), diskBlock.data(), got, at) ||
                          std::memcmp(diskBlock.data(), entryBlock.data(), got) != 0))
        return fail(name + " differs from the file on disk");
      at += got;
    }
    if (at != entry.size) return fail(name + " is not as long as its recorded size");
  }

  host::UniqueFd whole(::open(zipPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (!whole) return fail(std::strerror(errno));
  uLong crc = crc32(0, nullptr, 0);
  std::uint64_t bytes = 0;
  for (;;) {
    auto read = host::ReadExactly(whole.get(), entryBlock.data(), entryBlock.size(), bytes);
    if (read.end == host::ReadOutcome::End::Failed) return fail(std::strerror(read.error));
    crc = crc32(crc, reinterpret_cast<const Bytef*>(entryBlock.data()),
                static_cast<uInt>(read.bytes));
    bytes += read.bytes;
    if (read.end == host::ReadOutcome::End::Short) break;
  }
  check.ok = true;
  check.crc = static_cast<std::uint32_t>(crc);
  check.bytes = bytes;
  return check;
}

}  // namespace kelvo::bench
