// Raw deflate of one file on several threads, the way pigz does it.
//
// The data is cut into fixed chunks. Each chunk is deflated on its own, but
// primed with the 32 KiB of data before it, so it still finds the matches
// that reach back into the previous chunk. Every chunk but the last ends
// with a sync flush (byte-aligned, not final), the last one finishes the
// stream: the chunks' outputs, joined in order, are one deflate stream that
// any inflater reads. The CRC-32 of the data is combined from the chunks'.
//
// The chunks are fixed, so the output is the same whatever the number of
// threads. They are deflated a window at a time, which bounds the memory
// whatever the size of the file: the caller drains a window's output with
// Read() before asking for the next one.
//
// Only the calling thread calls back (the tick); workers never do.
#pragma once

#include <atomic>
#include <condition_variable>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <string>
#include <vector>

namespace kelvo::zip {

class ParallelDeflate {
 public:
  static constexpr std::size_t kChunkBytes = 128 * 1024;
  static constexpr std::size_t kWindowChunks = 32;  // 4 MiB of input held at a time
  static constexpr std::uint64_t kWakeBytes = 1 << 20;

  // The data to deflate: read with pread from `fd`, or from `data` in memory
  // (which must outlive the deflate) when `fd` is -1.
  struct Input {
    int fd = -1;
    const char* data = nullptr;
    std::uint64_t size = 0;
  };

  enum class Outcome {
    kDone,        // the window is deflated; Read() it
    kStopped,     // the tick asked to stop; nothing is left to read
    kReadFailed,  // see Failure(); nothing is left to read
    kNoMemory,
  };

  // The most bytes the deflate of `size` bytes at `level` can give: the
  // room each chunk is given (its zlib bound and the sync flush).
  static std::uint64_t Bound(int level, std::uint64_t size);

  // Up to `threads` workers at a time (at least one).
  explicit ParallelDeflate(unsigned threads);
  ~ParallelDeflate();
  ParallelDeflate(const ParallelDeflate&) = delete;
  ParallelDeflate& operator=(const ParallelDeflate&) = delete;

  // Starts over on new data, at `level` 1-9; buffers are kept from file to file.
  void Begin(int level, const Input& input);

  // Every byte of the input has been deflated (its output may wait in Read).
  bool InputDone() const { return nextChunk_ == chunkCount_; }
  // The current window's output has all been read.
  bool WindowDrained() const { return readSlot_ == windowChunks_; }

  // Deflates the next window of chunks on the worker threads. Meanwhile the
  // calling thread calls `tick` every few milliseconds, whenever the workers
  // have taken another kWakeBytes, and once more at the end, with the input
  // bytes deflated so far (of the whole input); when it returns false the
  // workers stop at once and kStopped comes back. Only when the previous
  // window is drained.
  Outcome DeflateWindow(const std::function<bool(std::uint64_t deflated)>& tick);

  // Copies up to `len` bytes of the window's output; 0 once it is drained.
  std::size_t Read(char* out, std::size_t len);

  // The CRC-32 of the data deflated so far: of all of it once InputDone().
  std::uint32_t Crc() const { return crc_; }
  // The compressed bytes handed out by Read() so far.
  std::uint64_t CompressedSize() const { return compressedSize_; }
  // The deflated bytes of each chunk of the data so far, in order: where a
  // reader may start inflating a chunk on its own, primed with the data
  // before it.
  const std::vector<std::uint64_t>& ChunkBytes() const { return chunkBytes_; }
  // Why the last window failed to read its data ("Input/output error").
  const std::string& Failure() const { return failure_; }

 private:
  struct Slot;
  struct Worker;

  void Work(Worker& worker);
  bool DeflateChunk(Worker& worker, std::size_t chunk, Slot& slot);

  int level_ = 6;
  unsigned threads_;
  Input input_;
  std::size_t chunkCount_ = 0;
  std::size_t nextChunk_ = 0;     // first chunk of the next window
  std::size_t windowFirst_ = 0;   // first chunk of the current window
  std::size_t windowChunks_ = 0;  // chunks in the current window
  std::size_t readSlot_ = 0, readOffset_ = 0;
  std::uint64_t deflatedBefore_ = 0;  // input bytes of the windows before
  std::uint32_t crc_ = 0;
  std::uint64_t compressedSize_ = 0;
  std::vector<std::uint64_t> chunkBytes_;
  std::string failure_;

  std::vector<std::unique_ptr<Slot>> slots_;
  std::vector<std::unique_ptr<Worker>> workers_;
  std::atomic<std::size_t> claim_{0};  // next chunk of the window to take
  std::atomic<std::uint64_t> deflated_{0};
  std::atomic<bool> stop_{false};
  // The calling thread sleeps on `wake_` until the workers are done or one
  // of them has more to show.
  std::mutex mutex_;
  std::condition_variable wake_;
  unsigned running_ = 0;
  std::uint64_t wakes_ = 0;
};

}  // namespace kelvo::zip
