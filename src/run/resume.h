// Resuming a set that an earlier run of the same job left unfinished.
//
// A run that makes zips keeps a record in its work folder (kSetRecordName):
//
//   1. before the archiver: the settings that shape the set and the
//      fingerprint of what goes into it (every source file's size and
//      modification time, the DIZ, NFO, extras and comment);
//   2. once the archiver has finished, before the first zip: each volume's
//      name and size;
//   3. one line per zip, after the zip was read back and before its volume
//      is deleted: its name, size and whole-file CRC.
//
// Every line carries its own CRC and ends the record where one is torn, so
// a record cut anywhere (a kill, a power loss) reads as the lines before it.
// A complete run removes the record with the work folder; an interrupted one
// leaves it, and "&Resume" (kelvo32 --resume '!job.kvo') zips only what is
// still missing, after holding the record against the job, the source and
// the zips already made. What doesn't match is refused with the reason.
#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>
#include <variant>
#include <vector>

#include "core/context.h"
#include "core/refusal.h"
#include "host/directory_lock.h"
#include "run/sfv.h"
#include "run/zip_component.h"

namespace kelvo {

// No archiver names a volume so: the zip step's listing leaves it out.
inline constexpr const char* kSetRecordName = "kelvo.rsm";

// The record of the run's set, in the run's work folder.
class SetRecord {
 public:
  struct Volume {
    std::string name;
    std::uint64_t bytes = 0;
  };
  struct Zip {
    std::string name;
    std::uint64_t bytes = 0;
    std::uint32_t crc = 0;
  };

  SetRecord() = default;

  // Writes stage 1 for ctx.run.WorkFolder (replacing any record there).
  // Throws host::HostError.
  static SetRecord Begin(const Context& ctx);
  // Reads the record of a work folder; nullopt when there is none or its
  // first stage is incomplete.
  static std::optional<SetRecord> Read(const Context& ctx, const std::string& workFolder);

  bool Active() const { return !hostPath_.empty(); }
  // True once stage 2 is complete.
  bool HasVolumes() const { return volumesDone_; }
  const std::vector<Volume>& Volumes() const { return volumes_; }
  const std::vector<Zip>& Zips() const { return zips_; }
  const std::vector<std::string>& Settings() const { return settings_; }
  const std::vector<std::string>& Fingerprint() const { return fingerprint_; }
  // The date stamp the zip names carry ("" without one).
  const std::string& DateStamp() const { return dateStamp_; }

  // Stage 2: the volumes of the work folder, in name order. Throws.
  void NoteVolumes(const Context& ctx, const std::vector<std::string>& volumes);
  // Stage 3: one zip read back and found sound, put on the disk first, so
  // that its volume may go even if the power goes next. Throws.
  void NoteZip(const Context& ctx, const ZipCheck& check);
  // Stage 1 again after the archiver is run anew: the volumes and zips are
  // forgotten. Throws.
  void Restart();
  // Deletes the record; the set is complete or was never begun.
  void Remove(const Context& ctx);

 private:
  void Append(const std::vector<std::string>& lines);

  std::string hostPath_;
  std::string dosPath_;
  std::vector<std::string> settings_;     // "name=value"
  std::vector<std::string> fingerprint_;  // one line per file
  std::string dateStamp_;
  std::vector<Volume> volumes_;
  bool volumesDone_ = false;
  std::vector<Zip> zips_;
};

// The settings lines and fingerprint of the job as it is now; the record
// holds them as they were when the set was begun.
std::vector<std::string> SetShapingSettings(const Context& ctx);
std::vector<std::string> SetFingerprint(const Context& ctx);

// A work folder whose record matches the job, held for the resumed run.
struct ResumePoint {
  std::string workFolder;
  std::unique_ptr<host::DirectoryLock> held;
  SetRecord record;
  // The zips already made and sound, one per first volume: their SFV lines.
  std::vector<SfvLine> made;
};

// Finds the job's interrupted set on its work drive (the newest when there
// are several) and checks its record against the job, the source, the
// volumes and the zips; the caller takes the point's folder as the run's.
// `found` tells whether a record of the job's set was there at all, so
// that a refused set can still be shown as one to resume.
std::variant<ResumePoint, Refusal> FindResumePoint(const Context& ctx, bool* found = nullptr);

// Deletes the volumes whose zips are made and sound but which a run ended
// before deleting. Throws host::HostError.
void DropZippedVolumes(Context& ctx, const ResumePoint& point);

// Looks, once per set the job names, for a run of it left unfinished, and
// notes in the view whether "&Resume" can take it up. Not during a run.
void RefreshResumable(Context& ctx);

// True when a work folder holds a set record: a run ended there early and
// may be resumed.
bool HasSetRecord(const Context& ctx, const std::string& workFolder);

// The volumes of a work folder's listing, the record left out.
std::vector<std::string> VolumesIn(const Context& ctx, const std::string& workFolder);

}  // namespace kelvo
