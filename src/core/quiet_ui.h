// The Ui of a run without a window: no dialog chooses anything, questions
// take their first button, and messages go to a stream (or nowhere).
#pragma once

#include <cstdio>

#include "core/ui.h"

namespace kelvo {

class QuietUi : public Ui {
 public:
  explicit QuietUi(std::FILE* messages = nullptr) : messages_(messages) {}

  MessageResult ShowMessage(const std::string& text, const std::string&, MessageIcon,
                            MessageButtons buttons) override {
    if (messages_) std::fprintf(messages_, "%s\n", text.c_str());
    return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
  }
  std::optional<std::string> OpenFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> SaveFile(const FileDialogRequest&) override { return {}; }
  std::optional<std::string> BrowseFolder(const FolderDialogRequest&) override { return {}; }
  void ProcessEvents() override {}
  void PlaySound(const std::string&, bool) override {}

 private:
  std::FILE* messages_;
};

}  // namespace kelvo
