// Job scripts (.kvo): a fixed sequence of lines read by position, not by
// key. SaveScript writes one, ReadScript reads it back into the job,
// CheckLoadedJob checks the loaded job against the disk, and OpenScript is
// the menu command that joins them.
#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "core/context.h"

namespace kelvo {

// The script's bytes for the job as it stands; `now` gives the header.
std::string ScriptText(const JobSettings& job, const std::tm& now);

// "&Save script...": asks for a path and writes the script there. Any
// failure ends it silently.
void SaveScript(Context& ctx);

// Reads ctx.ScriptPath into the job. On any failure the reading stops, the
// fields read so far keep their new values, and outside batch mode the user
// is told "Error in Kelvo script". Returns false on failure.
bool ReadScript(Context& ctx);

// Checks the loaded job against the disk; sets ctx.LoadCheckPassed, clears
// fields that name missing files and shows the panel to fix.
void CheckLoadedJob(Context& ctx);

// "&Open script...".
void OpenScript(Context& ctx);

// The window title for a script path: "Kelvo32 - " + its file name.
std::string ScriptWindowTitle(std::string_view scriptPath);

// The conversions scripts use, exposed for tests.
namespace script_values {
// A truth word ("True"/"False" in any case) or a number (0 is off).
std::optional<bool> ToFlag(std::string_view text);
// The leading number of a text: blanks skipped, reading stops at the first
// character that is no part of a number, no number reads as 0.
double LeadingNumber(std::string_view text);
// A number as a 16-bit integer, rounded half to even; nullopt on overflow.
std::optional<std::int16_t> ToInt16(double value);
}  // namespace script_values

// Scripts larger than this are refused: a script is a few hundred bytes
// plus its skip entries, and reading must stay bounded on any input.
constexpr std::size_t kMaxScriptBytes = 16u << 20;

}  // namespace kelvo
