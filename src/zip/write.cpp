#include "zip/write.h"

#include <sys/stat.h>
#include <zip.h>

#include <algorithm>
#include <cerrno>
#include <cstring>
#include <exception>
#include <thread>

#include "zip/archive_file.h"
#include "zip/parallel_deflate.h"

namespace kelvo::zip {

namespace {

constexpr std::size_t kReadBlock = 1 << 20;
constexpr std::uint64_t kTickEvery = 1 << 20;

}  // namespace

// The state of one write: the sources libzip reads from, and what went wrong.
struct Writer::Job {
  struct Source {
    Job* job;
    Input* input;
    std::uint64_t pos = 0;                       // bytes handed to libzip
    std::size_t bufferStart = 0, bufferEnd = 0;  // in the shared read buffer
    bool announced = false;
    bool parallel = false;  // deflated here, copied by libzip as it is
    bool deflated = false;  // all of it: the CRC is known
    zip_error_t error;
  };

  const Events& events;
  std::uint64_t total = 0;
  std::uint64_t done = 0;
  std::uint64_t sinceTick = 0;
  std::vector<std::unique_ptr<Source>> sources;
  std::exception_ptr exception;
  std::optional<Error> readFailure;
  ChunkMap chunks;
  // libzip reads its sources one after the other; they share one buffer.
  std::vector<char>& buffer;
  Source* bufferOwner = nullptr;
  // One parallel source is read at a time, like the others.
  ParallelDeflate* deflater = nullptr;

  Job(const Events& e, std::vector<char>& b) : events(e), buffer(b) {
    if (buffer.size() < kReadBlock) buffer.resize(kReadBlock);
  }
  ~Job() {
    for (auto& s : sources) zip_error_fini(&s->error);
  }

  // Events must not unwind through libzip.
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

  bool Stopped() {
    bool stop = false;
    return !Call([&] { stop = events.stop && events.stop(); }) || stop;
  }

  bool Progress(std::uint64_t n) {
    done += n;
    sinceTick += n;
    bool ok = Call([&] {
      if (events.progress) events.progress(done, total);
    });
    if (ok && sinceTick >= kTickEvery) {
      sinceTick = 0;
      ok = Call([&] {
        if (events.tick) events.tick();
      });
    }
    return ok;
  }

  static zip_int64_t Callback(void* state, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    auto* s = static_cast<Source*>(state);
    return s->job->Handle(*s, data, len, cmd);
  }

  zip_int64_t Cancelled(Source& s) {
    zip_error_set(&s.error, ZIP_ER_CANCELLED, 0);
    return -1;
  }

  zip_int64_t ReadFailed(Source& s, std::string_view reason, int error) {
    readFailure = MakeError(Fault::kInput, "read", s.input->shown, reason);
    zip_error_set(&s.error, ZIP_ER_READ, error);
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
        chunks[s.input->name] = d.ChunkBytes();
        return 0;
      }
      auto outcome = d.DeflateWindow([&](std::uint64_t deflated) {
        std::uint64_t n = deflated - s.pos;
        s.pos = deflated;
        return Progress(n) && !Stopped();
      });
      switch (outcome) {
        case ParallelDeflate::Outcome::kDone:
          continue;
        case ParallelDeflate::Outcome::kStopped:
          return Cancelled(s);
        case ParallelDeflate::Outcome::kReadFailed:
          return ReadFailed(s, d.Failure(), 0);
        case ParallelDeflate::Outcome::kNoMemory:
          zip_error_set(&s.error, ZIP_ER_MEMORY, 0);
          return -1;
      }
    }
  }

  zip_int64_t Read(Source& s, char* data, zip_uint64_t len) {
    Input& input = *s.input;
    std::uint64_t left = input.size - s.pos;
    std::size_t n = static_cast<std::size_t>(std::min<std::uint64_t>(len, left));
    if (n == 0) return 0;
    if (input.inMemory) {
      std::memcpy(data, input.data.data() + s.pos, n);
    } else {
      if (bufferOwner != &s) {
        bufferOwner = &s;
        s.bufferStart = s.bufferEnd = 0;
      }
      if (s.bufferStart == s.bufferEnd) {
        std::size_t want = static_cast<std::size_t>(std::min<std::uint64_t>(buffer.size(), left));
        auto read = host::ReadExactly(input.fd.get(), buffer.data(), want, s.pos);
        // A file that shrank after it was taken is as bad as one that cannot be read.
        if (!read)
          return ReadFailed(s, read.error ? std::strerror(read.error) : "the file got shorter",
                            read.error);
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

  zip_int64_t Handle(Source& s, void* data, zip_uint64_t len, zip_source_cmd_t cmd) {
    Input& input = *s.input;
    switch (cmd) {
      case ZIP_SOURCE_OPEN:
        s.pos = 0;
        s.bufferStart = s.bufferEnd = 0;
        if (!s.announced) {
          s.announced = true;
          if (!Call([&] {
                if (events.adding) events.adding(input.name);
                if (events.tick) events.tick();
              }))
            return Cancelled(s);
        }
        if (Stopped()) return Cancelled(s);
        if (s.parallel) {
          s.deflated = false;
          deflater->Begin(input.level,
                          {input.inMemory ? -1 : input.fd.get(), input.data.data(), input.size});
        }
        return 0;

      case ZIP_SOURCE_READ:
        if (Stopped()) return Cancelled(s);
        if (s.parallel) return ReadDeflated(s, static_cast<char*>(data), len);
        return Read(s, static_cast<char*>(data), len);

      case ZIP_SOURCE_CLOSE:
        if (bufferOwner == &s) bufferOwner = nullptr;
        return 0;

      case ZIP_SOURCE_STAT: {
        auto* st = ZIP_SOURCE_GET_ARGS(zip_stat_t, data, len, &s.error);
        if (!st) return -1;
        zip_stat_init(st);
        st->size = input.size;
        st->mtime = input.mtime;
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
        attributes->general_purpose_bit_flags = input.level < 3   ? 0x0004
                                                : input.level > 7 ? 0x0002
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

  // Adds `input` to `z` (replacing an entry of its name in any case) with
  // its method and permissions; false with libzip's error set.
  bool Add(zip_t* z, Input& input, zip_source_t* src) {
    zip_int64_t index = zip_name_locate(z, input.name.c_str(), ZIP_FL_NOCASE | ZIP_FL_ENC_RAW);
    if (index >= 0) {
      auto at = static_cast<zip_uint64_t>(index);
      const char* old = zip_get_name(z, at, ZIP_FL_ENC_RAW);
      bool sameName = old && old == input.name;
      if (zip_file_replace(z, at, src, 0) != 0 ||
          (!sameName && zip_file_rename(z, at, input.name.c_str(), ZIP_FL_ENC_GUESS) != 0)) {
        zip_source_free(src);
        return false;
      }
    } else {
      index = zip_file_add(z, input.name.c_str(), src, ZIP_FL_OVERWRITE | ZIP_FL_ENC_GUESS);
      if (index < 0) {
        zip_source_free(src);
        return false;
      }
    }
    auto at = static_cast<zip_uint64_t>(index);
    zip_int32_t method = input.store ? ZIP_CM_STORE : ZIP_CM_DEFLATE;
    auto level = static_cast<zip_uint32_t>(input.store ? 0 : input.level);
    auto attributes = static_cast<zip_uint32_t>(S_IFREG | input.mode) << 16;
    return zip_set_file_compression(z, at, method, level) == 0 &&
           zip_file_set_external_attributes(z, at, 0, ZIP_OPSYS_UNIX, attributes) == 0;
  }
};

Writer::Writer() = default;
Writer::~Writer() = default;

Result<ChunkMap> Writer::Write(const Target& target, std::vector<Input>& inputs,
                               const Events& events) {
  const std::string& shown = target.shown;
  // A write from inside an event would pull the buffers from under this one.
  if (writing_) return MakeError(Fault::kBadRequest, "add to", shown, "a zip is being written");
  if (events.stop && events.stop()) return MakeError(Fault::kAborted, "add to", shown, "aborted");
  if (inputs.empty()) return ChunkMap{};
  writing_ = true;
  struct Done {
    bool& flag;
    ~Done() { flag = false; }
  } done{writing_};

  const std::string& zipHost = target.hostPath;
  std::string hostDir = zipHost.substr(0, std::max<std::size_t>(zipHost.find_last_of('/'), 1));
  struct stat st;
  if (::stat(hostDir.c_str(), &st) != 0)
    return MakeError(Fault::kWrite, "create", shown, std::strerror(errno));
  if (!S_ISDIR(st.st_mode)) return MakeError(Fault::kWrite, "create", shown, "Not a directory");
  bool existed = ::stat(zipHost.c_str(), &st) == 0;

  zip_error_t openError;
  zip_error_init(&openError);
  Job job(events, readBuffer_);
  zip_t* z = OpenZipArchive(zipHost, ZIP_CREATE, writeBuffer_, &openError);
  if (!z) {
    std::string reason = zip_error_strerror(&openError);
    zip_error_fini(&openError);
    return MakeError(existed ? Fault::kNotAZip : Fault::kWrite, "open", shown, reason);
  }
  zip_error_fini(&openError);

  for (auto& input : inputs) {
    job.total += input.size;
    auto source = std::make_unique<Job::Source>();
    source->job = &job;
    source->input = &input;
    source->parallel = !input.store && input.size >= kParallelBytes;
    if (source->parallel && !deflater_) {
      unsigned cores = std::thread::hardware_concurrency();
      deflater_ = std::make_unique<ParallelDeflate>(cores ? cores : 2);
    }
    job.deflater = deflater_.get();
    zip_error_init(&source->error);
    job.sources.push_back(std::move(source));
    zip_source_t* src = zip_source_function(z, &Job::Callback, job.sources.back().get());
    if (!src || !job.Add(z, input, src)) {
      Error error = MakeError(Fault::kWrite, "add", input.shown, zip_strerror(z));
      zip_discard(z);
      return error;
    }
  }

  zip_register_cancel_callback_with_state(
      z, [](zip_t*, void* j) -> int { return static_cast<Job*>(j)->Stopped(); }, nullptr, &job);
  if (events.progress) events.progress(0, job.total);

  if (zip_close(z) == 0) {
    if (job.exception) std::rethrow_exception(job.exception);
    if (events.progress) events.progress(job.total, job.total);
    return std::move(job.chunks);
  }
  Error error = MakeError(Fault::kWrite, "write", shown, zip_strerror(z));
  if (zip_error_code_zip(zip_get_error(z)) == ZIP_ER_CANCELLED || job.Stopped())
    error = MakeError(Fault::kAborted, "add to", shown, "aborted");
  else if (job.readFailure)
    error = *job.readFailure;
  zip_discard(z);
  if (job.exception) std::rethrow_exception(job.exception);
  return error;
}

}  // namespace kelvo::zip
