// A Ui that answers from queues and logs everything it was asked to show.
#pragma once

#include <deque>
#include <functional>
#include <optional>
#include <string>
#include <vector>

#include "core/ui.h"

namespace kelvo::testing {

struct ShownMessage {
  std::string text, title;
  MessageIcon icon;
  MessageButtons buttons;
};

struct ShownDialog {
  enum Kind { Open, Save, Folder } kind;
  std::string title, filter, initialName, initialDir;
  std::vector<std::string> statusTexts;  // folder dialog status line history
};

// One answer to a folder dialog: the folders highlighted on the way, then
// the choice (nullopt = cancel).
struct FolderAnswer {
  std::vector<std::string> highlighted;
  std::optional<std::string> choice;
};

class ScriptedUi : public Ui {
 public:
  // Queues of answers, taken in order. A dialog or question with no answer
  // queued is a test failure (and answers cancel).
  std::deque<MessageResult> messageAnswers;
  std::deque<std::optional<std::string>> fileAnswers;  // open and save dialogs
  std::deque<FolderAnswer> folderAnswers;

  // Answers as the Ui of a run without a window does: no box is shown (a
  // question takes its first button) and reports are kept. Otherwise as the
  // window's Ui: boxes are shown and answered from the queue, reports
  // ignored.
  bool unattended = false;

  std::vector<ShownMessage> messages;
  std::vector<std::string> reports;  // Report() texts, in order
  // OfferRemoval() offers, in order; in the window's part each takes its
  // answer (Yes or No) from messageAnswers.
  std::vector<RemovalOffer> removalOffers;
  // ReportProgress() texts, and "<end>" for each EndProgressReport().
  std::vector<std::string> progressReports;
  std::vector<ShownDialog> dialogs;
  std::vector<std::string> sounds;
  int eventsProcessed = 0;
  // Called from ProcessEvents, so that a test can press Abort mid-run.
  std::function<void()> onProcessEvents;

  MessageResult ShowMessage(const std::string& text, const std::string& title, MessageIcon icon,
                            MessageButtons buttons) override;
  void Report(const std::string& text) override;
  bool OfferRemoval(const RemovalOffer& offer) override;
  void ReportProgress(const std::string& text, bool milestone) override;
  void EndProgressReport() override;
  void ProcessEvents() override;
  void PlaySound(const std::string& hostPath, bool wait) override;

  // The texts of all messages shown, in order.
  std::vector<std::string> MessageTexts() const;

 protected:
  std::optional<std::string> ChooseFile(const FileDialogRequest& request, bool save) override;
  std::optional<std::string> ChooseFolder(const FolderDialogRequest& request) override;
};

}  // namespace kelvo::testing
