#include "run/zip_fit.h"

#include <algorithm>

#include "host/dospath.h"
#include "host/host_error.h"
#include "host/text_file.h"
#include "source/size_text.h"
#include "texts/diz_nfo.h"
#include "texts/extras.h"

namespace kelvo {

namespace {

// Texts larger than this are no release texts; they are not figured.
constexpr std::uint64_t kTextLimit = std::uint64_t{16} << 20;

std::string ReadText(const Context& ctx, const std::string& path) {
  auto bytes = ctx.fs.ReadWholeFile(path, kTextLimit);
  if (!bytes) throw host::HostError("figure the size of", path, "larger than 16 MB");
  return *bytes;
}

// The copies of the DIZ and NFO are written line by line, each line ended
// by CR LF.
std::uint64_t LineCopyBytes(const std::vector<std::string>& lines) {
  std::uint64_t bytes = 0;
  for (const auto& line : lines) bytes += line.size() + 2;
  return bytes;
}

std::uint64_t DizCopyBytes(const Context& ctx) {
  std::uint64_t bytes = LineCopyBytes(host::SplitLines(ReadText(ctx, ctx.job.DizPath)));
  // A line too short for the stamp gets it at its end.
  if (ctx.job.DizNumbering) bytes += ctx.job.ThreeDigitNumbering ? 7 : 5;
  return bytes;
}

// The copy ends after a tag line, or gets an empty line and the tag. A
// SAUCE tail is copied as it is; counted here as lines, it counts at least
// its own bytes.
std::uint64_t NfoCopyBytes(const Context& ctx) {
  std::vector<std::string> lines = host::SplitLines(ReadText(ctx, ctx.job.NfoPath));
  auto tag = std::find_if(lines.begin(), lines.end(),
                          [](const std::string& line) { return texts::IsNfoTagLine(line); });
  if (tag != lines.end()) {
    lines.erase(tag + 1, lines.end());
  } else {
    lines.push_back("");
    lines.push_back(texts::NfoTagLine());
  }
  return LineCopyBytes(lines);
}

// The longest name a volume of the set can have: 7-Zip's "BASE.7z.001", or
// a real rar's "BASE.part01.rar" where one is installed.
std::string VolumeName(const JobSettings& job) {
  std::string name = job.ZipBaseName + ".7z.001";
  if (job.Archiver == ArchiverKind::Rar) {
    std::string rar = job.ZipBaseName + ".part" + (job.ThreeDigitNumbering ? "001" : "01") + ".rar";
    if (rar.size() > name.size()) name = rar;
  }
  return name;
}

std::string Inputs(const Context& ctx) {
  const JobSettings& job = ctx.job;
  std::string key;
  for (const std::string* text :
       {&job.DizPath, &job.NfoPath, &job.ExtraPath, &job.ZipCommentPath, &job.ZipBaseName})
    key += *text + '\0';
  for (int n : {int(job.ArchiveSize), int(job.SaveAsZips), int(job.DizNumbering),
                int(job.ThreeDigitNumbering), int(job.ExtraKind), int(job.ZipCommentEnabled),
                int(job.ZipExtra), int(job.Archiver), int(ctx.view.VisiblePanel == Panel::Zip)})
    key += std::to_string(n) + ',';
  return key;
}

}  // namespace

std::optional<std::vector<zip::SizedEntry>> LargestZipEntries(const Context& ctx,
                                                              std::string& why) {
  const JobSettings& job = ctx.job;
  std::vector<zip::SizedEntry> entries{{VolumeName(job), kFloppyVolumeBytes}};
  try {
    if (!job.DizPath.empty()) entries.push_back({"file_id.diz", DizCopyBytes(ctx)});
    if (!job.NfoPath.empty())
      entries.push_back({dos::FileNamePart(job.NfoPath), NfoCopyBytes(ctx)});
    if (job.ExtraKind == ExtraKindChoice::File && !job.ExtraPath.empty()) {
      entries.push_back({dos::FileNamePart(job.ExtraPath), ctx.fs.FileLength(job.ExtraPath)});
    } else if (!job.ExtraPath.empty()) {
      std::string pattern = texts::ExtraZipEntry(job);
      std::string dir = dos::Parent(pattern);
      for (const std::string& name : ctx.fs.ListFiles(pattern))
        entries.push_back({name, ctx.fs.FileLength(dos::Join(dir, name))});
    }
  } catch (const host::HostError& e) {
    why = e.what();
    return std::nullopt;
  }
  return entries;
}

void RefreshZipFit(Context& ctx) {
  std::string inputs = Inputs(ctx);
  ViewState& view = ctx.view;
  if (inputs == view.ZipFitInputs) return;
  view.ZipFitInputs = inputs;
  view.ZipFitText.clear();
  view.ZipFitWarning.clear();
  const JobSettings& job = ctx.job;
  if (job.ArchiveSize != kFloppyArchiveSize || !job.SaveAsZips) return;

  std::string why;
  auto entries = LargestZipEntries(ctx, why);
  if (!entries) {
    view.ZipFitText = "Largest zip: " + why;
    return;
  }
  std::uint64_t comment = 0;
  try {
    if (job.ZipCommentEnabled && !job.ZipCommentPath.empty())
      comment = ctx.fs.FileLength(job.ZipCommentPath);
  } catch (const host::HostError& e) {
    view.ZipFitText = std::string("Largest zip: ") + e.what();
    return;
  }
  std::uint64_t bytes = zip::LargestZipBytes(*entries, comment, job.ZipExtra ? 9 : 6);
  view.ZipFitText = "Largest zip: " + GroupDigits(bytes) + " bytes";
  if (bytes > kFloppyBytes)
    view.ZipFitWarning = "Too big for a 1.44 MB floppy (" + GroupDigits(kFloppyBytes) + " bytes)";
}

}  // namespace kelvo
