#include "source/source_select.h"

#include <exception>

#include "core/message_titles.h"
#include "host/dospath.h"
#include "source/archive_size.h"
#include "source/drives.h"
#include "source/measure.h"
#include "source/notices.h"
#include "texts/diz_numbering.h"

namespace kelvo {

namespace {

const char* const kZipQuestion =
    "Save as Zip's?\r\rChoosing Yes, puts the Rar's/Ace's into Zip's\r\r"
    "Choosing No, just makes Rar's/Ace's";

// Declining zips: everything that only goes into zips is dropped.
void DropZipOnlySettings(Context& ctx) {
  JobSettings& job = ctx.job;
  job.DizPath.clear();
  job.NfoPath.clear();
  job.ExtraPath.clear();
  job.ZipStorageDir.clear();
  texts::SetDizNumberingMode(ctx, false);
  job.SkipEntries.clear();
  job.NfoFirstZipOnly = false;
}

// After the size is known: the work drive's space and the estimate.
void AfterMeasurement(Context& ctx) {
  CheckWorkDriveSpace(ctx);
  RefreshEstimate(ctx);
}

void BrowseImage(Context& ctx) {
  FileDialogRequest request;
  request.title = "CD image file";
  request.filter = "ISO files (*.iso)|*.iso";
  request.initialName = "*.iso";
  auto chosen = ctx.ui.OpenFile(request);
  if (!chosen || chosen->empty()) return;
  UseImageSource(ctx, *chosen);
}

void BrowseDirectory(Context& ctx) {
  ctx.DriveCheckSuppressed = true;
  FolderDialogRequest request;
  request.title = "Source directory";
  request.onHighlighted = FolderHighlightWatcher(ctx);
  auto chosen = ctx.ui.BrowseFolder(request);
  if (!chosen) return;
  UseDirectorySource(ctx, *chosen);
}

bool HasExtension(const std::string& path, const char* extension) {
  return dos::Lower(path).ends_with(extension);
}

}  // namespace

void UseImageSource(Context& ctx, const std::string& chosen) {
  // From here on an error ends the browse quietly with what was already set.
  try {
    ctx.job.SourcePath = ctx.fs.LowerChosenPath(chosen);
    MeasureImage(ctx, ctx.job.SourcePath);
    auto answer = ctx.ui.ShowMessage(kZipQuestion, "Save as Zip's or Rar's/Ace's",
                                     MessageIcon::Question, MessageButtons::YesNo);
    ctx.job.SaveAsZips = answer == MessageResult::Yes;
    EnableZipControls(ctx, ctx.job.SaveAsZips);
    if (!ctx.job.SaveAsZips) DropZipOnlySettings(ctx);
    AfterMeasurement(ctx);
  } catch (const std::exception&) {
  }
}

void UseDirectorySource(Context& ctx, const std::string& chosen) {
  ctx.job.SourcePath = ctx.fs.LowerChosenPath(chosen);
  ctx.job.SkipEntries.clear();
  if (ctx.job.SourcePath.empty()) return;
  if (!MeasureSource(ctx, false)) return;
  try {
    AfterMeasurement(ctx);
  } catch (const std::exception&) {
    // Reported like a failed measurement.
    ctx.view.SourceSizeText = kSourceSizeError;
    Notify(ctx, "Error calculating source bytes", kErrorTitle, MessageIcon::Critical);
    ctx.view.EstimateText.clear();
  }
}

void DropSource(Context& ctx, const std::string& dosPath) {
  if (!ctx.view.SourceBrowseEnabled) return;
  if (ctx.fs.IsDirectory(dosPath)) {
    // As "&Browse" with the box unchecked, up to the folder dialog's answer.
    ToggleImageSource(ctx, false);
    ctx.job.SaveAsZips = true;
    ctx.DriveCheckSuppressed = true;
    UseDirectorySource(ctx, dosPath);
  } else if (HasExtension(dosPath, ".iso") && ctx.fs.ExistsAsFile(dosPath)) {
    ToggleImageSource(ctx, true);
    ctx.DriveCheckSuppressed = false;
    UseImageSource(ctx, dosPath);
  } else {
    ctx.view.DropNotice = "Drop a directory or a .iso file on the Source panel";
  }
}

void EnableZipControls(Context& ctx, bool enabled) {
  ctx.view.ZipControlsEnabled = enabled;
}

void BrowseSource(Context& ctx) {
  ctx.DriveCheckSuppressed = false;
  if (!ctx.job.SourceIsImage) {
    ctx.job.SaveAsZips = true;
    BrowseDirectory(ctx);
  } else {
    BrowseImage(ctx);
  }
}

void ToggleImageSource(Context& ctx, bool checked) {
  if (ctx.job.SourceIsImage == checked) return;
  ctx.job.SourceIsImage = checked;
  ctx.job.SourcePath.clear();
  ctx.view.SourceSizeText.clear();
  ctx.view.EstimateText.clear();
  ctx.job.SourceSize = 0.0f;
  if (checked) {
    SetArchiveSize(ctx, kImageMinArchiveSize);
  } else {
    ctx.job.SaveAsZips = true;
    SetArchiveSize(ctx, kFloppyArchiveSize);
    EnableZipControls(ctx, true);
  }
}

void CheckBrowsedDrive(Context& ctx, const std::string& path, FolderDialogStatus& status) {
  try {
    if (path.empty()) return;
    status.SetStatusText(dos::Lower(path));
    if (ctx.DriveCheckSuppressed) return;
    auto freeBytes = DriveFreeBytes(ctx, path.substr(0, 2));
    if (freeBytes && *freeBytes == 0) status.SetStatusText("Invalid drive");
  } catch (const std::exception&) {
  }
}

std::function<void(const std::string&, FolderDialogStatus&)> FolderHighlightWatcher(Context& ctx) {
  return [&ctx](const std::string& path, FolderDialogStatus& status) {
    CheckBrowsedDrive(ctx, path, status);
  };
}

}  // namespace kelvo
