// Job scripts (.kvo): a fixed sequence of lines read by position, not by
// key. SaveScript writes one, ReadScript reads it back into the job,
// CheckLoadedJob checks the loaded job against the disk, and OpenScript is
// the menu command that joins them.
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/context.h"
#include "core/refusal.h"

namespace kelvo {

// The script's bytes for the job as it stands; `now` gives the header.
std::string ScriptText(const JobSettings& job, const std::tm& now);

// "&Save script...": asks for a path and writes the script there. Any
// failure ends it silently.
void SaveScript(Context& ctx);

// Reads ctx.ScriptPath into the job. On any failure the reading stops and
// the fields read so far keep their new values; the user is told "Error in
// Kelvo script" and why ("can't read 'c:\job.kvo': line 16: Solid 6 is not
// 0 to 5"), and a run without a window reports the reason: a half-read job
// is never packaged. Returns false on failure (status 2).
bool ReadScript(Context& ctx);

// A script's values as read, before any of them reaches the job. Reading
// stops at the first failure: the fields read until then are set, the rest
// stay empty.
struct ParsedScript {
  // Off by a number only: whether "&File" was chosen depends on the job.
  enum class ExtraKind { Directory, File, NumberOff };
  std::optional<std::string> sourcePath;
  std::string skipEntries;  // each entry read and CR LF, as the list holds them
  std::optional<std::string> dizPath;
  std::optional<bool> dizNumbering;
  std::optional<std::string> dizColumn, dizLine, nfoPath;
  std::optional<bool> nfoFirstZipOnly;
  std::optional<ExtraKind> extraKind;
  std::optional<std::string> extraPath, zipStorageDir, zipBaseName;
  std::optional<std::int16_t> archiveSize, compression;
  std::optional<bool> zipExtra;
};

// Why a script can't be read: the reason names the line ("line 16: Solid 6
// is not 0 to 5"); line is 0 when the reason is about no line.
struct ScriptError {
  std::size_t line = 0;
  std::string reason;
};

struct ScriptParse {
  ParsedScript values;  // complete when there is no error
  std::optional<ScriptError> error;
};
// Reads a script's bytes; no file, no job.
ScriptParse ParseScript(std::string_view bytes);

// Sets the job's fields (and the view state they drive) from what was read,
// in the script's order; a field that was not read is left as it is.
void ApplyScript(Context& ctx, const ParsedScript& script);

// Checks the loaded job against the job rules; sets ctx.LoadCheckPassed, and
// presents a refusal (clearing fields that name missing files or are no DOS
// names, showing the panel to fix) and returns it.
std::optional<Refusal> CheckLoadedJob(Context& ctx);

// "&Open script...".
void OpenScript(Context& ctx);
// "&Open script..." from the point where its dialog has chosen the script.
void LoadChosenScript(Context& ctx, const std::string& chosen);
// A script dropped on the window: opened as "&Open script..." opens it.
void DropScript(Context& ctx, const std::string& dosPath);

// The window title for a script path: "Kelvo32 - " + its file name.
std::string ScriptWindowTitle(std::string_view scriptPath);

// The keys of a script's lines after the skip block, in their order. Lines
// are read by position: a key is written, never compared. A value is read
// from the character after its key, except for " Size:".
struct ScriptKey {
  std::string_view text;  // as written, blanks included
  std::string_view name;  // as a reason names the line
  // Characters skipped after the key: the reader has always started one
  // character after " Size:", so " Size: 12" reads 12 and " Size:12" reads 2.
  std::size_t skipped = 0;
  std::size_t ValueFrom() const { return text.size() + 1 + skipped; }  // 1-based
};
namespace script_keys {
inline constexpr ScriptKey kSource{"Source: ", "Source"};
inline constexpr ScriptKey kSkip{"Skip: ", "Skip"};
inline constexpr ScriptKey kDiz{"Diz: ", "Diz"};
inline constexpr ScriptKey kAutoNumbering{"AutoN: ", "AutoN"};
inline constexpr ScriptKey kColumn{"Col: ", "Col"};
inline constexpr ScriptKey kLine{"Lin: ", "Lin"};
inline constexpr ScriptKey kNfo{"Nfo: ", "Nfo"};
inline constexpr ScriptKey kFirstZipOnly{" 1st:", "1st"};
inline constexpr ScriptKey kExtraKind{" File:", "File"};
inline constexpr ScriptKey kExtraPath{" Extra:", "Extra"};
inline constexpr ScriptKey kZipStorage{"Zip: ", "Zip"};
inline constexpr ScriptKey kBaseName{" name:", "name"};
inline constexpr ScriptKey kArchiveSize{" Size:", "Size", 1};
inline constexpr ScriptKey kCompression{" Solid:", "Solid"};
inline constexpr ScriptKey kZipExtra{" Extra:", "Extra"};
}  // namespace script_keys

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
