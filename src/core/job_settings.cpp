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

}  // namespace kelvo
