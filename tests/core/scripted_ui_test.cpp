#include "support/scripted_ui.h"

#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

namespace kelvo::testing {

TEST(ScriptedUi, AnswersMustFitTheButtons) {
  ScriptedUi ui;
  ui.messageAnswers = {MessageResult::Yes, MessageResult::Cancel, MessageResult::Ok};
  EXPECT_EQ(ui.ShowMessage("Replace?", "Kelvo32", MessageIcon::Question, MessageButtons::YesNo),
            MessageResult::Yes);
  EXPECT_EQ(ui.ShowMessage("Go on?", "Kelvo32", MessageIcon::Exclamation, MessageButtons::OkCancel),
            MessageResult::Cancel);
  EXPECT_NONFATAL_FAILURE(
      ui.ShowMessage("Save?", "Kelvo32", MessageIcon::Question, MessageButtons::YesNo),
      "does not fit the buttons of: Save?");
  // A box with OK alone takes no answer from the queue.
  ui.messageAnswers = {MessageResult::No};
  EXPECT_EQ(ui.ShowMessage("Done", "Kelvo32", MessageIcon::Information, MessageButtons::Ok),
            MessageResult::Ok);
  EXPECT_EQ(ui.messageAnswers.size(), 1u);
  ASSERT_EQ(ui.messages.size(), 4u);
  EXPECT_EQ(ui.messages[3].title, "Kelvo32");
  EXPECT_EQ(ui.messages[3].icon, MessageIcon::Information);
}

TEST(DialogSeam, AChoiceThatIsNoDosNameIsRefusedAsACancel) {
  ScriptedUi ui;
  ui.fileAnswers = {"d:\\a>b.diz", "d:\\rel\\demo.diz", "d:\\src\\we*rd.txt"};
  ui.folderAnswers = {FolderAnswer{{}, "e:\\zips|x"}};
  EXPECT_EQ(ui.OpenFile({"Add file_id.diz", "", "", ""}), std::nullopt);
  EXPECT_EQ(ui.MessageTexts(),
            std::vector<std::string>{"can't use 'd:\\a>b.diz': a DOS name can't hold '>'"});
  EXPECT_EQ(ui.messages[0].title, "Kelvo32 error");
  EXPECT_EQ(ui.SaveFile({"Save script", "", "", ""}), "d:\\rel\\demo.diz");
  // A file of the source tree may be named anyhow: it never reaches a command line.
  FileDialogRequest skip{"Add skip file", "", "", ""};
  skip.anyName = true;
  EXPECT_EQ(ui.OpenFile(skip), "d:\\src\\we*rd.txt");
  FolderDialogRequest folder;
  folder.title = "Zip directory";
  EXPECT_EQ(ui.BrowseFolder(folder), std::nullopt);
  EXPECT_EQ(ui.messages.size(), 2u);
}

}  // namespace kelvo::testing
