#include "texts/extras.h"

#include <exception>

#include "texts/text_files.h"

namespace kelvo::texts {

void SelectExtraKind(Context& ctx, ExtraKindChoice clicked) {
  ctx.job.ExtraKind = clicked;
  if (clicked != ExtraKindChoice::None) ctx.view.ExtraBrowseEnabled = true;
}

void BrowseExtra(Context& ctx) {
  try {
    if (ctx.job.ExtraKind == ExtraKindChoice::File) {
      FileDialogRequest request;
      request.title = "Add extra file";
      request.filter = "Extra file (*.*)|*.*|";
      request.initialName = "*.*";
      request.initialDir = ctx.job.NfoPath;
      auto chosen = ctx.ui.OpenFile(request);
      ctx.job.ExtraPath = chosen ? ctx.fs.LowerChosenPath(*chosen) : std::string();
    } else if (ctx.job.ExtraKind == ExtraKindChoice::Directory) {
      FolderDialogRequest request;
      request.title = "Extra directory of files to add to Zip";
      auto chosen = ctx.ui.BrowseFolder(request);
      if (!chosen) return;
      ctx.job.ExtraPath = ctx.fs.LowerChosenPath(*chosen);
    }
  } catch (const std::exception&) {
    ctx.job.ExtraPath.clear();
  }
}

std::string ExtraZipEntry(const JobSettings& job) {
  if (job.ExtraPath.empty()) return {};
  if (job.ExtraKind == ExtraKindChoice::File) return job.ExtraPath;
  return job.ExtraPath.ends_with('\\') ? job.ExtraPath + "*.*" : job.ExtraPath + "\\*.*";
}

}  // namespace kelvo::texts
