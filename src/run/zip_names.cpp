#include "run/zip_names.h"

#include <cstdio>

namespace kelvo {

std::string VolumeDigits(std::int16_t volumeNumber, std::int16_t volumeCount,
                         std::int16_t archiveSize, bool threeDigits) {
  if (archiveSize == 0 || volumeCount == 1) return {};
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, threeDigits ? "%03d" : "%02d", volumeNumber);
  return buffer;
}

std::string DateStamp(BatchMode mode, const std::tm& today) {
  if (mode != BatchMode::Dated) return {};
  char buffer[16];
  std::snprintf(buffer, sizeof buffer, "%02d%d%02d", today.tm_mon + 1, today.tm_mday,
                today.tm_year % 100);
  return buffer;
}

std::string StoragePrefix(std::string_view zipStorageDir) {
  if (zipStorageDir.ends_with('\\')) return std::string(zipStorageDir.substr(0, 2));
  return std::string(zipStorageDir);
}

ZipName ZipNameFor(const Context& ctx, std::int16_t volumeNumber) {
  const JobSettings& job = ctx.job;
  std::string name =
      job.ZipBaseName + ctx.run.DateStamp.value_or(DateStamp(ctx.batchMode, ctx.clock.Now())) +
      VolumeDigits(volumeNumber, ctx.run.VolumeCount, job.ArchiveSize, job.ThreeDigitNumbering);
  return {StoragePrefix(job.ZipStorageDir) + "\\" + name, name + ".zip"};
}

}  // namespace kelvo
