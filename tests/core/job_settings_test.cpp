#include "core/job_settings.h"

#include <gtest/gtest.h>

#include "core/view_state.h"

namespace kelvo {

TEST(JobSettings, StartsWithTheInitialJob) {
  JobSettings job;
  EXPECT_EQ(job.Compression, 3);
  EXPECT_EQ(job.ArchiveSize, 3);
  EXPECT_EQ(job.WorkDrive, 'c');
  EXPECT_TRUE(job.SaveAsZips);
  EXPECT_EQ(job.Archiver, ArchiverKind::Rar);
  EXPECT_EQ(job.ExtraKind, ExtraKindChoice::None);
  EXPECT_EQ(job.SourceSize, 0.0f);
  EXPECT_FALSE(job.ThreeDigitNumbering);
}

TEST(JobSettings, ThreeDigitNumberingFollowsTheSinglePrecisionEstimate) {
  // 148.5 MB in 1.5 MB steps is 99 volumes exactly: still two digits.
  EXPECT_FALSE(ThreeDigitNumberingFor(3, 148.5f));
  EXPECT_TRUE(ThreeDigitNumberingFor(3, 148.515f));
  EXPECT_TRUE(ThreeDigitNumberingFor(3, 650.1235f));
  EXPECT_FALSE(ThreeDigitNumberingFor(0, 650.1235f));  // one archive: no numbers
  EXPECT_FALSE(ThreeDigitNumberingFor(3, 0.0f));
  EXPECT_EQ(VolumeBytesFor(199), 99500000.0f);
  EXPECT_FLOAT_EQ(EstimateVolumes(650.1235f, VolumeBytesFor(3)), 433.4157f);
}

TEST(JobSettings, NumberText) {
  EXPECT_EQ(NumberText(3), " 3");
  EXPECT_EQ(NumberText(0), " 0");
  EXPECT_EQ(NumberText(-1), "-1");
  EXPECT_EQ(NumberText(199), " 199");
}

TEST(ViewState, ShowPanelSwitchesMarksHeaderAndFocus) {
  ViewState view;
  EXPECT_EQ(view.VisiblePanel, Panel::Source);
  EXPECT_EQ(view.CheckedMenuItem, Panel::None);
  ShowPanel(view, Panel::Zip, FocusBox::ZipBaseName);
  EXPECT_EQ(view.VisiblePanel, Panel::Zip);
  EXPECT_EQ(view.CheckedMenuItem, Panel::Zip);
  EXPECT_EQ(view.PanelHeader, " Zip");
  EXPECT_EQ(view.Focus, FocusBox::ZipBaseName);
  ShowPanel(view, Panel::Skip);
  EXPECT_EQ(view.PanelHeader, " Skip");
  EXPECT_EQ(view.Focus, FocusBox::None);
}

}  // namespace kelvo
