// libFuzzer target: any bytes as a job script must load or be refused with
// "Error in Kelvo script", never crash and never take unbounded memory.
#include <unistd.h>

#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <string>

#include "core/context.h"
#include "core/quiet_ui.h"
#include "host/command_runner.h"
#include "host/filesystem.h"
#include "scripts/job_script.h"

namespace {

// The fuzzer's own drive c:, removed when the fuzzer exits. Never destroyed
// itself, so that the exit handler can still read it.
const std::string& Root() {
  static const std::string* root = [] {
    std::string tmpl = (std::filesystem::temp_directory_path() / "kelvo-fuzz-XXXXXX").string();
    if (!::mkdtemp(tmpl.data())) std::abort();
    std::filesystem::create_directories(tmpl + "/app");
    auto* path = new std::string(tmpl);
    std::atexit([] {
      std::error_code ec;
      std::filesystem::remove_all(Root(), ec);
    });
    return path;
  }();
  return *root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& root = Root();
  {
    std::ofstream out(root + "/job.kvo", std::ios::binary | std::ios::trunc);
    out.write(reinterpret_cast<const char*>(data), static_cast<std::streamsize>(size));
  }
  kelvo::host::DriveTable drives;
  drives.Map('c', root);
  kelvo::host::FileSystem fs(drives);
  kelvo::host::CommandRunner runner(fs, {});
  kelvo::QuietUi ui;
  kelvo::SystemClock clock;
  kelvo::Context ctx(fs, runner, ui, clock, "c:\\app");
  ctx.ScriptPath = "c:\\job.kvo";
  kelvo::ReadScript(ctx);
  // The loaded job must still be a job the panels can show.
  if (ctx.job.ArchiveSize < 0 || ctx.job.ArchiveSize > kelvo::kMaxArchiveSize) std::abort();
  if (ctx.job.Compression < -1 || ctx.job.Compression > 5) std::abort();
  if (ctx.job.ZipBaseName.size() > 20) std::abort();
  return 0;
}
