// The titles of the program's message boxes.
#pragma once

namespace kelvo {

// Refusals and warnings.
inline constexpr const char* kErrorTitle = "Kelvo32 error";
// Information.
inline constexpr const char* kAppTitle = "Kelvo32";
// Only the 999-volume limit has this one; saved habits of users rely on it
// looking different, so it is not a slip of "Kelvo32 error".
inline constexpr const char* kVolumeLimitTitle = "Kelvo error";

}  // namespace kelvo
