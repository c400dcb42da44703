#include "source/source_select.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include "source/archive_size.h"
#include "source/drives.h"
#include "source/source_app.h"

namespace kelvo {
namespace {

using testing::SourceApp;
using testing::TempDrives;

const char* const kQuestion =
    "Save as Zip's?\r\rChoosing Yes, puts the Rar's/Ace's into Zip's\r\r"
    "Choosing No, just makes Rar's/Ace's";

class StatusLog : public FolderDialogStatus {
 public:
  void SetStatusText(const std::string& text) override { texts.push_back(text); }
  std::vector<std::string> texts;
};

class SourceSelectTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TempDrives::WriteFile(app.drives.Host('d', "Games/setup.exe"), std::string(600000, 's'));
    TempDrives::WriteFile(app.drives.Host('d', "Games/data/level1.dat"), std::string(634567, 'l'));
    TempDrives::WriteFile(app.drives.Host('d', "CD/Game.ISO"), "");
    ASSERT_EQ(::truncate(app.drives.Host('d', "CD/Game.ISO").c_str(), 650123456), 0);
    InitWorkDrive(ctx);
  }
  // A job with everything that only zips need.
  void FillZipSettings() {
    job.DizPath = "d:\\rel\\file_id.diz";
    job.NfoPath = "d:\\rel\\rel.nfo";
    job.ExtraPath = "d:\\rel\\extra";
    job.ZipStorageDir = "e:\\zips";
    job.DizNumbering = true;
    view.DizBoxColour = BoxColour::Window;
    view.DizTestEnabled = true;
    job.SkipEntries = "d:\\games\\save\\*.*\r\n";
    job.NfoFirstZipOnly = true;
  }
  void ChooseImage(const std::string& path, MessageResult answer) {
    app.ui.fileAnswers.push_back(path);
    app.ui.messageAnswers.push_back(answer);
    BrowseSource(ctx);
  }

  SourceApp app;
  Context& ctx = app.ctx;
  JobSettings& job = ctx.job;
  ViewState& view = ctx.view;
};

TEST_F(SourceSelectTest, ADirectoryIsStoredLowerMeasuredAndEstimated) {
  job.SaveAsZips = false;
  job.SkipEntries = "d:\\old\\*.*\r\n";
  ctx.DriveCheckSuppressed = false;
  app.ui.folderAnswers.push_back({{"P:\\"}, "D:\\Games"});
  BrowseSource(ctx);

  ASSERT_EQ(app.ui.dialogs.size(), 1u);
  EXPECT_EQ(app.ui.dialogs[0].title, "Source directory");
  EXPECT_EQ(app.ui.dialogs[0].initialDir, "");
  // Drives are not marked in the source dialog.
  EXPECT_EQ(app.ui.dialogs[0].statusTexts, std::vector<std::string>{"p:\\"});
  EXPECT_TRUE(ctx.DriveCheckSuppressed);

  EXPECT_EQ(job.SourcePath, "d:\\games");
  EXPECT_EQ(job.SkipEntries, "");
  EXPECT_TRUE(job.SaveAsZips);
  EXPECT_EQ(view.SourceSizeText, "1,234,567 bytes in 2 files");
  EXPECT_FLOAT_EQ(job.SourceSize, 1.234567f);
  EXPECT_EQ(view.EstimateText, "1.00 file");
  EXPECT_TRUE(app.ui.messages.empty());  // no question for a directory
}

TEST_F(SourceSelectTest, CancellingKeepsTheOldSource) {
  app.ui.folderAnswers.push_back({{}, "d:\\games"});
  BrowseSource(ctx);
  job.SkipEntries = "d:\\games\\data\\*.*\r\n";
  app.ui.folderAnswers.push_back({{}, std::nullopt});
  BrowseSource(ctx);
  EXPECT_EQ(job.SourcePath, "d:\\games");
  EXPECT_EQ(job.SkipEntries, "d:\\games\\data\\*.*\r\n");
  EXPECT_EQ(view.SourceSizeText, "1,234,567 bytes in 2 files");

  // An empty choice clears the source and the list, and measures nothing.
  app.ui.folderAnswers.push_back({{}, ""});
  BrowseSource(ctx);
  EXPECT_EQ(job.SourcePath, "");
  EXPECT_EQ(job.SkipEntries, "");
  EXPECT_EQ(view.SourceSizeText, "1,234,567 bytes in 2 files");
}

TEST_F(SourceSelectTest, AFailedMeasurementEndsTheBrowse) {
  job.SkipEntries = "x\r\n";
  view.EstimateText = "3.00 files";
  app.ui.folderAnswers.push_back({{}, "D:\\Vanished"});
  BrowseSource(ctx);
  EXPECT_EQ(job.SourcePath, "D:\\Vanished");  // lowered it might name another
  EXPECT_EQ(job.SkipEntries, "");
  EXPECT_EQ(view.SourceSizeText, "Error");
  EXPECT_EQ(view.EstimateText, "");
  EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{"Error calculating source bytes"});
}

TEST_F(SourceSelectTest, AWorkDriveThatCannotBeReadIsReportedLikeAFailedMeasurement) {
  view.WorkDriveShown = DriveListEntry(ctx, 'r');
  app.ui.folderAnswers.push_back({{}, "d:\\games"});
  BrowseSource(ctx);
  EXPECT_EQ(view.SourceSizeText, "Error");
  EXPECT_EQ(view.EstimateText, "");
  EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{"Error calculating source bytes"});
}

TEST_F(SourceSelectTest, AnImageAsksWhetherToMakeZips) {
  ToggleImageSource(ctx, true);
  FillZipSettings();
  ChooseImage("D:\\CD\\Game.ISO", MessageResult::No);

  ASSERT_EQ(app.ui.dialogs.size(), 1u);
  EXPECT_EQ(app.ui.dialogs[0].title, "CD image file");
  EXPECT_EQ(app.ui.dialogs[0].filter, "ISO files (*.iso)|*.iso");
  EXPECT_EQ(app.ui.dialogs[0].initialName, "*.iso");
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].text, kQuestion);
  EXPECT_EQ(app.ui.messages[0].title, "Save as Zip's or Rar's/Ace's");
  EXPECT_EQ(app.ui.messages[0].icon, MessageIcon::Question);
  EXPECT_EQ(app.ui.messages[0].buttons, MessageButtons::YesNo);

  EXPECT_EQ(job.SourcePath, "d:\\cd\\game.iso");
  EXPECT_EQ(view.SourceSizeText, "650,123,456 Total bytes");
  EXPECT_EQ(view.EstimateText, "130.02 files");
  // No: the zip-only controls are off and their settings gone.
  EXPECT_FALSE(job.SaveAsZips);
  EXPECT_FALSE(view.ZipControlsEnabled);
  EXPECT_EQ(job.DizPath, "");
  EXPECT_EQ(job.NfoPath, "");
  EXPECT_EQ(job.ExtraPath, "");
  EXPECT_EQ(job.ZipStorageDir, "");
  EXPECT_FALSE(job.DizNumbering);
  EXPECT_EQ(view.DizBoxColour, BoxColour::ButtonFace);
  EXPECT_FALSE(view.DizTestEnabled);
  EXPECT_EQ(job.SkipEntries, "");
  EXPECT_FALSE(job.NfoFirstZipOnly);

  // Unticking "&ISO" brings the controls back, not the settings.
  ToggleImageSource(ctx, false);
  EXPECT_TRUE(view.ZipControlsEnabled);
  EXPECT_TRUE(job.SaveAsZips);
  EXPECT_EQ(job.DizPath, "");
  EXPECT_EQ(job.ZipStorageDir, "");
}

TEST_F(SourceSelectTest, YesKeepsTheZipSettingsAlsoAfterAnEarlierNo) {
  ToggleImageSource(ctx, true);
  ChooseImage("d:\\cd\\game.iso", MessageResult::No);
  FillZipSettings();
  ChooseImage("d:\\cd\\game.iso", MessageResult::Yes);
  EXPECT_TRUE(job.SaveAsZips);
  EXPECT_TRUE(view.ZipControlsEnabled);
  EXPECT_EQ(job.DizPath, "d:\\rel\\file_id.diz");
  EXPECT_EQ(job.SkipEntries, "d:\\games\\save\\*.*\r\n");
  EXPECT_TRUE(job.DizNumbering);
}

TEST_F(SourceSelectTest, AnImageThatIsNotChosenOrCannotBeMeasured) {
  ToggleImageSource(ctx, true);
  ChooseImage("d:\\cd\\game.iso", MessageResult::Yes);
  app.ui.fileAnswers.push_back(std::nullopt);
  BrowseSource(ctx);
  app.ui.fileAnswers.push_back("");
  BrowseSource(ctx);
  EXPECT_EQ(job.SourcePath, "d:\\cd\\game.iso");
  EXPECT_EQ(view.SourceSizeText, "650,123,456 Total bytes");

  // Gone before it could be measured: no question, no message.
  app.ui.fileAnswers.push_back("D:\\CD\\Other.iso");
  BrowseSource(ctx);
  EXPECT_EQ(job.SourcePath, "D:\\CD\\Other.iso");
  EXPECT_EQ(view.SourceSizeText, "Error");
  EXPECT_EQ(app.ui.messages.size(), 1u);  // the first question only
}

TEST_F(SourceSelectTest, AnImageLargerThanTheWorkDriveIsWarnedAbout) {
  std::uint64_t big = app.FreeOf("c:") * 2 + 1000000000;
  std::string iso = app.drives.Host('d', "CD/huge.iso");
  TempDrives::WriteFile(iso, "");
  if (::truncate(iso.c_str(), static_cast<off_t>(big)) != 0)
    GTEST_SKIP() << "no sparse file of " << big << " bytes here";
  ToggleImageSource(ctx, true);
  ChooseImage("d:\\cd\\huge.iso", MessageResult::Yes);
  ASSERT_EQ(app.ui.messages.size(), 2u);
  EXPECT_EQ(app.ui.messages[1].text,
            "You might not have enough free space on\rc drive for Rar's/Ace's, should pick "
            "another drive.");
  EXPECT_EQ(job.SourcePath, "d:\\cd\\huge.iso");
  EXPECT_TRUE(view.EstimateText.ends_with(" files"));
}

TEST_F(SourceSelectTest, TogglingIsoEmptiesTheSourceAndMovesTheArchiveSize) {
  app.ui.folderAnswers.push_back({{}, "d:\\games"});
  BrowseSource(ctx);
  job.SaveAsZips = false;
  ToggleImageSource(ctx, true);
  EXPECT_TRUE(job.SourceIsImage);
  EXPECT_EQ(job.SourcePath, "");
  EXPECT_EQ(view.SourceSizeText, "");
  EXPECT_EQ(view.EstimateText, "");
  EXPECT_EQ(job.SourceSize, 0.0f);
  EXPECT_EQ(job.ArchiveSize, 10);
  EXPECT_EQ(view.ArchiveSizeText, "5. M");
  EXPECT_FALSE(job.SaveAsZips);  // asked when the image is chosen

  ChooseImage("d:\\cd\\game.iso", MessageResult::No);
  ToggleImageSource(ctx, false);
  EXPECT_FALSE(job.SourceIsImage);
  EXPECT_EQ(job.SourcePath, "");
  EXPECT_EQ(view.SourceSizeText, "");
  EXPECT_EQ(view.EstimateText, "");
  EXPECT_EQ(job.ArchiveSize, 3);
  EXPECT_EQ(view.ArchiveSizeText, "1.44 M");
  EXPECT_TRUE(job.SaveAsZips);

  // The same state again is no toggle.
  job.SourcePath = "d:\\games";
  ToggleImageSource(ctx, false);
  EXPECT_EQ(job.SourcePath, "d:\\games");
}

TEST_F(SourceSelectTest, TheHighlightedFolderInTheStatusLine) {
  StatusLog log;
  CheckBrowsedDrive(ctx, "", log);
  EXPECT_TRUE(log.texts.empty());
  CheckBrowsedDrive(ctx, "D:\\Games", log);
  CheckBrowsedDrive(ctx, "Q:\\", log);  // unmapped: the query fails, ignored
  CheckBrowsedDrive(ctx, "R:\\", log);
  CheckBrowsedDrive(ctx, "x", log);
  EXPECT_EQ(log.texts, (std::vector<std::string>{"d:\\games", "q:\\", "r:\\", "x"}));

  if (!SourceApp::ProcHasNoFreeSpace()) GTEST_SKIP() << "/proc reports free space here";
  log.texts.clear();
  CheckBrowsedDrive(ctx, "P:\\Sys", log);
  EXPECT_EQ(log.texts, (std::vector<std::string>{"p:\\sys", "Invalid drive"}));
  ctx.DriveCheckSuppressed = true;
  CheckBrowsedDrive(ctx, "P:\\Sys", log);
  EXPECT_EQ(log.texts.back(), "p:\\sys");
}

TEST_F(SourceSelectTest, DrivesAreMarkedUntilADirectorySourceIsBrowsed) {
  if (!SourceApp::ProcHasNoFreeSpace()) GTEST_SKIP() << "/proc reports free space here";
  ToggleImageSource(ctx, true);
  ChooseImage("d:\\cd\\game.iso", MessageResult::Yes);
  app.ui.folderAnswers.push_back({{"P:\\"}, std::nullopt});
  ChooseZipStorage(ctx);
  EXPECT_EQ(app.ui.dialogs.back().statusTexts, (std::vector<std::string>{"p:\\", "Invalid drive"}));

  ToggleImageSource(ctx, false);
  app.ui.folderAnswers.push_back({{}, "d:\\games"});
  BrowseSource(ctx);
  app.ui.folderAnswers.push_back({{"P:\\"}, std::nullopt});
  ChooseZipStorage(ctx);
  EXPECT_EQ(app.ui.dialogs.back().statusTexts, std::vector<std::string>{"p:\\"});

  // The next source "&Browse" starts marking again.
  ToggleImageSource(ctx, true);
  ChooseImage("d:\\cd\\game.iso", MessageResult::Yes);
  EXPECT_FALSE(ctx.DriveCheckSuppressed);
}

}  // namespace
}  // namespace kelvo
