#include "source/measure.h"

#include <gtest/gtest.h>
#include <unistd.h>

#include <filesystem>
#include <stdexcept>

#include "source/size_text.h"
#include "support/temp_drives.h"

namespace kelvo {
namespace {

using testing::TempDrives;
using testing::TestApp;

TEST(SizeText, GroupsDigitsInThrees) {
  EXPECT_EQ(GroupDigits(0), "0");
  EXPECT_EQ(GroupDigits(999), "999");
  EXPECT_EQ(GroupDigits(1000), "1,000");
  EXPECT_EQ(GroupDigits(650123456), "650,123,456");
  EXPECT_EQ(GroupDigits(18446744073709551615ull), "18,446,744,073,709,551,615");
}

TEST(SizeText, ReadsTheLeadingNumberOfTheTextInSinglePrecision) {
  EXPECT_FLOAT_EQ(SourceSizeFromText("1,234,567 bytes in 12 files"), 1.234567f);
  EXPECT_EQ(SourceSizeFromText("650,123,456 Total bytes"), 650123456.0f / 1000000.0f);
  EXPECT_EQ(SourceSizeFromText("1,000,000 bytes"), 0.0f);
  EXPECT_FLOAT_EQ(SourceSizeFromText("1,000,001"), 1.000001f);
  EXPECT_FLOAT_EQ(SourceSizeFromText("5,000,000,001 Total bytes"), 5000.0f);
  // Only "," is dropped: the reading stops at the second point.
  EXPECT_EQ(SourceSizeFromText("1.234.567 bytes"), 0.0f);
  EXPECT_FLOAT_EQ(SourceSizeFromText("2.5e7"), 25.0f);
  EXPECT_FLOAT_EQ(SourceSizeFromText("2d7"), 20.0f);
  EXPECT_FLOAT_EQ(SourceSizeFromText("33,000,000abc"), 33.0f);
  for (const char* nothing : {"", " Total bytes", "Error", "- Source size -",
                              "Calculating files and size", "-5,000,000", ".", "e7", "+"})
    EXPECT_EQ(SourceSizeFromText(nothing), 0.0f) << nothing;
  EXPECT_EQ(SourceSizeFromText("1e-400"), 0.0f);
  EXPECT_THROW(SourceSizeFromText("1e39"), std::overflow_error);
  EXPECT_THROW(SourceSizeFromText("9e999 bytes"), std::overflow_error);
}

TEST(SizeToolCommandLine, QuotesTheToolAndOnlyASourceThatNeedsIt) {
  EXPECT_EQ(SizeToolCommandLine("C:\\UTIL", "D:\\GAMES"),
            "command.pif /c \"C:\\UTIL\\size.exe\" D:\\GAMES /s /t> c:\\size.txt");
  EXPECT_EQ(SizeToolCommandLine("c:\\app", ""),
            "command.pif /c \"c:\\app\\size.exe\"  /s /t> c:\\size.txt");
  EXPECT_EQ(SizeToolCommandLine("c:\\app", "d:\\my games"),
            "command.pif /c \"c:\\app\\size.exe\" \"d:\\my games\" /s /t> c:\\size.txt");
  EXPECT_EQ(SizeToolCommandLine("c:\\app", "d:\\a>b"),
            "command.pif /c \"c:\\app\\size.exe\" \"d:\\a>b\" /s /t> c:\\size.txt");
}

class ReportTest : public ::testing::Test {
 protected:
  std::optional<std::string> Read(const std::string& report, const std::string& source) {
    TempDrives::WriteFile(app.drives.Host('c', "size.txt"), report);
    return ReadSizeReport(app.fs, kSizeReport, source);
  }
  TestApp app;
};

TEST_F(ReportTest, TheFigureAfterTheTotalsLine) {
  EXPECT_EQ(
      Read("  D:\\DATA\r\n   5 bytes\r\n  Total of all files found\r\n      1,234,567 bytes\r\n"
           "trailing\r\n",
           "d:\\data"),
      "1,234,567 bytes");
  // Line ends of any kind, garbage around it.
  EXPECT_EQ(Read("\x01\xff garbage\n\n  Total of all files found\n 42 bytes", "d:\\data"),
            "42 bytes");
  // Only the exact totals line counts; the first wins.
  EXPECT_EQ(Read("  Total of all files found\r\n\t 7\r\n  Total of all files found\r\n 8\r\n", "x"),
            "\t 7");
}

TEST_F(ReportTest, WithoutTotalsTheBlockOfTheSourceItself) {
  const std::string blocks =
      "  D:\\DATA\\SUB\r\n  1,000 bytes\r\n"
      "  D:\\DATA\r\n  52,000,000 bytes\r\n"
      "  D:\\DATA\r\n  9 bytes\r\n";
  EXPECT_EQ(Read(blocks, "d:\\data"), "52,000,000 bytes");
  EXPECT_EQ(Read(blocks, "D:\\Data\\Sub"), "1,000 bytes");
  // Lookalikes of the totals line fall through to the blocks.
  for (const char* lookalike :
       {" Total of all files found", "   Total of all files found", "  Total of all files found.",
        "  Total of all files found ", "  total of all files found"})
    EXPECT_EQ(Read(std::string(lookalike) + "\r\n 1 bytes\r\n" + blocks, "d:\\data"),
              "52,000,000 bytes")
        << lookalike;
  // The path must follow exactly two characters.
  EXPECT_EQ(Read(" D:\\DATA\r\n 1 bytes\r\n", "d:\\data"), "");
  EXPECT_EQ(Read("xyD:\\DATA\r\n 1 bytes\r\n", "d:\\data"), "1 bytes");
}

TEST_F(ReportTest, NeitherLineGivesAnEmptyTextAMissingFigureFails) {
  EXPECT_EQ(Read("", "d:\\data"), "");
  EXPECT_EQ(Read("File Not Found\r\n", "d:\\data"), "");
  EXPECT_EQ(Read("  D:\\DATA\r\n", "d:\\data"), std::nullopt);
  EXPECT_EQ(Read("  D:\\DATA\r\n  1 bytes\r\n  Total of all files found\r\n", "d:\\data"),
            std::nullopt);
  std::filesystem::remove(app.drives.Host('c', "size.txt"));
  EXPECT_EQ(ReadSizeReport(app.fs, kSizeReport, "d:\\data"), std::nullopt);
}

class MeasureTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TempDrives::WriteFile(app.drives.Host('d', "Games/setup.exe"), std::string(600000, 's'));
    TempDrives::WriteFile(app.drives.Host('d', "Games/data/level1.dat"), std::string(634567, 'l'));
    ctx.job.SourcePath = "d:\\games";
  }
  std::string ReportText() { return TempDrives::ReadFile(app.drives.Host('c', "size.txt")); }

  TestApp app;
  Context& ctx = app.ctx;
};

TEST_F(MeasureTest, MeasuresTheSourceThroughTheToolsReport) {
  ViewState during;
  app.ui.onProcessEvents = [&] { during = ctx.view; };
  EXPECT_TRUE(MeasureSource(ctx, false));
  EXPECT_EQ(app.ui.eventsProcessed, 1);
  EXPECT_EQ(during.SourceSizeText, "Calculating files and size");
  EXPECT_FALSE(during.SourceBrowseEnabled);
  EXPECT_FALSE(during.NavigationBarEnabled);
  EXPECT_TRUE(during.BusyPointer);

  EXPECT_EQ(ctx.view.SourceSizeText, "1,234,567 bytes in 2 files");
  EXPECT_FLOAT_EQ(ctx.job.SourceSize, 1.234567f);
  EXPECT_TRUE(ctx.view.SourceBrowseEnabled);
  EXPECT_TRUE(ctx.view.NavigationBarEnabled);
  EXPECT_FALSE(ctx.view.BusyPointer);
  EXPECT_TRUE(app.ui.messages.empty());
  EXPECT_EQ(ctx.job.SourcePath, "d:\\games");
  EXPECT_NE(ReportText().find("  D:\\GAMES\\DATA\r\n"), std::string::npos);
}

TEST_F(MeasureTest, SourcesWithBlanksOrADriveRoot) {
  TempDrives::WriteFile(app.drives.Host('d', "My Games/a"), std::string(2000000, 'a'));
  TempDrives::WriteFile(app.drives.Host('d', "My/x"), "x");  // what "d:\my" alone would measure
  ctx.job.SourcePath = "d:\\my games";
  ASSERT_TRUE(MeasureSource(ctx, false));
  EXPECT_EQ(ctx.view.SourceSizeText, "2,000,000 bytes in 1 file");

  ctx.job.SourcePath = "e:\\";
  TempDrives::WriteFile(app.drives.Host('e', "deep/er/f"), std::string(3000000, 'f'));
  ASSERT_TRUE(MeasureSource(ctx, true));
  EXPECT_FLOAT_EQ(ctx.job.SourceSize, 3.0f);
}

TEST_F(MeasureTest, AVanishedSourceIsAnErrorWithItsMessageUnlessSilent) {
  ASSERT_TRUE(MeasureSource(ctx, false));
  ctx.view.EstimateText = "1.00 file";
  ctx.job.SourcePath = "d:\\gone";
  EXPECT_FALSE(MeasureSource(ctx, false));
  EXPECT_EQ(ctx.view.SourceSizeText, "Error");
  EXPECT_FLOAT_EQ(ctx.job.SourceSize, 1.234567f);  // kept
  EXPECT_EQ(ctx.job.SourcePath, "d:\\gone");
  EXPECT_EQ(ctx.view.EstimateText, "");
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].text, "Error calculating source bytes");
  EXPECT_EQ(app.ui.messages[0].title, "Kelvo32 error");
  EXPECT_EQ(app.ui.messages[0].icon, MessageIcon::Critical);
  EXPECT_EQ(app.ui.messages[0].buttons, MessageButtons::Ok);
  EXPECT_TRUE(ctx.view.SourceBrowseEnabled);
  EXPECT_TRUE(ctx.view.NavigationBarEnabled);
  EXPECT_FALSE(ctx.view.BusyPointer);

  // Silent: the text only.
  ctx.view.EstimateText = "5.00 files";
  EXPECT_FALSE(MeasureSource(ctx, true));
  EXPECT_EQ(ctx.view.SourceSizeText, "Error");
  EXPECT_EQ(ctx.job.SourcePath, "d:\\gone");
  EXPECT_EQ(ctx.view.EstimateText, "5.00 files");
  EXPECT_EQ(app.ui.messages.size(), 1u);
  EXPECT_FALSE(ctx.view.BusyPointer);

  // An unmapped drive is gone just the same.
  ctx.job.SourcePath = "q:\\games";
  EXPECT_FALSE(MeasureSource(ctx, true));
  EXPECT_EQ(ctx.view.SourceSizeText, "Error");
}

TEST_F(MeasureTest, AnOldReportIsNeverReadForANewSource) {
  ASSERT_TRUE(MeasureSource(ctx, false));
  ASSERT_FALSE(ReportText().empty());
  app.runner.Programs().Set("size", app.drives.Host('c', "app/no-such-tool"));
  EXPECT_FALSE(MeasureSource(ctx, true));
  EXPECT_EQ(ctx.view.SourceSizeText, "Error");
}

TEST_F(MeasureTest, AReportWithoutAUsableLineUnchoosesTheSourceWhenSilent) {
  app.runner.Programs().Set("size", "/bin/true");  // writes an empty report
  ctx.job.SourceSize = 7.0f;
  EXPECT_TRUE(MeasureSource(ctx, false));
  EXPECT_EQ(ctx.view.SourceSizeText, "");
  EXPECT_EQ(ctx.job.SourceSize, 0.0f);
  EXPECT_EQ(ctx.job.SourcePath, "d:\\games");
  EXPECT_TRUE(MeasureSource(ctx, true));
  EXPECT_EQ(ctx.job.SourcePath, "");
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST_F(MeasureTest, ASourceThatCannotBeReadFails) {
  // The tool ends its report with the totals line when it cannot read the
  // directory: a source replaced by a dangling link is such a case.
  std::filesystem::remove_all(app.drives.Host('d', "Games"));
  std::filesystem::create_directory_symlink(app.drives.Host('d', "nowhere"),
                                            app.drives.Host('d', "games"));
  EXPECT_FALSE(MeasureSource(ctx, false));
  EXPECT_EQ(ctx.view.SourceSizeText, "Error");
  EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{"Error calculating source bytes"});
}

TEST_F(MeasureTest, AnEmptySourceMeasuresTheCurrentDirectory) {
  TempDrives::WriteFile(app.drives.Host('e', "w/f"), std::string(4500000, 'f'));
  app.fs.ChangeDrive('e');
  app.fs.ChangeDir("e:\\w");
  ctx.job.SourcePath.clear();
  EXPECT_TRUE(MeasureSource(ctx, true));
  EXPECT_EQ(ctx.view.SourceSizeText, "4,500,000 bytes in 1 file");
  EXPECT_FLOAT_EQ(ctx.job.SourceSize, 4.5f);
}

TEST_F(MeasureTest, NoMessagesInBatchMode) {
  ctx.batchMode = BatchMode::Plain;
  app.ui.unattended = true;
  ctx.job.SourcePath = "d:\\gone";
  EXPECT_FALSE(MeasureSource(ctx, false));
  EXPECT_EQ(ctx.view.SourceSizeText, "Error");
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST_F(MeasureTest, ImagesByTheirLengthAlsoBeyond4GB) {
  std::string iso = app.drives.Host('d', "cd/game.iso");
  TempDrives::WriteFile(iso, "");
  MeasureImage(ctx, "d:\\cd\\game.iso");
  EXPECT_EQ(ctx.view.SourceSizeText, " Total bytes");
  EXPECT_EQ(ctx.job.SourceSize, 0.0f);

  ASSERT_EQ(::truncate(iso.c_str(), 650123456), 0);  // sparse
  MeasureImage(ctx, "d:\\cd\\game.iso");
  EXPECT_EQ(ctx.view.SourceSizeText, "650,123,456 Total bytes");
  EXPECT_FLOAT_EQ(ctx.job.SourceSize, 650.123456f);

  ASSERT_EQ(::truncate(iso.c_str(), 5000000001LL), 0);
  MeasureImage(ctx, "D:\\CD\\GAME.ISO");
  EXPECT_EQ(ctx.view.SourceSizeText, "5,000,000,001 Total bytes");
  EXPECT_FLOAT_EQ(ctx.job.SourceSize, 5000.0f);

  ctx.job.SourceSize = 3.0f;
  EXPECT_ANY_THROW(MeasureImage(ctx, "d:\\cd\\missing.iso"));
  EXPECT_EQ(ctx.view.SourceSizeText, "Error");
  EXPECT_EQ(ctx.job.SourceSize, 3.0f);
  EXPECT_ANY_THROW(MeasureImage(ctx, "d:\\cd"));
}

}  // namespace
}  // namespace kelvo
