#include "run/zip_component.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zip.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <memory>
#include <stdexcept>
#include <thread>
#include <vector>

#include "host/dospath.h"
#include "host/host_error.h"
#include "host/unique_fd.h"
#include "run/parallel_deflate.h"
#include "run/zip_archive_file.h"
#include "run/zip_verify.h"

namespace kelvo {

namespace {

// A symbolic link whose file lies outside `hostDir`; a link that resolves
// to nothing counts as outside too. Ordinary files are never outside.
bool LeadsOutside(const std::string& hostDir, const std::string& hostPath) {
  struct stat st;
  if (::lstat(hostPath.c_str(), &st) != 0 || !S_ISLNK(st.st_mode)) return false;
  std::unique_ptr<char, decltype(&std::free)> dir(::realpath(hostDir.c_str(), nullptr), std::free);
  std::unique_ptr<char, decltype(&std::free)> file(::realpath(hostPath.c_str(), nullptr),
                                                   std::free);
  if (!dir || !file) return true;
  const std::string base = std::string(dir.get()) == "/" ? "/" : std::string(dir.get()) + "/";
  return !std::string(file.get()).starts_with(base);
}

constexpr std::size_t kSampleBytes = 4 * 1024;
constexpr std::size_t kReadBlock = 1 << 20;
constexpr std::uint64_t kEventsEvery = 1 << 20;

std::string Message(std::string_view verb, std::string_view object, std::string_view reason) {
  return host::HostError(verb, object, reason).what();
}

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

// The start, the middle and the end of a file of `size` bytes.
std::vector<std::pair<std::uint64_t, std::size_t>> SampleRanges(std::uint64_t size) {
  if (size <= 3 * kSampleBytes) return {{0, static_cast<std::size_t>(size)}};
  return {{0, kSampleBytes},
          {size / 2 - kSampleBytes / 2, kSampleBytes},
          {size - kSampleBytes, kSampleBytes}};
}

bool IsLineEnd(char c) {
  return c == '\r' || c == '\n';
}

}  // namespace

struct ZipItem {
  std::string name;     // entry name: the file's own name on disk
  std::string dosPath;  // for messages
  host::UniqueFd fd;    // large files: read when the zip is written
  std::string data;     // small files: read when the step ran
  bool inMemory = false;
  std::uint64_t size = 0;
  time_t mtime = 0;
  mode_t mode = 0644;
  bool store = false;
  std::int16_t level = 6;  // as set when the step ran
};

struct ZipComponent::Pending {
  std::string zipDos;   // absolute DOS path with ".zip"
  std::string zipHost;  // host path
  std::vector<ZipItem> items;
};

// The state of one write: the sources libzip reads from, and what went wrong.
struct ZipComponent::Writer {
  struct Source {
    Writer* writer;
    ZipItem* item;
    std::uint64_t pos = 0;                       // bytes handed to libzip
    std::size_t bufferStart = 0, bufferEnd = 0;  // in the shared read buffer
    bool announced = false;
    bool parallel = false;  // deflated here, copied by libzip as it is
    bool deflated = false;  // all of it: the CRC is known
    zip_error_t error;
  };

  ZipComponent& zip;
  std::uint64_t total = 0;
  std::uint64_t done = 0;
  std::uint64_t sinceEvents = 0;
  std::vector<std::unique_ptr<Source>> sources;
  std::exception_ptr exception;
  std::string readFailure;
  // libzip reads its sources one after the other; they share one buffer.
  std::vector<char>& buffer;
  Source* bufferOwner = nullptr;
  // One parallel source is read at a time, like the others.
  ParallelDeflate* deflater = nullptr;

  explicit Writer(ZipComponent& z) : zip(z), buffer(z.readBuffer_) {
    if (buffer.size() < kReadBlock) buffer.resize(kReadBlock);
  }
  ~Writer() {
    for (auto& s : sources) zip_error_fini(&s->error);
  }

  // User callbacks must not unwind through libzip.
  template <typename F>
  bool Call(F&& f) {
    try {
      f();
      return true;
    } catch (...) {
      if (!exception) exception = std::current_exception();
      return false;
    }
  }

  bool Progress(std::uint64_t n) {
    done += n;
    sinceEvents += n;
    bool ok = Call([&] { zip.RaiseStatus(done, total); });
    if (ok && sinceEvents >= kEventsEvery) {
      sinceEvents = 0;
      ok = Call([&] {
        if (zip.ProcessEvents) zip.ProcessEvents();
      });
    }
    return ok;
  }

  static zip_int64_t Callback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* s = static_cast<Source*>(state);
    return s->writer->Handle(*s, data, len, cmd);
  }

  zip_int64_t Cancelled(Source& s) {
    zip_error_set(&s.error, ZIP_ER_CANCELLED, 0);
    return -1;
  }

  // Hands out the deflated data, deflating a window of it on the workers
  // whenever the last one has been read. While they work, this thread
  // raises the events by the bytes they have taken, as a read would.
  zip_int64_t ReadDeflated(Source& s, char* data, zip_uint64_t len) {
    ParallelDeflate& d = *deflater;
    auto want = static_cast<std::size_t>(std::min<zip_uint64_t>(len, kReadBlock));
    for (;;) {
      if (std::size_t n = d.Read(data, want)) return static_cast<zip_int64_t>(n);
      if (d.InputDone()) {
        s.deflated = true;
        zip.chunks_[s.item->name] = d.ChunkBytes();
        return 0;
      }
      auto outcome = d.DeflateWindow([&](std::uint64_t deflated) {
        std::uint64_t n = deflated - s.pos;
        s.pos = deflated;
        return Progress(n) && !zip.AbortRequest;
      });
      switch (outcome) {
        case ParallelDeflate::Outcome::kDone:
          continue;
        case ParallelDeflate::Outcome::kStopped:
          return Cancelled(s);
        case ParallelDeflate::Outcome::kReadFailed:
          readFailure = Message("read", s.item->dosPath, d.Failure());
          zip_error_set(&s.error, ZIP_ER_READ, 0);
          return -1;
        case ParallelDeflate::Outcome::kNoMemory:
          zip_error_set(&s.error, ZIP_ER_MEMORY, 0);
          return -1;
      }
    }
  }

  zip_int64_t Handle(Source& s, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    ZipItem& item = *s.item;
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
        s.pos = 0;
        s.bufferStart = s.bufferEnd = 0;
        if (!s.announced) {
          s.announced = true;
          if (!Call([&] {
                if (zip.Adding) zip.Adding(item.name);
                if (zip.ProcessEvents) zip.ProcessEvents();
              }))
            return Cancelled(s);
        }
        if (zip.AbortRequest) return Cancelled(s);
        if (s.parallel) {
          s.deflated = false;
          deflater->Begin(item.level,
                          {item.inMemory ? -1 : item.fd.get(), item.data.data(), item.size});
        }
        return 0;

      case ZIP_SOURCE_READ: {
        if (zip.AbortRequest) return Cancelled(s);
        if (s.parallel) return ReadDeflated(s, static_cast<char*>(data), len);
        std::uint64_t left = item.size - s.pos;
        std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(len, left));
        if (n == 0) return 0;
        if (item.inMemory) {
          std::memcpy(data, item.data.data() + s.pos, n);
        } else {
          if (bufferOwner != &s) {
            bufferOwner = &s;
            s.bufferStart = s.bufferEnd = 0;
          }
          if (s.bufferStart == s.bufferEnd) {
            std::size_t want =
                static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left));
            auto read = host::ReadExactly(item.fd.get(), buffer.data(), want, s.pos);
            if (!read) {
              // A file that shrank after its step is as bad as one that cannot be read.
              readFailure =
                  Message("read", item.dosPath,
                          read.error ? std::strerror(read.error) : "the file got shorter");
              zip_error_set(&s.error, ZIP_ER_READ, read.error);
              return -1;
            }
            s.bufferStart = 0;
            s.bufferEnd = want;
          }
          n = std::min(n, s.bufferEnd - s.bufferStart);
          std::memcpy(data, buffer.data() + s.bufferStart, n);
          s.bufferStart += n;
        }
        s.pos += n;
        if (!Progress(n)) return Cancelled(s);
        return static_cast<zip_int64_t>(n);
      }

      case ZIP_SOURCE_CLOSE:
        if (bufferOwner == &s) bufferOwner = nullptr;
        return 0;

      case ZIP_SOURCE_STAT: {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &s.error);
        if (!st) return -1;
        zip_stat_init(st);
        st->size = item.size;
        st->mtime = item.mtime;
        st->valid |= ZIP_STAT_SIZE | ZIP_STAT_MTIME;
        if (s.parallel) {
          // Already deflated: libzip takes the data as it is. It asks for
          // the CRC once it has read all of it.
          st->comp_method = ZIP_CM_DEFLATE;
          st->valid |= ZIP_STAT_COMP_METHOD;
          if (s.deflated) {
            st->crc = deflater->Crc();
            st->valid |= ZIP_STAT_CRC;
          }
        }
        return sizeof(zip_stat_t);
      }

      case ZIP_SOURCE_GET_FILE_ATTRIBUTES: {
        // What libzip's own deflate reports: the version needed, and the
        // level in general purpose bits 1-2 (fastest, normal, highest).
        auto* attributes = ZIP_SOURCE_GET_ARGS(zip_file_attributes_t, data, len, &s.error);
        if (!attributes) return -1;
        attributes->valid |=
            ZIP_FILE_ATTRIBUTES_VERSION_NEEDED | ZIP_FILE_ATTRIBUTES_GENERAL_PURPOSE_BIT_FLAGS;
        attributes->version_needed = 20;
        attributes->general_purpose_bit_mask = 0x0006;
        attributes->general_purpose_bit_flags = item.level < 3   ? 0x0004
                                                : item.level > 7 ? 0x0002
                                                                 : 0;
        return sizeof(zip_file_attributes_t);
      }

      case ZIP_SOURCE_ERROR:
        return zip_error_to_data(&s.error, data, len);

      case ZIP_SOURCE_FREE:
        return 0;

      case ZIP_SOURCE_SUPPORTS:
        return zip_source_make_command_bitmap(
            ZIP_SOURCE_OPEN, ZIP_SOURCE_READ, ZIP_SOURCE_CLOSE, ZIP_SOURCE_STAT, ZIP_SOURCE_ERROR,
            ZIP_SOURCE_FREE, s.parallel ? ZIP_SOURCE_GET_FILE_ATTRIBUTES : ZIP_SOURCE_FREE,
            static_cast<zip_source_cmd_t>(-1));

      default:
        zip_error_set(&s.error, ZIP_ER_OPNOTSUPP, 0);
        return -1;
    }
  }
};

ZipComponent::ZipComponent(host::FileSystem& fs) : fs_(fs) {}

std::uint64_t ZipComponent::LargestEntryData(std::uint64_t size, std::int16_t level) {
  if (size >= kParallelBytes) return std::max(size, ParallelDeflate::Bound(level, size));
  // libzip's own deflate: raw, at the largest memory level.
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -MAX_WBITS, MAX_MEM_LEVEL, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::bad_alloc();
  std::uint64_t bound = deflateBound(&z, static_cast<uLong>(size));
  deflateEnd(&z);
  return std::max(size, bound);
}

ZipComponent::~ZipComponent() = default;

std::int16_t ZipComponent::Fail(std::int16_t code, std::string message) {
  lastError_ = std::move(message);
  return code;
}

void ZipComponent::DropPending() {
  pending_.reset();
}

void ZipComponent::RaiseStatus(std::uint64_t done, std::uint64_t total) {
  auto percent = static_cast<std::int16_t>(total == 0 ? 100 : done * 100 / total);
  if (percent == lastPercent_) return;
  lastPercent_ = percent;
  if (Status) Status(percent);
}

ZipBatch ZipComponent::BeginBatch() {
  if (writing_) throw std::logic_error("zip batch begun while a zip is written");
  DropPending();
  batchOpen_ = true;
  batchFailure_ = 0;
  return ZipBatch(*this, ++batchId_);
}

std::int16_t ZipComponent::Add(std::int16_t options) {
  using namespace zip_result;
  // An add from inside ProcessEvents would pull the files from under the
  // running one.
  if (writing_) return kBadRequest;
  if (batchOpen_ && batchFailure_) return batchFailure_;
  lastError_.clear();
  std::int16_t result = kOk;
  if (options != 0) {
    result =
        Fail(kBadRequest, Message("add with option", std::to_string(options), "only 0 is known"));
  } else if (AbortRequest) {
    AbortRequest = false;
    result = Fail(kAborted, Message("add to", ZipFile + ".zip", "aborted"));
  } else {
    result = Collect();
  }
  if (batchOpen_) {
    if (result != kOk) {
      batchFailure_ = result;
      DropPending();
    }
    return result;
  }
  // The files of this add go whatever happens, an exception from an event
  // handler included: left behind, they would join the next add.
  struct Drop {
    ZipComponent& zip;
    ~Drop() { zip.DropPending(); }
  } drop{*this};
  if (result == kOk) result = Write();
  return result;
}

std::int16_t ZipComponent::Collect() {
  using namespace zip_result;
  if (CompressionLevel < 0 || CompressionLevel > 9)
    return Fail(kBadRequest, Message("use compression level", std::to_string(CompressionLevel),
                                     "levels are 0 to 9"));
  if (ZipFile.empty()) return Fail(kBadRequest, Message("add to", "", "no zip file named"));

  std::vector<std::string> named;
  for (std::size_t i = 0; i < FilesToAdd.size();) {
    std::size_t end = i;
    while (end < FilesToAdd.size() && !IsLineEnd(FilesToAdd[end])) ++end;
    if (end > i) named.push_back(FilesToAdd.substr(i, end - i));
    i = end + 1;
  }
  if (named.empty()) return Fail(kBadRequest, Message("add to", ZipFile + ".zip", "no file named"));

  std::string zipDos = fs_.Absolute(ZipFile) + ".zip";
  auto zipHost = fs_.HostPath(zipDos);
  if (!zipHost) return Fail(kWriteFailed, Message("create", zipDos, "drive not mapped"));
  if (!pending_) {
    pending_ = std::make_unique<Pending>();
    pending_->zipDos = zipDos;
    pending_->zipHost = *zipHost;
  } else if (pending_->zipHost != *zipHost && !dos::EqualNoCase(pending_->zipDos, zipDos)) {
    return Fail(kOtherZip, Message("add to", zipDos, "the batch is for " + pending_->zipDos));
  }

  // Every file is found and opened before anything is written.
  std::vector<std::string> files;
  for (const auto& name : named) {
    std::string abs = fs_.Absolute(name);
    if (!dos::HasWildcard(dos::FileNamePart(abs))) {
      files.push_back(abs);
      continue;
    }
    std::string dir = dos::Parent(abs);
    if (!fs_.IsDirectory(dir))
      return Fail(kFileNotFound, Message("find", dir, "No such directory"));
    std::vector<std::string> names;
    try {
      names = fs_.ListFiles(abs);
    } catch (const host::HostError& e) {
      return Fail(kFileNotFound, e.what());
    }
    if (names.empty()) return Fail(kFileNotFound, Message("find", abs, "no file matches"));
    const auto hostDir = fs_.HostPath(dir);
    for (const auto& match : names) {
      const std::string path = dos::Join(dir, match);
      if (hostDir && LeadsOutside(*hostDir, *hostDir + "/" + match)) {
        if (Warning) Warning("left out " + path + ": a link to a file outside " + dir);
        continue;
      }
      files.push_back(path);
    }
  }

  std::vector<ZipItem> items;
  for (const auto& dosPath : files) {
    auto host = fs_.HostPath(dosPath);
    if (!host) return Fail(kFileNotFound, Message("open", dosPath, "drive not mapped"));
    ZipItem item;
    item.dosPath = dosPath;
    item.name = host->substr(host->find_last_of('/') + 1);
    // Non-blocking, so that a FIFO named here is refused instead of hanging the run.
    item.fd.reset(::open(host->c_str(), O_RDONLY | O_NONBLOCK | O_CLOEXEC));
    if (!item.fd) return Fail(kFileNotFound, Message("open", dosPath, std::strerror(errno)));
    struct stat st;
    if (::fstat(item.fd.get(), &st) != 0)
      return Fail(kFileNotFound, Message("open", dosPath, std::strerror(errno)));
    if (!S_ISREG(st.st_mode)) return Fail(kFileNotFound, Message("add", dosPath, "not a file"));
    item.size = static_cast<std::uint64_t>(st.st_size);
    item.mtime = st.st_mtime;
    item.mode = st.st_mode & 0777;

    std::string samples;
    if (item.size <= kSnapshotBytes) {
      item.data.resize(static_cast<std::size_t>(item.size));
      auto read = host::ReadExactly(item.fd.get(), item.data.data(), item.data.size(), 0);
      if (read.end == host::ReadOutcome::End::Failed)
        return Fail(kFileNotFound, Message("read", dosPath, std::strerror(read.error)));
      item.data.resize(read.bytes);
      item.size = item.data.size();
      item.inMemory = true;
      item.fd.reset();
      for (auto [offset, len] : SampleRanges(item.size))
        samples.append(item.data, static_cast<std::size_t>(offset), len);
    } else {
      for (auto [offset, len] : SampleRanges(item.size)) {
        std::string part(len, '\0');
        auto read = host::ReadExactly(item.fd.get(), part.data(), len, offset);
        if (read.end == host::ReadOutcome::End::Failed)
          return Fail(kFileNotFound, Message("read", dosPath, std::strerror(read.error)));
        part.resize(read.bytes);
        samples += part;
      }
    }
    item.level = CompressionLevel;
    item.store = CompressionLevel == 0 || !SamplesShrink(samples);
    items.push_back(std::move(item));
  }

  // A later file of the same name takes the earlier one's place, in this add
  // as in the zip.
  for (auto& item : items) {
    auto same = std::find_if(pending_->items.begin(), pending_->items.end(),
                             [&](const ZipItem& p) { return dos::EqualNoCase(p.name, item.name); });
    if (same != pending_->items.end())
      *same = std::move(item);
    else
      pending_->items.push_back(std::move(item));
  }
  return kOk;
}

std::int16_t ZipComponent::Write() {
  using namespace zip_result;
  if (!pending_ || pending_->items.empty()) return kOk;
  if (AbortRequest) {
    AbortRequest = false;
    return Fail(kAborted, Message("add to", pending_->zipDos, "aborted"));
  }
  const std::string& zipDos = pending_->zipDos;
  const std::string& zipHost = pending_->zipHost;
  writing_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{writing_};

  std::string hostDir = zipHost.substr(0, std::max<std::size_t>(zipHost.find_last_of('/'), 1));
  struct stat st;
  if (::stat(hostDir.c_str(), &st) != 0)
    return Fail(kWriteFailed, Message("create", zipDos, std::strerror(errno)));
  if (!S_ISDIR(st.st_mode)) return Fail(kWriteFailed, Message("create", zipDos, "Not a directory"));
  bool existed = ::stat(zipHost.c_str(), &st) == 0;

  zip_error_t openError;
  zip_error_init(&openError);
  zip_t* z = OpenZipArchive(zipHost, ZIP_CREATE, writeBuffer_, &openError);
  if (!z) {
    std::string reason = zip_error_strerror(&openError);
    zip_error_fini(&openError);
    return Fail(existed ? kNotAZip : kWriteFailed, Message("open", zipDos, reason));
  }
  zip_error_fini(&openError);

  chunkZip_ = zipHost;
  chunks_.clear();
  Writer writer(*this);
  auto failWith = [&](std::int16_t code, std::string message) {
    zip_discard(z);
    return Fail(code, std::move(message));
  };
  for (auto& item : pending_->items) {
    writer.total += item.size;
    auto source = std::make_unique<Writer::Source>();
    source->writer = &writer;
    source->item = &item;
    source->parallel = !item.store && item.size >= kParallelBytes;
    if (source->parallel && !deflater_) {
      unsigned cores = std::thread::hardware_concurrency();
      deflater_ = std::make_unique<ParallelDeflate>(cores ? cores : 2);
    }
    writer.deflater = deflater_.get();
    zip_error_init(&source->error);
    writer.sources.push_back(std::move(source));
    zip_source_t* src = zip_source_function(z, &Writer::Callback, writer.sources.back().get());
    if (!src) return failWith(kWriteFailed, Message("add", item.dosPath, zip_strerror(z)));
    // DOS names are one file whatever their case: replace such an entry.
    zip_int64_t index = zip_name_locate(z, item.name.c_str(), ZIP_FL_NOCASE | ZIP_FL_ENC_RAW);
    if (index >= 0) {
      auto at = static_cast<zip_uint64_t>(index);
      const char* old = zip_get_name(z, at, ZIP_FL_ENC_RAW);
      bool sameName = old && old == item.name;
      if (zip_file_replace(z, at, src, 0) != 0 ||
          (!sameName && zip_file_rename(z, at, item.name.c_str(), ZIP_FL_ENC_GUESS) != 0)) {
        zip_source_free(src);
        return failWith(kWriteFailed, Message("add", item.dosPath, zip_strerror(z)));
      }
    } else {
      index = zip_file_add(z, item.name.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_GUESS);
      if (index < 0) {
        zip_source_free(src);
        return failWith(kWriteFailed, Message("add", item.dosPath, zip_strerror(z)));
      }
    }
    auto at = static_cast<zip_uint64_t>(index);
    zip_int32_t method = item.store ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    auto level = static_cast<zip_uint32_t>(item.store ? 0 : item.level);
    auto attributes = static_cast<zip_uint32_t>(S_IFREG | item.mode) << 16;
    if (zip_set_file_compression(z, at, method, level) != 0 ||
        zip_file_set_external_attributes(z, at, 0, ZIP_OPSYS_UNIX, attributes) != 0)
      return failWith(kWriteFailed, Message("add", item.dosPath, zip_strerror(z)));
  }

  zip_register_cancel_callback_with_state(
      z, [](zip_t*, void* self) -> int { return static_cast<ZipComponent*>(self)->AbortRequest; },
      nullptr, this);
  lastPercent_ = -1;
  RaiseStatus(0, writer.total == 0 ? 1 : writer.total);

  if (zip_close(z) == 0) {
    RaiseStatus(writer.total, writer.total);
    if (writer.exception) std::rethrow_exception(writer.exception);
    return kOk;
  }
  std::string reason = zip_strerror(z);
  std::int16_t code = kWriteFailed;
  std::string message = Message("write", zipDos, reason);
  if (AbortRequest || zip_error_code_zip(zip_get_error(z)) == ZIP_ER_CANCELLED) {
    AbortRequest = false;
    code = kAborted;
    message = Message("add to", zipDos, "aborted");
  } else if (!writer.readFailure.empty()) {
    code = kFileNotFound;
    message = writer.readFailure;
  }
  zip_discard(z);
  if (writer.exception) std::rethrow_exception(writer.exception);
  return Fail(code, message);
}

std::int16_t ZipComponent::Check(const std::string& zipFile, const std::string& file,
                                 ZipCheck& check) {
  lastError_.clear();
  std::string zipDos = fs_.Absolute(zipFile) + ".zip";
  std::string fileDos = fs_.Absolute(file);
  auto zipHost = fs_.HostPath(zipDos);
  auto fileHost = fs_.HostPath(fileDos);
  if (!zipHost || !fileHost)
    return Fail(zip_result::kCheckFailed, Message("check", zipDos, "drive not mapped"));
  if (Checking) Checking(*zipHost);
  const std::string name = fileHost->substr(fileHost->find_last_of('/') + 1);
  const std::vector<std::uint64_t>* chunks = nullptr;
  if (auto found = chunks_.find(name); *zipHost == chunkZip_ && found != chunks_.end())
    chunks = &found->second;
  check = CheckZip(*zipHost, name, *fileHost, checkBuffers_, chunks);
  if (!check.ok) return Fail(zip_result::kCheckFailed, Message("check", zipDos, check.reason));
  check.fileName = zipHost->substr(zipHost->find_last_of('/') + 1);
  return zip_result::kOk;
}

ZipBatch::ZipBatch(ZipBatch&& other) noexcept
    : zip_(other.zip_), id_(other.id_), committed_(other.committed_), result_(other.result_) {
  other.zip_ = nullptr;
}

bool ZipBatch::Current() const {
  return zip_ && zip_->batchOpen_ && zip_->batchId_ == id_;
}

ZipBatch::~ZipBatch() {
  if (!Current()) return;
  zip_->batchOpen_ = false;
  zip_->DropPending();
}

std::int16_t ZipBatch::Commit() {
  if (committed_) return result_;
  if (zip_ && zip_->writing_) return zip_result::kBadRequest;
  if (!Current()) {
    // A newer batch dropped these steps.
    return zip_ ? zip_->Fail(
                      zip_result::kBadRequest,
                      host::HostError("commit", "zip batch", "a newer batch replaced it").what())
                : zip_result::kBadRequest;
  }
  committed_ = true;
  result_ = zip_result::kWriteFailed;
  ZipComponent& zip = *zip_;
  zip.batchOpen_ = false;
  std::int16_t result = zip.batchFailure_;
  if (result == zip_result::kOk) {
    try {
      result = zip.Write();
    } catch (...) {
      zip.DropPending();
      throw;
    }
  }
  zip.DropPending();
  result_ = result;
  return result;
}

}  // namespace kelvo
