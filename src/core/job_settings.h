// The one record that describes a packaging job. The panels edit it, job
// scripts save and restore most of it, and the run reads it field by field.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvo {

enum class ExtraKindChoice { None, File, Directory };  // None: neither option chosen
enum class ArchiverKind { Rar, Ace };

struct JobSettings {
  std::string SourcePath;      // drive root "d:\", directory, or .iso file
  bool SourceIsImage = false;  // "&ISO"
  float SourceSize = 0.0f;     // megabytes (10^6 bytes); 0 = unmeasured or <= 1 MB
  bool SaveAsZips = true;
  char WorkDrive = 'c';
  std::string SkipEntries;  // one entry per line, each ended by CR LF
  std::string DizPath;
  bool DizNumbering = false;
  std::string DizColumn;  // digits as typed
  std::string DizLine;
  std::string NfoPath;
  bool NfoFirstZipOnly = false;
  ExtraKindChoice ExtraKind = ExtraKindChoice::None;
  std::string ExtraPath;
  bool ZipCommentEnabled = false;
  std::string ZipCommentPath;
  ArchiverKind Archiver = ArchiverKind::Rar;
  std::int16_t Compression = 3;  // 0 "Store" .. 5 "Maximum!"; -1 = none selected
  std::int16_t ArchiveSize = 3;  // steps of 500,000 bytes, 0..199; 0 = one archive
  bool ZipExtra = false;         // zip level 9 instead of 6
  std::string ZipStorageDir;     // a drive root keeps its backslash
  std::string ZipBaseName;

  // Derived values, kept beside the record.
  float VolumeBytes = 1500000.0f;  // ArchiveSize * 500,000
  bool ThreeDigitNumbering = false;

  bool operator==(const JobSettings&) const = default;
};

constexpr std::int16_t kMaxArchiveSize = 199;
constexpr std::int16_t kImageMinArchiveSize = 10;
constexpr std::int16_t kFloppyArchiveSize = 3;

// The longest base name: zip names keep to eight characters before ".zip"
// with two or three volume digits; one archive without digits may have 20.
constexpr int kSingleArchiveNameLimit = 20;
constexpr int kTwoDigitNameLimit = 6;
constexpr int kThreeDigitNameLimit = 5;
// The base name cut to at most `limit` bytes, never inside a UTF-8
// character (a name of single bytes, CP437 ones too, is cut at `limit`).
std::string LimitedBaseName(std::string_view name, size_t limit);

// ArchiveSize * 500,000 in single precision, as the estimate uses it.
float VolumeBytesFor(std::int16_t archiveSize);
// (SourceSize * 1,000,000) / VolumeBytes in single precision, not rounded.
float EstimateVolumes(float sourceSize, float volumeBytes);
// Sets VolumeBytes for the job's ArchiveSize (not 0) and returns the volumes
// its SourceSize gives at that size.
float EstimateJobVolumes(JobSettings& job);
// The one rule for the numbers' width: more than 99 volumes estimated gives
// three-digit numbers.
bool NeedsThreeDigitNumbers(float estimatedVolumes);
// The rule for an archive size and source size; one archive has no numbers.
bool ThreeDigitNumberingFor(std::int16_t archiveSize, float sourceSize);

// The decimal digits with one leading space for 0 or more, "-n" below 0: the
// blank holds the sign's place, and saved scripts (" Size: 3") carry it.
std::string NumberText(long long n);

}  // namespace kelvo
