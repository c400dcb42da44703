#include "scripts/job_script.h"

#include <cctype>
#include <cmath>
#include <cstdio>
#include <tuple>

#include "core/exit_status.h"
#include "core/message_titles.h"
#include "host/dospath.h"
#include "host/host_error.h"
#include "host/text_file.h"
#include "scripts/job_rules.h"
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

// Thrown inside the parse; becomes its error.
struct Stop {
  ScriptError error;
};

// The script's lines, counted so that an error can name its line.
class ScriptLinesReader {
 public:
  explicit ScriptLinesReader(std::string_view bytes) : lines_(host::SplitLines(bytes)) {}
  // The next line; ending here fails with what was expected.
  const std::string& Next(std::string_view expected) {
    if (number_ >= lines_.size()) {
      throw Stop{{number_ + 1, "line " + std::to_string(number_ + 1) + ": the script ends before " +
                                   std::string(expected)}};
    }
    return lines_[number_++];
  }
  // The value of the next line, read from the character after its key.
  std::string Value(const ScriptKey& key) {
    return From(Next("the line '" + std::string(key.text) + "'"), key.ValueFrom());
  }
  [[noreturn]] void Fail(const ScriptKey& key, std::string_view value, std::string_view rule) {
    std::string_view shown = TrimBlanks(value);
    throw Stop{{number_, "line " + std::to_string(number_) + ": " + std::string(key.name) + " " +
                             (shown.empty() ? std::string("''") : std::string(shown)) + " is not " +
                             std::string(rule)}};
  }

 private:
  std::vector<std::string> lines_;
  std::size_t number_ = 0;  // lines read
};

void ReadFields(ScriptLinesReader& in, ParsedScript& out) {
  namespace key = script_keys;
  in.Next("its first line");
  out.sourcePath = in.Value(key::kSource);
  in.Next("the line 'Skip: '");
  for (;;) {
    const std::string& entry = in.Next("the empty line that ends the skip list");
    if (entry.empty()) break;
    out.skipEntries += entry + kCrLf;
  }
  out.dizPath = in.Value(key::kDiz);
  std::string text = in.Value(key::kAutoNumbering);
  auto numbering = ToFlag(text);
  if (!numbering) in.Fail(key::kAutoNumbering, text, "True, False or a number");
  out.dizNumbering = *numbering;
  out.dizColumn = in.Value(key::kColumn);
  out.dizLine = in.Value(key::kLine);
  out.nfoPath = in.Value(key::kNfo);

  text = in.Value(key::kFirstZipOnly);
  auto first = ToInt16(LeadingNumber(text));
  if (!first || (*first != 0 && *first != 1)) in.Fail(key::kFirstZipOnly, text, "0 or 1");
  out.nfoFirstZipOnly = *first == 1;

  std::string kind = in.Value(key::kExtraKind);
  if (kind == "False") {
    out.extraKind = ParsedScript::ExtraKind::Directory;
  } else {
    auto file = ToFlag(kind);
    if (!file) in.Fail(key::kExtraKind, kind, "True, False or a number");
    // Only a number can turn the File option off: a truth word in any
    // spelling but the exact "False" selects it.
    std::string_view word = TrimBlanks(kind);
    bool truthWord = dos::EqualNoCase(word, "true") || dos::EqualNoCase(word, "false");
    out.extraKind =
        *file || truthWord ? ParsedScript::ExtraKind::File : ParsedScript::ExtraKind::NumberOff;
  }
  out.extraPath = in.Value(key::kExtraPath);
  out.zipStorageDir = in.Value(key::kZipStorage);
  out.zipBaseName = in.Value(key::kBaseName);

  text = in.Value(key::kArchiveSize);
  auto size = ToInt16(LeadingNumber(text));
  if (!size || *size < 0 || *size > kMaxArchiveSize)
    in.Fail(key::kArchiveSize, text, "0 to " + std::to_string(kMaxArchiveSize));
  out.archiveSize = *size;

  text = in.Value(key::kCompression);
  auto compression = ToInt16(LeadingNumber(text));
  // -1 is the list with no level selected.
  if (!compression || *compression < -1 || *compression > 5)
    in.Fail(key::kCompression, text, "0 to 5");
  out.compression = *compression;

  text = in.Value(key::kZipExtra);
  double extra = LeadingNumber(text);
  if (extra != 0.0 && extra != -1.0 && extra != 1.0) in.Fail(key::kZipExtra, text, "0 or -1");
  out.zipExtra = extra != 0.0;
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
  namespace key = script_keys;
  auto field = [&line](const ScriptKey& k, std::string_view value) {
    line(std::string(k.text) + std::string(value));
  };
  line("Kelvo32 script - " + date + "  " + time);
  field(key::kSource, job.SourcePath);
  field(key::kSkip, "");
  // The list's text exactly as held, then one CR LF: a list built by
  // "&Browse" thus ends in the empty line that closes the block.
  line(job.SkipEntries);
  field(key::kDiz, job.DizPath);
  field(key::kAutoNumbering, job.DizNumbering ? "True" : "False");
  field(key::kColumn, job.DizColumn);
  field(key::kLine, job.DizLine);
  field(key::kNfo, job.NfoPath);
  field(key::kFirstZipOnly, NumberText(job.NfoFirstZipOnly ? 1 : 0));
  field(key::kExtraKind, job.ExtraKind == ExtraKindChoice::File ? "True" : "False");
  field(key::kExtraPath, job.ExtraPath);
  field(key::kZipStorage, job.ZipStorageDir);
  field(key::kBaseName, job.ZipBaseName);
  field(key::kArchiveSize, NumberText(job.ArchiveSize));
  field(key::kCompression, NumberText(job.Compression));
  field(key::kZipExtra, NumberText(job.ZipExtra ? -1 : 0));
  return text;
}

std::string ScriptWindowTitle(std::string_view scriptPath) {
  auto slash = scriptPath.find_last_of("\\/");
  return "Kelvo32 - " +
         (slash == std::string_view::npos ? std::string() : dos::FileNamePart(scriptPath));
}

void SaveScript(Context& ctx) {
  auto chosen = ctx.ui.SaveFile({"Save script", "Script (*.kvo)|*.kvo|", "*.kvo", ctx.stateDir});
  if (!chosen || chosen->empty()) return;
  // A name typed without an extension is still a script; the case typed is
  // kept unless it names a script that is there in another case.
  std::string path = *chosen;
  if (dos::FileNamePart(path).find('.') == std::string::npos) path += ".kvo";
  path = ctx.fs.LowerChosenPath(path);
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

ScriptParse ParseScript(std::string_view bytes) {
  ScriptParse parse;
  ScriptLinesReader in(bytes);
  try {
    ReadFields(in, parse.values);
  } catch (const Stop& stop) {
    parse.error = stop.error;
  }
  return parse;
}

void ApplyScript(Context& ctx, const ParsedScript& script) {
  JobSettings& job = ctx.job;
  if (script.sourcePath) job.SourcePath = *script.sourcePath;
  job.SkipEntries += script.skipEntries;
  if (script.dizPath) job.DizPath = *script.dizPath;
  if (script.dizNumbering == true) {
    texts::SetDizNumberingMode(ctx, true);
  } else if (script.dizNumbering == false) {
    // Clears "S&ubsitute at column" without choosing "&None".
    job.DizNumbering = false;
  }
  if (script.dizColumn) job.DizColumn = *script.dizColumn;
  if (script.dizLine) job.DizLine = *script.dizLine;
  if (script.nfoPath) job.NfoPath = *script.nfoPath;
  if (script.nfoFirstZipOnly) job.NfoFirstZipOnly = *script.nfoFirstZipOnly;
  if (script.extraKind == ParsedScript::ExtraKind::Directory) {
    job.ExtraKind = ExtraKindChoice::Directory;
  } else if (script.extraKind == ParsedScript::ExtraKind::File) {
    job.ExtraKind = ExtraKindChoice::File;
  } else if (script.extraKind && job.ExtraKind == ExtraKindChoice::File) {
    job.ExtraKind = ExtraKindChoice::None;
  }
  if (script.extraPath) job.ExtraPath = *script.extraPath;
  if (script.zipStorageDir) {
    job.ZipStorageDir = *script.zipStorageDir;
    // Reading on past the storage line starts the name at its longer limit.
    ctx.view.BaseNameLimit = kSingleArchiveNameLimit;
  }
  if (script.zipBaseName)
    job.ZipBaseName = LimitedBaseName(*script.zipBaseName, kSingleArchiveNameLimit);
  if (script.archiveSize) {
    SetArchiveSize(ctx, *script.archiveSize);
    if (job.ArchiveSize != 0) {
      job.ZipBaseName = LimitedBaseName(job.ZipBaseName, kTwoDigitNameLimit);
      ctx.view.BaseNameLimit = kTwoDigitNameLimit;
    }
  }
  if (script.compression) job.Compression = *script.compression;
  if (script.zipExtra) job.ZipExtra = *script.zipExtra;
}

bool ReadScript(Context& ctx) {
  std::string reason;
  auto fail = [&](std::string_view why) {
    reason = "can't read '" + ctx.ScriptPath + "': " + std::string(why);
  };
  try {
    std::optional<std::string> bytes;
    if (!ctx.fs.ExistsAsFile(ctx.ScriptPath)) {
      fail("no such file");
    } else if (!(bytes = ctx.fs.ReadWholeFile(ctx.ScriptPath, kMaxScriptBytes))) {
      fail("the script is larger than 16 MiB");
    } else {
      ScriptParse parse = ParseScript(*bytes);
      // Fields read before a failure keep their new values.
      ApplyScript(ctx, parse.values);
      if (!parse.error) return true;
      fail(parse.error->reason);
    }
  } catch (const host::HostError& error) {
    reason = error.what();
  }
  ctx.ui.ShowMessage("Error in Kelvo script\r" + reason, kErrorTitle, MessageIcon::Critical,
                     MessageButtons::Ok);
  ctx.ui.Report(reason);
  return false;
}

std::optional<Refusal> CheckLoadedJob(Context& ctx) {
  ctx.LoadCheckPassed = false;
  std::optional<Refusal> refusal;
  try {
    refusal = CheckJob(ctx, CheckMoment::Load);
  } catch (const host::HostError& error) {
    // A file the check itself needs (text.tmp, a listing) failed: say so.
    refusal = Refusal{Panel::None,  FocusBox::None,      JobField::None,
                      error.what(), kExitScriptRejected, MessageIcon::Critical};
  }
  if (refusal) {
    Present(ctx, *refusal);
    return refusal;
  }
  ctx.LoadCheckPassed = true;
  return std::nullopt;
}

namespace {
// What "&Open script..." does before its dialog, whatever the answer.
void PrepareScriptLoad(Context& ctx) {
  ctx.LoadCheckPassed = false;
  ctx.job.SkipEntries.clear();
  ToggleImageSource(ctx, false);
}
}  // namespace

void OpenScript(Context& ctx) {
  PrepareScriptLoad(ctx);
  auto chosen = ctx.ui.OpenFile({"Open script", "Script (*.kvo)|*.kvo|", "*.kvo", ctx.stateDir});
  if (!chosen) return;
  LoadChosenScript(ctx, *chosen);
}

void DropScript(Context& ctx, const std::string& dosPath) {
  PrepareScriptLoad(ctx);
  LoadChosenScript(ctx, dosPath);
}

void LoadChosenScript(Context& ctx, const std::string& chosen) {
  std::string path = ctx.fs.LowerChosenPath(chosen);
  if (path.empty()) return;
  ctx.ScriptPath = path;
  ReadScript(ctx);
  CheckLoadedJob(ctx);
  MeasureSource(ctx, true);
  ShowZipDriveFreeSpace(ctx);
  ctx.view.WindowTitle = ScriptWindowTitle(ctx.ScriptPath);
}

}  // namespace kelvo
