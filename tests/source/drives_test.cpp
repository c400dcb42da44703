#include "source/drives.h"

#include <gtest/gtest.h>

#include <cstdlib>
#include <filesystem>

#include "host/host_error.h"
#include "source/source_app.h"

namespace kelvo {
namespace {

using testing::MegabytesIn;
using testing::SourceApp;
using testing::TempDrives;

TEST(FreeSpace, WholeMegabytesRoundHalvesToEven) {
  EXPECT_EQ(WholeMegabytes(0), 0u);
  EXPECT_EQ(WholeMegabytes(800000), 0u);
  EXPECT_EQ(WholeMegabytes(1000000), 0u);  // at most 1,000,000 bytes: none
  EXPECT_EQ(WholeMegabytes(1000001), 1u);
  EXPECT_EQ(WholeMegabytes(1500000), 2u);
  EXPECT_EQ(WholeMegabytes(1999999), 2u);
  EXPECT_EQ(WholeMegabytes(2500000), 2u);
  EXPECT_EQ(WholeMegabytes(2500001), 3u);
  EXPECT_EQ(WholeMegabytes(3500000), 4u);
  EXPECT_EQ(WholeMegabytes(650400000), 650u);
  // Beyond 2 and 4 GB, exactly.
  EXPECT_EQ(WholeMegabytes(4294967296ull), 4295u);
  EXPECT_EQ(WholeMegabytes(5000000500000ull), 5000000u);
  EXPECT_EQ(WholeMegabytes(5000001500000ull), 5000002u);
}

TEST(FreeSpace, FreeMegabytesCompareLikeTheSourceSize) {
  EXPECT_EQ(FreeMegabytes(1000000), 0.0f);
  EXPECT_FLOAT_EQ(FreeMegabytes(650200000), 650.2f);
  EXPECT_LT(FreeMegabytes(600000000), 650.1f);
  EXPECT_GT(FreeMegabytes(650200000), 650.1f);
  // The same bytes as a measured source: not less.
  EXPECT_EQ(FreeMegabytes(650123456), 650123456.0f / 1000000.0f);
  EXPECT_FLOAT_EQ(FreeMegabytes(8000000000000ull), 8000000.0f);
}

TEST(FreeSpace, Texts) {
  EXPECT_EQ(WorkDriveFreeTextFor(1500000), "Free space on - \rless than 2 Meg.");
  EXPECT_EQ(WorkDriveFreeTextFor(1999999), "Free space on - \rless than 2 Meg.");
  EXPECT_EQ(WorkDriveFreeTextFor(2000000), "Free space on - \r 2 Meg.");
  EXPECT_EQ(WorkDriveFreeTextFor(812400000), "Free space on - \r 812 Meg.");
  EXPECT_EQ(WorkDriveFreeTextFor(5000000000ull), "Free space on - \r 5000 Meg.");
  EXPECT_EQ(ZipDriveFreeTextFor(800000), "Free space  0 M");
  EXPECT_EQ(ZipDriveFreeTextFor(3500000), "Free space  4 M");
  EXPECT_EQ(ZipDriveFreeTextFor(3000000000ull), "Free space  3000 M");
}

class DrivesTest : public ::testing::Test {
 protected:
  std::string Entry(char letter) { return DriveListEntry(ctx, letter); }

  SourceApp app;
  Context& ctx = app.ctx;
};

TEST_F(DrivesTest, TheDriveListIsTheDriveTable) {
  std::string root = app.drives.root();
  EXPECT_EQ(
      DriveListEntries(ctx),
      (std::vector<std::string>{"c: [" + root + "/c]", "d: [" + root + "/d]", "e: [" + root + "/e]",
                                "p: [/proc]", "r: [" + root + "/no-disc]"}));
  EXPECT_EQ(Entry('D'), "d: [" + root + "/d]");
  EXPECT_EQ(Entry('q'), "q:");
}

TEST(DriveList, AMountedVolumeShowsItsLabelAndCanBeTheWorkDrive) {
  TempDrives drives;
  host::DriveTable table = drives.table;
  std::filesystem::create_directories(drives.Host('e', "stick"));
  table.Map('f', drives.Host('e', "stick"), false, "USB STICK");
  host::FileSystem fs(table);
  host::CommandRunner runner(fs, drives.programs);
  testing::ScriptedUi ui;
  testing::FixedClock clock;
  Context ctx(fs, runner, ui, clock, "c:\\app");

  EXPECT_EQ(DriveListEntries(ctx).back(), "f: USB STICK");
  EXPECT_EQ(DriveListEntry(ctx, 'F'), "f: USB STICK");
  EXPECT_EQ(DriveListEntry(ctx, 'e'), "e: [" + drives.Host('e') + "]");
  // The disk is shared with whatever else runs: its free space moves.
  auto stick = DriveFreeBytes(ctx, "f: USB STICK");
  auto direct = fs.FreeBytes("f:");
  ASSERT_TRUE(stick && direct);
  EXPECT_LT(*stick > *direct ? *stick - *direct : *direct - *stick, 100000000u);
  InitWorkDrive(ctx);
  ShowWorkDrive(ctx, "f: USB STICK");
  EXPECT_EQ(ctx.job.WorkDrive, 'f');
  EXPECT_EQ(ctx.view.WorkDriveShown, "f: USB STICK");
}

TEST_F(DrivesTest, FreeBytesOfADriveOrOfThePathsVolume) {
  std::uint64_t d = app.FreeOf("d:");
  auto near = [&](std::optional<std::uint64_t> v) {
    return v && *v + 100000000 > d && *v < d + 100000000;  // the disk is shared
  };
  EXPECT_TRUE(near(DriveFreeBytes(ctx, "d:")));
  EXPECT_TRUE(near(DriveFreeBytes(ctx, "D")));
  EXPECT_TRUE(near(DriveFreeBytes(ctx, Entry('d'))));
  EXPECT_TRUE(near(DriveFreeBytes(ctx, "d:\\not\\made\\yet")));
  EXPECT_EQ(DriveFreeBytes(ctx, "q:"), std::nullopt);
  EXPECT_EQ(DriveFreeBytes(ctx, "r:"), std::nullopt);
  EXPECT_EQ(DriveFreeBytes(ctx, ""), std::nullopt);
  EXPECT_EQ(DriveFreeBytes(ctx, "1:"), std::nullopt);
  if (SourceApp::ProcHasNoFreeSpace()) {
    EXPECT_EQ(DriveFreeBytes(ctx, "p"), 0u);
  }
}

TEST_F(DrivesTest, StartsOnC) {
  ctx.view.WorkDriveShown = "d:";
  ctx.job.WorkDrive = 'd';
  InitWorkDrive(ctx);
  EXPECT_EQ(ctx.view.WorkDriveShown, Entry('c'));
  EXPECT_EQ(ctx.job.WorkDrive, 'c');
  ASSERT_TRUE(ctx.view.WorkDriveFreeText.starts_with("Free space on - \r "));
  EXPECT_TRUE(ctx.view.WorkDriveFreeText.ends_with(" Meg."));
  EXPECT_NEAR(MegabytesIn(ctx.view.WorkDriveFreeText), WholeMegabytes(app.FreeOf("c:")), 100);
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST_F(DrivesTest, ChoosingADriveWarnsWhenTheSourceIsLarger) {
  InitWorkDrive(ctx);
  ShowWorkDrive(ctx, Entry('e'));
  EXPECT_EQ(ctx.job.WorkDrive, 'e');
  EXPECT_EQ(ctx.view.WorkDriveShown, Entry('e'));
  EXPECT_TRUE(app.ui.messages.empty());  // nothing measured

  float freeMegabytes = FreeMegabytes(app.FreeOf("e:"));
  ctx.job.SourceSize = freeMegabytes * 2;
  ShowWorkDrive(ctx, Entry('d'));
  EXPECT_EQ(ctx.job.WorkDrive, 'd');  // the warning only informs
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].text,
            "You might not have enough free space on\rd drive for Rar's/Ace's, should pick "
            "another drive.");
  EXPECT_EQ(app.ui.messages[0].title, "Kelvo32 error");
  EXPECT_EQ(app.ui.messages[0].icon, MessageIcon::Exclamation);

  ctx.job.SourceSize = freeMegabytes / 2;
  ShowWorkDrive(ctx, Entry('e'));
  CheckWorkDriveSpace(ctx);
  EXPECT_EQ(app.ui.messages.size(), 1u);
  // The same drive again is no new choice.
  ctx.job.SourceSize = freeMegabytes * 2;
  ShowWorkDrive(ctx, Entry('e'));
  EXPECT_EQ(app.ui.messages.size(), 1u);
}

TEST_F(DrivesTest, AFullOrUnreadableDriveSendsTheListBackToC) {
  InitWorkDrive(ctx);
  std::string cText = ctx.view.WorkDriveFreeText;
  ctx.job.SourceSize = 1.0f;
  ShowWorkDrive(ctx, Entry('r'));  // no disc
  EXPECT_EQ(ctx.view.WorkDriveShown, Entry('c'));
  EXPECT_EQ(ctx.job.WorkDrive, 'c');
  EXPECT_TRUE(ctx.view.WorkDriveFreeText.starts_with("Free space on - \r "));
  EXPECT_TRUE(app.ui.messages.empty());

  if (!SourceApp::ProcHasNoFreeSpace()) GTEST_SKIP() << "/proc reports free space here";
  ShowWorkDrive(ctx, Entry('d'));
  ShowWorkDrive(ctx, Entry('p'));
  EXPECT_EQ(ctx.view.WorkDriveShown, Entry('c'));
  EXPECT_EQ(ctx.job.WorkDrive, 'c');
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST_F(DrivesTest, CStaysEvenWhenItCannotBeRead) {
  InitWorkDrive(ctx);
  std::filesystem::remove_all(app.drives.Host('c'));
  ctx.view.WorkDriveFreeText = "earlier";
  ShowWorkDrive(ctx, Entry('r'));
  EXPECT_EQ(ctx.view.WorkDriveShown, Entry('c'));
  EXPECT_EQ(ctx.job.WorkDrive, 'c');
  EXPECT_EQ(ctx.view.WorkDriveFreeText, "earlier");
  EXPECT_THROW(CheckWorkDriveSpace(ctx), host::HostError);

  InitWorkDrive(ctx);
  EXPECT_EQ(ctx.view.WorkDriveFreeText, "Free space on - \rless than 2 Meg.");
}

TEST_F(DrivesTest, ZipStorageNeedsASourceFirst) {
  ctx.view.VisiblePanel = Panel::Zip;
  ChooseZipStorage(ctx);
  EXPECT_EQ(ctx.view.VisiblePanel, Panel::Source);
  EXPECT_TRUE(app.ui.dialogs.empty());
}

TEST_F(DrivesTest, ZipStorageShowsItsFreeSpaceAndWarns) {
  std::filesystem::create_directories(app.drives.Host('d', "Zips"));
  ctx.job.SourcePath = "e:\\src";
  ctx.job.ZipStorageDir = "e:\\old";
  app.ui.folderAnswers.push_back({{}, std::nullopt});
  ChooseZipStorage(ctx);
  EXPECT_EQ(ctx.job.ZipStorageDir, "e:\\old");
  ASSERT_EQ(app.ui.dialogs.size(), 1u);
  EXPECT_EQ(app.ui.dialogs[0].title, "Directory for zip's");
  EXPECT_EQ(app.ui.dialogs[0].initialDir, "");

  app.ui.folderAnswers.push_back({{}, "D:\\ZIPS"});
  ChooseZipStorage(ctx);
  EXPECT_EQ(ctx.job.ZipStorageDir, "d:\\zips");
  ASSERT_TRUE(ctx.view.ZipDriveFreeText.starts_with("Free space  "));
  EXPECT_NEAR(MegabytesIn(ctx.view.ZipDriveFreeText), WholeMegabytes(app.FreeOf("d:")), 100);
  EXPECT_TRUE(app.ui.messages.empty());

  ctx.job.SourceSize = FreeMegabytes(app.FreeOf("d:")) * 2;
  app.ui.folderAnswers.push_back({{}, "D:\\"});
  ChooseZipStorage(ctx);
  EXPECT_EQ(ctx.job.ZipStorageDir, "d:\\");  // stays chosen
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].text, "Free space on d is less than source size");
  EXPECT_EQ(app.ui.messages[0].title, "Kelvo32");
  EXPECT_EQ(app.ui.messages[0].icon, MessageIcon::Information);

  app.ui.folderAnswers.push_back({{}, ""});
  ChooseZipStorage(ctx);
  EXPECT_EQ(ctx.job.ZipStorageDir, "");
  EXPECT_EQ(app.ui.messages.size(), 1u);
}

TEST_F(DrivesTest, AZipDriveWithoutFreeSpaceIsRefused) {
  if (!SourceApp::ProcHasNoFreeSpace()) GTEST_SKIP() << "/proc reports free space here";
  ctx.job.SourcePath = "e:\\src";
  ctx.job.SourceSize = 5.0f;
  app.ui.folderAnswers.push_back({{"P:\\sys", "D:\\"}, "P:\\Sys"});
  ChooseZipStorage(ctx);
  EXPECT_EQ(ctx.job.ZipStorageDir, "");
  EXPECT_EQ(ctx.view.ZipDriveFreeText, "Free space 0 M");
  EXPECT_TRUE(app.ui.messages.empty());
  // The dialog marked the drive while it was open.
  EXPECT_EQ(app.ui.dialogs[0].statusTexts,
            (std::vector<std::string>{"p:\\sys", "Invalid drive", "d:\\"}));

  // Shown for a loaded directory: the text only, the directory stays.
  ctx.job.ZipStorageDir = "p:\\sys";
  ShowZipDriveFreeSpace(ctx);
  EXPECT_EQ(ctx.view.ZipDriveFreeText, "Free space  0 M");
  EXPECT_EQ(ctx.job.ZipStorageDir, "p:\\sys");
}

TEST_F(DrivesTest, ShowZipDriveFreeSpaceForALoadedDirectory) {
  ctx.job.ZipStorageDir = "e:\\not\\made\\yet";
  ctx.job.SourceSize = 1e9f;
  ShowZipDriveFreeSpace(ctx);
  EXPECT_NEAR(MegabytesIn(ctx.view.ZipDriveFreeText), WholeMegabytes(app.FreeOf("e:")), 100);
  EXPECT_TRUE(app.ui.messages.empty());
  ctx.job.ZipStorageDir = "r:\\zips";  // unreadable: nothing free
  ShowZipDriveFreeSpace(ctx);
  EXPECT_EQ(ctx.view.ZipDriveFreeText, "Free space  0 M");
  ctx.job.ZipStorageDir.clear();
  ShowZipDriveFreeSpace(ctx);
  EXPECT_EQ(ctx.view.ZipDriveFreeText, "Free space  0 M");
}

// A refresh reads both figures again: the space on a shown drive changes
// under it (a run writes zips, other programs write). It never warns and
// never moves the list or the storage.
TEST_F(DrivesTest, RefreshReadsBothFiguresAgain) {
  std::filesystem::create_directories(app.drives.Host('d', "zips"));
  InitWorkDrive(ctx);
  ShowWorkDrive(ctx, Entry('e'));
  ctx.job.ZipStorageDir = "d:\\zips";
  ctx.job.SourceSize = FreeMegabytes(app.FreeOf("e:")) * 2;
  ctx.view.WorkDriveFreeText = "Free space on - \r 1 Meg.";  // no figure a drive shows
  ctx.view.ZipDriveFreeText = "Free space  1 M";
  RefreshFreeSpace(ctx);
  ASSERT_TRUE(ctx.view.WorkDriveFreeText.starts_with("Free space on - \r "));
  EXPECT_NEAR(MegabytesIn(ctx.view.WorkDriveFreeText), WholeMegabytes(app.FreeOf("e:")), 100);
  ASSERT_TRUE(ctx.view.ZipDriveFreeText.starts_with("Free space  "));
  EXPECT_NEAR(MegabytesIn(ctx.view.ZipDriveFreeText), WholeMegabytes(app.FreeOf("d:")), 100);
  EXPECT_EQ(ctx.view.WorkDriveShown, Entry('e'));
  EXPECT_EQ(ctx.job.WorkDrive, 'e');
  EXPECT_EQ(ctx.job.ZipStorageDir, "d:\\zips");
  EXPECT_TRUE(app.ui.messages.empty());

  // No storage: its text stays, as a refused drive left it.
  ctx.job.ZipStorageDir.clear();
  ctx.view.ZipDriveFreeText = "Free space 0 M";
  RefreshFreeSpace(ctx);
  EXPECT_EQ(ctx.view.ZipDriveFreeText, "Free space 0 M");

  // A drive gone since it was chosen has nothing free.
  std::filesystem::remove_all(app.drives.Host('e'));
  RefreshFreeSpace(ctx);
  EXPECT_EQ(ctx.view.WorkDriveFreeText, "Free space on - \rless than 2 Meg.");
  EXPECT_EQ(ctx.view.WorkDriveShown, Entry('e'));
  EXPECT_TRUE(app.ui.messages.empty());
}

}  // namespace
}  // namespace kelvo
