// The Diz and Nfo panels' previews: the DIZ with its numbering stamp where
// a run writes it, and the NFO as its copy in every zip reads. The session's
// refresh reads the texts into the view's snapshots when their file changes
// and figures what each preview shows (RefreshTextPreviews); a render makes
// the models from the view alone, and the window only draws them.
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

using kelvo::PreviewSpan;

// A preview as the pane draws it: what the view's state says, over the
// view's snapshot of the text.
struct TextPreview : TextPreviewState {
  const TextSnapshot* text = nullptr;  // the view's snapshot; null with a problem

  std::size_t LineCount() const;
  std::string_view Line(std::size_t index) const;  // bytes, stamped
  std::size_t Widest() const;
  bool Added(std::size_t index) const;  // a line the program adds to the copy
};

// Reads the texts whose path or file changed into the view's snapshots.
void RefreshDizText(Context& ctx);
void RefreshNfoText(Context& ctx);

// The session's refresh: both snapshots, then what each preview shows
// (view.DizPreview, view.NfoPreview) for the job as it stands: the DIZ
// stamped in the width and with the total of the job's estimate.
void RefreshTextPreviews(Context& ctx);

// The models of the view as the last refresh left it; nothing is read.
TextPreview DizPreview(const ViewState& view);
TextPreview NfoPreview(const ViewState& view);
// A refresh, then the model.
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
