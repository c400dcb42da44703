#include "core/ui.h"

#include "core/message_titles.h"
#include "host/dospath.h"

namespace kelvo {

namespace {

constexpr size_t kReasonLimit = 2000;

// Back to the first byte of the character holding `at`.
size_t CharacterStart(std::string_view text, size_t at) {
  while (at > 0 && at < text.size() && (static_cast<unsigned char>(text[at]) & 0xC0) == 0x80) --at;
  return at;
}

}  // namespace

std::string PrintableReason(std::string_view text) {
  std::string cut;
  if (text.size() > kReasonLimit) {
    const size_t half = kReasonLimit / 2;
    const size_t headEnd = CharacterStart(text, half);
    const size_t tailStart = CharacterStart(text, text.size() - half);
    cut = std::string(text.substr(0, headEnd)) + "[... " + std::to_string(tailStart - headEnd) +
          " bytes ...]" + std::string(text.substr(tailStart));
    text = cut;
  }
  std::string out;
  out.reserve(text.size());
  for (size_t i = 0; i < text.size(); ++i) {
    const char c = text[i];
    const auto byte = static_cast<unsigned char>(c);
    if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') {
      continue;  // CR LF is one line break
    } else if (c == '\r' || c == '\n') {
      out += '\n';
    } else if (byte < 0x20 || byte == 0x7F) {
      static constexpr char kHex[] = "0123456789abcdef";
      out += "\\x";
      out += kHex[byte >> 4];
      out += kHex[byte & 0xF];
    } else {
      out += c;
    }
  }
  return out;
}

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
