// The Ui of a run without a window: no dialog chooses anything, no box is
// shown (a question takes its first button, as the job's own answer), and
// reports and progress go to a stream: the reason for the status, warnings,
// and the archiver's progress line.
#pragma once

#include <cstdio>

#include "core/progress_line.h"
#include "core/ui.h"

namespace kelvo {

class UnattendedUi : public Ui {
 public:
  // Reports and progress to `out` (nowhere when null); progress is shown
  // only when `terminal` is set.
  UnattendedUi(std::FILE* out, bool terminal) : out_(out), progress_(out, terminal) {}
  // stderr, with its progress line when it is a terminal.
  static UnattendedUi ForStderr();

  MessageResult ShowMessage(const std::string&, const std::string&, MessageIcon,
                            MessageButtons buttons) override {
    switch (buttons) {
      case MessageButtons::Ok:
        return MessageResult::Ok;
      case MessageButtons::OkCancel:
        return MessageResult::Ok;
      case MessageButtons::YesNo:
        return MessageResult::Yes;
    }
    return MessageResult::Ok;
  }
  void Report(const std::string& text) override {
    if (!out_) return;
    progress_.End();
    std::fprintf(out_, "%s\n", PrintableReason(text).c_str());
  }
  // No one is there to answer: each item is named, nothing is removed.
  bool OfferRemoval(const RemovalOffer& offer) override {
    for (const auto& item : offer.items) Report("warning: " + item);
    return false;
  }
  void ReportProgress(const std::string& text, bool milestone) override {
    if (out_) progress_.Show(text, milestone);
  }
  void EndProgressReport() override { progress_.End(); }
  void ProcessEvents() override {}
  void PlaySound(const std::string&, bool) override {}

 protected:
  std::optional<std::string> ChooseFile(const FileDialogRequest&, bool) override { return {}; }
  std::optional<std::string> ChooseFolder(const FolderDialogRequest&) override { return {}; }

 private:
  std::FILE* out_;
  ProgressLine progress_;
};

}  // namespace kelvo
