#include "sample_release.h"

#include <filesystem>
#include <fstream>
#include <stdexcept>
#include <vector>

#include "host/dospath.h"
#include "host/text_file.h"

namespace kelvo::samples {

namespace fs = std::filesystem;

namespace {

// splitmix64: the same bytes on every machine, and none a compressor can
// shrink, so that the volume count does not hang on the archiver's level.
void WriteData(const fs::path& path, std::uintmax_t size, std::uint64_t seed) {
  std::ofstream out(path, std::ios::binary | std::ios::trunc);
  std::vector<char> block(64 * 1024);
  std::uint64_t state = seed;
  for (std::uintmax_t left = size; left > 0;) {
    for (size_t i = 0; i < block.size(); i += 8) {
      std::uint64_t z = (state += 0x9E3779B97F4A7C15ull);
      z = (z ^ (z >> 30)) * 0xBF58476D1CE4E5B9ull;
      z = (z ^ (z >> 27)) * 0x94D049BB133111EBull;
      z ^= z >> 31;
      for (size_t k = 0; k < 8; ++k) block[i + k] = static_cast<char>(z >> (8 * k));
    }
    auto n = static_cast<std::streamsize>(std::min<std::uintmax_t>(left, block.size()));
    out.write(block.data(), n);
    left -= static_cast<std::uintmax_t>(n);
  }
  out.close();
  if (!out) throw std::runtime_error("can't write '" + path.string() + "'");
}

}  // namespace

std::string DosPath(const host::FileSystem& files, const std::string& hostPath) {
  std::string absolute = host::NormaliseHostPath(fs::absolute(hostPath).string());
  auto dos = files.Drives().ToDos(absolute);
  if (!dos) throw std::runtime_error("no drive holds '" + absolute + "'");
  std::string problem = dos::PathProblem(*dos);
  if (!problem.empty()) throw std::runtime_error(problem);
  return files.LowerChosenPath(*dos);
}

void PrepareSource(const SampleLayout& layout, std::uintmax_t dataBytes) {
  fs::path source = layout.SourceDir();
  fs::remove_all(source);
  fs::remove_all(layout.ZipDir());
  fs::create_directories(layout.ZipDir());
  fs::copy(fs::path(layout.samplesDir) / "orbit", source, fs::copy_options::recursive);
  fs::create_directories(source / "DATA");
  std::uintmax_t ships = dataBytes / 8;
  WriteData(source / "DATA" / "SECTORS.DAT", dataBytes - ships, 1);
  WriteData(source / "DATA" / "SHIPS.DAT", ships, 2);
}

JobSettings SampleJob(const host::FileSystem& files, const SampleLayout& layout) {
  JobSettings job;
  job.SourcePath = DosPath(files, layout.SourceDir());
  // The packager's scratch folder stays out of the release.
  job.SkipEntries = DosPath(files, layout.SourceDir() + "/WORK") + "\\*.*\r\n";
  job.DizPath = DosPath(files, layout.samplesDir + "/file_id.diz");
  job.DizNumbering = true;
  job.DizColumn = kStampColumn;
  job.DizLine = kStampLine;
  job.NfoPath = DosPath(files, layout.samplesDir + "/orbit.nfo");
  job.ExtraKind = ExtraKindChoice::File;
  job.ExtraPath = DosPath(files, layout.samplesDir + "/bbs.txt");
  job.ZipStorageDir = DosPath(files, layout.ZipDir());
  job.ZipBaseName = "ORBIT";
  job.ArchiveSize = 1;  // 500,000-byte volumes
  job.Compression = 0;  // "Store"
  return job;
}

std::string InstallComment(const host::FileSystem& files, const SampleLayout& layout,
                           const std::string& appHostDir) {
  fs::path temp = fs::path(appHostDir) / "temp";
  fs::create_directories(temp);
  fs::copy_file(fs::path(layout.samplesDir) / "banner.txt", temp / "banner.txt",
                fs::copy_options::overwrite_existing);
  std::string copy = DosPath(files, (temp / "banner.txt").string());
  // Lines 1 to 3 hold nothing the demo needs.
  host::WriteLines((fs::path(appHostDir) / "Kelvo32.ini").string(), {"", "", "", copy});
  return copy;
}

}  // namespace kelvo::samples
