// The archive size chosen on the Zip panel, its megabyte text, the estimate
// of the volumes the source gives, and what follows from it: two- or
// three-digit numbers and the longest base name.
#pragma once

#include <cstdint>
#include <string>

#include "core/context.h"

namespace kelvo {

// The scroll bar's text: "1 Max file" for 0, "1.44 M" for 3, else the
// megabytes with a point always written (".5 M", "1. M", "99.5 M").
std::string ArchiveSizeTextFor(std::int16_t archiveSize);

// A count of volumes to the nearest hundredth (halves away from zero), two
// decimals, no grouping: 433.4156 -> "433.42".
std::string HundredthsText(float value);

// Recomputes the texts, VolumeBytes, ThreeDigitNumbering and the base-name
// limit for the current ArchiveSize; an image source is raised to at least
// 10 first. Runs on every new value of ArchiveSize: use SetArchiveSize.
void UpdateArchiveSize(Context& ctx);

// Sets ArchiveSize and runs UpdateArchiveSize, only when the value changes.
// Throws std::out_of_range outside 0..199, as the scroll bar refuses it.
void SetArchiveSize(Context& ctx, std::int16_t archiveSize);

// The estimate for a newly measured source; leaves the numbering, the name
// limit and the size text to the next change of the archive size.
void RefreshEstimate(Context& ctx);

}  // namespace kelvo
