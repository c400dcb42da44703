#include "shell/drop.h"

#include "host/dospath.h"
#include "scripts/job_script.h"
#include "source/source_select.h"
#include "texts/diz_nfo.h"

namespace kelvo::shell {

namespace {

// The DOS path of a dropped item, or empty with the reason on the view.
std::string DroppedPath(Context& ctx, const std::string& hostPath) {
  if (hostPath.empty()) {
    ctx.view.DropNotice = "Only files and folders of this computer can be dropped";
    return {};
  }
  auto dosPath = ctx.fs.Drives().ToDos(hostPath);
  if (!dosPath) {
    ctx.view.DropNotice = "'" + hostPath + "' is on no drive of Kelvo32";
    return {};
  }
  // The same refusal a dialog's choice gets: the path reaches command lines.
  std::string problem = hostPath.find('\\') != std::string::npos
                            ? "can't use '" + hostPath + "': a DOS name can't hold '\\'"
                            : dos::PathProblem(*dosPath);
  if (!problem.empty()) {
    ctx.view.DropNotice = problem;
    return {};
  }
  return *dosPath;
}

}  // namespace

void DropOnWindow(Context& ctx, const std::vector<std::string>& hostPaths) {
  ctx.view.DropNotice.clear();
  if (hostPaths.empty()) return;
  if (hostPaths.size() > 1) {
    ctx.view.DropNotice = "Drop one item at a time";
    return;
  }
  std::string dosPath = DroppedPath(ctx, hostPaths.front());
  if (dosPath.empty()) return;
  if (dos::Lower(dosPath).ends_with(".kvo") && ctx.fs.ExistsAsFile(dosPath)) {
    DropScript(ctx, dosPath);
    return;
  }
  const bool zipPanel = ctx.view.VisiblePanel == Panel::Diz || ctx.view.VisiblePanel == Panel::Nfo;
  if (zipPanel && !ctx.view.ZipControlsEnabled) {
    ctx.view.DropNotice = "This job makes no zips: the panel takes nothing";
    return;
  }
  switch (ctx.view.VisiblePanel) {
    case Panel::Source:
      DropSource(ctx, dosPath);
      return;
    case Panel::Diz:
      texts::DropDiz(ctx, dosPath);
      return;
    case Panel::Nfo:
      texts::DropNfo(ctx, dosPath);
      return;
    default:
      ctx.view.DropNotice = "Drop a job script here, or a source, DIZ or NFO on its own panel";
      return;
  }
}

}  // namespace kelvo::shell
