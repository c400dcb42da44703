#include "texts/diz_numbering.h"

#include "core/view_state.h"
#include "host/host_error.h"
#include "texts/text_files.h"

namespace kelvo::texts {

namespace {

// The room asked for from the column on, in both widths: "001/999".
constexpr std::uint64_t kStampRoom = 7;

std::string Padded(std::int64_t n, size_t width) {
  std::uint64_t magnitude =
      n < 0 ? 0 - static_cast<std::uint64_t>(n) : static_cast<std::uint64_t>(n);
  std::string digits = std::to_string(magnitude);
  if (digits.size() < width) digits.insert(0, width - digits.size(), '0');
  return n < 0 ? "-" + digits : digits;
}

enum class PreviewResult { Fits, ColumnTooHigh, LineTooHigh };

PreviewResult WritePreview(Context& ctx, std::uint64_t lineNo, std::uint64_t column,
                           const std::string& sample) {
  LineCopy copy = OpenLineCopy(ctx.fs, ctx.job.DizPath, kDizPreviewFile);
  std::string line;
  std::uint64_t count = 0;
  while (copy.in->Next(line)) {
    if (++count == lineNo) {
      StampedLine stamped = StampLine(line, column, sample);
      if (!stamped.roomy) {
        copy.out->Close();
        return PreviewResult::ColumnTooHigh;
      }
      line = std::move(stamped.bytes);
    }
    copy.out->WriteLine(line);
    ctx.ui.ProcessEvents();
  }
  copy.out->Close();
  return lineNo > count ? PreviewResult::LineTooHigh : PreviewResult::Fits;
}

Refusal Refuse(Context& ctx, FocusBox box, const char* message) {
  ctx.run.DizCheckPassed = false;
  // Without a message the box is named in words: under the panel, or on
  // stderr.
  if (!message) return Refusal{Panel::Diz, box, JobField::None, NumberingBoxProblem(box)};
  return Refusal{
      Panel::Diz, box, JobField::None, message, kExitJobIncomplete, MessageIcon::Exclamation};
}

}  // namespace

void SetDizNumberingMode(Context& ctx, bool substitute) {
  ctx.job.DizNumbering = substitute;
  ctx.view.DizBoxColour = substitute ? BoxColour::Window : BoxColour::ButtonFace;
  ctx.view.DizTestEnabled = substitute;
}

std::string SampleStamp(bool threeDigits) {
  return threeDigits ? "001/999" : "01/99";
}

StampedLine StampLine(std::string_view line, std::uint64_t column, std::string_view stamp) {
  StampedLine stamped{std::string(line), line.size(), false};
  // The room is asked for in both widths, so a position passes or fails
  // alike for two and three digits.
  if (column + (kStampRoom - 1) > line.size()) {
    stamped.bytes += stamp;
  } else {
    stamped.at = static_cast<std::size_t>(column - 1);
    stamped.bytes.replace(stamped.at, stamp.size(), stamp);
    stamped.roomy = true;
  }
  return stamped;
}

std::optional<FocusBox> NumberingBoxToFix(const JobSettings& job) {
  // Both boxes are tested for emptiness before either is tested for a number.
  if (job.DizColumn.empty()) return FocusBox::DizColumn;
  if (job.DizLine.empty()) return FocusBox::DizLine;
  if (BoxNumber(job.DizColumn) < 1) return FocusBox::DizColumn;
  if (BoxNumber(job.DizLine) < 1) return FocusBox::DizLine;
  return std::nullopt;
}

std::string NumberingBoxProblem(FocusBox box) {
  const char* boxName = box == FocusBox::DizColumn ? "column" : "line";
  return std::string("The numbering ") + boxName + " of the file_id.diz must be a number from 1";
}

void SetDizColumn(Context& ctx, std::string text) {
  ctx.job.DizColumn = std::move(text);
}

void SetDizLine(Context& ctx, std::string text) {
  ctx.job.DizLine = std::move(text);
}

std::string DizStamp(std::int64_t number, std::int64_t total, bool threeDigits) {
  size_t width = threeDigits ? 3 : 2;
  return Padded(number, width) + "/" + Padded(total, width);
}

std::optional<Refusal> CheckDizNumbering(Context& ctx) {
  const JobSettings& job = ctx.job;
  if (job.DizPath.empty() || !job.DizNumbering) return std::nullopt;
  if (std::optional<FocusBox> box = NumberingBoxToFix(job)) return Refuse(ctx, *box, nullptr);
  std::uint64_t column = BoxNumber(job.DizColumn);
  std::uint64_t line = BoxNumber(job.DizLine);

  PreviewResult result;
  try {
    result = WritePreview(ctx, line, column, SampleStamp(job.ThreeDigitNumbering));
    ctx.NoteWritten(kDizPreviewFile);
  } catch (const host::HostError& e) {
    ctx.run.DizCheckPassed = false;
    if (!ctx.run.DizTestMode) throw;
    ctx.ui.ShowMessage(std::string("The numbering can't be tested\r") + e.what(), kErrorTitle,
                       MessageIcon::Critical, MessageButtons::Ok);
    return std::nullopt;
  }
  switch (result) {
    case PreviewResult::ColumnTooHigh:
      return Refuse(ctx, FocusBox::DizColumn, kColumnTooHigh);
    case PreviewResult::LineTooHigh:
      return Refuse(ctx, FocusBox::DizLine, kLineTooHigh);
    case PreviewResult::Fits:
      break;
  }
  ctx.run.DizCheckPassed = true;
  if (ctx.run.DizTestMode) {
    StartEditor(ctx, std::string("notepad.exe ") + kDizPreviewFile);
  } else {
    ctx.DeleteIfWritten(kDizPreviewFile);
  }
  return std::nullopt;
}

void TestDizNumbering(Context& ctx) {
  ctx.run.DizTestMode = true;
  try {
    if (auto refusal = CheckDizNumbering(ctx)) Present(ctx, *refusal);
  } catch (...) {
    ctx.run.DizTestMode = false;
    throw;
  }
  ctx.run.DizTestMode = false;
}

void StampDiz(Context& ctx) {
  const JobSettings& job = ctx.job;
  std::uint64_t lineNo = BoxNumber(job.DizLine);
  std::uint64_t column = BoxNumber(job.DizColumn);
  std::string stamp = DizStamp(ctx.run.VolumeNumber, ctx.run.VolumeCount, job.ThreeDigitNumbering);
  LineCopy copy = OpenLineCopy(ctx.fs, job.DizPath, DizWorkCopy(ctx));
  std::string line;
  std::uint64_t count = 0;
  while (copy.in->Next(line)) {
    // Column 0 names no position: that line goes unstamped.
    if (++count == lineNo && column >= 1) line = StampLine(line, column, stamp).bytes;
    copy.out->WriteLine(line);
  }
  copy.out->Close();
  ctx.NoteWritten(DizWorkCopy(ctx));
}

void RemoveDizPreview(Context& ctx) {
  ctx.DeleteIfWritten(kDizPreviewFile);
}

}  // namespace kelvo::texts
