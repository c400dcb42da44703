// The Ui of a run without a window: no dialog chooses anything, questions
// take their first button, and messages and reports go to a stream (or
// nowhere).
#pragma once

#include <cstdio>

#include "core/ui.h"

namespace kelvo {

class QuietUi : public Ui {
 public:
  explicit QuietUi(std::FILE* messages = nullptr) : messages_(messages) {}

  MessageResult ShowMessage(const std::string& text, const std::string&, MessageIcon,
                            MessageButtons buttons) override {
    Report(text);
    return buttons == MessageButtons::YesNo ? MessageResult::Yes : MessageResult::Ok;
  }
  void Report(const std::string& text) override {
    if (messages_) std::fprintf(messages_, "%s\n", PrintableReason(text).c_str());
  }
  void ProcessEvents() override {}
  void PlaySound(const std::string&, bool) override {}

 protected:
  std::optional<std::string> ChooseFile(const FileDialogRequest&, bool) override { return {}; }
  std::optional<std::string> ChooseFolder(const FolderDialogRequest&) override { return {}; }

 private:
  std::FILE* messages_;
};

}  // namespace kelvo
