#include "texts/text_preview.h"

#include <algorithm>
#include <cmath>
#include <utility>

#include "host/host_error.h"
#include "texts/diz_nfo.h"
#include "texts/diz_numbering.h"
#include "texts/text_files.h"

namespace kelvo::texts {

namespace {

template <class Prepare>
void Refresh(Context& ctx, TextSnapshot& shot, const std::string& path, Prepare prepare) {
  std::optional<host::FileSystem::Version> version;
  if (!path.empty()) version = ctx.fs.FileVersion(path);
  if (shot.read && shot.path == path && shot.version == version) return;
  shot = TextSnapshot{};
  shot.path = path;
  shot.version = version;
  shot.read = true;
  if (path.empty()) return;
  try {
    std::optional<std::string> bytes = ctx.fs.ReadWholeFile(path, kPreviewLimit);
    if (!bytes) {
      shot.problem = "'" + path + "' is too large to preview";
      return;
    }
    prepare(*bytes, shot);
  } catch (const host::HostError& e) {
    shot.problem = e.what();
    shot.lines.clear();
  }
  shot.addedFrom = std::min(shot.addedFrom, shot.lines.size());
  for (const std::string& line : shot.lines) shot.widest = std::max(shot.widest, line.size());
}

}  // namespace

std::size_t TextPreview::LineCount() const {
  return text ? text->lines.size() : 0;
}

std::string_view TextPreview::Line(std::size_t index) const {
  if (stamp && stamp->line == index) return stampedLine;
  return text->lines[index];
}

std::size_t TextPreview::Widest() const {
  std::size_t widest = text ? text->widest : 0;
  if (stamp) widest = std::max(widest, stampedLine.size());
  if (reasonAt) widest = std::max(widest, reasonAt->column + reasonAt->length);
  return widest;
}

bool TextPreview::Added(std::size_t index) const {
  return text && index >= text->addedFrom;
}

void RefreshDizText(Context& ctx) {
  Refresh(ctx, ctx.view.DizText, ctx.job.DizPath, [](const std::string& bytes, TextSnapshot& shot) {
    shot.lines = host::SplitLines(bytes);
    shot.addedFrom = shot.lines.size();
  });
}

void RefreshNfoText(Context& ctx) {
  Refresh(ctx, ctx.view.NfoText, ctx.job.NfoPath, [](const std::string& bytes, TextSnapshot& shot) {
    // As CopyNfoForZip: a SAUCE tail is kept apart only in an NFO it reads
    // whole.
    NfoCopyText copy = SplitNfoForCopy(bytes, bytes.size() <= kNfoWholeReadLimit);
    shot.lines = std::move(copy.lines);
    shot.addedFrom = shot.lines.size();
    if (copy.tagged) {
      shot.note = "The copy ends at the nfo's own tag line";
      if (copy.linesLeftOut > 0)
        shot.note += "; the " + std::to_string(copy.linesLeftOut) + " lines after it are left out";
    } else {
      for (std::string& line : NfoClosingLines()) shot.lines.push_back(std::move(line));
      shot.note = "The marked lines close the copy in every zip";
    }
    if (!copy.sauce.empty()) shot.note += "; its SAUCE record stays at the end";
  });
}

namespace {

TextPreviewState DizPreviewState(const Context& ctx) {
  TextPreviewState preview;
  const JobSettings& job = ctx.job;
  const TextSnapshot& shot = ctx.view.DizText;
  if (job.DizPath.empty()) {
    preview.problem = "No file_id.diz chosen";
    return preview;
  }
  if (!shot.problem.empty()) {
    preview.problem = shot.problem;
    return preview;
  }
  if (!job.DizNumbering) return preview;

  if (std::optional<FocusBox> box = NumberingBoxToFix(job)) {
    preview.reason = NumberingBoxProblem(*box);
    preview.note = preview.reason;
    return preview;
  }
  const std::uint64_t column = BoxNumber(job.DizColumn);
  const std::uint64_t lineNo = BoxNumber(job.DizLine);

  const int zip = ctx.view.DizPreviewZip;
  const std::string stamp = zip > 0 ? DizStamp(zip, DizPreviewTotal(ctx), job.ThreeDigitNumbering)
                                    : SampleStamp(job.ThreeDigitNumbering);
  if (lineNo > shot.lines.size()) {
    preview.reason = kLineTooHigh;
    preview.reasonAt = PreviewSpan{shot.lines.size(), 0, preview.reason.size()};
    preview.note = preview.reason;
    return preview;
  }
  const std::size_t index = static_cast<std::size_t>(lineNo - 1);
  const std::string& line = shot.lines[index];
  StampedLine stamped = StampLine(line, column, stamp);
  if (!stamped.roomy) {
    preview.reason = kColumnTooHigh;
    // Where the stamp was asked for, or just past the line's end.
    std::size_t at = static_cast<std::size_t>(std::min<std::uint64_t>(column - 1, line.size()));
    preview.reasonAt = PreviewSpan{index, at, preview.reason.size()};
    preview.note = preview.reason;
    return preview;
  }
  preview.stamp = PreviewSpan{index, stamped.at, stamp.size()};
  preview.stampedLine = std::move(stamped.bytes);
  preview.note = "Stamp " + stamp + " at line " + std::to_string(lineNo) + ", column " +
                 std::to_string(column);
  return preview;
}

TextPreviewState NfoPreviewState(const Context& ctx) {
  TextPreviewState preview;
  if (ctx.job.NfoPath.empty()) {
    preview.problem = "No nfo chosen";
  } else if (!ctx.view.NfoText.problem.empty()) {
    preview.problem = ctx.view.NfoText.problem;
  } else {
    preview.note = ctx.view.NfoText.note;
  }
  return preview;
}

// The model of a state over its snapshot: the text is drawn unless a
// problem is shown instead.
TextPreview Model(const TextPreviewState& state, const TextSnapshot& shot) {
  TextPreview preview;
  static_cast<TextPreviewState&>(preview) = state;
  if (state.problem.empty()) preview.text = &shot;
  return preview;
}

}  // namespace

void RefreshTextPreviews(Context& ctx) {
  RefreshDizText(ctx);
  RefreshNfoText(ctx);
  ctx.view.DizPreview = DizPreviewState(ctx);
  ctx.view.NfoPreview = NfoPreviewState(ctx);
}

TextPreview DizPreview(const ViewState& view) {
  return Model(view.DizPreview, view.DizText);
}

TextPreview NfoPreview(const ViewState& view) {
  return Model(view.NfoPreview, view.NfoText);
}

TextPreview DizPreview(Context& ctx) {
  RefreshTextPreviews(ctx);
  return DizPreview(std::as_const(ctx.view));
}

TextPreview NfoPreview(Context& ctx) {
  RefreshTextPreviews(ctx);
  return NfoPreview(std::as_const(ctx.view));
}

void SetDizPreviewZip(Context& ctx, int zip) {
  ctx.view.DizPreviewZip = std::max(zip, 0);
}

std::int64_t DizPreviewTotal(const Context& ctx) {
  const JobSettings& job = ctx.job;
  std::int64_t total = 0;
  if (job.ArchiveSize > 0 && job.SourceSize > 0) {
    float volumes = EstimateVolumes(job.SourceSize, VolumeBytesFor(job.ArchiveSize));
    total = static_cast<std::int64_t>(std::ceil(volumes));
  }
  return std::max<std::int64_t>(total, ctx.view.DizPreviewZip);
}

void PickDizPosition(Context& ctx, std::uint64_t line, std::uint64_t column) {
  if (!ctx.job.DizNumbering || line < 1 || column < 1) return;
  RefreshDizText(ctx);
  const TextSnapshot& shot = ctx.view.DizText;
  if (!shot.problem.empty() || ctx.job.DizPath.empty() || line > shot.lines.size()) return;
  SetDizLine(ctx, std::to_string(line));
  SetDizColumn(ctx, std::to_string(column));
}

}  // namespace kelvo::texts
