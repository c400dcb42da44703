#include "zip/parallel_deflate.h"

#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cerrno>
#include <chrono>
#include <condition_variable>
#include <cstring>
#include <mutex>
#include <new>
#include <stdexcept>
#include <system_error>
#include <thread>

#include "host/unique_fd.h"

namespace kelvo::zip {

namespace {

// A sync flush adds an empty stored block: room for it beyond the bound.
std::size_t ChunkBound(z_stream& z, std::size_t length) {
  return deflateBound(&z, static_cast<uLong>(length)) + 16;
}

constexpr std::size_t kDictionaryBytes = 32 * 1024;  // the deflate window
// Input handed to zlib at a time: the workers count progress and look at
// the stop flag this often (a few milliseconds at the slowest level).
constexpr std::size_t kStepBytes = 32 * 1024;
constexpr auto kTick = std::chrono::milliseconds(10);

}  // namespace

struct ParallelDeflate::Slot {
  enum class State { kEmpty, kDone, kStopped, kReadFailed, kNoMemory };
  State state = State::kEmpty;
  std::vector<unsigned char> bytes;  // only grows: fresh pages cost faults
  std::size_t used = 0;
  std::uint32_t crc = 0;
  std::size_t length = 0;  // input bytes
  int readError = 0;       // errno, 0 for a file that got shorter
};

struct ParallelDeflate::Worker {
  z_stream stream{};
  bool ready = false;
  int level = -1;
  std::vector<unsigned char> buffer;  // a chunk and the data before it, read from the file
  std::thread thread;

  ~Worker() {
    if (ready) deflateEnd(&stream);
  }
};

std::uint64_t ParallelDeflate::Bound(int level, std::uint64_t size) {
  z_stream z{};
  if (deflateInit2(&z, level, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK)
    throw std::bad_alloc();
  std::uint64_t bound = size == 0 ? ChunkBound(z, 0) : 0;
  for (std::uint64_t left = size; left > 0;) {
    std::size_t chunk = static_cast<std::size_t>(std::min<std::uint64_t>(left, kChunkBytes));
    bound += ChunkBound(z, chunk);
    left -= chunk;
  }
  deflateEnd(&z);
  return bound;
}

ParallelDeflate::ParallelDeflate(unsigned threads) : threads_(std::max(threads, 1u)) {}

ParallelDeflate::~ParallelDeflate() = default;

void ParallelDeflate::Begin(int level, const Input& input) {
  level_ = level;
  input_ = input;
  chunkCount_ = std::max<std::uint64_t>(1, (input.size + kChunkBytes - 1) / kChunkBytes);
  nextChunk_ = windowFirst_ = windowChunks_ = 0;
  readSlot_ = readOffset_ = 0;
  deflatedBefore_ = 0;
  crc_ = crc32(0, nullptr, 0);
  compressedSize_ = 0;
  chunkBytes_.clear();
  failure_.clear();
}

bool ParallelDeflate::DeflateChunk(Worker& worker, std::size_t chunk, Slot& slot) {
  const std::uint64_t start = static_cast<std::uint64_t>(chunk) * kChunkBytes;
  const auto length =
      static_cast<std::size_t>(std::min<std::uint64_t>(kChunkBytes, input_.size - start));
  const auto dictionary =
      static_cast<std::size_t>(std::min<std::uint64_t>(kDictionaryBytes, start));
  const bool last = chunk + 1 == chunkCount_;
  slot.length = length;

  const unsigned char* data;
  if (input_.fd >= 0) {
    if (worker.buffer.size() < kDictionaryBytes + kChunkBytes)
      worker.buffer.resize(kDictionaryBytes + kChunkBytes);
    auto read = host::ReadExactly(input_.fd, reinterpret_cast<char*>(worker.buffer.data()),
                                  dictionary + length, start - dictionary);
    if (!read) {
      slot.readError = read.error;
      slot.state = Slot::State::kReadFailed;
      return false;
    }
    data = worker.buffer.data();
  } else {
    data = reinterpret_cast<const unsigned char*>(input_.data) + (start - dictionary);
  }

  z_stream& z = worker.stream;
  if (worker.ready && worker.level != level_) {
    deflateEnd(&z);
    worker.ready = false;
  }
  if (!worker.ready) {
    z = z_stream{};
    if (deflateInit2(&z, level_, Z_DEFLATED, -15, 8, Z_DEFAULT_STRATEGY) != Z_OK) {
      slot.state = Slot::State::kNoMemory;
      return false;
    }
    worker.ready = true;
    worker.level = level_;
  } else {
    deflateReset(&z);
  }
  if (dictionary > 0) deflateSetDictionary(&z, data, static_cast<uInt>(dictionary));
  data += dictionary;
  slot.crc =
      static_cast<std::uint32_t>(crc32(crc32(0, nullptr, 0), data, static_cast<uInt>(length)));

  std::size_t bound = ChunkBound(z, length);
  if (slot.bytes.size() < bound) slot.bytes.resize(bound);
  z.next_out = slot.bytes.data();
  z.avail_out = static_cast<uInt>(slot.bytes.size());
  std::size_t done = 0;
  do {
    std::size_t step = std::min(kStepBytes, length - done);
    bool end = done + step == length;
    int flush = !end ? Z_NO_FLUSH : last ? Z_FINISH : Z_SYNC_FLUSH;
    z.next_in = const_cast<unsigned char*>(data + done);
    z.avail_in = static_cast<uInt>(step);
    for (;;) {
      if (z.avail_out == 0) {
        std::size_t used = slot.bytes.size();
        slot.bytes.resize(used + used / 2 + 64);
        z.next_out = slot.bytes.data() + used;
        z.avail_out = static_cast<uInt>(slot.bytes.size() - used);
      }
      int result = deflate(&z, flush);
      if (result == Z_STREAM_END) break;
      if (result != Z_OK && result != Z_BUF_ERROR) {
        slot.state = Slot::State::kNoMemory;
        return false;
      }
      // Done with this step once the input is taken and, when flushing,
      // the output had room to spare.
      if (z.avail_in == 0 && (flush == Z_NO_FLUSH || (flush == Z_SYNC_FLUSH && z.avail_out > 0)))
        break;
    }
    done += step;
    std::uint64_t before = deflated_.fetch_add(step, std::memory_order_relaxed);
    if ((before + step) / kWakeBytes != before / kWakeBytes) {
      std::lock_guard lock(mutex_);
      ++wakes_;
      wake_.notify_one();
    }
    if (stop_.load(std::memory_order_relaxed) && done < length) {
      slot.state = Slot::State::kStopped;
      return false;
    }
  } while (done < length);
  slot.used = static_cast<std::size_t>(z.next_out - slot.bytes.data());
  slot.state = Slot::State::kDone;
  return true;
}

void ParallelDeflate::Work(Worker& worker) {
  while (!stop_.load(std::memory_order_relaxed)) {
    std::size_t index = claim_.fetch_add(1);
    if (index >= windowChunks_) break;
    Slot& slot = *slots_[index];
    bool ok = false;
    try {
      ok = DeflateChunk(worker, windowFirst_ + index, slot);
    } catch (...) {  // the output could not grow
      slot.state = Slot::State::kNoMemory;
    }
    // One failed chunk fails the window: the others need not go on.
    if (!ok) stop_ = true;
  }
}

ParallelDeflate::Outcome ParallelDeflate::DeflateWindow(
    const std::function<bool(std::uint64_t)>& tick) {
  if (!WindowDrained()) throw std::logic_error("deflate window started before the last was read");
  if (InputDone()) return Outcome::kDone;
  windowFirst_ = nextChunk_;
  windowChunks_ = std::min(kWindowChunks, chunkCount_ - nextChunk_);
  readSlot_ = readOffset_ = 0;
  while (slots_.size() < windowChunks_) slots_.push_back(std::make_unique<Slot>());
  for (std::size_t i = 0; i < windowChunks_; ++i) slots_[i]->state = Slot::State::kEmpty;
  claim_ = 0;
  deflated_ = 0;
  stop_ = false;

  auto wanted = static_cast<unsigned>(std::min<std::size_t>(threads_, windowChunks_));
  while (workers_.size() < wanted) workers_.push_back(std::make_unique<Worker>());
  // Whatever happens on this thread, the workers are stopped and joined,
  // and a window that did not finish leaves nothing to read.
  struct Joiner {
    ParallelDeflate& self;
    unsigned started = 0;
    bool finished = false;
    void Join() {
      for (unsigned i = 0; i < started; ++i) self.workers_[i]->thread.join();
      started = 0;
    }
    ~Joiner() {
      self.stop_ = true;
      Join();
      if (!finished) self.windowChunks_ = 0;
    }
  } joiner{*this};
  std::uint64_t seen;
  {
    std::lock_guard lock(mutex_);
    running_ = 0;
    seen = wakes_;
  }
  for (unsigned i = 0; i < wanted; ++i) {
    {
      std::lock_guard lock(mutex_);
      ++running_;
    }
    try {
      workers_[i]->thread = std::thread([this, i] {
        Work(*workers_[i]);
        std::lock_guard lock(mutex_);
        --running_;
        wake_.notify_one();
      });
      ++joiner.started;
    } catch (const std::system_error&) {
      std::lock_guard lock(mutex_);
      --running_;
      break;
    }
  }
  // No thread to be had: deflate here, without ticks in between.
  if (joiner.started == 0) Work(*workers_[0]);

  for (;;) {
    bool done;
    {
      std::unique_lock lock(mutex_);
      wake_.wait_for(lock, kTick, [&] { return running_ == 0 || wakes_ != seen; });
      done = running_ == 0;
      seen = wakes_;
    }
    if (done) break;
    if (!tick(deflatedBefore_ + deflated_.load(std::memory_order_relaxed)))
      return Outcome::kStopped;
  }
  joiner.Join();

  std::uint64_t length = 0;
  for (std::size_t i = 0; i < windowChunks_; ++i) {
    const Slot& slot = *slots_[i];
    switch (slot.state) {
      case Slot::State::kDone:
        crc_ = static_cast<std::uint32_t>(
            crc32_combine(crc_, slot.crc, static_cast<z_off_t>(slot.length)));
        length += slot.length;
        chunkBytes_.push_back(slot.used);
        continue;
      case Slot::State::kReadFailed:
        failure_ = slot.readError ? std::strerror(slot.readError) : "the file got shorter";
        return Outcome::kReadFailed;
      case Slot::State::kNoMemory:
        return Outcome::kNoMemory;
      default:
        break;
    }
  }
  // Only a failure elsewhere leaves chunks undone, and it was reported above.
  for (std::size_t i = 0; i < windowChunks_; ++i)
    if (slots_[i]->state != Slot::State::kDone) return Outcome::kNoMemory;
  nextChunk_ += windowChunks_;
  deflatedBefore_ += length;
  // Stopped is stopped, however far it got.
  if (!tick(deflatedBefore_)) return Outcome::kStopped;
  joiner.finished = true;
  return Outcome::kDone;
}

std::size_t ParallelDeflate::Read(char* out, std::size_t len) {
  std::size_t copied = 0;
  while (copied < len && readSlot_ < windowChunks_) {
    const Slot& slot = *slots_[readSlot_];
    std::size_t n = std::min(len - copied, slot.used - readOffset_);
    std::memcpy(out + copied, slot.bytes.data() + readOffset_, n);
    copied += n;
    readOffset_ += n;
    if (readOffset_ == slot.used) {
      ++readSlot_;
      readOffset_ = 0;
    }
  }
  compressedSize_ += copied;
  return copied;
}

}  // namespace kelvo::zip
