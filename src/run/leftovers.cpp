#include "run/leftovers.h"

#include <algorithm>
#include <cctype>
#include <filesystem>
#include <map>
#include <optional>
#include <system_error>

#include "host/directory_lock.h"
#include "host/dospath.h"
#include "host/host_error.h"
#include "run/archive_volumes.h"
#include "run/resume.h"
#include "source/size_text.h"

namespace kelvo {

namespace fs = std::filesystem;

namespace {

// The most folders the question lists one by one; a box must fit a screen.
constexpr std::size_t kListedFolders = 8;

// The number of a work folder's host name, when MakeWorkFolder would give
// it exactly that name.
std::optional<int> WorkFolderNumber(char drive, const std::string& name) {
  const std::string prefix = "Kelvo";
  if (name.size() < prefix.size() + 3 || name.size() > prefix.size() + 9 ||
      !name.starts_with(prefix))
    return std::nullopt;
  int number = 0;
  for (char c : name.substr(prefix.size())) {
    if (c < '0' || c > '9') return std::nullopt;
    number = number * 10 + (c - '0');
  }
  // "Kelvo0001" is no name of ours: the digits are padded to three only.
  if (number < 1 || WorkFolderName(drive, number) != std::string(1, drive) + ":\\" + name)
    return std::nullopt;
  return number;
}

// The bytes of a folder's entries when each is a regular file; nullopt when
// one is anything else or the folder can't be read.
std::optional<std::uint64_t> OnlyFilesSize(const std::string& hostDir) {
  std::error_code ec;
  std::uint64_t bytes = 0;
  for (fs::directory_iterator it(hostDir, ec), end; !ec && it != end; it.increment(ec)) {
    const fs::file_status status = it->symlink_status(ec);
    if (ec || !fs::is_regular_file(status)) return std::nullopt;
    const std::uintmax_t size = it->file_size(ec);
    if (ec) return std::nullopt;
    bytes += size;
  }
  if (ec) return std::nullopt;
  return bytes;
}

bool IsDirectoryEntry(const fs::directory_entry& entry) {
  std::error_code ec;
  return fs::is_directory(entry.symlink_status(ec)) && !ec;
}

bool SameDosName(std::string_view a, std::string_view b) {
  return a.size() == b.size() && std::equal(a.begin(), a.end(), b.begin(), [](char x, char y) {
           return std::tolower(static_cast<unsigned char>(x)) ==
                  std::tolower(static_cast<unsigned char>(y));
         });
}

std::string Reason(const std::error_code& ec) {
  return ec.message();
}

}  // namespace

std::vector<Leftover> FindLeftovers(const Context& ctx) {
  const char drive = ctx.job.WorkDrive;
  const auto root = ctx.fs.HostPath(std::string(1, drive) + ":\\");
  if (!root) return {};
  std::map<int, Leftover> found;
  std::error_code ec;
  for (fs::directory_iterator it(*root, ec), end; !ec && it != end; it.increment(ec)) {
    const auto number = WorkFolderNumber(drive, it->path().filename().string());
    if (!number || !IsDirectoryEntry(*it)) continue;
    const std::string dosPath = WorkFolderName(drive, *number);
    if (SameDosName(dosPath, ctx.run.WorkFolder)) continue;
    // A folder a live run holds is that run's; a claim taken here is let go
    // at once, since only a removal needs to keep it.
    const std::string hostPath = it->path().string();
    host::DirectoryLock claim(hostPath, host::DirectoryLock::NoWait{});
    if (!claim.held()) continue;
    if (auto bytes = OnlyFilesSize(hostPath))
      found[*number] = {dosPath, hostPath, *bytes, HasSetRecord(ctx, dosPath)};
  }
  std::vector<Leftover> leftovers;
  for (auto& [number, leftover] : found) leftovers.push_back(std::move(leftover));
  return leftovers;
}

std::string LeftoverSizeText(std::uint64_t bytes) {
  if (bytes < 1'000'000) return GroupDigits(bytes) + (bytes == 1 ? " byte" : " bytes");
  const std::uint64_t tenths = (bytes + 50'000) / 100'000;
  return GroupDigits(tenths / 10) + "." + std::to_string(tenths % 10) + " MB";
}

RemovalOffer LeftoverOffer(const std::vector<Leftover>& leftovers) {
  RemovalOffer offer;
  offer.question = leftovers.size() == 1 ? "An earlier run left volumes in:\r"
                                         : "Earlier runs left volumes in:\r";
  std::uint64_t total = 0;
  for (std::size_t i = 0; i < leftovers.size(); ++i) {
    const Leftover& leftover = leftovers[i];
    // Removing one that could be resumed loses that chance: it says so.
    const std::string size =
        LeftoverSizeText(leftover.bytes) + (leftover.resumable ? ", can be resumed" : "");
    total += leftover.bytes;
    if (i < kListedFolders)
      offer.question += "\r" + leftover.hostPath + "  (" + leftover.dosPath + ", " + size + ")";
    offer.items.push_back("an earlier run left volumes in " + leftover.dosPath + " (" +
                          leftover.hostPath + ", " + size + ")");
  }
  if (leftovers.size() > kListedFolders)
    offer.question += "\rand " + std::to_string(leftovers.size() - kListedFolders) + " more";
  if (leftovers.size() > 1) offer.question += "\r\rTogether " + LeftoverSizeText(total) + ".";
  offer.question += "\r\rRemove them?";
  return offer;
}

std::string RemoveLeftover(const Leftover& leftover) {
  host::DirectoryLock claim(leftover.hostPath, host::DirectoryLock::NoWait{});
  if (!claim.held()) return {};  // in use again, or gone: nothing of ours to remove
  // Time has passed since it was found (the question was open): what it
  // holds now decides.
  if (!OnlyFilesSize(leftover.hostPath))
    return "kept " + leftover.dosPath + ": it holds more than volumes now";
  std::error_code ec;
  std::vector<fs::path> files;
  for (fs::directory_iterator it(leftover.hostPath, ec), end; !ec && it != end; it.increment(ec))
    files.push_back(it->path());
  if (ec) return "can't list '" + leftover.dosPath + "': " + Reason(ec);
  for (const fs::path& file : files) {
    fs::remove(file, ec);
    if (ec)
      return "can't remove '" + dos::Join(leftover.dosPath, file.filename().string()) +
             "': " + Reason(ec);
  }
  fs::remove(leftover.hostPath, ec);
  if (ec) return "can't remove '" + leftover.dosPath + "': " + Reason(ec);
  return {};
}

bool IsZipTemporaryOf(std::string_view name, std::string_view base) {
  if (base.empty() || name.size() < base.size() || !SameDosName(name.substr(0, base.size()), base))
    return false;
  std::string_view rest = name.substr(base.size());
  while (!rest.empty() && rest.front() >= '0' && rest.front() <= '9') rest.remove_prefix(1);
  if (!rest.starts_with(".zip.")) return false;
  rest.remove_prefix(5);
  return rest.size() == 6 && std::all_of(rest.begin(), rest.end(), [](char c) {
           return std::isalnum(static_cast<unsigned char>(c)) != 0;
         });
}

void RemoveZipTemporaries(const Context& ctx) {
  const std::string& dir = ctx.job.ZipStorageDir;
  if (!ctx.job.SaveAsZips || dir.empty() || ctx.job.ZipBaseName.empty()) return;
  const auto hostDir = ctx.fs.HostPath(dir);
  if (!hostDir) return;
  std::error_code ec;
  for (fs::directory_iterator it(*hostDir, ec), end; !ec && it != end; it.increment(ec)) {
    std::error_code ignored;
    if (IsZipTemporaryOf(it->path().filename().string(), ctx.job.ZipBaseName) &&
        fs::is_regular_file(it->symlink_status(ignored)))
      fs::remove(it->path(), ignored);
  }
}

std::vector<std::string> OfferLeftoverRemoval(Context& ctx) {
  std::vector<std::string> warnings;
  const std::vector<Leftover> leftovers = FindLeftovers(ctx);
  if (leftovers.empty() || !ctx.ui.OfferRemoval(LeftoverOffer(leftovers))) return warnings;
  for (const Leftover& leftover : leftovers)
    if (std::string why = RemoveLeftover(leftover); !why.empty()) warnings.push_back(why);
  return warnings;
}

void NoteLeftVolumes(Context& ctx) {
  const std::string& folder = ctx.run.WorkFolder;
  ctx.view.Resumable = HasSetRecord(ctx, folder);
  try {
    // A set stopped in the archiver keeps only its record: no volumes to
    // show, though the set can be resumed.
    if (folder.empty() || VolumesIn(ctx, folder).empty()) return;
  } catch (const host::HostError&) {
    // A folder that can't be listed still stays where it is.
  }
  if (!ctx.fs.IsDirectory(folder)) return;
  const std::string hostFolder = ctx.fs.HostPath(folder).value_or(folder);
  ctx.view.LeftVolumes = {folder, hostFolder};
  ctx.ui.Report("the volumes stay in " + folder + " (" + hostFolder + ")");
}

}  // namespace kelvo
