#include "core/shared_files.h"

#include "host/stop_signal.h"

namespace kelvo {

namespace {

std::unique_ptr<host::DirectoryLock> Hold(Context& ctx, const std::string& dosDir,
                                          const std::string& why,
                                          const std::function<bool()>& aborted) {
  auto hostDir = ctx.fs.HostPath(dosDir);
  if (!hostDir) return std::make_unique<host::DirectoryLock>("", nullptr, nullptr);
  bool told = false;
  auto lock = std::make_unique<host::DirectoryLock>(
      *hostDir,
      [&ctx, &why, &told] {
        told = true;
        ctx.view.StatusLine = why;
        ctx.ui.Report(why);
      },
      [&ctx, &aborted] {
        ctx.ui.ProcessEvents();
        return !host::StopSignal() && !(aborted && aborted());
      });
  if (told) ctx.view.StatusLine.clear();
  if (!lock->held()) return nullptr;
  return lock;
}

}  // namespace

std::string WaitingForZipStorageText(const std::string& storageDir) {
  return "Waiting for another Kelvo32 run to finish writing zips into " + storageDir;
}

std::unique_ptr<host::DirectoryLock> HoldExchangeFiles(Context& ctx,
                                                       const std::function<bool()>& aborted) {
  return Hold(ctx, "c:\\", kWaitingForExchangeFiles, aborted);
}

std::unique_ptr<host::DirectoryLock> HoldZipStorage(Context& ctx,
                                                    const std::function<bool()>& aborted) {
  const std::string& dir = ctx.job.ZipStorageDir;
  if (dir.empty() || !ctx.fs.IsDirectory(dir))
    return std::make_unique<host::DirectoryLock>("", nullptr, nullptr);
  return Hold(ctx, dir, WaitingForZipStorageText(dir), aborted);
}

}  // namespace kelvo
