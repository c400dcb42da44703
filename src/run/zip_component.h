// The zip component: adds files to a zip archive, over libzip.
//
// The run drives it like the zip control it stands for: set the inputs, call
// Add(0), look at the 16-bit result. Files are stored flat under their own
// names; an existing zip is extended and an entry of the same name (ignoring
// ASCII case, as on DOS) is replaced. Whatever fails, the zip on disk is
// either the complete new zip or byte for byte the zip from before: libzip
// writes a temporary file beside it and renames it into place.
//
// One pass per zip. A volume's zip is made by four or five steps (volume,
// DIZ, NFO, extras), each naming the same zip. Done one by one, every step
// rewrites the whole zip. Inside a batch the steps are only checked and
// collected, and Commit() writes the zip once:
//
//   ZipBatch batch = zip.BeginBatch();
//   zip.ZipFile = "d:\\zips\\demo01";
//   zip.FilesToAdd = "demo.7z.001\r";
//   if (zip.Add(0) != 0) return false;      // checked now; nothing written yet
//   ... write file_id.diz ...
//   zip.FilesToAdd = "c:\\app\\file_id.diz\r";
//   if (zip.Add(0) != 0) return false;
//   ...
//   if (batch.Commit() != 0) return false;  // the zip is written here
//   ... the zip is complete: run the comment program, delete the volume ...
//
// What the run sees stays the same as step by step:
// - each Add() returns at once with the step's own result: a file that is
//   missing, unreadable or not an ordinary file, a pattern that matches
//   nothing, a bad level, an abort request: non-zero, and nothing is written;
// - a step opens its files when it is called and keeps them open, so a file
//   deleted or replaced after its step still goes in as it was; small files
//   (up to zip::Input::kSnapshotBytes) are read into memory then, so a file rewritten in
//   place afterwards (the next volume's file_id.diz) cannot change this zip;
// - Commit() raises `Adding` for every file and `Status` for the bytes, as a
//   single Add would, and returns 0 or the failure (abort, write error);
// - after a failed step the batch is spoilt: later steps and Commit() return
//   that failure again and nothing is written. The zip is then as it was
//   before the batch, where the step-by-step way would have left the steps
//   that went before; both are "a zip that may hold only some of its files".
// - Leaving the ZipBatch's scope without Commit() (an exception from the DIZ
//   stamping, say) drops the collected steps and writes nothing.
// Call Commit() before anything rewrites the large files collected (volumes).
//
// The zip engine below it (src/zip) knows host paths only; this adapter
// reads the DOS names, finds the files, keeps the batch, and turns the
// engine's results into the control's codes and events.
#pragma once

#include <cstdint>
#include <functional>
#include <memory>
#include <string>
#include <vector>

#include "host/filesystem.h"
#include "zip/check.h"
#include "zip/write.h"

namespace kelvo {

// Results of ZipComponent::Add and ZipBatch::Commit; 0 means every file was
// added, anything else is a failure.
namespace zip_result {
constexpr std::int16_t kOk = 0;
constexpr std::int16_t kBadRequest = 1;    // no file named, level not 0-9, option not 0, no zip
constexpr std::int16_t kFileNotFound = 2;  // missing, unreadable, a directory, or nothing matched
constexpr std::int16_t kNotAZip = 3;       // the zip exists but cannot be read as a zip
constexpr std::int16_t kWriteFailed =
    4;                                 // the new zip could not be written (missing dir, disk full)
constexpr std::int16_t kAborted = 5;   // the abort request was set
constexpr std::int16_t kOtherZip = 6;  // a step of a batch named another zip
constexpr std::int16_t kCheckFailed = 7;  // the zip read back does not hold what went in
}  // namespace zip_result

// A zip read back and found sound.
struct ZipCheck {
  std::string fileName;   // the zip's own name on disk
  std::uint32_t crc = 0;  // of the whole zip file
  std::uint64_t bytes = 0;
};

class ZipBatch;

class ZipComponent {
 public:
  // DOS paths are resolved through `fs`, relative ones against its current
  // directory (the run adds a volume by its bare name from the work folder).
  explicit ZipComponent(host::FileSystem& fs);
  ~ZipComponent();
  ZipComponent(const ZipComponent&) = delete;
  ZipComponent& operator=(const ZipComponent&) = delete;

  // Inputs, set before each add operation.
  // One name per line, each ended by a carriage return: a file, or a
  // directory + "\*.*" (any DOS pattern in the last component) for the
  // ordinary files that match in that directory, not recursive.
  std::string FilesToAdd;
  // The zip's DOS path without ".zip"; ".zip" is appended.
  std::string ZipFile;
  // 6 normal, 9 highest; 1-9 deflate where it helps, 0 stores everything.
  // Data that deflate cannot shrink (a volume of 7z output) is stored at any
  // level; the choice is made from samples of the file.
  std::int16_t CompressionLevel = 6;
  // Set by Abort/Exit, typically from inside ProcessEvents. The running add
  // (or the next one, when none runs) returns kAborted and clears it; a run
  // that begins should clear a stale request.
  bool AbortRequest = false;

  // Events.
  // A file is about to be written; its name as stored in the zip.
  std::function<void(const std::string& name)> Adding;
  // Percent (0-100) of the bytes of this add (or commit) that have been
  // read and written; raised when the value changes, and 100 at the end.
  std::function<void(std::int16_t percent)> Status;
  // Called before each file and after every MiB while the zip is written,
  // so that the window stays alive and Abort can be pressed.
  std::function<void()> ProcessEvents;
  // Something left out on purpose, said in words: a link in a "dir\*.*"
  // directory that leads outside it (a shared job must not pull in
  // /etc/shadow through one).
  std::function<void(const std::string& text)> Warning;

  // The add operation; `options` must be 0. Returns a zip_result value.
  // Called again from inside ProcessEvents while a zip is written, it
  // returns kBadRequest and does nothing.
  std::int16_t Add(std::int16_t options);

  // Starts a batch (see the top of this file). Only one batch at a time: a
  // new one drops the steps of an earlier one that was not committed.
  [[nodiscard]] ZipBatch BeginBatch();

  // Reads the finished zip `zipFile` (".zip" appended) back, as zip/check.h
  // describes, with `file` as the file one entry must match byte for byte:
  // only then may that file be deleted. 0 with `check` filled in, or
  // kCheckFailed and LastError.
  std::int16_t Check(const std::string& zipFile, const std::string& file, ZipCheck& check);
  // Raised by Check just before it reads, with the zip's host path: the
  // place where tests change the zip or the file behind the run's back.
  std::function<void(const std::string& zipHostPath)> Checking;

  // Why the last add or commit failed, as "can't <verb> '<object>': <reason>".
  const std::string& LastError() const { return lastError_; }

 private:
  friend class ZipBatch;
  struct Pending;

  std::int16_t Fail(std::int16_t code, std::string message);
  std::int16_t Fail(const zip::Error& error);
  std::int16_t Collect();
  std::int16_t FindFiles(const std::vector<std::string>& named, std::vector<std::string>& files);
  std::int16_t Write();
  void DropPending();
  void RaiseStatus(std::uint64_t done, std::uint64_t total);

  host::FileSystem& fs_;
  std::unique_ptr<Pending> pending_;
  zip::Writer writer_;
  // The chunks of the last zip written, for its check.
  std::string chunkZip_;
  zip::ChunkMap chunks_;
  zip::Checker checker_;
  bool writing_ = false;
  bool batchOpen_ = false;
  std::uint64_t batchId_ = 0;
  std::int16_t batchFailure_ = 0;
  std::int16_t lastPercent_ = -1;
  std::string lastError_;
};

// The guard of one batch; see the top of this file.
class ZipBatch {
 public:
  ZipBatch(ZipBatch&& other) noexcept;
  ZipBatch& operator=(ZipBatch&&) = delete;
  ZipBatch(const ZipBatch&) = delete;
  ~ZipBatch();

  // Writes the collected steps into the zip in one pass and ends the batch.
  // 0 when every file was added (also when no step was collected); a second
  // call returns the first one's result.
  std::int16_t Commit();

 private:
  friend class ZipComponent;
  ZipBatch(ZipComponent& zip, std::uint64_t id) : zip_(&zip), id_(id) {}
  bool Current() const;

  ZipComponent* zip_;
  std::uint64_t id_;
  bool committed_ = false;
  std::int16_t result_ = 0;
};

}  // namespace kelvo
