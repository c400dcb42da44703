#include "core/skip_list.h"

#include "core/message_titles.h"
#include "host/dospath.h"

namespace kelvo {

namespace {

constexpr const char* kLineEnd = "\r\n";

// The list in lower case, line by line, each line kept naming what it named.
std::string LowerList(const host::FileSystem& fs, const std::string& list) {
  std::string out;
  size_t start = 0;
  for (;;) {
    size_t end = list.find(kLineEnd, start);
    out += fs.LowerChosenPath(std::string_view(list).substr(start, end - start));
    if (end == std::string::npos) break;
    out += kLineEnd;
    start = end + 2;
  }
  return out;
}

// A typed last line without its end must not run into the new entry.
void AppendEntry(Context& ctx, const std::string& entry) {
  std::string& list = ctx.job.SkipEntries;
  if (!list.empty() && !list.ends_with(kLineEnd)) list += kLineEnd;
  list += entry;
  list = LowerList(ctx.fs, list);
}

void Refuse(Context& ctx, const std::string& text) {
  ctx.ui.ShowMessage(text, kErrorTitle, MessageIcon::Critical, MessageButtons::Ok);
}

}  // namespace

void AddSkipEntry(Context& ctx,
                  std::function<void(const std::string&, FolderDialogStatus&)> onHighlighted) {
  const std::string& source = ctx.job.SourcePath;
  if (source.empty()) {
    Refuse(ctx, "You must pick a source drive or directory first");
    ShowPanel(ctx.view, Panel::Source);
    return;
  }
  if (ctx.view.SkipKind == SkipBrowseKind::SubDir) {
    FolderDialogRequest request;
    request.title = "Directory to skip";
    request.initialSelection = source;
    request.onHighlighted = std::move(onHighlighted);
    request.anyName = true;  // a folder of the source tree
    auto chosen = ctx.ui.BrowseFolder(request);
    // An empty choice would add "\*.*": the whole drive.
    if (!chosen || chosen->empty()) return;
    if (dos::EqualNoCase(*chosen, source)) return;
    AppendEntry(ctx, *chosen);
    ctx.job.SkipEntries += ctx.job.SkipEntries.ends_with('\\') ? "*.*" : "\\*.*";
    ctx.job.SkipEntries += kLineEnd;
    return;
  }
  FileDialogRequest request;
  request.title = "Add skip file";
  request.filter = "Skip file (*.*)|*.*|";
  request.initialName = "*.*";
  request.initialDir = source;
  request.anyName = true;  // a file of the source tree
  auto chosen = ctx.ui.OpenFile(request);
  if (!chosen || chosen->empty()) return;
  if (dos::Lower(std::string_view(*chosen).substr(0, source.size())) != dos::Lower(source)) {
    Refuse(ctx, "Path isn't within source path");
    return;
  }
  AppendEntry(ctx, *chosen);
  ctx.job.SkipEntries += kLineEnd;
}

bool SkipEntryMatches(const host::FileSystem& fs, const std::string& entry) {
  if (entry.empty()) return false;
  if (entry.back() == '*') return fs.ExistsWithDirectories(entry);
  return fs.ExistsAsFile(entry) ||
         (dos::HasWildcard(dos::FileNamePart(entry)) && !fs.ListFiles(entry).empty());
}

void ClearSkipList(Context& ctx) {
  ctx.job.SkipEntries.clear();
}

void SetSkipKind(Context& ctx, SkipBrowseKind kind) {
  ctx.view.SkipKind = kind;
}

}  // namespace kelvo
