#include "core/ui.h"

#include "core/message_titles.h"
#include "host/dospath.h"

namespace kelvo {

std::optional<std::string> Ui::Accept(std::optional<std::string> chosen, bool anyName) {
  if (!chosen || anyName) return chosen;
  std::string problem = dos::PathProblem(*chosen);
  if (problem.empty()) return chosen;
  ShowMessage(problem, kErrorTitle, MessageIcon::Critical, MessageButtons::Ok);
  return std::nullopt;
}

std::string Ui::RememberedFolder(const std::string& title) const {
  if (!folders_) return {};
  auto found = folders_->find(title);
  return found == folders_->end() ? std::string() : found->second;
}

void Ui::Remember(const std::string& title, const std::string& folder) {
  if (folders_ && !folder.empty()) (*folders_)[title] = folder;
}

std::optional<std::string> Ui::ChooseFileRemembering(const FileDialogRequest& request, bool save) {
  // A dialog given its starting folder by the job keeps to it.
  if (!request.initialDir.empty()) return Accept(ChooseFile(request, save), request.anyName);
  FileDialogRequest shown = request;
  shown.initialDir = RememberedFolder(request.title);
  auto chosen = Accept(ChooseFile(shown, save), request.anyName);
  if (chosen && !chosen->empty()) Remember(request.title, dos::Parent(*chosen));
  return chosen;
}

std::optional<std::string> Ui::OpenFile(const FileDialogRequest& request) {
  return ChooseFileRemembering(request, false);
}

std::optional<std::string> Ui::SaveFile(const FileDialogRequest& request) {
  return ChooseFileRemembering(request, true);
}

std::optional<std::string> Ui::BrowseFolder(const FolderDialogRequest& request) {
  if (!request.initialSelection.empty()) return Accept(ChooseFolder(request), request.anyName);
  FolderDialogRequest shown = request;
  shown.initialSelection = RememberedFolder(request.title);
  auto chosen = Accept(ChooseFolder(shown), request.anyName);
  if (chosen && !chosen->empty()) Remember(request.title, *chosen);
  return chosen;
}

}  // namespace kelvo
