#include "scripts/job_script.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <fstream>

#include "core/exit_status.h"
#include "core/message_titles.h"
#include "host/dospath.h"
#include "host/host_error.h"
#include "host/text_file.h"
#include "source/archive_size.h"
#include "source/drives.h"
#include "source/measure.h"
#include "source/source_select.h"
#include "texts/diz_numbering.h"

namespace kelvo {

namespace {
std::string_view TrimBlanks(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  while (!text.empty() && (text.back() == ' ' || text.back() == '\t')) text.remove_suffix(1);
  return text;
}
}  // namespace

namespace script_values {

namespace {

// Length of the number at the start of text (sign, digits, one point).
size_t NumberLength(std::string_view text) {
  size_t i = 0;
  if (i < text.size() && (text[i] == '+' || text[i] == '-')) ++i;
  size_t digits = 0;
  while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
  if (i < text.size() && text[i] == '.') {
    ++i;
    while (i < text.size() && std::isdigit(static_cast<unsigned char>(text[i]))) ++i, ++digits;
  }
  return digits ? i : 0;
}
}  // namespace

std::optional<bool> ToFlag(std::string_view text) {
  text = TrimBlanks(text);
  if (dos::EqualNoCase(text, "true")) return true;
  if (dos::EqualNoCase(text, "false")) return false;
  size_t n = NumberLength(text);
  if (n == 0 || n != text.size()) return std::nullopt;
  return LeadingNumber(text) != 0.0;
}

double LeadingNumber(std::string_view text) {
  while (!text.empty() && (text.front() == ' ' || text.front() == '\t')) text.remove_prefix(1);
  size_t n = NumberLength(text);
  if (n == 0) return 0.0;
  // Bounded copy: a number of thousands of digits is still just a number.
  std::string digits(text.substr(0, std::min<size_t>(n, 400)));
  return std::strtod(digits.c_str(), nullptr);
}

std::optional<std::int16_t> ToInt16(double value) {
  if (!std::isfinite(value)) return std::nullopt;
  double rounded = std::nearbyint(value);  // default rounding: half to even
  if (rounded < -32768.0 || rounded > 32767.0) return std::nullopt;
  return static_cast<std::int16_t>(rounded);
}

}  // namespace script_values

namespace {

using script_values::LeadingNumber;
using script_values::ToFlag;
using script_values::ToInt16;

const char* const kCrLf = "\r\n";

std::string TwoDigits(int n) {
  char buffer[8];
  std::snprintf(buffer, sizeof buffer, "%02d", n % 100);
  return buffer;
}

// The line without its first k-1 characters, empty when it is shorter.
std::string From(const std::string& line, size_t k) {
  return line.size() >= k ? line.substr(k - 1) : std::string();
}

struct ScriptError {};

// The script's lines, read with a bound on the bytes taken in.
class ScriptLinesReader {
 public:
  explicit ScriptLinesReader(const std::string& hostPath) {
    std::ifstream in(hostPath, std::ios::binary);
    if (!in) throw ScriptError{};
    std::string bytes;
    char buffer[1 << 16];
    while (in.read(buffer, sizeof buffer) || in.gcount() > 0) {
      bytes.append(buffer, static_cast<size_t>(in.gcount()));
      if (bytes.size() > kMaxScriptBytes) throw ScriptError{};
    }
    if (in.bad()) throw ScriptError{};
    lines_ = host::SplitLines(bytes);
  }
  bool AtEnd() const { return next_ >= lines_.size(); }
  const std::string& Next() {
    if (AtEnd()) throw ScriptError{};
    return lines_[next_++];
  }

 private:
  std::vector<std::string> lines_;
  size_t next_ = 0;
};

void ReadFields(Context& ctx, ScriptLinesReader& in) {
  JobSettings& job = ctx.job;
  in.Next();
  job.SourcePath = From(in.Next(), 9);
  in.Next();
  for (;;) {
    const std::string& entry = in.Next();  // the end of the file inside the block fails
    if (entry.empty()) break;
    job.SkipEntries += entry + kCrLf;
  }
  job.DizPath = From(in.Next(), 6);
  auto numbering = ToFlag(From(in.Next(), 8));
  if (!numbering) throw ScriptError{};
  if (*numbering) {
    texts::SetDizNumberingMode(ctx, true);
  } else {
    // Clears "S&ubsitute at column" without choosing "&None".
    job.DizNumbering = false;
  }
  job.DizColumn = From(in.Next(), 6);
  job.DizLine = From(in.Next(), 6);
  job.NfoPath = From(in.Next(), 6);

  auto first = ToInt16(LeadingNumber(From(in.Next(), 6)));
  if (!first || (*first != 0 && *first != 1)) throw ScriptError{};
  job.NfoFirstZipOnly = *first == 1;

  std::string kind = From(in.Next(), 7);
  if (kind == "False") {
    job.ExtraKind = ExtraKindChoice::Directory;
  } else {
    auto file = ToFlag(kind);
    if (!file) throw ScriptError{};
    // Only a number can turn the File option off: a truth word in any
    // spelling but the exact "False" selects it.
    std::string_view word = TrimBlanks(kind);
    bool truthWord = dos::EqualNoCase(word, "true") || dos::EqualNoCase(word, "false");
    if (*file || truthWord) {
      job.ExtraKind = ExtraKindChoice::File;
    } else if (job.ExtraKind == ExtraKindChoice::File) {
      job.ExtraKind = ExtraKindChoice::None;
    }
  }
  job.ExtraPath = From(in.Next(), 8);
  job.ZipStorageDir = From(in.Next(), 6);

  ctx.view.BaseNameLimit = 20;
  job.ZipBaseName = From(in.Next(), 7).substr(0, 20);

  auto size = ToInt16(LeadingNumber(From(in.Next(), 8)));
  if (!size || *size < 0 || *size > kMaxArchiveSize) throw ScriptError{};
  SetArchiveSize(ctx, *size);
  if (job.ArchiveSize != 0) {
    if (job.ZipBaseName.size() > 6) job.ZipBaseName.resize(6);
    ctx.view.BaseNameLimit = 6;
  }

  auto compression = ToInt16(LeadingNumber(From(in.Next(), 8)));
  if (!compression || *compression < -1 || *compression > 5) throw ScriptError{};
  job.Compression = *compression;

  double extra = LeadingNumber(From(in.Next(), 8));
  if (extra != 0.0 && extra != -1.0 && extra != 1.0) throw ScriptError{};
  job.ZipExtra = extra != 0.0;
}

// Steps of the check that stop it; each leaves LoadCheckPassed off.
struct CheckStop {};

void Stop(Context& ctx, Panel panel, FocusBox focus = FocusBox::None) {
  ShowPanel(ctx.view, panel, focus);
  throw CheckStop{};
}

// The skip entries as the list box holds them, written to "text.tmp" and
// read back up to the first empty line; true when each still exists.
bool SkipEntriesExist(Context& ctx) {
  std::string tmp = ctx.AppFile("text.tmp");
  {
    auto out = ctx.fs.OpenWrite(tmp);
    out->WriteRaw(ctx.job.SkipEntries);
    out->WriteRaw(kCrLf);
    out->Close();
  }
  auto in = ctx.fs.OpenRead(tmp);
  std::string entry;
  while (in->Next(entry) && !entry.empty()) {
    bool exists =
        entry.back() == '*' ? ctx.fs.ExistsWithDirectories(entry) : ctx.fs.ExistsAsFile(entry);
    if (!exists) return false;  // "text.tmp" stays
  }
  in.reset();
  ctx.fs.DeleteFile(tmp);
  return true;
}

void RunChecks(Context& ctx) {
  JobSettings& job = ctx.job;
  if (job.SourcePath.empty() || !ctx.fs.ExistsWithDirectories(job.SourcePath)) {
    job.SourcePath.clear();
    job.SkipEntries.clear();
    Stop(ctx, Panel::Source);
  }
  if (job.SaveAsZips) {
    // The list box counts a line after every CR LF: one entry makes two.
    if (job.SkipEntries.find(kCrLf) != std::string::npos && !SkipEntriesExist(ctx)) {
      job.SkipEntries.clear();
      Stop(ctx, Panel::Skip);
    }
    if (job.DizPath.empty()) Stop(ctx, Panel::Diz);
    if (!ctx.fs.ExistsAsFile(job.DizPath)) {
      job.DizPath.clear();
      Stop(ctx, Panel::Diz);
    }
    if (job.DizNumbering) {
      for (auto [box, focus] : {std::pair{&job.DizColumn, FocusBox::DizColumn},
                                std::pair{&job.DizLine, FocusBox::DizLine}}) {
        if (!box->empty()) continue;
        if (ctx.InBatch()) {
          ctx.EndProgram(kExitScriptRejected);
          throw CheckStop{};
        }
        Stop(ctx, Panel::Diz, focus);
      }
    }
    if (job.NfoPath.empty() || !ctx.fs.ExistsAsFile(job.NfoPath)) Stop(ctx, Panel::Nfo);
    if (!job.ExtraPath.empty()) {
      bool exists = job.ExtraKind == ExtraKindChoice::File ? ctx.fs.ExistsAsFile(job.ExtraPath)
                    : job.ExtraKind == ExtraKindChoice::Directory
                        ? ctx.fs.ExistsWithDirectories(job.ExtraPath)
                        : true;
      if (!exists) {
        job.ExtraPath.clear();
        Stop(ctx, Panel::Nfo);
      }
    }
    if (job.ZipStorageDir.empty()) Stop(ctx, Panel::Zip);
    if (!ctx.fs.ExistsWithDirectories(job.ZipStorageDir)) {
      job.ZipStorageDir.clear();
      Stop(ctx, Panel::Zip);
    }
  }
  if (job.ZipBaseName.empty()) Stop(ctx, Panel::Zip, FocusBox::ZipBaseName);
  if (job.ZipBaseName.find(' ') != std::string::npos) {
    if (ctx.InBatch()) throw CheckStop{};
    ctx.ui.ShowMessage("Spaces aren't allowed in filename", kErrorTitle, MessageIcon::Exclamation,
                       MessageButtons::Ok);
    job.ZipBaseName.clear();
    Stop(ctx, Panel::Zip, FocusBox::ZipBaseName);
  }
  if (job.DizNumbering) {
    texts::CheckDizNumbering(ctx);
    if (!ctx.run.DizCheckPassed) Stop(ctx, Panel::Diz, ctx.view.Focus);
  }
}

}  // namespace

std::string ScriptText(const JobSettings& job, const std::tm& now) {
  std::string date = TwoDigits(now.tm_mon + 1) + "-" + TwoDigits(now.tm_mday) + "-" +
                     std::to_string(now.tm_year + 1900);
  std::string time =
      TwoDigits(now.tm_hour) + ":" + TwoDigits(now.tm_min) + ":" + TwoDigits(now.tm_sec);
  std::string text;
  auto line = [&text](std::string_view l) {
    text += l;
    text += kCrLf;
  };
  line("Kelvo32 script - " + date + "  " + time);
  line("Source: " + job.SourcePath);
  line("Skip: ");
  // The list's text exactly as held, then one CR LF: a list built by
  // "&Browse" thus ends in the empty line that closes the block.
  line(job.SkipEntries);
  line("Diz: " + job.DizPath);
  line(std::string("AutoN: ") + (job.DizNumbering ? "True" : "False"));
  line("Col: " + job.DizColumn);
  line("Lin: " + job.DizLine);
  line("Nfo: " + job.NfoPath);
  line(" 1st:" + NumberText(job.NfoFirstZipOnly ? 1 : 0));
  line(std::string(" File:") + (job.ExtraKind == ExtraKindChoice::File ? "True" : "False"));
  line(" Extra:" + job.ExtraPath);
  line("Zip: " + job.ZipStorageDir);
  line(" name:" + job.ZipBaseName);
  line(" Size:" + NumberText(job.ArchiveSize));
  line(" Solid:" + NumberText(job.Compression));
  line(" Extra:" + NumberText(job.ZipExtra ? -1 : 0));
  return text;
}

std::string ScriptWindowTitle(std::string_view scriptPath) {
  auto slash = scriptPath.find_last_of('\\');
  return "Kelvo32 - " + std::string(slash == std::string_view::npos ? std::string_view()
                                                                    : scriptPath.substr(slash + 1));
}

void SaveScript(Context& ctx) {
  auto chosen = ctx.ui.SaveFile({"Save script", "Script (*.kvo)|*.kvo|", "*.kvo", ctx.appDir});
  if (!chosen) return;
  std::string path = ctx.fs.LowerChosenPath(*chosen);
  if (path.empty()) return;
  ctx.ScriptPath = path;
  try {
    auto out = ctx.fs.OpenWrite(path);
    out->WriteRaw(ScriptText(ctx.job, ctx.clock.Now()));
    out->Close();
  } catch (const host::HostError&) {
    return;
  }
  ctx.view.WindowTitle = ScriptWindowTitle(path);
}

bool ReadScript(Context& ctx) {
  try {
    auto host = ctx.fs.HostPath(ctx.ScriptPath);
    if (!host || !ctx.fs.ExistsAsFile(ctx.ScriptPath)) throw ScriptError{};
    ScriptLinesReader in(*host);
    ReadFields(ctx, in);
    return true;
  } catch (const ScriptError&) {
  } catch (const host::HostError&) {
  }
  if (!ctx.InBatch()) {
    ctx.ui.ShowMessage("Error in Kelvo script", kErrorTitle, MessageIcon::Critical,
                       MessageButtons::Ok);
  }
  return false;
}

void CheckLoadedJob(Context& ctx) {
  ctx.LoadCheckPassed = false;
  try {
    RunChecks(ctx);
  } catch (const CheckStop&) {
    return;
  } catch (const host::HostError&) {
    return;
  }
  ctx.LoadCheckPassed = true;
}

void OpenScript(Context& ctx) {
  ctx.LoadCheckPassed = false;
  ctx.job.SkipEntries.clear();
  ToggleImageSource(ctx, false);
  auto chosen = ctx.ui.OpenFile({"Open script", "Script (*.kvo)|*.kvo|", "*.kvo", ctx.appDir});
  if (!chosen) return;
  std::string path = ctx.fs.LowerChosenPath(*chosen);
  if (path.empty()) return;
  ctx.ScriptPath = path;
  ReadScript(ctx);
  CheckLoadedJob(ctx);
  if (ctx.programExit) return;
  MeasureSource(ctx, true);
  ShowZipDriveFreeSpace(ctx);
  ctx.view.WindowTitle = ScriptWindowTitle(ctx.ScriptPath);
}

}  // namespace kelvo
