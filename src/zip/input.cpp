#include "zip/input.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <zlib.h>

#include <cerrno>
#include <cstring>
#include <utility>
#include <vector>

namespace kelvo::zip {

namespace {

constexpr std::size_t kSampleBytes = 4 * 1024;

// Deflate pays only where it shrinks the data: volumes of 7z output never
// shrink, and deflating them costs far more than storing. A few samples of
// the file, compressed quickly, tell the two apart.
bool SamplesShrink(const std::string& samples) {
  if (samples.empty()) return false;
  uLongf outLen = compressBound(static_cast<uLong>(samples.size()));
  std::vector<Bytef> out(outLen);
  if (compress2(out.data(), &outLen, reinterpret_cast<const Bytef*>(samples.data()),
                static_cast<uLong>(samples.size()), 1) != Z_OK)
    return true;
  return outLen * 50 < samples.size() * 49;  // at least 2% smaller
}

// The start, the middle and the end of data of `size` bytes.
std::vector<std::pair<std::uint64_t, std::size_t>> SampleRanges(std::uint64_t size) {
  if (size <= 3 * kSampleBytes) return {{0, static_cast<std::size_t>(size)}};
  return {{0, kSampleBytes},
          {size / 2 - kSampleBytes / 2, kSampleBytes},
          {size - kSampleBytes, kSampleBytes}};
}

std::optional<Error> CheckLevel(int level) {
  if (level >= 0 && level <= 9) return std::nullopt;
  return MakeError(Fault::kBadRequest, "use compression level", std::to_string(level),
                   "levels are 0 to 9");
}

void DecideMethod(Input& input, const std::string& samples) {
  input.store = input.level == 0 || !SamplesShrink(samples);
}

}  // namespace

Result<Input> TakeFile(const std::string& hostPath, std::string name, std::string shown,
                       int level) {
  if (auto bad = CheckLevel(level)) return *bad;
  Input input;
  input.name = std::move(name);
  input.shown = std::move(shown);
  input.level = level;
  auto fail = [&](std::string_view verb, std::string_view reason) {
    return MakeError(Fault::kInput, verb, input.shown, reason);
  };
  // Non-blocking, so that a FIFO named here is refused instead of hanging.
  input.fd.reset(::open(hostPath.c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
  if (!input.fd) return fail("open", std::strerror(errno));
  struct stat st;
  if (::fstat(input.fd.get(), &st) != 0) return fail("open", std::strerror(errno));
  if (!S_ISREG(st.st_mode)) return fail("add", "not a file");
  input.size = static_cast<std::uint64_t>(st.st_size);
  input.mtime = st.st_mtime;
  input.mode = st.st_mode & 0777;

  std::string samples;
  if (input.size <= Input::kSnapshotBytes) {
    input.data.resize(static_cast<std::size_t>(input.size));
    auto read = host::ReadExactly(input.fd.get(), input.data.data(), input.data.size(), 0);
    if (read.end == host::ReadOutcome::End::Failed) return fail("read", std::strerror(read.error));
    input.data.resize(read.bytes);
    input.size = input.data.size();
    input.inMemory = true;
    input.fd.reset();
    for (auto [offset, len] : SampleRanges(input.size))
      samples.append(input.data, static_cast<std::size_t>(offset), len);
  } else {
    for (auto [offset, len] : SampleRanges(input.size)) {
      std::string part(len, '\0');
      auto read = host::ReadExactly(input.fd.get(), part.data(), len, offset);
      if (read.end == host::ReadOutcome::End::Failed)
        return fail("read", std::strerror(read.error));
      part.resize(read.bytes);
      samples += part;
    }
  }
  DecideMethod(input, samples);
  return input;
}

Result<Input> TakeBytes(std::string name, std::string bytes, int level, std::time_t mtime) {
  if (auto bad = CheckLevel(level)) return *bad;
  Input input;
  input.shown = name;
  input.name = std::move(name);
  input.data = std::move(bytes);
  input.inMemory = true;
  input.size = input.data.size();
  input.mtime = mtime;
  input.level = level;
  std::string samples;
  for (auto [offset, len] : SampleRanges(input.size))
    samples.append(input.data, static_cast<std::size_t>(offset), len);
  DecideMethod(input, samples);
  return input;
}

std::string Message(std::string_view verb, std::string_view object, std::string_view reason) {
  return "can't " + std::string(verb) + " '" + std::string(object) + "': " + std::string(reason);
}

}  // namespace kelvo::zip
