#include "source/measure.h"

#include <exception>

#include "core/message_titles.h"
#include "core/shared_files.h"
#include "host/dospath.h"
#include "host/host_error.h"
#include "source/notices.h"
#include "source/size_text.h"

namespace kelvo {

namespace {

constexpr const char* kTotalsLine = "  Total of all files found";

std::string WithoutLeadingSpaces(const std::string& line) {
  size_t first = line.find_first_not_of(' ');
  return first == std::string::npos ? std::string() : line.substr(first);
}

// Thrown inside the measurement; ends it as a failure.
struct MeasureFailed {};

// Keeps the window locked while the size tool runs and unlocks it on every
// way out.
class BusyWindow {
 public:
  explicit BusyWindow(ViewState& view) : view_(view) {
    view_.SourceBrowseEnabled = false;
    view_.NavigationBarEnabled = false;
    view_.BusyPointer = true;
  }
  ~BusyWindow() {
    view_.BusyPointer = false;
    view_.SourceBrowseEnabled = true;
    view_.NavigationBarEnabled = true;
  }

 private:
  ViewState& view_;
};

std::string RunSizeTool(Context& ctx) {
  std::string shortSource;
  if (!ctx.job.SourcePath.empty()) {
    shortSource = ctx.runner.GetShortFileName(ctx.job.SourcePath);
    // A source that is gone would leave the tool measuring the current
    // directory instead.
    if (shortSource.empty()) throw MeasureFailed{};
  }
  if (shortSource.find('"') != std::string::npos) throw MeasureFailed{};
  // Another run's report would pass for this source's.
  auto exchange = HoldExchangeFiles(ctx);
  if (!exchange) throw MeasureFailed{};
  // An old report must not pass for this source's.
  try {
    if (ctx.fs.Exists(kSizeReport)) ctx.fs.DeleteFile(kSizeReport);
  } catch (const host::HostError&) {
  }
  auto result = ctx.runner.ExecCmd(SizeToolCommandLine(ctx.appDir, shortSource));
  ctx.NoteWritten(kSizeReport);
  if (!result.started) throw MeasureFailed{};
  auto text = ReadSizeReport(ctx.fs, kSizeReport, shortSource);
  if (!text) throw MeasureFailed{};
  return *text;
}

}  // namespace

std::string SizeToolCommandLine(const std::string& appDir, const std::string& shortSource) {
  return "command.pif /c \"" + appDir + "\\size.exe\" " + host::CommandArgument(shortSource) +
         " /s /t> " + kSizeReport;
}

std::optional<std::string> ReadSizeReport(const host::FileSystem& fs, std::string_view reportPath,
                                          std::string_view shortSource) {
  try {
    if (!fs.ExistsAsFile(reportPath)) return std::nullopt;
    std::string line;
    {
      auto report = fs.OpenRead(reportPath);
      while (report->Next(line)) {
        if (line != kTotalsLine) continue;
        if (!report->Next(line)) return std::nullopt;
        return WithoutLeadingSpaces(line);
      }
    }
    // No grand total: the block of the source directory itself.
    std::string wanted = dos::Upper(shortSource);
    auto report = fs.OpenRead(reportPath);
    while (report->Next(line)) {
      std::string_view rest = line.size() > 2 ? std::string_view(line).substr(2) : "";
      if (rest != wanted) continue;
      if (!report->Next(line)) return std::nullopt;
      return WithoutLeadingSpaces(line);
    }
    return std::string();
  } catch (const host::HostError&) {
    return std::nullopt;
  }
}

void ParseSourceSize(Context& ctx) {
  ctx.job.SourceSize = SourceSizeFromText(ctx.view.SourceSizeText);
}

bool MeasureSource(Context& ctx, bool silent) {
  bool measured = false;
  {
    ctx.view.SourceSizeText = "Calculating files and size";
    BusyWindow busy(ctx.view);
    ctx.ui.ProcessEvents();
    try {
      ctx.view.SourceSizeText = RunSizeTool(ctx);
      ParseSourceSize(ctx);
      measured = true;
    } catch (const MeasureFailed&) {
    } catch (const std::exception&) {
    }
    if (measured && silent && ctx.view.SourceSizeText.empty()) ctx.job.SourcePath.clear();
  }
  if (measured) return true;
  ctx.view.SourceSizeText = kSourceSizeError;
  if (!silent) {
    Notify(ctx, "Error calculating source bytes", kErrorTitle, MessageIcon::Critical);
    ctx.view.EstimateText.clear();
  }
  return false;
}

void MeasureImage(Context& ctx, const std::string& imagePath) {
  std::uint64_t length;
  try {
    length = ctx.fs.FileLength(imagePath);
  } catch (...) {
    ctx.view.SourceSizeText = kSourceSizeError;
    throw;
  }
  ctx.view.SourceSizeText = (length == 0 ? std::string() : GroupDigits(length)) + " Total bytes";
  ParseSourceSize(ctx);
}

}  // namespace kelvo
