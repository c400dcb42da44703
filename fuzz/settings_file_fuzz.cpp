// libFuzzer target: the settings file read at start, and the zip comment
// turned off afterwards. The four lines read are the file's first four; a
// path in the settings file never makes the program delete anything but a
// file directly inside its "temp" folder; the lines written back read as
// they were.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>
#include <string_view>
#include <vector>

#include "core/context.h"
#include "core/unattended_ui.h"
#include "host/command_runner.h"
#include "host/dospath.h"
#include "host/filesystem.h"
#include "host/text_file.h"
#include "scratch_dir.h"
#include "texts/zip_comment.h"

namespace {

void Require(bool holds) {
  if (!holds) std::abort();
}

// Files the settings file may name; only those directly inside app\temp may
// go. c: holds c:\app; d: is c:\app\temp under another letter.
const char* const kKept[] = {"keep.txt", "app/keep.txt", "app/temp/sub/keep.txt", "other.txt"};
const char* const kOurs[] = {"app/temp/ours.txt", "app/temp/Ours2.txt"};

const std::string& Root() {
  static const std::string root = [] {
    const std::string& dir = kelvo::fuzz::ScratchDir();
    std::filesystem::create_directories(dir + "/app/temp/sub");
    return dir;
  }();
  return root;
}

bool HoldsSentinel(const std::string& path) {
  std::ifstream in(path, std::ios::binary);
  std::string text((std::istreambuf_iterator<char>(in)), std::istreambuf_iterator<char>());
  return text == "sentinel";
}

struct App {
  kelvo::host::FileSystem fs;
  kelvo::host::CommandRunner runner;
  kelvo::UnattendedUi ui{nullptr, false};
  kelvo::SystemClock clock;
  kelvo::Context ctx;

  static kelvo::host::DriveTable Drives() {
    kelvo::host::DriveTable drives;
    drives.Map('c', Root());
    drives.Map('d', Root() + "/app/temp");
    return drives;
  }
  App() : fs(Drives()), runner(fs, {}), ctx(fs, runner, ui, clock, "c:\\app") {}
};

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  std::string_view bytes(reinterpret_cast<const char*>(data), size);
  const std::string& root = Root();
  for (const char* f : kKept) kelvo::fuzz::WriteBytes(root + "/" + f, "sentinel");
  for (const char* f : kOurs) kelvo::fuzz::WriteBytes(root + "/" + f, "sentinel");
  kelvo::fuzz::WriteBytes(root + "/app/Kelvo32.ini", bytes);

  std::vector<std::string> expected = kelvo::host::SplitLines(bytes);
  expected.resize(4);

  App app;
  kelvo::Context& ctx = app.ctx;
  kelvo::texts::ReadSettingsFile(ctx);
  Require(ctx.settings.Line1 == expected[0] && ctx.settings.Line2 == expected[1] &&
          ctx.settings.Line3 == expected[2] && ctx.job.ZipCommentPath == expected[3]);

  kelvo::texts::SetZipCommentAtStart(ctx);
  if (ctx.job.ZipCommentEnabled) {
    Require(!kelvo::dos::HasWildcard(ctx.job.ZipCommentPath));
    Require(ctx.fs.ExistsAsFile(ctx.job.ZipCommentPath));
  }

  // Off, whatever the start made of the path: the copy it names is deleted
  // only when it lies in the temp folder.
  ctx.job.ZipCommentEnabled = true;
  kelvo::texts::ToggleZipComment(ctx);
  Require(!ctx.job.ZipCommentEnabled);
  for (const char* f : kKept) Require(HoldsSentinel(root + "/" + f));

  App again;
  kelvo::texts::ReadSettingsFile(again.ctx);
  Require(again.ctx.settings.Line1 == expected[0] && again.ctx.settings.Line2 == expected[1] &&
          again.ctx.settings.Line3 == expected[2] && again.ctx.job.ZipCommentPath.empty());
  return 0;
}
