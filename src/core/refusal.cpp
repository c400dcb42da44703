#include "core/refusal.h"

namespace kelvo {

namespace {
void Clear(JobSettings& job, JobField field) {
  switch (field) {
    case JobField::None:
      break;
    case JobField::SourceAndSkip:
      job.SkipEntries.clear();
      [[fallthrough]];
    case JobField::Source:
      job.SourcePath.clear();
      break;
    case JobField::SkipEntries:
      job.SkipEntries.clear();
      break;
    case JobField::Diz:
      job.DizPath.clear();
      break;
    case JobField::Nfo:
      job.NfoPath.clear();
      break;
    case JobField::Extra:
      job.ExtraPath.clear();
      break;
    case JobField::ZipStorage:
      job.ZipStorageDir.clear();
      break;
    case JobField::BaseName:
      job.ZipBaseName.clear();
      break;
  }
}
}  // namespace

void Present(Context& ctx, const Refusal& refusal) {
  if (refusal.box != MessageIcon::None)
    ctx.ui.ShowMessage(refusal.reason, refusal.title, refusal.box, MessageButtons::Ok);
  ctx.ui.Report(refusal.reason);
  Clear(ctx.job, refusal.clear);
  if (refusal.panel != Panel::None) ShowPanel(ctx.view, refusal.panel, refusal.focus);
  // Without a box the window says why under the panel it shows.
  if (refusal.box == MessageIcon::None) ctx.view.DropNotice = refusal.reason;
}

}  // namespace kelvo
