#include "run/resume.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <algorithm>
#include <cctype>
#include <cerrno>
#include <cstdio>
#include <filesystem>
#include <map>
#include <utility>

#include "host/dospath.h"
#include "host/host_error.h"
#include "host/unique_fd.h"
#include "run/leftovers.h"
#include "run/zip_names.h"

namespace kelvo {

namespace fs = std::filesystem;

namespace {

constexpr const char* kHeader = "Kelvo32 set record 1";
// The largest record read back: a source of a million files stays below.
constexpr std::uint64_t kRecordLimit = 256ull << 20;

std::uint32_t Crc(std::string_view bytes) {
  uLong crc = crc32(0, nullptr, 0);
  while (!bytes.empty()) {
    const auto n = static_cast<uInt>(std::min<std::size_t>(bytes.size(), 1u << 30));
    crc = crc32(crc, reinterpret_cast<const Bytef*>(bytes.data()), n);
    bytes.remove_prefix(n);
  }
  return static_cast<std::uint32_t>(crc);
}

std::string Hex(std::uint32_t value) {
  char text[9];
  std::snprintf(text, sizeof text, "%08X", value);
  return text;
}

// A line holds no CR, LF or tab of its own: the tab parts it from its CRC.
std::string Escape(std::string_view text) {
  std::string out;
  for (char c : text) {
    switch (c) {
      case '\\':
        out += "\\\\";
        break;
      case '\r':
        out += "\\r";
        break;
      case '\n':
        out += "\\n";
        break;
      case '\t':
        out += "\\t";
        break;
      default:
        out += c;
    }
  }
  return out;
}

std::string Unescape(std::string_view text) {
  std::string out;
  for (std::size_t i = 0; i < text.size(); ++i) {
    if (text[i] != '\\' || i + 1 == text.size()) {
      out += text[i];
      continue;
    }
    const char c = text[++i];
    out += c == 'r' ? '\r' : c == 'n' ? '\n' : c == 't' ? '\t' : c;
  }
  return out;
}

std::string Sealed(const std::string& line) {
  return line + "\t" + Hex(Crc(line)) + "\n";
}

// The sealed lines of a record, up to the first torn or damaged one.
std::vector<std::string> Unsealed(std::string_view bytes) {
  std::vector<std::string> lines;
  while (!bytes.empty()) {
    const auto end = bytes.find('\n');
    if (end == std::string_view::npos) break;
    std::string_view line = bytes.substr(0, end);
    bytes.remove_prefix(end + 1);
    const auto tab = line.rfind('\t');
    if (tab == std::string_view::npos || line.size() - tab != 9) break;
    if (Hex(Crc(line.substr(0, tab))) != line.substr(tab + 1)) break;
    lines.emplace_back(line.substr(0, tab));
  }
  return lines;
}

void WriteAll(int fd, const std::string& bytes, const std::string& shown) {
  std::size_t done = 0;
  while (done < bytes.size()) {
    const ssize_t n = ::write(fd, bytes.data() + done, bytes.size() - done);
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) host::ThrowErrno("write", shown, errno);
    done += static_cast<std::size_t>(n);
  }
  // On the disk before the step it vouches for: a zip's line before its
  // volume is deleted.
  if (::fdatasync(fd) != 0) host::ThrowErrno("write", shown, errno);
}

void SyncDirectory(const std::string& hostFile) {
  host::UniqueFd dir(::open(fs::path(hostFile).parent_path().c_str(), O_RDONLY | O_DIRECTORY));
  if (dir) ::fsync(dir.get());
}

std::string YesNo(bool value) {
  return value ? "yes" : "no";
}

// "name=value" -> name.
std::string SettingName(const std::string& line) {
  return line.substr(0, line.find('='));
}
std::string SettingValue(const std::string& line) {
  const auto eq = line.find('=');
  return eq == std::string::npos ? std::string() : line.substr(eq + 1);
}

std::int64_t ModifiedNs(const struct stat& st) {
  return static_cast<std::int64_t>(st.st_mtim.tv_sec) * 1'000'000'000 + st.st_mtim.tv_nsec;
}

// A file or folder tree as lines "f SIZE MTIME PATH" and "d PATH", PATH the
// DOS path under `dosRoot`; "- PATH" when nothing is there.
void AddTree(std::vector<std::string>& lines, const Context& ctx, const std::string& dosRoot) {
  const auto host = ctx.fs.HostPath(dosRoot);
  struct stat st;
  if (!host || ::lstat(host->c_str(), &st) != 0) {
    lines.push_back("- " + dosRoot);
    return;
  }
  if (!S_ISDIR(st.st_mode)) {
    lines.push_back("f " + std::to_string(st.st_size) + " " + std::to_string(ModifiedNs(st)) + " " +
                    dosRoot);
    return;
  }
  std::vector<std::string> found;
  std::error_code ec;
  const std::string base = dosRoot.ends_with('\\') ? dosRoot : dosRoot + "\\";
  for (fs::recursive_directory_iterator it(*host, ec), end; !ec && it != end; it.increment(ec)) {
    std::string rel = fs::relative(it->path(), *host, ec).string();
    if (ec) break;
    std::replace(rel.begin(), rel.end(), '/', '\\');
    struct stat entry;
    if (::lstat(it->path().c_str(), &entry) != 0) {
      found.push_back("? " + base + rel);
    } else if (S_ISDIR(entry.st_mode)) {
      found.push_back("d " + base + rel);
    } else {
      found.push_back("f " + std::to_string(entry.st_size) + " " +
                      std::to_string(ModifiedNs(entry)) + " " + base + rel);
    }
  }
  if (ec) found.push_back("? " + dosRoot);
  std::sort(found.begin(), found.end(), [](const std::string& a, const std::string& b) {
    return a.substr(a.find('\\')) < b.substr(b.find('\\'));
  });
  lines.insert(lines.end(), found.begin(), found.end());
}

// A small text the program copies (and may rewrite with the same bytes):
// held by its bytes, not its time.
void AddText(std::vector<std::string>& lines, const Context& ctx, const std::string& dosPath) {
  if (dosPath.empty()) return;
  try {
    if (auto bytes = ctx.fs.ReadWholeFile(dosPath, 64u << 20)) {
      lines.push_back("t " + std::to_string(bytes->size()) + " " + Hex(Crc(*bytes)) + " " +
                      dosPath);
      return;
    }
  } catch (const host::HostError&) {
  }
  AddTree(lines, ctx, dosPath);
}

// The path a fingerprint line names.
std::string LinePath(const std::string& line) {
  if (line.starts_with("f ") || line.starts_with("t ")) {
    const auto second = line.find(' ', 2);
    const auto third = second == std::string::npos ? second : line.find(' ', second + 1);
    return third == std::string::npos ? line : line.substr(third + 1);
  }
  return line.size() > 2 ? line.substr(2) : line;
}

std::optional<std::uint32_t> WholeFileCrc(const std::string& hostPath) {
  host::UniqueFd fd(::open(hostPath.c_str(), O_RDONLY | O_CLOEXEC));
  if (!fd) return std::nullopt;
  std::vector<char> buffer(1 << 20);
  uLong crc = crc32(0, nullptr, 0);
  for (;;) {
    const ssize_t n = ::read(fd.get(), buffer.data(), buffer.size());
    if (n < 0 && errno == EINTR) continue;
    if (n < 0) return std::nullopt;
    if (n == 0) break;
    crc = crc32(crc, reinterpret_cast<const Bytef*>(buffer.data()), static_cast<uInt>(n));
  }
  return static_cast<std::uint32_t>(crc);
}

Refusal ResumeRefusal(const std::string& reason) {
  return Refusal{Panel::None,        FocusBox::None,           JobField::None, reason,
                 kExitJobIncomplete, MessageIcon::Exclamation, kErrorTitle};
}

std::string StorageName(const Context& ctx) {
  return StoragePrefix(ctx.job.ZipStorageDir) + "\\" + ctx.job.ZipBaseName;
}

// Why the record's fingerprint is not the one of now; empty when it is.
std::string FingerprintChange(const std::vector<std::string>& was,
                              const std::vector<std::string>& now) {
  std::map<std::string, std::string> before, after;
  for (const auto& line : was) before[LinePath(line)] = line;
  for (const auto& line : now) after[LinePath(line)] = line;
  for (const auto& [path, line] : before) {
    auto it = after.find(path);
    if (it == after.end() || it->second.starts_with("- ")) {
      if (!line.starts_with("- ")) return path + " is gone";
    } else if (it->second != line) {
      return line.starts_with("- ") ? path + " is new" : path + " has changed";
    }
  }
  for (const auto& [path, line] : after)
    if (!before.contains(path) && !line.starts_with("- ")) return path + " is new";
  return {};
}

}  // namespace

std::vector<std::string> SetShapingSettings(const Context& ctx) {
  const JobSettings& job = ctx.job;
  const char* extraKind = job.ExtraKind == ExtraKindChoice::File        ? "file"
                          : job.ExtraKind == ExtraKindChoice::Directory ? "directory"
                                                                        : "none";
  return {
      "source=" + job.SourcePath,
      "ISO image=" + YesNo(job.SourceIsImage),
      "skip list=" + job.SkipEntries,
      "DIZ=" + job.DizPath,
      "DIZ numbering=" + YesNo(job.DizNumbering),
      "DIZ column=" + job.DizColumn,
      "DIZ line=" + job.DizLine,
      "NFO=" + job.NfoPath,
      "NFO in the first zip only=" + YesNo(job.NfoFirstZipOnly),
      "extra kind=" + std::string(extraKind),
      "extra=" + job.ExtraPath,
      "zip comment=" + YesNo(job.ZipCommentEnabled),
      "archiver=" + std::string(job.Archiver == ArchiverKind::Rar ? "rar" : "ace"),
      "compression=" + std::to_string(job.Compression),
      "archive size=" + std::to_string(job.ArchiveSize),
      "three-digit numbers=" + YesNo(job.ThreeDigitNumbering),
      "zip extra=" + YesNo(job.ZipExtra),
      "zip directory=" + job.ZipStorageDir,
      "base name=" + job.ZipBaseName,
      "work drive=" + std::string(1, static_cast<char>(std::tolower(job.WorkDrive))),
      "dated zip names=" + YesNo(ctx.batchMode == BatchMode::Dated),
  };
}

std::vector<std::string> SetFingerprint(const Context& ctx) {
  const JobSettings& job = ctx.job;
  std::vector<std::string> lines;
  AddTree(lines, ctx, job.SourcePath);
  AddText(lines, ctx, job.DizPath);
  AddText(lines, ctx, job.NfoPath);
  if (!job.ExtraPath.empty()) AddTree(lines, ctx, job.ExtraPath);
  if (job.ZipCommentEnabled) AddText(lines, ctx, job.ZipCommentPath);
  return lines;
}

SetRecord SetRecord::Begin(const Context& ctx) {
  SetRecord record;
  record.dosPath_ = dos::Join(ctx.run.WorkFolder, kSetRecordName);
  record.hostPath_ = ctx.fs.RequireHostPath(record.dosPath_, "write");
  record.settings_ = SetShapingSettings(ctx);
  record.fingerprint_ = SetFingerprint(ctx);
  record.dateStamp_ = ::kelvo::DateStamp(ctx.batchMode, ctx.clock.Now());
  record.Restart();
  return record;
}

void SetRecord::Restart() {
  std::string bytes = Sealed(kHeader);
  for (const auto& line : settings_) bytes += Sealed("set " + Escape(line));
  bytes += Sealed("stamp " + dateStamp_);
  for (const auto& line : fingerprint_) bytes += Sealed("file " + Escape(line));
  bytes += Sealed("begun " + std::to_string(fingerprint_.size()));
  // Written beside and renamed over: a record is whole or the old one.
  const std::string temp = hostPath_ + ".new";
  {
    host::UniqueFd fd(::open(temp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0644));
    if (!fd) host::ThrowErrno("write", dosPath_, errno);
    WriteAll(fd.get(), bytes, dosPath_);
  }
  if (::rename(temp.c_str(), hostPath_.c_str()) != 0) {
    const int err = errno;
    ::unlink(temp.c_str());
    host::ThrowErrno("write", dosPath_, err);
  }
  SyncDirectory(hostPath_);
  volumes_.clear();
  volumesDone_ = false;
  zips_.clear();
}

void SetRecord::Append(const std::vector<std::string>& lines) {
  std::string bytes;
  for (const auto& line : lines) bytes += Sealed(line);
  host::UniqueFd fd(::open(hostPath_.c_str(), O_WRONLY | O_APPEND | O_CLOEXEC));
  if (!fd) host::ThrowErrno("write", dosPath_, errno);
  WriteAll(fd.get(), bytes, dosPath_);
}

void SetRecord::NoteVolumes(const Context& ctx, const std::vector<std::string>& volumes) {
  if (!Active()) return;
  const std::string folder = dos::Parent(dosPath_);
  std::vector<std::string> lines;
  volumes_.clear();
  for (const auto& name : volumes) {
    const std::uint64_t bytes = ctx.fs.FileLength(dos::Join(folder, name));
    volumes_.push_back({name, bytes});
    lines.push_back("volume " + std::to_string(bytes) + " " + Escape(name));
  }
  lines.push_back("volumes " + std::to_string(volumes.size()));
  Append(lines);
  volumesDone_ = true;
}

void SetRecord::NoteZip(const Context& ctx, const ZipCheck& check) {
  if (!Active()) return;
  const std::string zip = StoragePrefix(ctx.job.ZipStorageDir) + "\\" + check.fileName;
  const std::string host = ctx.fs.RequireHostPath(zip, "write");
  {
    host::UniqueFd fd(::open(host.c_str(), O_RDONLY | O_CLOEXEC));
    if (!fd || ::fsync(fd.get()) != 0) host::ThrowErrno("write", zip, errno);
  }
  SyncDirectory(host);
  Append(
      {"zip " + std::to_string(check.bytes) + " " + Hex(check.crc) + " " + Escape(check.fileName)});
  zips_.push_back({check.fileName, check.bytes, check.crc});
}

void SetRecord::Remove(const Context& ctx) {
  if (!Active()) return;
  ctx.fs.DeleteFile(dosPath_);
  hostPath_.clear();
}

std::optional<SetRecord> SetRecord::Read(const Context& ctx, const std::string& workFolder) {
  const std::string dosPath = dos::Join(workFolder, kSetRecordName);
  std::optional<std::string> bytes;
  try {
    if (!ctx.fs.ExistsAsFile(dosPath)) return std::nullopt;
    bytes = ctx.fs.ReadWholeFile(dosPath, kRecordLimit);
  } catch (const host::HostError&) {
    return std::nullopt;
  }
  if (!bytes) return std::nullopt;
  const std::vector<std::string> lines = Unsealed(*bytes);
  if (lines.empty() || lines.front() != kHeader) return std::nullopt;
  SetRecord record;
  record.dosPath_ = dosPath;
  record.hostPath_ = ctx.fs.HostPath(dosPath).value_or("");
  bool begun = false;
  std::vector<Volume> volumes;
  for (std::size_t i = 1; i < lines.size(); ++i) {
    const std::string& line = lines[i];
    const auto space = line.find(' ');
    const std::string kind = line.substr(0, space);
    const std::string rest = space == std::string::npos ? "" : line.substr(space + 1);
    if (!begun) {
      if (kind == "set") {
        record.settings_.push_back(Unescape(rest));
      } else if (kind == "stamp") {
        record.dateStamp_ = rest;
      } else if (kind == "file") {
        record.fingerprint_.push_back(Unescape(rest));
      } else if (kind == "begun" && rest == std::to_string(record.fingerprint_.size())) {
        begun = true;
      } else {
        return std::nullopt;
      }
      continue;
    }
    const auto second = rest.find(' ');
    if (!record.volumesDone_) {
      if (kind == "volume" && second != std::string::npos) {
        volumes.push_back({Unescape(rest.substr(second + 1)),
                           std::strtoull(rest.substr(0, second).c_str(), nullptr, 10)});
      } else if (kind == "volumes" && rest == std::to_string(volumes.size())) {
        record.volumes_ = std::move(volumes);
        record.volumesDone_ = true;
      } else {
        break;
      }
      continue;
    }
    const auto third = second == std::string::npos ? second : rest.find(' ', second + 1);
    if (kind != "zip" || third == std::string::npos) break;
    Zip zip;
    zip.bytes = std::strtoull(rest.substr(0, second).c_str(), nullptr, 10);
    zip.crc = static_cast<std::uint32_t>(
        std::strtoul(rest.substr(second + 1, third - second - 1).c_str(), nullptr, 16));
    zip.name = Unescape(rest.substr(third + 1));
    record.zips_.push_back(std::move(zip));
  }
  if (!begun) return std::nullopt;
  return record;
}

void DropZippedVolumes(Context& ctx, const ResumePoint& point) {
  const auto& volumes = point.record.Volumes();
  for (std::size_t i = 0; i < point.made.size() && i < volumes.size(); ++i) {
    const std::string volume = dos::Join(point.workFolder, volumes[i].name);
    if (ctx.fs.ExistsAsFile(volume)) ctx.fs.DeleteFile(volume);
  }
}

bool HasSetRecord(const Context& ctx, const std::string& workFolder) {
  return !workFolder.empty() && SetRecord::Read(ctx, workFolder).has_value();
}

std::vector<std::string> VolumesIn(const Context& ctx, const std::string& workFolder) {
  std::vector<std::string> names = ctx.fs.ListFiles(dos::Join(workFolder, "*.*"));
  std::erase_if(names, [](const std::string& name) {
    // The record and its replacement while it is being written.
    return dos::Lower(name) == kSetRecordName ||
           dos::Lower(name) == std::string(kSetRecordName) + ".new";
  });
  return names;
}

namespace {

// Holds a record against the job, the source, the volumes and the zips.
std::variant<ResumePoint, Refusal> Check(const Context& ctx, ResumePoint point) {
  const SetRecord& record = point.record;
  const std::string from = "Can't resume from " + point.workFolder + ": ";
  // The settings first: a changed one explains any difference after it.
  const std::vector<std::string> now = SetShapingSettings(ctx);
  for (const auto& was : record.Settings()) {
    auto it = std::find_if(now.begin(), now.end(), [&](const std::string& line) {
      return SettingName(line) == SettingName(was);
    });
    if (it == now.end()) return ResumeRefusal(from + "the record names an unknown setting");
    if (*it != was)
      return ResumeRefusal(from + "the job's " + SettingName(was) +
                           " is not the one the set was begun with (was \"" + SettingValue(was) +
                           "\", now \"" + SettingValue(*it) + "\")");
  }
  if (record.Settings().size() != now.size())
    return ResumeRefusal(from + "the record is of another version of Kelvo32");
  if (std::string change = FingerprintChange(record.Fingerprint(), SetFingerprint(ctx));
      !change.empty())
    return ResumeRefusal(from + change + " since the set was begun");
  if (!record.HasVolumes()) return point;  // the archiver is run again

  const auto& volumes = record.Volumes();
  const std::string storage = StoragePrefix(ctx.job.ZipStorageDir);
  const auto volumeThere = [&](std::size_t i) {
    const auto version = ctx.fs.FileVersion(dos::Join(point.workFolder, volumes[i].name));
    return version && version->length == volumes[i].bytes;
  };
  for (std::size_t i = 0; i < record.Zips().size() && i < volumes.size(); ++i) {
    const SetRecord::Zip& zip = record.Zips()[i];
    const std::string dosZip = storage + "\\" + zip.name;
    const auto version = ctx.fs.FileVersion(dosZip);
    const auto host = ctx.fs.HostPath(dosZip);
    std::optional<std::uint32_t> crc;
    if (version && version->length == zip.bytes && host) crc = WholeFileCrc(*host);
    if (crc && *crc == zip.crc) {
      point.made.push_back({zip.name, zip.crc});
      continue;
    }
    // Its volume is still there (the run ended before deleting it): the zip
    // is made again, and every one after it.
    if (volumeThere(i)) break;
    const bool volumeLeft = ctx.fs.ExistsAsFile(dos::Join(point.workFolder, volumes[i].name));
    return ResumeRefusal(
        from + "the zip " + dosZip +
        (version ? " is not the one the run made" : " the run made is missing") +
        (volumeLeft ? ", and its volume has changed" : ", and its volume is gone"));
  }
  for (std::size_t i = point.made.size(); i < volumes.size(); ++i) {
    if (!volumeThere(i))
      return ResumeRefusal(from + "the volume " + volumes[i].name +
                           (ctx.fs.ExistsAsFile(dos::Join(point.workFolder, volumes[i].name))
                                ? " has changed"
                                : " is missing"));
  }
  return point;
}

}  // namespace

void RefreshResumable(Context& ctx) {
  ViewState& view = ctx.view;
  if (view.RunInProgress || !ctx.job.SaveAsZips) return;
  const std::string set =
      ctx.job.ZipStorageDir + "\n" + ctx.job.ZipBaseName + "\n" + std::string(1, ctx.job.WorkDrive);
  if (set == view.ResumableFor) return;
  view.ResumableFor = set;
  bool found = false;
  if (!ctx.job.ZipStorageDir.empty() && !ctx.job.ZipBaseName.empty()) {
    // The last run's folder is no longer its own once it has ended: it is
    // the one most likely to be resumed.
    const std::string lastRun = std::exchange(ctx.run.WorkFolder, {});
    try {
      FindResumePoint(ctx, &found);
    } catch (const host::HostError&) {
      // A work drive that can't be listed holds nothing to offer.
    }
    ctx.run.WorkFolder = lastRun;
  }
  view.Resumable = found;
}

std::variant<ResumePoint, Refusal> FindResumePoint(const Context& ctx, bool* found) {
  if (found) *found = false;
  std::vector<Leftover> leftovers = FindLeftovers(ctx);
  // The newest first: a later run of the job is the one to finish.
  for (auto it = leftovers.rbegin(); it != leftovers.rend(); ++it) {
    auto record = SetRecord::Read(ctx, it->dosPath);
    if (!record) continue;
    const auto& settings = record->Settings();
    const auto setting = [&](const std::string& name) {
      for (const auto& line : settings)
        if (SettingName(line) == name) return SettingValue(line);
      return std::string();
    };
    if (dos::Lower(StoragePrefix(setting("zip directory"))) !=
            dos::Lower(StoragePrefix(ctx.job.ZipStorageDir)) ||
        dos::Lower(setting("base name")) != dos::Lower(ctx.job.ZipBaseName))
      continue;
    auto held = std::make_unique<host::DirectoryLock>(it->hostPath, host::DirectoryLock::NoWait{});
    if (!held->held()) continue;
    if (found) *found = true;
    ResumePoint point;
    point.workFolder = it->dosPath;
    point.held = std::move(held);
    point.record = std::move(*record);
    return Check(ctx, std::move(point));
  }
  return ResumeRefusal("Nothing to resume: no run of the set " + StorageName(ctx) +
                       " was left unfinished on " + std::string(1, ctx.job.WorkDrive) + ":");
}

}  // namespace kelvo
