#include "zip/parallel_deflate.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cstring>
#include <thread>

#include "run/zip_test_util.h"
#include "support/temp_drives.h"

namespace kelvo::zip {

using testing::RandomBytes;
using testing::TempDrives;
using testing::TextBytes;

namespace {

constexpr std::size_t kChunk = ParallelDeflate::kChunkBytes;
constexpr std::size_t kWindow = ParallelDeflate::kChunkBytes * ParallelDeflate::kWindowChunks;

// Half text, half noise, in stretches that cross the chunks' borders.
std::string Mixed(std::size_t size) {
  std::string data;
  for (std::uint64_t seed = 1; data.size() < size; ++seed)
    data += seed % 2 ? TextBytes(90'000) : RandomBytes(50'000, seed);
  data.resize(size);
  return data;
}

std::string Inflate(const std::string& deflated, std::size_t expected) {
  z_stream z{};
  EXPECT_EQ(inflateInit2(&z, -15), Z_OK);
  std::string out(expected + 1, '\0');  // one more: nothing may follow
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(deflated.data()));
  z.avail_in = static_cast<uInt>(deflated.size());
  z.next_out = reinterpret_cast<Bytef*>(out.data());
  z.avail_out = static_cast<uInt>(out.size());
  int result = inflate(&z, Z_FINISH);
  EXPECT_EQ(result, Z_STREAM_END) << "not one complete deflate stream";
  EXPECT_EQ(z.avail_in, 0u) << "bytes after the end of the stream";
  out.resize(z.total_out);
  inflateEnd(&z);
  return out;
}

std::uint32_t Crc(const std::string& data) {
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(data.data()), static_cast<uInt>(data.size())));
}

struct Result {
  ParallelDeflate::Outcome outcome = ParallelDeflate::Outcome::kDone;
  std::string deflated;
  std::vector<std::uint64_t> ticks;
  int windows = 0;
};

// Deflates all of `input`, the way the zip component drives it.
Result DeflateAll(ParallelDeflate& d, int level, const ParallelDeflate::Input& input,
                  const std::function<bool(std::uint64_t)>& tick = nullptr) {
  Result r;
  const auto caller = std::this_thread::get_id();
  d.Begin(level, input);
  char buffer[8192];
  for (;;) {
    while (std::size_t n = d.Read(buffer, sizeof buffer)) r.deflated.append(buffer, n);
    if (d.InputDone()) break;
    ++r.windows;
    r.outcome = d.DeflateWindow([&](std::uint64_t deflated) {
      EXPECT_EQ(std::this_thread::get_id(), caller) << "ticks come on the calling thread";
      r.ticks.push_back(deflated);
      return tick ? tick(deflated) : true;
    });
    if (r.outcome != ParallelDeflate::Outcome::kDone) break;
  }
  return r;
}

ParallelDeflate::Input InMemory(const std::string& data) {
  return {-1, data.data(), data.size()};
}

}  // namespace

TEST(ParallelDeflateTest, OutputInflatesToTheInputAtEverySizeAroundTheChunks) {
  const std::string data = Mixed(kWindow + 3 * kChunk + 17);
  ParallelDeflate d(2);
  for (std::size_t size : {std::size_t{0}, std::size_t{1}, kChunk - 1, kChunk, kChunk + 1,
                           5 * kChunk + 12'345, kWindow, data.size()}) {
    std::string input = data.substr(0, size);
    Result r = DeflateAll(d, 6, InMemory(input));
    ASSERT_EQ(r.outcome, ParallelDeflate::Outcome::kDone) << size;
    EXPECT_EQ(Inflate(r.deflated, size), input) << size;
    EXPECT_EQ(d.Crc(), Crc(input)) << size;
    EXPECT_EQ(d.CompressedSize(), r.deflated.size());
    EXPECT_EQ(r.windows, size > kWindow ? 2 : 1) << size;
    // Ticks count the input taken, up to all of it.
    ASSERT_FALSE(r.ticks.empty());
    EXPECT_TRUE(std::is_sorted(r.ticks.begin(), r.ticks.end()));
    EXPECT_EQ(r.ticks.back(), size);
  }
}

TEST(ParallelDeflateTest, TheSameBytesWhateverTheThreadsAndFromAFileAsFromMemory) {
  TempDrives t;
  const std::string data = Mixed(2 * kWindow + 1000);
  const std::string path = t.Host('d', "data.bin");
  TempDrives::WriteFile(path, data);
  int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);

  for (int level : {1, 9}) {
    ParallelDeflate one(1);
    std::string expected = DeflateAll(one, level, InMemory(data)).deflated;
    EXPECT_EQ(Inflate(expected, data.size()), data);
    for (unsigned threads : {2u, 3u, 8u}) {
      ParallelDeflate d(threads);
      EXPECT_EQ(DeflateAll(d, level, InMemory(data)).deflated, expected) << threads;
      Result fromFile = DeflateAll(d, level, {fd, nullptr, data.size()});
      EXPECT_EQ(fromFile.deflated, expected) << threads;
      EXPECT_EQ(d.Crc(), Crc(data));
      EXPECT_EQ(fromFile.windows, 3);
    }
  }
  ::close(fd);
}

TEST(ParallelDeflateTest, ChunksFindMatchesInTheDataBeforeThem) {
  // 16 KiB of noise over and over: only matches that reach back into the
  // previous chunk make every chunk after the first nearly free.
  const std::string block = RandomBytes(16 * 1024, 9);
  std::string data;
  while (data.size() < 8 * kChunk) data += block;
  ParallelDeflate d(2);
  Result r = DeflateAll(d, 6, InMemory(data));
  EXPECT_EQ(Inflate(r.deflated, data.size()), data);
  EXPECT_LT(r.deflated.size(), block.size() + 8 * 1024);

  // Ordinary text costs next to nothing over one single stream.
  const std::string text = Mixed(6 * kChunk);
  std::string single(compressBound(static_cast<uLong>(text.size())), '\0');
  z_stream z{};
  ASSERT_EQ(deflateInit2(&z, 6, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY), Z_OK);
  z.next_in = reinterpret_cast<Bytef*>(const_cast<char*>(text.data()));
  z.avail_in = static_cast<uInt>(text.size());
  z.next_out = reinterpret_cast<Bytef*>(single.data());
  z.avail_out = static_cast<uInt>(single.size());
  ASSERT_EQ(deflate(&z, Z_FINISH), Z_STREAM_END);
  std::size_t singleSize = z.total_out;
  deflateEnd(&z);
  std::size_t parallelSize = DeflateAll(d, 6, InMemory(text)).deflated.size();
  EXPECT_LT(parallelSize, singleSize + singleSize / 100);
}

TEST(ParallelDeflateTest, StoppingEndsTheWindowAndTheNextFileStartsClean) {
  const std::string data = Mixed(kWindow + kChunk);
  ParallelDeflate d(2);
  Result stopped = DeflateAll(d, 9, InMemory(data), [](std::uint64_t) { return false; });
  EXPECT_EQ(stopped.outcome, ParallelDeflate::Outcome::kStopped);
  ASSERT_EQ(stopped.ticks.size(), 1u);
  EXPECT_LT(stopped.ticks.back(), data.size());
  char byte;
  EXPECT_EQ(d.Read(&byte, 1), 0u);  // half a window is not handed out

  Result again = DeflateAll(d, 9, InMemory(data));
  ASSERT_EQ(again.outcome, ParallelDeflate::Outcome::kDone);
  EXPECT_EQ(Inflate(again.deflated, data.size()), data);
  EXPECT_EQ(d.Crc(), Crc(data));
}

TEST(ParallelDeflateTest, AFileThatCannotBeReadFailsTheWindow) {
  TempDrives t;
  const std::string path = t.Host('d', "short.bin");
  TempDrives::WriteFile(path, Mixed(3 * kChunk));
  int fd = ::open(path.c_str(), O_RDONLY);
  ASSERT_GE(fd, 0);
  ParallelDeflate d(2);
  // Taken for longer than it is: the file got shorter since.
  Result r = DeflateAll(d, 6, {fd, nullptr, 5 * kChunk});
  EXPECT_EQ(r.outcome, ParallelDeflate::Outcome::kReadFailed);
  EXPECT_EQ(d.Failure(), "the file got shorter");
  char byte;
  EXPECT_EQ(d.Read(&byte, 1), 0u);
  ::close(fd);

  int dir = ::open(t.Host('d').c_str(), O_RDONLY | O_DIRECTORY);
  ASSERT_GE(dir, 0);
  r = DeflateAll(d, 6, {dir, nullptr, 2 * kChunk});
  EXPECT_EQ(r.outcome, ParallelDeflate::Outcome::kReadFailed);
  EXPECT_EQ(d.Failure(), std::strerror(EISDIR));
  ::close(dir);
}

}  // namespace kelvo::zip
