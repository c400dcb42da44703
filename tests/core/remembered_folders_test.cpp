#include <gtest/gtest.h>

#include "support/temp_drives.h"

namespace kelvo {
namespace {

using testing::FixedClock;
using testing::ScriptedUi;
using testing::TestApp;

TEST(RememberedFolders, ADialogWithoutAStartingFolderStartsWhereItWasLastAnswered) {
  TestApp app;
  FolderDialogRequest zips{"Directory for zip's", "", false, nullptr};
  app.ui.folderAnswers = {
      {{}, "d:\\zips"}, {{}, std::nullopt}, {{}, "e:\\out"}, {{}, std::nullopt}};
  app.ctx.ui.BrowseFolder(zips);
  app.ctx.ui.BrowseFolder(zips);  // cancelled: the folder stays
  app.ctx.ui.BrowseFolder(zips);
  app.ctx.ui.BrowseFolder(FolderDialogRequest{"Source directory", "", false, nullptr});

  ASSERT_EQ(app.ui.dialogs.size(), 4u);
  EXPECT_EQ(app.ui.dialogs[0].initialDir, "");
  EXPECT_EQ(app.ui.dialogs[1].initialDir, "d:\\zips");
  EXPECT_EQ(app.ui.dialogs[2].initialDir, "d:\\zips");
  EXPECT_EQ(app.ui.dialogs[3].initialDir, "");  // each dialog keeps its own
  EXPECT_EQ(app.ctx.prefs.LastFolders.at("Directory for zip's"), "e:\\out");

  // A file dialog keeps the folder of the file.
  FileDialogRequest header{"Zip header", "Text (*.txt)|*.txt|", "*.txt", ""};
  app.ui.fileAnswers = {"d:\\rel\\header.txt", "d:\\rel\\header.txt"};
  app.ctx.ui.OpenFile(header);
  app.ctx.ui.OpenFile(header);
  EXPECT_EQ(app.ui.dialogs[5].initialDir, "d:\\rel");
}

TEST(RememberedFolders, AFolderGivenByTheJobOrARefusedChoiceIsNotKept) {
  TestApp app;
  app.ui.fileAnswers = {"d:\\rel\\file_id.diz", "d:\\a>b\\x.txt"};
  app.ui.messageAnswers = {MessageResult::Ok};
  app.ctx.ui.OpenFile({"Add file_id.diz", "", "*.diz", "d:\\games"});
  EXPECT_EQ(app.ui.dialogs[0].initialDir, "d:\\games");
  EXPECT_FALSE(app.ui.OpenFile({"Zip header", "", "*.txt", ""}));
  EXPECT_TRUE(app.ctx.prefs.LastFolders.empty());
}

TEST(RememberedFolders, AUiOutlivingItsContextKeepsNothing) {
  ScriptedUi ui;
  FixedClock clock;
  {
    TestApp app;
    Context ctx(app.fs, app.runner, ui, clock, "c:\\app");
  }
  ui.folderAnswers = {{{}, "d:\\zips"}};
  EXPECT_EQ(ui.BrowseFolder(FolderDialogRequest{"Directory for zip's", "", false, nullptr}),
            "d:\\zips");
}

}  // namespace
}  // namespace kelvo
