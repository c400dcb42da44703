// The size texts: byte counts written with "," between groups of three, and
// the reading of a size text back into SourceSize.
#pragma once

#include <cstdint>
#include <string>
#include <string_view>

namespace kelvo {

// 1234567 -> "1,234,567"; 0 -> "0".
std::string GroupDigits(std::uint64_t n);

// SourceSize from a size text: the text up to its first space, without its
// ",", read as a number as far as it forms one (so "1.234.567" reads 1.234),
// held in single precision; the megabytes when above 1,000,000, else 0.
// Throws std::overflow_error for a number beyond single precision.
float SourceSizeFromText(std::string_view text);

}  // namespace kelvo
