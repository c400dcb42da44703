#include "source/drives.h"

#include "core/message_titles.h"
#include "host/dospath.h"
#include "host/host_error.h"
#include "source/notices.h"
#include "source/source_select.h"

namespace kelvo {

namespace {

constexpr std::uint64_t kMegabyte = 1000000;
constexpr std::uint64_t kWorkDriveMinimum = 2000000;

char EntryLetter(std::string_view entry) {
  return entry.empty() ? 0 : dos::DriveLetter(std::string(1, entry[0]) + ":");
}

// "d: CDROM" for a mounted volume, "c: [/host/dir]" for any other drive.
std::string EntryText(char letter, const std::string& root, const std::string& label) {
  std::string entry = std::string(1, letter) + ":";
  return label.empty() ? entry + " [" + root + "]" : entry + " " + label;
}

}  // namespace

std::vector<std::string> DriveListEntries(const Context& ctx) {
  std::vector<std::string> entries;
  for (const auto& drive : ctx.fs.Drives().Drives())
    entries.push_back(EntryText(drive.letter, drive.root, drive.label));
  return entries;
}

std::vector<std::string> DriveListHostRoots(const Context& ctx) {
  std::vector<std::string> roots;
  for (const auto& drive : ctx.fs.Drives().Drives()) roots.push_back(drive.root);
  return roots;
}

std::string DriveListEntry(const Context& ctx, char letter) {
  letter = EntryLetter(std::string(1, letter));
  if (auto root = ctx.fs.Drives().Root(letter))
    return EntryText(letter, *root, ctx.fs.Drives().Label(letter));
  return std::string(1, letter) + ":";
}

std::optional<std::uint64_t> DriveFreeBytes(const Context& ctx, std::string_view drive) {
  try {
    if (dos::IsAbsolute(drive)) return ctx.fs.FreeBytes(drive);
    char letter = EntryLetter(drive);
    if (!letter) return std::nullopt;
    return ctx.fs.FreeBytes(std::string(1, letter) + ":");
  } catch (const std::exception&) {
    return std::nullopt;
  }
}

std::uint64_t WholeMegabytes(std::uint64_t bytes) {
  if (bytes <= kMegabyte) return 0;
  std::uint64_t whole = bytes / kMegabyte, rest = bytes % kMegabyte;
  if (rest > kMegabyte / 2 || (rest == kMegabyte / 2 && whole % 2 == 1)) ++whole;
  return whole;
}

float FreeMegabytes(std::uint64_t bytes) {
  if (bytes <= kMegabyte) return 0.0f;
  return static_cast<float>(bytes) / 1000000.0f;
}

std::string WorkDriveFreeTextFor(std::uint64_t freeBytes) {
  std::string text = "Free space on - \r";
  if (freeBytes < kWorkDriveMinimum) return text + "less than 2 Meg.";
  return text + NumberText(static_cast<long long>(WholeMegabytes(freeBytes))) + " Meg.";
}

std::string ZipDriveFreeTextFor(std::uint64_t freeBytes) {
  return "Free space " + NumberText(static_cast<long long>(WholeMegabytes(freeBytes))) + " M";
}

void InitWorkDrive(Context& ctx) {
  ctx.view.WorkDriveShown = DriveListEntry(ctx, 'c');
  auto freeBytes = DriveFreeBytes(ctx, ctx.view.WorkDriveShown);
  ctx.job.WorkDrive = EntryLetter(ctx.view.WorkDriveShown);
  ctx.view.WorkDriveFreeText = WorkDriveFreeTextFor(freeBytes.value_or(0));
}

void ShowWorkDrive(Context& ctx, const std::string& entry) {
  if (entry == ctx.view.WorkDriveShown) return;
  ctx.view.WorkDriveShown = entry;
  SelectWorkDrive(ctx);
}

void SelectWorkDrive(Context& ctx) {
  try {
    auto freeBytes = DriveFreeBytes(ctx, ctx.view.WorkDriveShown);
    if (freeBytes && *freeBytes >= kWorkDriveMinimum) {
      ctx.view.WorkDriveFreeText = WorkDriveFreeTextFor(*freeBytes);
      ctx.job.WorkDrive = EntryLetter(ctx.view.WorkDriveShown);
      CheckWorkDriveSpace(ctx);
      return;
    }
  } catch (const std::exception&) {
  }
  // Too full or unreadable: never the work drive. c: stays even when it is
  // too full itself.
  if (EntryLetter(ctx.view.WorkDriveShown) != 'c') ShowWorkDrive(ctx, DriveListEntry(ctx, 'c'));
  ctx.job.WorkDrive = 'c';
}

void CheckWorkDriveSpace(Context& ctx) {
  const std::string& drive = ctx.view.WorkDriveShown;
  auto freeBytes = DriveFreeBytes(ctx, drive);
  if (!freeBytes) throw host::HostError("read the free space of", drive, "no such drive");
  if (FreeMegabytes(*freeBytes) < ctx.job.SourceSize) {
    Notify(ctx,
           std::string("You might not have enough free space on\r") + drive.substr(0, 1) +
               " drive for Rar's/Ace's, should pick another drive.",
           kErrorTitle, MessageIcon::Exclamation);
  }
}

void ChooseZipStorage(Context& ctx) {
  if (ctx.job.SourcePath.empty()) {
    ShowPanel(ctx.view, Panel::Source);
    return;
  }
  FolderDialogRequest request;
  request.title = "Directory for zip's";
  request.onHighlighted = FolderHighlightWatcher(ctx);
  auto chosen = ctx.ui.BrowseFolder(request);
  if (!chosen) return;
  ctx.job.ZipStorageDir = ctx.fs.LowerChosenPath(*chosen);
  if (ctx.job.ZipStorageDir.empty()) return;
  std::string letter = ctx.job.ZipStorageDir.substr(0, 1);
  // The volume that holds the directory: under one drive letter this host
  // may mount several file systems.
  std::uint64_t freeBytes = DriveFreeBytes(ctx, ctx.job.ZipStorageDir).value_or(0);
  if (freeBytes < 1) {
    ctx.view.ZipDriveFreeText = "Free space 0 M";
    ctx.job.ZipStorageDir.clear();
    return;
  }
  std::uint64_t whole = WholeMegabytes(freeBytes);
  ctx.view.ZipDriveFreeText = ZipDriveFreeTextFor(freeBytes);
  if (ctx.job.SourceSize > static_cast<float>(whole)) {
    Notify(ctx, "Free space on " + letter + " is less than source size", kAppTitle,
           MessageIcon::Information);
  }
}

void ShowZipDriveFreeSpace(Context& ctx) {
  if (ctx.job.ZipStorageDir.empty()) return;
  ctx.view.ZipDriveFreeText =
      ZipDriveFreeTextFor(DriveFreeBytes(ctx, ctx.job.ZipStorageDir).value_or(0));
}

void RefreshHostPaths(Context& ctx) {
  const auto host = [&ctx](const std::string& dos) {
    return dos.empty() ? std::string() : ctx.fs.HostPath(dos).value_or("");
  };
  const JobSettings& job = ctx.job;
  const ViewState::HostPaths dos{job.SourcePath, job.DizPath, job.NfoPath, job.ExtraPath,
                                 job.ZipStorageDir};
  if (dos == ctx.view.HostPathsFor) return;
  ctx.view.HostPathsFor = dos;
  ctx.view.HostPathsShown = {host(job.SourcePath), host(job.DizPath), host(job.NfoPath),
                             host(job.ExtraPath), host(job.ZipStorageDir)};
}

void RefreshFreeSpace(Context& ctx) {
  // A drive that can no longer be read has nothing to offer, as at start-up.
  ctx.view.WorkDriveFreeText =
      WorkDriveFreeTextFor(DriveFreeBytes(ctx, ctx.view.WorkDriveShown).value_or(0));
  ShowZipDriveFreeSpace(ctx);
}

}  // namespace kelvo
