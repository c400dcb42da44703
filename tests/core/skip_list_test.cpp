#include "core/skip_list.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_drives.h"

namespace kelvo {
namespace {

using testing::TempDrives;
using testing::TestApp;

class SkipListTest : public ::testing::Test {
 protected:
  void SetUp() override {
    std::filesystem::create_directories(app.drives.Host('c', "games/save"));
    std::filesystem::create_directories(app.drives.Host('c', "games/old"));
    TempDrives::WriteFile(app.drives.Host('c', "games/readme.txt"), "r");
    TempDrives::WriteFile(app.drives.Host('c', "games/keep.txt"), "k");
    ctx.job.SourcePath = "c:\\games";
  }
  void AddFolder(std::optional<std::string> choice, std::vector<std::string> highlighted = {}) {
    app.ui.folderAnswers.push_back({std::move(highlighted), std::move(choice)});
    AddSkipEntry(ctx);
  }
  void AddFile(std::optional<std::string> choice) {
    app.ui.fileAnswers.push_back(std::move(choice));
    AddSkipEntry(ctx);
  }

  TestApp app;
  Context& ctx = app.ctx;
  std::string& list = ctx.job.SkipEntries;
};

TEST_F(SkipListTest, NeedsASourceFirst) {
  ctx.job.SourcePath.clear();
  ctx.view.VisiblePanel = Panel::Skip;
  AddSkipEntry(ctx);
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].text, "You must pick a source drive or directory first");
  EXPECT_EQ(app.ui.messages[0].title, "Kelvo32 error");
  EXPECT_EQ(app.ui.messages[0].icon, MessageIcon::Critical);
  EXPECT_EQ(app.ui.messages[0].buttons, MessageButtons::Ok);
  EXPECT_EQ(ctx.view.VisiblePanel, Panel::Source);
  EXPECT_TRUE(app.ui.dialogs.empty());
  EXPECT_EQ(list, "");
}

TEST_F(SkipListTest, FoldersBecomeDirectoryPatterns) {
  AddFolder("C:\\Games\\Save");
  ASSERT_EQ(app.ui.dialogs.size(), 1u);
  EXPECT_EQ(app.ui.dialogs[0].title, "Directory to skip");
  EXPECT_EQ(app.ui.dialogs[0].initialDir, "c:\\games");
  EXPECT_EQ(list, "c:\\games\\save\\*.*\r\n");

  AddFolder("D:\\");  // the dialog may leave the source
  EXPECT_EQ(list, "c:\\games\\save\\*.*\r\nd:\\*.*\r\n");

  // The source itself, cancel, or nothing chosen: no change and no message.
  for (auto choice :
       std::vector<std::optional<std::string>>{"C:\\GAMES", "c:\\games", std::nullopt, ""})
    AddFolder(choice);
  EXPECT_EQ(list, "c:\\games\\save\\*.*\r\nd:\\*.*\r\n");
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST_F(SkipListTest, FilesMustStartWithTheSourcePath) {
  ctx.view.SkipKind = SkipBrowseKind::File;
  AddFile("C:\\Games\\ReadMe.TXT");
  ASSERT_EQ(app.ui.dialogs.size(), 1u);
  EXPECT_EQ(app.ui.dialogs[0].title, "Add skip file");
  EXPECT_EQ(app.ui.dialogs[0].filter, "Skip file (*.*)|*.*|");
  EXPECT_EQ(app.ui.dialogs[0].initialName, "*.*");
  EXPECT_EQ(app.ui.dialogs[0].initialDir, "c:\\games");
  EXPECT_EQ(list, "c:\\games\\readme.txt\r\n");

  AddFile("c:\\gamesx\\a.txt");  // leading characters only
  EXPECT_EQ(list, "c:\\games\\readme.txt\r\nc:\\gamesx\\a.txt\r\n");
  EXPECT_TRUE(app.ui.messages.empty());

  AddFile("d:\\a.txt");
  AddFile("c:\\game");
  ASSERT_EQ(app.ui.messages.size(), 2u);
  EXPECT_EQ(app.ui.messages[0].text, "Path isn't within source path");
  EXPECT_EQ(app.ui.messages[0].title, "Kelvo32 error");
  EXPECT_EQ(app.ui.messages[0].icon, MessageIcon::Critical);
  AddFile(std::nullopt);
  AddFile("");
  EXPECT_EQ(list, "c:\\games\\readme.txt\r\nc:\\gamesx\\a.txt\r\n");
  EXPECT_EQ(app.ui.messages.size(), 2u);
}

TEST_F(SkipListTest, AddingLowersTheWholeList) {
  list = "C:\\GAMES\\OLD\\*.*\r\nC:\\Games\\Keep.TXT\r\n";
  AddFolder("c:\\games\\save");
  EXPECT_EQ(list, "c:\\games\\old\\*.*\r\nc:\\games\\keep.txt\r\nc:\\games\\save\\*.*\r\n");
  // An entry that names nothing keeps its case: lowered it would name
  // another file.
  list = "C:\\Games\\Gone.TXT\r\n";
  AddFolder("c:\\games\\old");
  EXPECT_EQ(list, "C:\\Games\\Gone.TXT\r\nc:\\games\\old\\*.*\r\n");
}

TEST_F(SkipListTest, ATypedLastLineDoesNotRunIntoTheNewEntry) {
  list = "c:\\games\\typed.txt";
  AddFolder("c:\\games\\save");
  EXPECT_EQ(list, "c:\\games\\typed.txt\r\nc:\\games\\save\\*.*\r\n");
}

TEST_F(SkipListTest, EntriesKeepNamingWhatWasChosen) {
  // Two folders that differ only in case: lowering one would name the other.
  std::filesystem::create_directories(app.drives.Host('c', "games/Save"));
  AddFolder("C:\\Games\\Save");
  EXPECT_EQ(list, "C:\\Games\\Save\\*.*\r\n");
  AddFolder("c:\\games\\save");
  EXPECT_EQ(list, "C:\\Games\\Save\\*.*\r\nc:\\games\\save\\*.*\r\n");
}

TEST_F(SkipListTest, TheFolderDialogReportsItsHighlightedFolders) {
  std::vector<std::string> seen;
  app.ui.folderAnswers.push_back({{"c:\\games\\save", "D:\\"}, std::nullopt});
  AddSkipEntry(ctx, [&](const std::string& path, FolderDialogStatus& status) {
    seen.push_back(path);
    status.SetStatusText("seen " + path);
  });
  EXPECT_EQ(seen, (std::vector<std::string>{"c:\\games\\save", "D:\\"}));
  EXPECT_EQ(app.ui.dialogs[0].statusTexts,
            (std::vector<std::string>{"seen c:\\games\\save", "seen D:\\"}));
}

TEST_F(SkipListTest, RefusalsAreSilentInBatchMode) {
  ctx.batchMode = BatchMode::Dated;
  app.ui.unattended = true;
  ctx.view.SkipKind = SkipBrowseKind::File;
  AddFile("d:\\a.txt");
  EXPECT_TRUE(app.ui.messages.empty());
  EXPECT_EQ(list, "");
}

TEST_F(SkipListTest, ClearEmptiesTheList) {
  AddFolder("c:\\games\\save");
  ClearSkipList(ctx);
  EXPECT_EQ(list, "");
}

}  // namespace
}  // namespace kelvo
