#include "run/zip_volumes.h"

#include <algorithm>

#include "host/dospath.h"
#include "host/host_error.h"
#include "host/stop_signal.h"
#include "run/nfo_picture.h"
#include "run/resume.h"
#include "run/sfv.h"
#include "run/zip_names.h"
#include "texts/diz_nfo.h"
#include "texts/diz_numbering.h"
#include "texts/extras.h"
#include "texts/text_files.h"

namespace kelvo {

namespace {

// One zip step of the batch: the component's result.
std::int16_t Step(ZipComponent& zip, const std::string& zipPath, const std::string& files) {
  zip.ZipFile = zipPath;
  zip.FilesToAdd = files + "\r";
  return zip.Add(0);
}

// Collects the steps of one volume's zip and writes it once.
std::int16_t ZipOneVolume(Context& ctx, ZipComponent& zip, const std::string& volume,
                          const std::string& zipPath) {
  const JobSettings& job = ctx.job;
  ZipBatch batch = zip.BeginBatch();
  if (auto r = Step(zip, zipPath, volume)) return r;
  if (job.DizNumbering) {
    texts::StampDiz(ctx);
  } else {
    texts::CopyDizForZip(ctx);
  }
  if (auto r = Step(zip, zipPath, texts::DizWorkCopy(ctx))) return r;
  if (!job.NfoFirstZipOnly || ctx.run.VolumeNumber == 1) {
    texts::CopyNfoForZip(ctx);
    if (auto r = Step(zip, zipPath, texts::NfoWorkCopy(ctx, ctx.job.NfoPath))) return r;
    if (!job.ExtraPath.empty()) {
      if (job.ExtraKind == ExtraKindChoice::File) ctx.fs.ClearAttributes(job.ExtraPath);
      if (auto r = Step(zip, zipPath, texts::ExtraZipEntry(job))) return r;
    }
  }
  return batch.Commit();
}

}  // namespace

void SetZipExtra(Context& ctx, bool extra) {
  ctx.job.ZipExtra = extra;
}

std::string ZipCommentCommand(const std::string& zipPath, const std::string& commentPath) {
  return "command.com /c pkzip.exe " + host::CommandArgument(zipPath) + " -z <" +
         host::CommandArgument(commentPath);
}

void AddZipComment(Context& ctx, const std::string& zipPath) {
  // Let finish even when a stop is noted: the zip is complete, and a zip
  // without its comment would pass for a finished one.
  host::ExecResult result =
      ctx.runner.ExecCmd(ZipCommentCommand(zipPath, ctx.job.ZipCommentPath), host::OnStop::Finish);
  if (result.started && result.exitStatus == 0) return;
  // The zip program says why on its own stderr; this names the step.
  throw host::HostError("add the comment to", zipPath + ".zip",
                        result.started
                            ? "pkzip.exe ended with status " + std::to_string(result.exitStatus)
                            : result.error);
}

std::int16_t ZipVolumes(Context& ctx, ZipComponent& zip, const VolumeSet& set) {
  RunState& run = ctx.run;
  const std::size_t made = std::min(set.made.size(), set.volumes.size());
  std::vector<SfvLine> sfv(set.made.begin(), set.made.begin() + made);
  run.VolumeNumber = static_cast<std::int16_t>(made + 1);
  for (std::size_t i = made; i < set.volumes.size(); ++i) {
    const std::string& volume = set.volumes[i];
    const ZipName name = ZipNameFor(ctx, run.VolumeNumber);
    // The volume is added by its bare name from the work folder.
    ctx.fs.ChangeDrive(dos::DriveLetter(run.WorkFolder));
    ctx.fs.ChangeDir(run.WorkFolder);
    ctx.view.CurrentZipLine = name.shown;
    ctx.view.CounterLine = NumberText(run.VolumeNumber) + " of" + NumberText(run.VolumeCount);
    ctx.ui.ReportProgress("Zipping " + std::to_string(run.VolumeNumber) + " of " +
                              std::to_string(run.VolumeCount) + ": " + name.shown,
                          true);

    if (auto r = ZipOneVolume(ctx, zip, volume, name.path)) return r;

    if (ctx.job.ZipCommentEnabled) {
      ctx.ui.ProcessEvents();
      AddZipComment(ctx, name.path);
    }
    // Only now, with every step of its zip written and the zip read back
    // and found to hold the volume as it is on disk, may the volume go.
#ifndef KELVO_BENCH_UNCHECKED_ZIPS  // only bench's kelvo32_unchecked, to weigh the check
    ZipCheck check;
    if (auto r = zip.Check(name.path, volume, check)) return r;
    sfv.push_back({check.fileName, check.crc});
    if (set.zipped) set.zipped(check);
#endif
    ctx.fs.DeleteFile(dos::Join(run.WorkFolder, volume));
    ctx.view.Progress = 0;
    ++run.VolumeNumber;
    // A stop is taken between volumes too: the next zip is not begun.
    if (host::StopSignal()) return zip_result::kAborted;
  }
  if (ctx.prefs.WriteSfv) WriteSfv(ctx, sfv);
  WriteRunNfoPicture(ctx);
  return 0;
}

}  // namespace kelvo
