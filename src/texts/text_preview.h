// The Diz and Nfo panels' previews: the DIZ with its numbering stamp where
// a run writes it, and the NFO as its copy in every zip reads. The texts are
// read into the view's snapshots when their file changes; the models are
// made from them on every render, and the window only draws them.
#pragma once

#include <cstddef>
#include <cstdint>
#include <optional>
#include <string>
#include <string_view>

#include "core/context.h"

namespace kelvo::texts {

// Larger texts are not previewed: no release text comes near it.
inline constexpr std::uint64_t kPreviewLimit = std::uint64_t{8} << 20;

// A run of cells of one line, 0-based.
struct PreviewSpan {
  std::size_t line = 0;
  std::size_t column = 0;
  std::size_t length = 0;
};

struct TextPreview {
  // Shown instead of the text: no file chosen, or why it can't be read.
  std::string problem;
  const TextSnapshot* text = nullptr;  // the view's snapshot; null with a problem

  // The DIZ: the stamp and its line as the run writes it.
  std::optional<PreviewSpan> stamp;
  std::string stampedLine;
  // Why no stamp is shown, and where: "Column number too high" on its line,
  // "Line number too high" below the last line.
  std::string reason;
  std::optional<PreviewSpan> reasonAt;

  // One line under the preview: the stamp and its place, the reason, or what
  // the copy does to the NFO.
  std::string note;

  std::size_t LineCount() const;
  std::string_view Line(std::size_t index) const;  // bytes, stamped
  std::size_t Widest() const;
  bool Added(std::size_t index) const;  // a line the program adds to the copy
};

// Reads the texts whose path or file changed into the view's snapshots.
void RefreshDizText(Context& ctx);
void RefreshNfoText(Context& ctx);

// The models; each refreshes its snapshot first.
TextPreview DizPreview(Context& ctx);
TextPreview NfoPreview(Context& ctx);

// The zip whose number the DIZ preview stamps; 0 shows the check's sample.
void SetDizPreviewZip(Context& ctx, int zip);
// The total the preview stamps beside a chosen zip: the estimate of the
// volumes, rounded up, and never below the zip itself.
std::int64_t DizPreviewTotal(const Context& ctx);

// A click on the preview's cell at `line`, `column` (1-based) fills the
// "Line -" and column boxes as typing would. Ignored with numbering off and
// below the last line; a column past a line's end is taken as clicked, and
// the preview then tells that it does not fit.
void PickDizPosition(Context& ctx, std::uint64_t line, std::uint64_t column);

}  // namespace kelvo::texts
