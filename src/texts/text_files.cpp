#include "texts/text_files.h"

#include <unistd.h>

#include "host/dospath.h"
#include "host/host_error.h"

namespace kelvo::texts {

std::string AppTempFolder(const Context& ctx) {
  return ctx.StateFile("temp");
}

std::string WorkCopyFolder(Context& ctx) {
  if (!ctx.WorkCopyFolder.empty() && ctx.fs.IsDirectory(ctx.WorkCopyFolder))
    return ctx.WorkCopyFolder;
  EnsureAppTempFolder(ctx);
  const std::string base = dos::Join(AppTempFolder(ctx), "~kelvo" + std::to_string(::getpid()));
  // A folder of that name is a dead process's (a pid is unique among the
  // living): leave it, and take the next free name.
  for (int n = 1;; ++n) {
    std::string candidate = n == 1 ? base : base + "-" + std::to_string(n);
    if (ctx.fs.Exists(candidate)) continue;
    try {
      ctx.fs.MakeDir(candidate);
    } catch (const host::HostError&) {
      if (ctx.fs.Exists(candidate) && n < 1000) continue;
      throw;
    }
    ctx.WorkCopyFolder = candidate;
    return candidate;
  }
}

std::string DizWorkCopy(Context& ctx) {
  return dos::Join(WorkCopyFolder(ctx), kDizEntryName);
}

std::string NfoWorkCopy(Context& ctx, const std::string& nfoPath) {
  return dos::Join(WorkCopyFolder(ctx), dos::FileNamePart(nfoPath));
}

void RemoveWorkCopies(Context& ctx) {
  const std::string folder = ctx.WorkCopyFolder;
  if (folder.empty()) return;
  try {
    for (const std::string& name : ctx.fs.ListFiles(dos::Join(folder, "*.*")))
      ctx.DeleteIfWritten(dos::Join(folder, name));
    if (!ctx.fs.ExistsWithDirectories(dos::Join(folder, "*.*"))) ctx.fs.RemoveDir(folder);
  } catch (const host::HostError&) {
    // Clean-up removes what it can.
  }
  ctx.WorkCopyFolder.clear();
}

void EnsureAppTempFolder(Context& ctx) {
  std::string folder = AppTempFolder(ctx);
  if (!ctx.fs.IsDirectory(folder)) ctx.fs.MakeDir(folder);
}

std::string EditorCommandLine(std::string_view path) {
  return "Notepad.exe " + host::CommandArgument(path);
}

void StartEditor(Context& ctx, std::string_view commandLine) {
  ctx.runner.StartDetached(commandLine);
}

std::uint64_t BoxNumber(std::string_view text) {
  // Far beyond any line length or line count, and far from overflowing.
  constexpr std::uint64_t kCap = std::uint64_t{1} << 60;
  size_t i = 0;
  while (i < text.size() && (text[i] == ' ' || text[i] == '\t')) ++i;
  std::uint64_t n = 0;
  for (; i < text.size() && text[i] >= '0' && text[i] <= '9'; ++i) {
    n = n * 10 + static_cast<std::uint64_t>(text[i] - '0');
    if (n >= kCap) return kCap;
  }
  return n;
}

LineCopy OpenLineCopy(host::FileSystem& fs, std::string_view from, std::string_view to) {
  LineCopy copy;
  copy.in = fs.OpenRead(from);
  if (fs.SameFile(from, to))
    throw host::HostError("copy", from, "source and target are the same file");
  copy.out = fs.OpenWrite(to, host::LineWriter::Mode::Replace);
  return copy;
}

}  // namespace kelvo::texts
