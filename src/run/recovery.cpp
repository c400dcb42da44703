#include "run/recovery.h"

#include <algorithm>
#include <bit>

#include "host/dospath.h"
#include "host/find_program.h"
#include "host/host_error.h"
#include "run/zip_names.h"

namespace kelvo {

namespace {

// Blocks over the whole set: par2's time grows with them, the repair's
// granularity with their size. Two per zip at least, so that a recovery
// file of one block fits where the largest zip does.
constexpr std::uint64_t kSetBlocks = 200;
constexpr std::uint64_t kPacketHeader = 64;

std::uint64_t CeilDiv(std::uint64_t a, std::uint64_t b) {
  return (a + b - 1) / b;
}

std::uint64_t Round4(std::uint64_t n) {
  return (n + 3) / 4 * 4;
}

// The packets par2 repeats in every recovery file: the main packet, each
// file's description and block checksums, and its creator packet.
std::uint64_t CriticalBytes(const std::vector<SetFile>& zips, std::uint64_t blockSize) {
  std::uint64_t bytes = kPacketHeader + 12 + 16 * zips.size() + kPacketHeader + 64;
  for (const SetFile& zip : zips)
    bytes += kPacketHeader + 56 + Round4(zip.name.size()) + kPacketHeader + 16 +
             20 * CeilDiv(zip.bytes, blockSize);
  return bytes;
}

std::string IndexPath(const Context& ctx) {
  return StoragePrefix(ctx.job.ZipStorageDir) + "\\" + RecoveryIndexName(ctx.job.ZipBaseName);
}

}  // namespace

void SetWriteRecovery(Context& ctx, bool on) {
  ctx.prefs.WriteRecovery = on;
}

void SetRecoveryPercent(Context& ctx, int percent) {
  ctx.prefs.RecoveryPercent = std::clamp(percent, kMinRecoveryPercent, kMaxRecoveryPercent);
}

std::string RecoveryToolProblem(const host::CommandRunner& runner) {
  auto program = runner.Programs().Resolve("par2.exe");
  if (!program) return "No par2.exe in the program table";
  // The stand-in runs Debian's par2; without it there is nothing to run.
  if (host::FindOnPath("par2", *program).empty())
    return "par2 is not installed: the recovery files need Debian's package par2";
  return {};
}

void NoteRecoveryTool(Context& ctx) {
  ctx.view.RecoveryUnavailable = RecoveryToolProblem(ctx.runner);
}

bool RecoveryChosen(const Context& ctx) {
  return ctx.prefs.WriteRecovery && ctx.view.RecoveryUnavailable.empty();
}

RecoveryPlan PlanRecovery(const std::vector<SetFile>& zips, int percent) {
  RecoveryPlan plan;
  if (zips.empty()) return plan;
  std::uint64_t largest = 4;
  for (const SetFile& zip : zips) largest = std::max(largest, zip.bytes);
  const std::uint64_t perZip = std::max<std::uint64_t>(2, CeilDiv(kSetBlocks, zips.size()));
  plan.blockSize = Round4(CeilDiv(largest, perZip));
  std::uint64_t blocks = 0;
  for (const SetFile& zip : zips) blocks += CeilDiv(zip.bytes, plan.blockSize);
  plan.sourceBlocks = static_cast<std::uint32_t>(blocks);
  plan.recoveryBlocks = static_cast<std::uint32_t>(std::max<std::uint64_t>(
      1, CeilDiv(blocks * static_cast<std::uint64_t>(std::clamp(percent, 1, 100)), 100)));
  // par2 writes the critical packets 1 + log2(blocks) times in a file.
  const std::uint64_t critical = CriticalBytes(zips, plan.blockSize);
  std::uint64_t fit = 1;
  for (std::uint64_t k = perZip; k > 1; --k) {
    if (k * (plan.blockSize + kPacketHeader + 4) + critical * std::bit_width(k) <= largest) {
      fit = k;
      break;
    }
  }
  plan.files = static_cast<std::uint32_t>(CeilDiv(plan.recoveryBlocks, fit));
  return plan;
}

std::string RecoveryIndexName(const std::string& baseName) {
  return baseName + ".par2";
}

std::string RecoveryCommandLine(const RecoveryPlan& plan, const std::string& indexName,
                                const std::vector<SetFile>& zips) {
  std::string line = "par2.exe c -s" + std::to_string(plan.blockSize) + " -c" +
                     std::to_string(plan.recoveryBlocks) + " -n" + std::to_string(plan.files) +
                     " -u -- " + host::CommandArgument(indexName);
  for (const SetFile& zip : zips) line += " " + host::CommandArgument(zip.name);
  return line;
}

void RemoveRecoveryFiles(Context& ctx) {
  const std::string prefix = StoragePrefix(ctx.job.ZipStorageDir) + "\\";
  const std::string base = ctx.job.ZipBaseName;
  std::vector<std::string> names = ctx.fs.ListFiles(prefix + base + ".vol*.par2");
  if (ctx.fs.ExistsAsFile(IndexPath(ctx))) names.push_back(RecoveryIndexName(base));
  for (const std::string& name : names) ctx.fs.DeleteFile(prefix + name);
}

bool MakeRecoveryFiles(Context& ctx, const host::WaitCallbacks& callbacks) {
  const std::string dir = StoragePrefix(ctx.job.ZipStorageDir) + "\\";
  std::vector<SetFile> zips;
  for (std::int16_t n = 1; n <= ctx.run.VolumeCount; ++n) {
    const ZipName name = ZipNameFor(ctx, n);
    zips.push_back({name.shown, ctx.fs.FileLength(name.path + ".zip")});
  }
  // An earlier set's files would pass for this one's.
  RemoveRecoveryFiles(ctx);
  const std::string indexName = RecoveryIndexName(ctx.job.ZipBaseName);
  ctx.fs.ChangeDrive(dos::DriveLetter(dir));
  ctx.fs.ChangeDir(dir);
  const host::ExecResult result = ctx.runner.ExecCmd(
      RecoveryCommandLine(PlanRecovery(zips, ctx.prefs.RecoveryPercent), indexName, zips),
      callbacks);
  ctx.fs.ChangeDrive('c');
  if (result.started && result.exitStatus == 0 && !result.stopAsked) return true;
  // A par2 ended harder than the stand-in could clean up after.
  RemoveRecoveryFiles(ctx);
  if (result.stopAsked) return false;
  throw host::HostError("make", IndexPath(ctx),
                        result.started
                            ? "par2 ended with status " + std::to_string(result.exitStatus)
                            : result.error);
}

}  // namespace kelvo
