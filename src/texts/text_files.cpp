#include "texts/text_files.h"

#include "host/dospath.h"
#include "host/host_error.h"

namespace kelvo::texts {

std::string AppTempFolder(const Context& ctx) {
  return ctx.AppFile("temp");
}

std::string DizWorkCopy(const Context& ctx) {
  return ctx.AppFile("file_id.diz");
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
  copy.out = fs.OpenWrite(to);
  return copy;
}

}  // namespace kelvo::texts
