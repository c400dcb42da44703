#include "texts/zip_comment.h"

#include <vector>

#include "host/dospath.h"
#include "host/host_error.h"
#include "texts/text_files.h"

namespace kelvo::texts {

namespace {

std::vector<std::string> ReadSettingsLines(Context& ctx) {
  std::vector<std::string> lines;
  auto reader = ctx.fs.OpenRead(SettingsFile(ctx));
  std::string line;
  while (lines.size() < 4 && reader->Next(line)) lines.push_back(line);
  lines.resize(4);
  return lines;
}

void WriteSettingsFile(Context& ctx, const std::string& line4) {
  auto writer = ctx.fs.OpenWrite(SettingsFile(ctx));
  writer->WriteLine(ctx.settings.Line1);
  writer->WriteLine(ctx.settings.Line2);
  writer->WriteLine(ctx.settings.Line3);
  writer->WriteLine(line4);
  writer->Close();
}

// Deletes a comment copy; a path outside the "temp" folder is never ours.
void DeleteCommentCopy(Context& ctx, const std::string& path) {
  if (path.empty()) return;
  try {
    if (ctx.fs.ExistsAsFile(path) && ctx.fs.SameFile(dos::Parent(path), AppTempFolder(ctx)))
      ctx.fs.DeleteFile(path);
  } catch (const host::HostError&) {
  }
}

void TurnOff(Context& ctx) {
  std::string remembered;
  try {
    remembered = ReadSettingsLines(ctx)[3];
  } catch (const host::HostError&) {
  }
  try {
    WriteSettingsFile(ctx, "");
  } catch (const host::HostError&) {
  }
  // The copy goes even when the settings file could not tell where it is.
  DeleteCommentCopy(ctx, remembered);
  DeleteCommentCopy(ctx, ctx.job.ZipCommentPath);
  ctx.job.ZipCommentEnabled = false;
}

void ShowError(Context& ctx, const std::string& text) {
  ctx.ui.ShowMessage(text, kErrorTitle, MessageIcon::Exclamation, MessageButtons::Ok);
}

void TurnOn(Context& ctx) {
  FileDialogRequest request;
  request.title = "Zip header";
  request.filter = "Text files (*.txt)|*.txt";
  request.initialName = "*.txt";
  auto chosen = ctx.ui.OpenFile(request);
  if (!chosen || chosen->empty()) return;
  std::string copy = dos::Join(AppTempFolder(ctx), dos::FileNamePart(*chosen));
  try {
    if (ctx.fs.FileLength(*chosen) > kMaxZipCommentBytes) {
      ShowError(ctx, "Zip header file is too large");
      return;
    }
    // Refuses the copy itself as the chosen file before writing anything.
    ctx.fs.CopyFile(*chosen, copy);
    ctx.fs.ClearAttributes(copy);
  } catch (const host::HostError& e) {
    ShowError(ctx, std::string("The zip header file can't be used\r") + e.what());
    return;
  }
  ctx.job.ZipCommentEnabled = true;
  ctx.job.ZipCommentPath = copy;
  try {
    WriteSettingsFile(ctx, ctx.fs.LowerChosenPath(ctx.runner.GetShortFileName(copy)));
  } catch (const host::HostError& e) {
    // On for now, but the next start will not know it.
    ShowError(ctx, std::string("The zip header can't be remembered in Kelvo32.ini\r") + e.what());
  }
}

}  // namespace

std::string SettingsFile(const Context& ctx) {
  return ctx.StateFile("Kelvo32.ini");
}

void ReadSettingsFile(Context& ctx) {
  try {
    if (!ctx.fs.ExistsAsFile(SettingsFile(ctx))) return;
    auto lines = ReadSettingsLines(ctx);
    ctx.settings = {lines[0], lines[1], lines[2]};
    ctx.job.ZipCommentPath = lines[3];
  } catch (const host::HostError&) {
  }
}

void SetZipCommentAtStart(Context& ctx) {
  ctx.job.ZipCommentEnabled = !ctx.job.ZipCommentPath.empty() &&
                              !dos::HasWildcard(ctx.job.ZipCommentPath) &&
                              ctx.fs.ExistsAsFile(ctx.job.ZipCommentPath);
}

void ToggleZipComment(Context& ctx) {
  try {
    EnsureAppTempFolder(ctx);
  } catch (const host::HostError&) {
    // Turning off needs no folder; turning on reports the failed copy.
  }
  if (ctx.job.ZipCommentEnabled) {
    TurnOff(ctx);
  } else {
    TurnOn(ctx);
  }
}

}  // namespace kelvo::texts
