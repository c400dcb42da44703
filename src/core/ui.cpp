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

std::optional<std::string> Ui::OpenFile(const FileDialogRequest& request) {
  return Accept(ChooseFile(request, false), request.anyName);
}

std::optional<std::string> Ui::SaveFile(const FileDialogRequest& request) {
  return Accept(ChooseFile(request, true), request.anyName);
}

std::optional<std::string> Ui::BrowseFolder(const FolderDialogRequest& request) {
  return Accept(ChooseFolder(request), request.anyName);
}

}  // namespace kelvo
