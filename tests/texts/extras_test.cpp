#include "texts/extras.h"

#include "texts/texts_fixture.h"

namespace kelvo::texts {

using ExtrasTest = TextsTest;
using testing::FolderAnswer;

TEST_F(ExtrasTest, ChoosingAKindEnablesBrowseAndKeepsThePath) {
  EXPECT_FALSE(ctx.view.ExtraBrowseEnabled);
  ctx.job.ExtraPath = "d:\\viewer.exe";
  SelectExtraKind(ctx, ExtraKindChoice::Directory);
  EXPECT_TRUE(ctx.view.ExtraBrowseEnabled);
  EXPECT_EQ(ctx.job.ExtraKind, ExtraKindChoice::Directory);
  EXPECT_EQ(ctx.job.ExtraPath, "d:\\viewer.exe");
  // The switched kind now adds the file's path as a directory.
  EXPECT_EQ(ExtraZipEntry(ctx.job), "d:\\viewer.exe\\*.*");
}

TEST_F(ExtrasTest, ZipEntryByKind) {
  JobSettings job;
  EXPECT_EQ(ExtraZipEntry(job), "");
  job.ExtraPath = "d:\\pics";
  EXPECT_EQ(ExtraZipEntry(job), "d:\\pics\\*.*");  // no kind chosen counts as directory
  job.ExtraPath = "d:\\";
  EXPECT_EQ(ExtraZipEntry(job), "d:\\*.*");
  job.ExtraKind = ExtraKindChoice::File;
  job.ExtraPath = "d:\\tools\\view.exe";
  EXPECT_EQ(ExtraZipEntry(job), "d:\\tools\\view.exe");
}

TEST_F(ExtrasTest, FileCancelDropsTheExtra) {
  Write("d:\\Tools\\VIEW.EXE", "x");
  SelectExtraKind(ctx, ExtraKindChoice::File);
  ctx.job.NfoPath = "d:\\rel\\demo.nfo";
  app.ui.fileAnswers = {"D:\\Tools\\VIEW.EXE", std::nullopt};
  BrowseExtra(ctx);
  const auto& d = app.ui.dialogs.at(0);
  EXPECT_EQ(d.title, "Add extra file");
  EXPECT_EQ(d.filter, "Extra file (*.*)|*.*|");
  EXPECT_EQ(d.initialName, "*.*");
  EXPECT_EQ(d.initialDir, "d:\\rel\\demo.nfo");
  EXPECT_EQ(ctx.job.ExtraPath, "d:\\tools\\view.exe");
  BrowseExtra(ctx);
  EXPECT_EQ(ctx.job.ExtraPath, "");
}

TEST_F(ExtrasTest, DirectoryCancelKeepsTheExtraAndEmptyDropsIt) {
  Write("e:\\Pics\\a.gif", "GIF");
  SelectExtraKind(ctx, ExtraKindChoice::Directory);
  app.ui.folderAnswers = {FolderAnswer{{}, "E:\\Pics"}, FolderAnswer{{}, std::nullopt},
                          FolderAnswer{{}, ""}};
  BrowseExtra(ctx);
  const auto& d = app.ui.dialogs.at(0);
  EXPECT_EQ(d.kind, testing::ShownDialog::Folder);
  EXPECT_EQ(d.title, "Extra directory of files to add to Zip");
  EXPECT_EQ(d.initialDir, "");  // no initial selection
  EXPECT_EQ(ctx.job.ExtraPath, "e:\\pics");
  BrowseExtra(ctx);
  EXPECT_EQ(ctx.job.ExtraPath, "e:\\pics");
  BrowseExtra(ctx);
  EXPECT_EQ(ctx.job.ExtraPath, "");
}

TEST_F(ExtrasTest, LowerCaseOnlyWhereItNamesTheSameFile) {
  // Two host files that differ only in case: the lower form names the other.
  testing::TempDrives::WriteFile(app.drives.Host('d', "Readme.TXT"), "upper");
  testing::TempDrives::WriteFile(app.drives.Host('d', "readme.txt"), "lower");
  SelectExtraKind(ctx, ExtraKindChoice::File);
  app.ui.fileAnswers = {"d:\\Readme.TXT"};
  BrowseExtra(ctx);
  EXPECT_EQ(ctx.job.ExtraPath, "d:\\Readme.TXT");
}

}  // namespace kelvo::texts
