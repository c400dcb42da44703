// Writes inputs into a zip in one pass, over libzip.
//
// Files are stored flat under their entry names; an existing zip is
// extended, and an entry whose name matches one of the inputs ignoring
// ASCII case is replaced (a DOS name is one file whatever its case).
// Whatever fails, the zip on disk is either the complete new zip or byte
// for byte the zip from before: the new one is written beside it and
// renamed into place.
//
// Deflating is the slow part. A large input that is to be deflated is
// deflated on all cores (parallel_deflate.h) when libzip comes to it, and
// libzip copies the deflated data in as it is. The write returns where each
// such entry's chunks lie, so that a check can inflate them on all cores too.
#pragma once

#include <cstdint>
#include <functional>
#include <map>
#include <memory>
#include <string>
#include <vector>

#include "zip/error.h"
#include "zip/input.h"

namespace kelvo::zip {

class ParallelDeflate;

// The zip to write: its host path, and how messages name it.
struct Target {
  std::string hostPath;
  std::string shown;
};

// Called on the writing thread only. An exception thrown by one ends the
// write (the old zip stays) and comes out of Write.
struct Events {
  // An input is about to be written; its entry name.
  std::function<void(const std::string& name)> adding;
  // Bytes of the inputs read and written so far, of `total`: (0, total)
  // first, (total, total) at the end of a write that succeeded.
  std::function<void(std::uint64_t done, std::uint64_t total)> progress;
  // Before each input and after every MiB: where a window keeps alive.
  std::function<void()> tick;
  // Asked often; true stops the write with kAborted.
  std::function<bool()> stop;
};

// Deflated sizes of the chunks of each entry deflated on all cores, by
// entry name.
using ChunkMap = std::map<std::string, std::vector<std::uint64_t>>;

// Keeps its buffers and deflate workers from zip to zip: fresh megabytes
// cost page faults every time. One write at a time.
class Writer {
 public:
  // Inputs from this size on that are to be deflated are deflated on all
  // cores; smaller ones are left to libzip, where threads would cost more
  // than they save.
  static constexpr std::uint64_t kParallelBytes = 256 * 1024;

  Writer();
  ~Writer();
  Writer(const Writer&) = delete;
  Writer& operator=(const Writer&) = delete;

  // Writes `inputs` into the zip. Faults: kBadRequest (called again from
  // inside an event), kNotAZip, kWrite, kInput (an input that can no longer
  // be read), kAborted.
  Result<ChunkMap> Write(const Target& zip, std::vector<Input>& inputs, const Events& events);

 private:
  struct Job;

  std::vector<char> readBuffer_, writeBuffer_;
  std::unique_ptr<ParallelDeflate> deflater_;
  bool writing_ = false;
};

}  // namespace kelvo::zip
