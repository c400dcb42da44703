// The titles of the program's message boxes, and the texts of the refusals
// that more than one check gives.
#pragma once

namespace kelvo {

// Refusals and warnings.
inline constexpr const char* kErrorTitle = "Kelvo32 error";
// Information.
inline constexpr const char* kAppTitle = "Kelvo32";
// Only the 999-volume limit has this one; saved habits of users rely on it
// looking different, so it is not a slip of "Kelvo32 error".
inline constexpr const char* kVolumeLimitTitle = "Kelvo error";

// Why a job can't run, said by the load check and by the run's own checks.
inline constexpr const char* kNoSource = "No source is chosen";
inline constexpr const char* kNoDiz = "No file_id.diz is chosen";
inline constexpr const char* kNoDizColumn = "No column is given for the numbering";
inline constexpr const char* kNoDizLine = "No line is given for the numbering";
inline constexpr const char* kNoNfo = "No nfo is chosen";
inline constexpr const char* kNoZipStorage = "No zip directory is chosen";
inline constexpr const char* kNoBaseName = "No zip name is given";
inline constexpr const char* kSpacesInBaseName = "Spaces aren't allowed in filename";

}  // namespace kelvo
