// libFuzzer target: any bytes as a job script must parse or be refused with
// the line and why, never crash and never take unbounded memory; what was
// read, applied to a job, leaves a job the panels can show.
#include <cstdint>
#include <cstdlib>
#include <string>
#include <string_view>

#include "core/context.h"
#include "core/unattended_ui.h"
#include "host/command_runner.h"
#include "host/filesystem.h"
#include "scripts/job_script.h"

namespace {

// One job for every input: applying a script touches no file, so no drive
// is mapped.
kelvo::Context& Job() {
  static kelvo::Context* ctx = [] {
    static kelvo::host::FileSystem fs{kelvo::host::DriveTable()};
    static kelvo::host::CommandRunner runner(fs, {});
    static kelvo::UnattendedUi ui(nullptr, false);
    static kelvo::SystemClock clock;
    return new kelvo::Context(fs, runner, ui, clock, "c:\\app");
  }();
  return *ctx;
}

void Require(bool holds) {
  if (!holds) std::abort();
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
  const kelvo::ScriptParse parse =
      kelvo::ParseScript(std::string_view(reinterpret_cast<const char*>(data), size));
  const kelvo::ParsedScript& v = parse.values;
  if (parse.error) {
    Require(parse.error->reason.starts_with("line " + std::to_string(parse.error->line) + ": "));
  } else {
    // A script read to its end has every field.
    Require(v.sourcePath && v.dizPath && v.dizNumbering && v.dizColumn && v.dizLine && v.nfoPath &&
            v.nfoFirstZipOnly && v.extraKind && v.extraPath && v.zipStorageDir && v.zipBaseName &&
            v.archiveSize && v.compression && v.zipExtra);
  }
  kelvo::Context& ctx = Job();
  ctx.job.SkipEntries.clear();  // the one field that grows from script to script
  kelvo::ApplyScript(ctx, v);
  // The loaded job must still be a job the panels can show.
  Require(ctx.job.ArchiveSize >= 0 && ctx.job.ArchiveSize <= kelvo::kMaxArchiveSize);
  Require(ctx.job.Compression >= -1 && ctx.job.Compression <= 5);
  Require(ctx.job.ZipBaseName.size() <= 20);
  return 0;
}
