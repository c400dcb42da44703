#include "source/archive_size.h"

#include <gtest/gtest.h>

#include <stdexcept>

#include "support/temp_drives.h"

namespace kelvo {
namespace {

using testing::TestApp;

TEST(ArchiveSizeText, MegabytesWithThePointAlwaysWritten) {
  EXPECT_EQ(ArchiveSizeTextFor(0), "1 Max file");
  EXPECT_EQ(ArchiveSizeTextFor(1), ".5 M");
  EXPECT_EQ(ArchiveSizeTextFor(2), "1. M");
  EXPECT_EQ(ArchiveSizeTextFor(3), "1.44 M");
  EXPECT_EQ(ArchiveSizeTextFor(4), "2. M");
  EXPECT_EQ(ArchiveSizeTextFor(5), "2.5 M");
  EXPECT_EQ(ArchiveSizeTextFor(10), "5. M");
  EXPECT_EQ(ArchiveSizeTextFor(21), "10.5 M");
  EXPECT_EQ(ArchiveSizeTextFor(198), "99. M");
  EXPECT_EQ(ArchiveSizeTextFor(199), "99.5 M");
}

TEST(ArchiveSizeText, EstimatesToTheNearestHundredth) {
  EXPECT_EQ(HundredthsText(433.4156f), "433.42");
  EXPECT_EQ(HundredthsText(100.0f / 1.5f), "66.67");
  EXPECT_EQ(HundredthsText(99.0f), "99.00");
  EXPECT_EQ(HundredthsText(0.8f), "0.80");
  EXPECT_EQ(HundredthsText(1234.5f), "1234.50");  // no grouping
  EXPECT_EQ(HundredthsText(999.996f), "1000.00");
  EXPECT_EQ(HundredthsText(9.999f), "10.00");
  // Exact halves go up; the single's own digits decide the rest.
  EXPECT_EQ(HundredthsText(2.125f), "2.13");
  EXPECT_EQ(HundredthsText(2.375f), "2.38");
  EXPECT_EQ(HundredthsText(1.005f), "1.00");  // 1.00499999523...
  EXPECT_EQ(HundredthsText(1e10f), "10000000000.00");
}

class ArchiveSizeTest : public ::testing::Test {
 protected:
  TestApp app;
  Context& ctx = app.ctx;
  JobSettings& job = ctx.job;
  ViewState& view = ctx.view;
};

TEST_F(ArchiveSizeTest, MoreThan99VolumesGiveThreeDigitsAndCutTheName) {
  job.SourceSize = 650.1235f;
  job.ZipBaseName = "RELEAS";
  job.ArchiveSize = 4;
  SetArchiveSize(ctx, 3);
  EXPECT_EQ(view.ArchiveSizeText, "1.44 M");
  EXPECT_EQ(view.EstimateText, "433.42 files");
  EXPECT_EQ(job.VolumeBytes, 1500000.0f);  // the floppy is estimated as 1.5 MB
  EXPECT_TRUE(job.ThreeDigitNumbering);
  EXPECT_EQ(view.BaseNameLimit, 5);
  EXPECT_EQ(job.ZipBaseName, "RELEA");

  SetArchiveSize(ctx, 199);
  EXPECT_EQ(view.EstimateText, "6.53 files");
  EXPECT_FALSE(job.ThreeDigitNumbering);
  EXPECT_EQ(view.BaseNameLimit, 6);
  EXPECT_EQ(job.ZipBaseName, "RELEA");  // a cut name stays cut
}

TEST_F(ArchiveSizeTest, Exactly99VolumesKeepTwoDigits) {
  job.SourceSize = 148.5f;
  job.ZipBaseName = "ABCDEFGH";
  SetArchiveSize(ctx, 4);
  SetArchiveSize(ctx, 3);
  EXPECT_EQ(view.EstimateText, "99.00 files");
  EXPECT_FALSE(job.ThreeDigitNumbering);
  EXPECT_EQ(view.BaseNameLimit, 6);
  EXPECT_EQ(job.ZipBaseName, "ABCDEF");

  job.SourceSize = 148.515f;
  SetArchiveSize(ctx, 4);
  SetArchiveSize(ctx, 3);
  EXPECT_EQ(view.EstimateText, "99.01 files");
  EXPECT_TRUE(job.ThreeDigitNumbering);
  EXPECT_EQ(view.BaseNameLimit, 5);
  EXPECT_EQ(job.ZipBaseName, "ABCDE");

  // Around the run's limit of 999 volumes the text simply grows.
  job.SourceSize = 1498.5f;
  SetArchiveSize(ctx, 4);
  SetArchiveSize(ctx, 3);
  EXPECT_EQ(view.EstimateText, "999.00 files");
  job.SourceSize = 1500.0f;
  SetArchiveSize(ctx, 4);
  SetArchiveSize(ctx, 3);
  EXPECT_EQ(view.EstimateText, "1000.00 files");
  EXPECT_TRUE(job.ThreeDigitNumbering);
}

TEST_F(ArchiveSizeTest, OneVolumeOrLessAndTheSourceBrowseForm) {
  job.SourceSize = 1.2f;
  SetArchiveSize(ctx, 5);
  SetArchiveSize(ctx, 3);
  EXPECT_EQ(view.EstimateText, " 1.00 file");
  RefreshEstimate(ctx);
  EXPECT_EQ(view.EstimateText, "1.00 file");

  job.SourceSize = 100.0f;
  RefreshEstimate(ctx);
  EXPECT_EQ(view.EstimateText, "66.67 files");
  EXPECT_FALSE(job.ThreeDigitNumbering);
  // The estimate of a new source decides the numbering and the name's limit
  // as a new archive size does: the figures are those the run takes.
  job.SourceSize = 650.1235f;
  job.ZipBaseName = "SIXSIX";
  RefreshEstimate(ctx);
  EXPECT_EQ(view.EstimateText, "433.42 files");
  EXPECT_TRUE(job.ThreeDigitNumbering);
  EXPECT_EQ(view.BaseNameLimit, 5);
  EXPECT_EQ(job.ZipBaseName, "SIXSI");
}

// Nothing measured is no volume, as the run figures it: two digits, and no
// estimate to show.
TEST_F(ArchiveSizeTest, NothingMeasuredGivesTwoDigitsAndNoEstimate) {
  job.SourceSize = 650.1235f;
  SetArchiveSize(ctx, 4);
  ASSERT_TRUE(job.ThreeDigitNumbering);
  job.SourceSize = 0.0f;
  job.ZipBaseName = "ABCDEF";
  SetArchiveSize(ctx, 5);
  EXPECT_EQ(view.ArchiveSizeText, "2.5 M");
  EXPECT_EQ(view.EstimateText, "");
  EXPECT_FALSE(job.ThreeDigitNumbering);
  EXPECT_EQ(job.VolumeBytes, 2500000.0f);
  EXPECT_EQ(view.BaseNameLimit, 6);
  EXPECT_EQ(job.ZipBaseName, "ABCDEF");

  view.EstimateText = "stale";
  RefreshEstimate(ctx);
  EXPECT_EQ(view.EstimateText, "");
}

// The session's refresh: every figure from the job as it stands, whatever
// changed it, and one volume spelled after what changed last.
TEST_F(ArchiveSizeTest, TheRefreshFiguresTheJobAsItStands) {
  job.SourceSize = 1.2f;
  SetArchiveSize(ctx, 5);
  SetArchiveSize(ctx, 3);
  ASSERT_EQ(view.EstimateText, " 1.00 file");
  RefreshVolumeFigures(ctx);  // nothing new: the spelling stays
  EXPECT_EQ(view.EstimateText, " 1.00 file");

  // A source measured since: its estimate, spelled as for a new source.
  job.SourceSize = 1.3f;
  RefreshVolumeFigures(ctx);
  EXPECT_EQ(view.EstimateText, "1.00 file");
  job.SourceSize = 445.78f;
  job.ZipBaseName = "SIXSIX";
  RefreshVolumeFigures(ctx);
  EXPECT_EQ(view.EstimateText, "297.19 files");
  EXPECT_TRUE(job.ThreeDigitNumbering);
  EXPECT_EQ(view.BaseNameLimit, 5);
  EXPECT_EQ(job.ZipBaseName, "SIXSI");
  EXPECT_EQ(view.ArchiveSizeText, "1.44 M");

  // An archive size set without the scroll bar (a script) is figured too.
  job.ArchiveSize = 199;
  RefreshVolumeFigures(ctx);
  EXPECT_EQ(view.ArchiveSizeText, "99.5 M");
  EXPECT_EQ(view.EstimateText, "4.48 files");
  EXPECT_FALSE(job.ThreeDigitNumbering);
  EXPECT_EQ(view.BaseNameLimit, 6);

  // A measurement that failed leaves SourceSize, but there is no figure to
  // show for a source of unknown size.
  view.SourceSizeText = "Error";
  RefreshVolumeFigures(ctx);
  EXPECT_EQ(view.EstimateText, "");
}

TEST_F(ArchiveSizeTest, OneArchiveWithoutVolumes) {
  job.SourceSize = 650.1235f;
  SetArchiveSize(ctx, 1);
  ASSERT_TRUE(job.ThreeDigitNumbering);
  job.ZipBaseName = "A_LONG_NAME_OF_20_CH";
  SetArchiveSize(ctx, 0);
  EXPECT_EQ(view.ArchiveSizeText, "1 Max file");
  EXPECT_EQ(view.EstimateText, "1.00 file");
  EXPECT_EQ(view.BaseNameLimit, 20);
  EXPECT_FALSE(job.ThreeDigitNumbering);
  EXPECT_EQ(job.ZipBaseName, "A_LONG_NAME_OF_20_CH");
  RefreshEstimate(ctx);
  EXPECT_EQ(view.EstimateText, "1.00 file");

  SetArchiveSize(ctx, 1);
  EXPECT_EQ(view.ArchiveSizeText, ".5 M");
  EXPECT_EQ(view.EstimateText, "1300.25 files");
  EXPECT_EQ(job.ZipBaseName, "A_LON");
  SetArchiveSize(ctx, 0);
  job.ZipBaseName = "LONGERNAME";
  job.SourceSize = 0.0f;
  SetArchiveSize(ctx, 2);  // the numbering was cleared at 0 and stays so
  EXPECT_EQ(job.ZipBaseName, "LONGER");
}

TEST_F(ArchiveSizeTest, AnImageSourceNeverGoesBelowTen) {
  job.SourceIsImage = true;
  job.SourceSize = 650.1235f;
  SetArchiveSize(ctx, 10);
  SetArchiveSize(ctx, 9);
  EXPECT_EQ(job.ArchiveSize, 10);
  EXPECT_EQ(view.ArchiveSizeText, "5. M");
  EXPECT_EQ(view.EstimateText, "130.02 files");
  SetArchiveSize(ctx, 0);
  EXPECT_EQ(job.ArchiveSize, 10);
  EXPECT_EQ(view.ArchiveSizeText, "5. M");
  SetArchiveSize(ctx, 11);
  EXPECT_EQ(view.ArchiveSizeText, "5.5 M");
}

TEST_F(ArchiveSizeTest, TheSameValueDoesNotRunTheUpdate) {
  job.SourceSize = 650.1235f;
  view.EstimateText = "untouched";
  SetArchiveSize(ctx, 3);  // already 3
  EXPECT_EQ(view.EstimateText, "untouched");
  EXPECT_THROW(SetArchiveSize(ctx, 200), std::out_of_range);
  EXPECT_THROW(SetArchiveSize(ctx, -1), std::out_of_range);
  EXPECT_EQ(job.ArchiveSize, 3);
  // Choosing the archiver is no change of the size.
  job.Archiver = ArchiverKind::Ace;
  SetArchiveSize(ctx, 3);
  EXPECT_EQ(view.EstimateText, "untouched");
}

}  // namespace
}  // namespace kelvo
