// The archive size chosen on the Zip panel, its megabyte text, the estimate
// of the volumes the source gives, and what follows from it: two- or
// three-digit numbers and the longest base name. The Zip panel's other
// choices of the archiver are here too.
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

// The highest compression level, "Maximum!".
inline constexpr int kMaxCompression = 5;

// Every figure that follows from ArchiveSize and SourceSize, as the run
// figures them: the size text, the estimate (empty while nothing is
// measured or the last measurement failed), VolumeBytes,
// ThreeDigitNumbering, and the base-name limit, which cuts a longer name.
// The session runs it after every action. One volume or less reads
// "1.00 file" when the source size is new since the last figure, and keeps
// the last spelling otherwise.
void RefreshVolumeFigures(Context& ctx);

// The figures for a new value of ArchiveSize (one volume or less reads
// " 1.00 file"); an image source is raised to at least 10 first. Runs on
// every new value of ArchiveSize: use SetArchiveSize.
void UpdateArchiveSize(Context& ctx);

// Sets ArchiveSize and runs UpdateArchiveSize, only when the value changes.
// Throws std::out_of_range outside 0..199, as the scroll bar refuses it.
void SetArchiveSize(Context& ctx, std::int16_t archiveSize);

// The figures for a newly measured source (one volume or less reads
// "1.00 file").
void RefreshEstimate(Context& ctx);

// The Zip panel's "&Rar" and "&Ace", its "Compression" list (0 "Store" to
// 5 "Maximum!", -1 none chosen; anything else throws std::out_of_range) and
// its "Filename" box.
void SetArchiver(Context& ctx, ArchiverKind archiver);
void SetCompression(Context& ctx, int level);
void SetZipBaseName(Context& ctx, std::string name);

}  // namespace kelvo
