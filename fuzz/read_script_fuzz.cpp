// libFuzzer target: any bytes as a job script must load or be refused with
// "Error in Kelvo script", never crash and never take unbounded memory.
#include <cstdint>
#include <cstdlib>
#include <filesystem>
#include <string>
#include <string_view>

#include "core/context.h"
#include "core/unattended_ui.h"
#include "host/command_runner.h"
#include "host/filesystem.h"
#include "scratch_dir.h"
#include "scripts/job_script.h"

namespace {

// The fuzzer's own drive c:, with the application directory on it.
const std::string& Root() {
  static const std::string root = [] {
    const std::string& dir = kelvo::fuzz::ScratchDir();
    std::filesystem::create_directories(dir + "/app");
    return dir;
  }();
  return root;
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const std::string& root = Root();
  kelvo::fuzz::WriteBytes(root + "/job.kvo",
                          std::string_view(reinterpret_cast<const char*>(data), size));
  kelvo::host::DriveTable drives;
  drives.Map('c', root);
  kelvo::host::FileSystem fs(drives);
  kelvo::host::CommandRunner runner(fs, {});
  kelvo::UnattendedUi ui(nullptr, false);
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
