#include "source/archive_size.h"

#include <cstdio>
#include <optional>
#include <stdexcept>

#include "source/measure.h"

namespace kelvo {

namespace {

void LimitBaseName(Context& ctx, int limit) {
  ctx.view.BaseNameLimit = limit;
  ctx.job.ZipBaseName = LimitedBaseName(ctx.job.ZipBaseName, static_cast<size_t>(limit));
}

// Who asks for the estimate text: it reads one volume differently for each.
enum class EstimateFor { ArchiveSizeChange, NewSource };

// "<n.nn> files", or "1.00 file" for one archive and for one volume or less;
// after a change of the archive size one volume reads " 1.00 file". The
// blank is no slip: both spellings stay exactly as users have always seen.
std::string EstimateText(std::int16_t archiveSize, float volumes, EstimateFor asker) {
  if (archiveSize == 0) return "1.00 file";
  if (volumes > 1.0f) return HundredthsText(volumes) + " files";
  return asker == EstimateFor::ArchiveSizeChange ? " 1.00 file" : "1.00 file";
}

// Every figure of the volumes for the job as it stands. `asker` chooses the
// spelling of one volume or less; without one the last spelling stays.
void FigureVolumes(Context& ctx, std::optional<EstimateFor> asker) {
  JobSettings& job = ctx.job;
  ViewState& view = ctx.view;
  if (asker) view.EstimateForNewSource = *asker == EstimateFor::NewSource;
  view.EstimateSourceSize = job.SourceSize;
  const EstimateFor spelling =
      view.EstimateForNewSource ? EstimateFor::NewSource : EstimateFor::ArchiveSizeChange;

  view.ArchiveSizeText = ArchiveSizeTextFor(job.ArchiveSize);
  if (job.ArchiveSize == 0) {
    view.EstimateText = EstimateText(0, 0.0f, spelling);
    job.ThreeDigitNumbering = false;
    LimitBaseName(ctx, kSingleArchiveNameLimit);
    return;
  }
  // As the run figures them (CheckVolumeEstimate): nothing measured is no
  // volume, and numbers of two digits.
  const float volumes = EstimateJobVolumes(job);
  job.ThreeDigitNumbering = NeedsThreeDigitNumbers(volumes);
  // Nothing measured, or the last measurement failed: no figure to show.
  const bool measured = job.SourceSize != 0.0f && view.SourceSizeText != kSourceSizeError;
  view.EstimateText = measured ? EstimateText(job.ArchiveSize, volumes, spelling) : std::string();
  LimitBaseName(ctx, job.ThreeDigitNumbering ? kThreeDigitNameLimit : kTwoDigitNameLimit);
}

}  // namespace

std::string ArchiveSizeTextFor(std::int16_t archiveSize) {
  if (archiveSize == 0) return "1 Max file";
  if (archiveSize == kFloppyArchiveSize) return "1.44 M";
  // The scroll bar's text as it has always read (".5 M", "1. M"), not tidied.
  // Thousands of bytes shown in megabytes: whole part (none for 0), the
  // point, and 5 for a half.
  int whole = archiveSize / 2;
  std::string text = whole ? std::to_string(whole) : std::string();
  text += archiveSize % 2 ? ".5" : ".";
  return text + " M";
}

std::string HundredthsText(float value) {
  // The exact decimal expansion of the single, rounded by hand, so that a
  // half goes up as the estimate has always shown it.
  char buffer[128];
  std::snprintf(buffer, sizeof buffer, "%.40f", static_cast<double>(value));
  std::string exact = buffer;
  bool negative = exact[0] == '-';
  if (negative) exact.erase(0, 1);
  size_t point = exact.find('.');
  std::string digits = exact.substr(0, point) + exact.substr(point + 1, 2);
  bool up = exact[point + 3] >= '5';
  if (up) {
    size_t i = digits.size();
    while (i > 0 && digits[i - 1] == '9') digits[--i] = '0';
    if (i == 0) {
      digits.insert(digits.begin(), '1');
    } else {
      ++digits[i - 1];
    }
  }
  std::string text = digits.substr(0, digits.size() - 2) + "." + digits.substr(digits.size() - 2);
  return negative ? "-" + text : text;
}

void UpdateArchiveSize(Context& ctx) {
  JobSettings& job = ctx.job;
  if (job.SourceIsImage && job.ArchiveSize < kImageMinArchiveSize)
    job.ArchiveSize = kImageMinArchiveSize;
  FigureVolumes(ctx, EstimateFor::ArchiveSizeChange);
}

void SetArchiveSize(Context& ctx, std::int16_t archiveSize) {
  if (archiveSize < 0 || archiveSize > kMaxArchiveSize)
    throw std::out_of_range("archive size " + std::to_string(archiveSize) + " outside 0..199");
  if (archiveSize == ctx.job.ArchiveSize) return;
  ctx.job.ArchiveSize = archiveSize;
  UpdateArchiveSize(ctx);
}

void RefreshEstimate(Context& ctx) {
  FigureVolumes(ctx, EstimateFor::NewSource);
}

void RefreshVolumeFigures(Context& ctx) {
  // A source measured since the last figure is a new source, however it
  // came (a browse, a drop, a script loaded); otherwise the spelling stays.
  std::optional<EstimateFor> asker;
  if (ctx.job.SourceSize != ctx.view.EstimateSourceSize) asker = EstimateFor::NewSource;
  FigureVolumes(ctx, asker);
}

void SetArchiver(Context& ctx, ArchiverKind archiver) {
  ctx.job.Archiver = archiver;
}

void SetCompression(Context& ctx, int level) {
  if (level < -1 || level > kMaxCompression)
    throw std::out_of_range("compression " + std::to_string(level) + " outside -1..5");
  ctx.job.Compression = static_cast<std::int16_t>(level);
}

void SetZipBaseName(Context& ctx, std::string name) {
  ctx.job.ZipBaseName = std::move(name);
}

}  // namespace kelvo
