#include "shell/session.h"

#include "run/resume.h"
#include "run/run_driver.h"
#include "run/zip_fit.h"
#include "source/archive_size.h"
#include "source/drives.h"
#include "texts/text_preview.h"
#include "texts/zip_comment.h"

namespace kelvo::shell {

namespace {

// Holds the session busy for as long as an operation runs, whatever way it
// ends.
class BusyScope {
 public:
  explicit BusyScope(int& busy) : busy_(busy) { ++busy_; }
  ~BusyScope() { --busy_; }
  BusyScope(const BusyScope&) = delete;
  BusyScope& operator=(const BusyScope&) = delete;

 private:
  int& busy_;
};

}  // namespace

Session::Session(Context& ctx, RunDriver& driver) : ctx_(ctx), driver_(driver) {}

void Session::ReadSettings() {
  texts::ReadSettingsFile(ctx_);
}

void Session::Start(std::string_view commandLine, const StartHooks& hooks) {
  StartHooks shown = hooks;
  shown.showWindow = [this, &hooks] {
    Refresh();
    if (hooks.showWindow) hooks.showWindow();
  };
  {
    BusyScope busy(busy_);
    StartMainWindow(ctx_, commandLine, shown);
  }
  Show();
  if (closeRequested_) RequestClose();
}

void Session::Act(const std::function<void()>& operation) {
  if (Busy()) return;
  {
    BusyScope busy(busy_);
    operation();
  }
  Show();
  if (ctx_.programExit || closeRequested_) RequestClose();
}

void Session::Direct(const std::function<void()>& operation) {
  operation();
  if (Busy()) {
    Present();
  } else {
    Show();
  }
}

void Session::Abort() {
  driver_.AbortRun();
  Present();
}

void Session::Resume() {
  Act([this] { driver_.ResumeJob(); });
}

void Session::Exit() {
  ExitProgram(ctx_, driver_);
  RequestClose();
}

void Session::ExitFromRun() {
  driver_.ExitFromRun();
  RequestClose();
}

void Session::NoteWindowMinimised(bool minimised) {
  ctx_.view.WindowMinimised = minimised;
}

void Session::Refresh() {
  // The estimate decides the digits, which the stamp and the largest zip's
  // names use.
  RefreshVolumeFigures(ctx_);
  texts::RefreshTextPreviews(ctx_);
  RefreshZipFit(ctx_);
  RefreshFreeSpace(ctx_);
  RefreshHostPaths(ctx_);
  RefreshResumable(ctx_);
}

void Session::Show() {
  Refresh();
  Present();
}

void Session::Present() {
  if (render) render();
  const FocusBox box = ctx_.view.Focus;
  if (box == FocusBox::None) return;
  ctx_.view.Focus = FocusBox::None;
  if (focus) focus(box);
}

void Session::RequestClose() {
  closeRequested_ = true;
  // An operation still on the stack ends first (its abort request is
  // raised); the window closes once the action that started it returned.
  if (!Busy() && close) close();
}

void Session::Shutdown(const std::function<void()>& saveSettings) {
  if (shutDown_) return;
  shutDown_ = true;
  CleanUpAtExit(ctx_, removesNothing_);
  // A copy that never showed its window (a second copy, one in a drive
  // root) leaves the user's settings as they were.
  if (!removesNothing_ && saveSettings) saveSettings();
}

}  // namespace kelvo::shell
