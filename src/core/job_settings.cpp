#include "core/job_settings.h"

namespace kelvo {

float VolumeBytesFor(std::int16_t archiveSize) {
  return static_cast<float>(archiveSize) * 500000.0f;
}

float EstimateVolumes(float sourceSize, float volumeBytes) {
  // Single precision at every step: the 99 and 999 limits compare this value.
  float bytes = sourceSize * 1000000.0f;
  return bytes / volumeBytes;
}

float EstimateJobVolumes(JobSettings& job) {
  job.VolumeBytes = VolumeBytesFor(job.ArchiveSize);
  return EstimateVolumes(job.SourceSize, job.VolumeBytes);
}

bool NeedsThreeDigitNumbers(float estimatedVolumes) {
  return estimatedVolumes > 99.0f;
}

bool ThreeDigitNumberingFor(std::int16_t archiveSize, float sourceSize) {
  if (archiveSize == 0) return false;
  return NeedsThreeDigitNumbers(EstimateVolumes(sourceSize, VolumeBytesFor(archiveSize)));
}

std::string NumberText(long long n) {
  return n >= 0 ? " " + std::to_string(n) : std::to_string(n);
}

std::string LimitedBaseName(std::string_view name, size_t limit) {
  if (name.size() <= limit) return std::string(name);
  auto continuation = [&](size_t i) {
    return (static_cast<unsigned char>(name[i]) & 0xC0) == 0x80;
  };
  size_t end = limit;
  if (continuation(end)) {
    // The cut falls inside a character: back to its lead byte, and cut
    // before it when the character runs past the limit. Stray high bytes
    // (CP437) are characters of their own.
    size_t lead = end;
    while (lead > 0 && continuation(lead)) --lead;
    const auto byte = static_cast<unsigned char>(name[lead]);
    const size_t length = byte >= 0xF0 ? 4 : byte >= 0xE0 ? 3 : byte >= 0xC0 ? 2 : 1;
    if (byte >= 0xC0 && lead + length > end) end = lead;
  }
  return std::string(name.substr(0, end));
}

}  // namespace kelvo
