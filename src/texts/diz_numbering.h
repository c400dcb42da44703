// Auto-numbering of the FILE_ID.DIZ: the number of each zip ("03/12") is
// written into that zip's copy of the DIZ at a line and column the user
// chose. The position is checked before a run and can be previewed with
// "&Test".
#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/context.h"
#include "core/refusal.h"

namespace kelvo::texts {

// The Diz panel options "&None" (false) and "S&ubsitute at column" (true):
// the choice itself, the colour of the two boxes and "&Test".
void SetDizNumberingMode(Context& ctx, bool substitute);

// number + "/" + total, each padded with zeros to three digits or two; a
// wider number keeps all its digits.
std::string DizStamp(std::int64_t number, std::int64_t total, bool threeDigits);

// What the numbering check stamps: "01/99", or "001/999" with three digits.
std::string SampleStamp(bool threeDigits);

// The one rule for where the stamp goes, shared by the check, StampDiz and
// the preview: at `column` (1-based, at least 1) when the line holds the
// room the check asks for from there, else at the line's end.
struct StampedLine {
  std::string bytes;   // the line with the stamp written
  std::size_t at = 0;  // where the stamp begins, 0-based
  bool roomy = false;  // the line held the room; the check refuses it otherwise
};
StampedLine StampLine(std::string_view line, std::uint64_t column, std::string_view stamp);

// The check's reasons for a position that does not fit.
inline constexpr const char* kColumnTooHigh = "Column number too high";
inline constexpr const char* kLineTooHigh = "Line number too high";
// The box the check refuses before it reads the DIZ: an empty one, then one
// that holds no number from 1; nullopt when both hold one.
std::optional<FocusBox> NumberingBoxToFix(const JobSettings& job);
// The reason for such a box, as a windowless run reports it.
std::string NumberingBoxProblem(FocusBox box);

// The typed texts of the "S&ubsitute at column" and "Line -" boxes.
void SetDizColumn(Context& ctx, std::string text);
void SetDizLine(Context& ctx, std::string text);

// Proves that the DizLine/DizColumn position holds the widest number: writes
// the preview c:\~kelvo.diz with a sample stamp and sets run.DizCheckPassed.
// A refused position is returned, naming the Diz panel and the box to fix,
// with "Column number too high" or "Line number too high" for a box.
// Nothing happens without a DIZ or with numbering off.
//
// When the DIZ or the preview cannot be read or written, the check does not
// pass. In test mode ("&Test") the user is told in a message box; otherwise
// (a run, a script check) nothing is shown and the HostError is thrown on,
// so that the caller takes its error end.
//
// In test mode a passing check starts the editor on the preview and leaves
// the file to it: the editor is not waited for and may not have read it yet.
// The next check replaces the preview, a passing check outside test mode
// deletes it, and so does RemoveDizPreview at shutdown.
std::optional<Refusal> CheckDizNumbering(Context& ctx);

// "&Test": the check in test mode.
void TestDizNumbering(Context& ctx);

// The stamped DIZ for zip run.VolumeNumber of run.VolumeCount, written to the
// work copy. Shows nothing and sets no flag; throws HostError. A line too
// short for the stamp gets it at its end; a DIZ shorter than the line number
// is copied without a stamp.
void StampDiz(Context& ctx);

// Deletes a preview left for the editor; failures are ignored.
void RemoveDizPreview(Context& ctx);

}  // namespace kelvo::texts
