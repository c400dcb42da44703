#include "texts/diz_nfo.h"

#include <optional>

#include "art/sauce.h"
#include "host/dospath.h"
#include "host/host_error.h"
#include "texts/text_files.h"

namespace kelvo::texts {

namespace {

constexpr std::string_view kTagIndent = "                            ";  // 28 blanks
constexpr std::string_view kTagText = "Packaged with Kelvo32 by ";
constexpr std::string_view kMakerMark = "KVO";
constexpr size_t kTagKeyLength = 40;

constexpr const char* kDizFromAppDir = "The file_id.diz can't be from your application directory";
constexpr const char* kNfoFromAppDir = "The nfo can't be from your application directory";

// Where a well-formed SAUCE tail begins (at its end-of-file byte); npos when
// the file does not end in one.
std::size_t SauceTailStart(std::string_view bytes) {
  const std::optional<art::Sauce> sauce = art::FindSauce(bytes);
  return sauce ? sauce->tailStart : std::string_view::npos;
}

// "&Create" for either text: the draft is the file to open and to choose.
void CreateText(Context& ctx, const std::string& draft, std::string& chosenPath) {
  ctx.ui.ShowMessage("Choose 'Save' when finished in notepad, not 'save as'", kAppTitle,
                     MessageIcon::None, MessageButtons::Ok);
  try {
    EnsureAppTempFolder(ctx);
    // Made empty when missing; an existing draft keeps what the user saved.
    if (!ctx.fs.ExistsAsFile(draft)) ctx.fs.OpenWrite(draft)->Close();
  } catch (const host::HostError& e) {
    ctx.ui.ShowMessage("The new " + dos::FileNamePart(draft) + " can't be made\r" + e.what(),
                       kErrorTitle, MessageIcon::Critical, MessageButtons::Ok);
    return;
  }
  ctx.ui.ProcessEvents();
  // A new draft's editor line has always ended in a blank; the split at
  // blanks drops it, so it stays.
  StartEditor(ctx, EditorCommandLine(draft) + " ");
  chosenPath = ctx.fs.LowerChosenPath(draft);
}

void EditText(Context& ctx, const std::string& path) {
  if (path.empty()) return;
  StartEditor(ctx, EditorCommandLine(path));
}

}  // namespace

std::string NfoTagLine() {
  return std::string(kTagIndent) + std::string(kTagText) + std::string(kMakerMark);
}

bool IsNfoTagLine(std::string_view line) {
  return line.substr(0, kTagKeyLength) == NfoTagLine().substr(0, kTagKeyLength);
}

NfoCopyText SplitNfoForCopy(std::string_view bytes, bool sauceKept) {
  NfoCopyText copy;
  std::string_view text = bytes;
  if (std::size_t start = sauceKept ? SauceTailStart(text) : std::string_view::npos;
      start != std::string_view::npos) {
    copy.sauce = text.substr(start);
    text = text.substr(0, start);
  }
  copy.lines = host::SplitLines(text);
  for (std::size_t i = 0; i < copy.lines.size(); ++i) {
    if (IsNfoTagLine(copy.lines[i])) {
      copy.linesLeftOut = copy.lines.size() - (i + 1);
      copy.lines.resize(i + 1);
      copy.tagged = true;
      break;
    }
  }
  return copy;
}

std::vector<std::string> NfoClosingLines() {
  return {"", NfoTagLine()};
}

std::string NewDizFile(const Context& ctx) {
  return dos::Join(AppTempFolder(ctx), "file_id.diz");
}

std::string NewNfoFile(const Context& ctx) {
  return dos::Join(AppTempFolder(ctx), "About.nfo");
}

void CreateDiz(Context& ctx) {
  CreateText(ctx, NewDizFile(ctx), ctx.job.DizPath);
}

void CreateNfo(Context& ctx) {
  CreateText(ctx, NewNfoFile(ctx), ctx.job.NfoPath);
}

void EditDiz(Context& ctx) {
  EditText(ctx, ctx.job.DizPath);
}

void EditNfo(Context& ctx) {
  EditText(ctx, ctx.job.NfoPath);
}

void BrowseDiz(Context& ctx) {
  FileDialogRequest request;
  request.title = "Add file_id.diz";
  request.filter = "File_id.diz (file_id.diz)|file_id.diz|";
  request.initialName = "*.diz";
  request.initialDir = ctx.job.DizPath.empty() ? ctx.job.SourcePath : ctx.job.DizPath;
  auto chosen = ctx.ui.OpenFile(request);
  if (!chosen) {
    ctx.job.DizPath.clear();
    return;
  }
  UseDiz(ctx, *chosen);
}

void UseDiz(Context& ctx, const std::string& chosen) {
  ctx.job.DizPath = ctx.fs.LowerChosenPath(chosen);
  if (ctx.job.DizPath.empty()) return;
  try {
    // Refuses the work copy itself before anything is written.
    const std::string copy = DizWorkCopy(ctx);
    ctx.fs.CopyFile(ctx.job.DizPath, copy);
    ctx.NoteWritten(copy);
  } catch (const host::HostError&) {
    ctx.ui.ShowMessage(kDizFromAppDir, kErrorTitle, MessageIcon::Critical, MessageButtons::Ok);
    ctx.job.DizPath.clear();
  }
}

void SetNfoFirstZipOnly(Context& ctx, bool firstOnly) {
  ctx.job.NfoFirstZipOnly = firstOnly;
}

void BrowseNfo(Context& ctx) {
  FileDialogRequest request;
  request.title = "Add *.nfo";
  request.filter = "A nfo (*.nfo)|*.nfo|";
  request.initialName = "*.nfo";
  // The NFO is looked for beside the DIZ: its path, even when none is chosen.
  request.initialDir = ctx.job.DizPath;
  auto chosen = ctx.ui.OpenFile(request);
  if (!chosen) {
    ctx.job.NfoPath.clear();
    return;
  }
  UseNfo(ctx, *chosen);
}

void UseNfo(Context& ctx, const std::string& chosen) {
  ctx.job.NfoPath = ctx.fs.LowerChosenPath(chosen);
  if (ctx.job.NfoPath.empty()) return;
  // Beside the DIZ in every zip, an NFO of the DIZ's name would take its
  // place; and an NFO that is its own work copy would be cut in place.
  std::string problem = NfoNameProblem(ctx.job.NfoPath);
  // No work-copy folder yet: no copy to be, and nothing to make here.
  if (problem.empty() && !ctx.WorkCopyFolder.empty() &&
      ctx.fs.SameFile(ctx.job.NfoPath,
                      dos::Join(ctx.WorkCopyFolder, dos::FileNamePart(ctx.job.NfoPath))))
    problem = kNfoFromAppDir;
  if (!problem.empty()) {
    ctx.ui.ShowMessage(problem, kErrorTitle, MessageIcon::Critical, MessageButtons::Ok);
    ctx.job.NfoPath.clear();
  }
}

void DropDiz(Context& ctx, const std::string& dosPath) {
  if (!dos::Lower(dosPath).ends_with(".diz") || !ctx.fs.ExistsAsFile(dosPath)) {
    ctx.view.DropNotice = "Drop a .diz file on the Diz panel";
    return;
  }
  UseDiz(ctx, dosPath);
}

void DropNfo(Context& ctx, const std::string& dosPath) {
  if (!dos::Lower(dosPath).ends_with(".nfo") || !ctx.fs.ExistsAsFile(dosPath)) {
    ctx.view.DropNotice = "Drop a .nfo file on the Nfo panel";
    return;
  }
  UseNfo(ctx, dosPath);
}

std::string NfoNameProblem(const std::string& nfoPath) {
  if (dos::Lower(dos::FileNamePart(nfoPath)) == kDizEntryName) return kNfoNamedAsDiz;
  return {};
}

void CopyDizForZip(Context& ctx) {
  std::string copy = DizWorkCopy(ctx);
  ctx.fs.CopyFile(ctx.job.DizPath, copy);
  ctx.NoteWritten(copy);
  ctx.fs.ClearAttributes(copy);
}

void CopyNfoForZip(Context& ctx) {
  if (ctx.job.NfoPath.empty()) return;
  // The copy must land in the work-copy folder and nowhere else.
  std::string name = dos::FileNamePart(ctx.job.NfoPath);
  if (!dos::IsPlainFileName(name))
    throw host::HostError("copy", ctx.job.NfoPath, "the nfo must name a file");
  if (!NfoNameProblem(ctx.job.NfoPath).empty())
    throw host::HostError("copy", ctx.job.NfoPath, kNfoNamedAsDiz);
  ctx.run.NfoCopyName = name;
  const std::string target = NfoWorkCopy(ctx, ctx.job.NfoPath);
  // Read before the copy is opened: a missing NFO leaves the old copy alone.
  const std::optional<std::string> whole =
      ctx.fs.ReadWholeFile(ctx.job.NfoPath, kNfoWholeReadLimit);
  LineCopy copy = OpenLineCopy(ctx.fs, ctx.job.NfoPath, target);
  bool tagged = false;
  std::string_view sauce;
  if (whole) {
    // A SAUCE record must stay the file's last bytes, and its bytes are no
    // lines: only the text before it is copied line by line and tagged.
    NfoCopyText text = SplitNfoForCopy(*whole);
    for (const std::string& line : text.lines) {
      copy.out->WriteLine(line);
      ctx.ui.ProcessEvents();
    }
    tagged = text.tagged;
    sauce = text.sauce;
  } else {
    std::string line;
    while (!tagged && copy.in->Next(line)) {
      copy.out->WriteLine(line);
      tagged = IsNfoTagLine(line);
      ctx.ui.ProcessEvents();
    }
  }
  if (!tagged)
    for (const std::string& line : NfoClosingLines()) copy.out->WriteLine(line);
  copy.out->WriteRaw(sauce);
  copy.out->Close();
  ctx.NoteWritten(target);
}

}  // namespace kelvo::texts
