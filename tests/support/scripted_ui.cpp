#include "support/scripted_ui.h"

#include <gtest/gtest.h>

namespace kelvo::testing {

namespace {
class RecordingStatus : public FolderDialogStatus {
 public:
  explicit RecordingStatus(std::vector<std::string>& texts) : texts_(texts) {}
  void SetStatusText(const std::string& text) override { texts_.push_back(text); }

 private:
  std::vector<std::string>& texts_;
};
}  // namespace

MessageResult ScriptedUi::ShowMessage(const std::string& text, const std::string& title,
                                      MessageIcon icon, MessageButtons buttons) {
  if (unattended) return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
  messages.push_back({text, title, icon, buttons});
  if (buttons == MessageButtons::Ok) return MessageResult::Ok;
  if (messageAnswers.empty()) {
    ADD_FAILURE() << "unexpected question: " << text;
    return buttons == MessageButtons::YesNo ? MessageResult::No : MessageResult::Cancel;
  }
  MessageResult answer = messageAnswers.front();
  messageAnswers.pop_front();
  // An answer the box cannot give would let the code under test read it any way it likes.
  bool fits = buttons == MessageButtons::YesNo
                  ? answer == MessageResult::Yes || answer == MessageResult::No
                  : answer == MessageResult::Ok || answer == MessageResult::Cancel;
  if (!fits) ADD_FAILURE() << "queued answer does not fit the buttons of: " << text;
  return answer;
}

std::optional<std::string> ScriptedUi::ChooseFile(const FileDialogRequest& request, bool save) {
  dialogs.push_back({save ? ShownDialog::Save : ShownDialog::Open,
                     request.title,
                     request.filter,
                     request.initialName,
                     request.initialDir,
                     {}});
  if (fileAnswers.empty()) {
    ADD_FAILURE() << "unexpected file dialog: " << request.title;
    return std::nullopt;
  }
  auto answer = fileAnswers.front();
  fileAnswers.pop_front();
  return answer;
}

std::optional<std::string> ScriptedUi::ChooseFolder(const FolderDialogRequest& request) {
  dialogs.push_back({ShownDialog::Folder, request.title, {}, {}, request.initialSelection, {}});
  if (folderAnswers.empty()) {
    ADD_FAILURE() << "unexpected folder dialog: " << request.title;
    return std::nullopt;
  }
  FolderAnswer answer = folderAnswers.front();
  folderAnswers.pop_front();
  RecordingStatus status(dialogs.back().statusTexts);
  for (const auto& path : answer.highlighted) {
    if (request.onHighlighted) request.onHighlighted(path, status);
  }
  return answer.choice;
}

void ScriptedUi::Report(const std::string& text) {
  if (unattended) reports.push_back(text);
}

bool ScriptedUi::OfferRemoval(const RemovalOffer& offer) {
  removalOffers.push_back(offer);
  if (unattended) {
    for (const auto& item : offer.items) reports.push_back("warning: " + item);
    return false;
  }
  if (messageAnswers.empty()) {
    ADD_FAILURE() << "unexpected offer to remove: " << offer.question;
    return false;
  }
  MessageResult answer = messageAnswers.front();
  messageAnswers.pop_front();
  if (answer != MessageResult::Yes && answer != MessageResult::No)
    ADD_FAILURE() << "an offer to remove takes Yes or No: " << offer.question;
  return answer == MessageResult::Yes;
}

void ScriptedUi::ReportProgress(const std::string& text, bool milestone) {
  if (unattended) progressReports.push_back(milestone ? text : text + " (passing)");
}

void ScriptedUi::EndProgressReport() {
  if (unattended) progressReports.push_back("<end>");
}

void ScriptedUi::ProcessEvents() {
  ++eventsProcessed;
  if (onProcessEvents) onProcessEvents();
}

void ScriptedUi::PlaySound(const std::string& hostPath, bool) {
  sounds.push_back(hostPath);
}

std::vector<std::string> ScriptedUi::MessageTexts() const {
  std::vector<std::string> texts;
  for (const auto& m : messages) texts.push_back(m.text);
  return texts;
}

}  // namespace kelvo::testing
