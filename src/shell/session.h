// The session of the window: every user action goes through it. It runs the
// operation, refreshes every figure that follows from the job in one place,
// then asks the window to render; it also owns the start-up and the end:
// the settings file read before the splash shows, the clean-up and the
// saving at exit. The window only renders the model and forwards actions.
#pragma once

#include <functional>
#include <string_view>

#include "core/context.h"
#include "shell/startup.h"

namespace kelvo {
class RunDriver;
}

namespace kelvo::shell {

class Session {
 public:
  Session(Context& ctx, RunDriver& driver);
  Session(const Session&) = delete;
  Session& operator=(const Session&) = delete;

  Context& ctx() { return ctx_; }
  RunDriver& driver() { return driver_; }

  // What the window does when asked; each may be unset.
  std::function<void()> render;  // writes every widget from the model
  // Puts the focus in a box: a request of the logic, handed over once.
  std::function<void(FocusBox)> focus;
  // Closes the window; asked only while no operation runs.
  std::function<void()> close;

  // The first step of start-up, before the splash shows: the settings file.
  void ReadSettings();
  // The start-up steps (StartMainWindow) as one action, ended by the
  // refresh and a render; a window shown on the way shows the figures of
  // the job as it stands then.
  void Start(std::string_view commandLine, const StartHooks& hooks);

  // One user action: the operation, then the refresh and a render. While
  // one runs (a run processes events) no other starts, and the call does
  // nothing.
  void Act(const std::function<void()>& operation);
  bool Busy() const { return busy_ > 0; }
  // An action that also acts while another runs (help, links): the
  // operation, then a render, refreshed when no other runs.
  void Direct(const std::function<void()>& operation);
  // The run panel's "&Abort": acts at once, while the run is in progress.
  void Abort();
  // The run panel's "&Resume": an action that finishes the last run's set.
  void Resume();
  // "E&xit" of "&File", and closing the window while an operation runs:
  // the zip component's abort request, then the window closes once no
  // operation runs.
  void Exit();
  // The run panel's "E&xit": the run aborted, then as Exit.
  void ExitFromRun();
  // The window minimised or restored by the user: the view keeps it, so
  // that the next render does not undo it.
  void NoteWindowMinimised(bool minimised);

  // Every figure that follows from the job, in one place: the archive size
  // text, the volume estimate, two or three digits and the base-name limit,
  // the text previews' snapshots and the DIZ stamp, the largest zip, and
  // the free space of the work drive and of the zip storage.
  void Refresh();
  // The refresh, a render and the focus request: what an action ends with.
  void Show();

  // A copy started as a second instance, or from a drive root, removes no
  // files and saves nothing when it ends.
  void SetRemovesNothing(bool removesNothing) { removesNothing_ = removesNothing; }
  // The end of the program, once: the exchange files this process wrote are
  // removed, and `saveSettings` keeps the user's settings, unless the copy
  // removes nothing.
  void Shutdown(const std::function<void()>& saveSettings);
  bool ShutDown() const { return shutDown_; }

 private:
  void RequestClose();
  // The render, then the focus request handed over and cleared.
  void Present();

  Context& ctx_;
  RunDriver& driver_;
  int busy_ = 0;
  bool closeRequested_ = false;
  bool removesNothing_ = false;
  bool shutDown_ = false;
};

}  // namespace kelvo::shell
