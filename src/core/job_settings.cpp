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

bool ThreeDigitNumberingFor(std::int16_t archiveSize, float sourceSize) {
  if (archiveSize == 0) return false;
  return EstimateVolumes(sourceSize, VolumeBytesFor(archiveSize)) > 99.0f;
}

std::string NumberText(long long n) {
  return n >= 0 ? " " + std::to_string(n) : std::to_string(n);
}

}  // namespace kelvo
