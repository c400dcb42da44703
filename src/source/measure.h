// Measuring the source: a drive or directory through the size tool's report
// "c:\size.txt", a CD image by its length. The result is the source-size
// display text, and SourceSize is always read back from that text.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/context.h"

namespace kelvo {

inline constexpr const char* kSizeReport = "c:\\size.txt";
// The source-size display after a measurement that failed.
inline constexpr const char* kSourceSizeError = "Error";

// The command line that has the size tool measure `shortSource` into the
// report. A source holding blanks or redirection characters is quoted (this
// host has no 8.3 names to stand in for it).
std::string SizeToolCommandLine(const std::string& appDir, const std::string& shortSource);

// Reads the report: the figure line after the totals line, else (second
// pass) the one after the block of the source itself, else empty. nullopt
// when the report is missing or unreadable, or ends where a figure line
// must follow.
std::optional<std::string> ReadSizeReport(const host::FileSystem& fs, std::string_view reportPath,
                                          std::string_view shortSource);

// Measures SourcePath with the size tool. Silent (after a script load): a
// failure only shows "Error", and an empty result unchooses the source.
// Otherwise a failure is reported with a message and clears the estimate.
// False when the measurement failed.
bool MeasureSource(Context& ctx, bool silent);

// A CD image: its length with "," groups and " Total bytes". Throws (after
// showing "Error") when the image cannot be measured.
void MeasureImage(Context& ctx, const std::string& imagePath);

// SourceSize from SourceSizeText.
void ParseSourceSize(Context& ctx);

}  // namespace kelvo
