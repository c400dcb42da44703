// The bundled sample release "Orbit": its job and the files a demo run
// needs, laid out for wherever the repository and the demo folder lie.
#pragma once

#include <cstdint>
#include <string>

#include "core/job_settings.h"
#include "host/filesystem.h"

namespace kelvo::samples {

// Host folders of a demo.
struct SampleLayout {
  std::string samplesDir;  // the repository's samples/: DIZ, NFO, extra, banner, release tree
  std::string demoDir;     // gets the release copy, the zips and the job

  std::string SourceDir() const { return demoDir + "/orbit"; }
  std::string ZipDir() const { return demoDir + "/zips"; }
  std::string JobFile() const { return demoDir + "/orbit.kvo"; }
};

// The blank "disk [     ]" of the sample FILE_ID.DIZ, where the stamp goes.
inline constexpr const char* kStampLine = "6";
inline constexpr const char* kStampColumn = "11";

// The data files added to the copied tree: enough for three volumes of
// 500,000 bytes at "Store", and no compressor shrinks them.
inline constexpr std::uintmax_t kDataBytes = 1'200'000;

// The DOS path of a host path through the drive table of `fs`, lower-cased
// as a dialog would hand it to the job. Throws std::runtime_error when no
// drive holds it or it is no DOS name.
std::string DosPath(const host::FileSystem& fs, const std::string& hostPath);

// A fresh copy of the release tree in SourceDir() with `dataBytes` of data
// files (the same bytes every time), and an empty ZipDir().
void PrepareSource(const SampleLayout& layout, std::uintmax_t dataBytes = kDataBytes);

// The job over the layout, its paths as DosPath gives them.
JobSettings SampleJob(const host::FileSystem& fs, const SampleLayout& layout);

// The banner copied into the "temp" folder of the application directory
// `appHostDir`, and remembered in line 4 of its Kelvo32.ini as the program
// itself does; the program then starts with the zip comment on. Returns the
// banner copy's DOS path. Throws std::runtime_error.
std::string InstallComment(const host::FileSystem& fs, const SampleLayout& layout,
                           const std::string& appHostDir);

}  // namespace kelvo::samples
