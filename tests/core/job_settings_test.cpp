#include "core/job_settings.h"

#include <gtest/gtest.h>

#include "core/ui.h"
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

TEST(LimitedBaseName, CutsAtACharacterBoundaryNeverInsideOne) {
  struct Row {
    std::string name;
    size_t limit;
    std::string kept;
  };
  const Row rows[] = {
      {"RELEASE", 6, "RELEAS"},
      {"ab", 6, "ab"},
      {"abcde\xC3\xA9", 6, "abcde"},         // a two-byte character across the cut
      {"abcd\xC3\xA9x", 6, "abcd\xC3\xA9"},  // ends exactly at its end
      {"abc\xE2\x82\xACx", 5, "abc"},        // three bytes, cut after the second
      {"a\xF0\x9F\x98\x80"
       "bc",
       4, "a"},                                                         // four bytes
      {"\x82\x82\x82\x82\x82\x82\x82", 6, "\x82\x82\x82\x82\x82\x82"},  // CP437 bytes are single
  };
  for (const auto& row : rows)
    EXPECT_EQ(LimitedBaseName(row.name, row.limit), row.kept) << row.name << " " << row.limit;
}

TEST(PrintableReason, EscapesControlBytesAndCutsFloodsInTheMiddle) {
  EXPECT_EQ(PrintableReason("can't use 'a\x01"
                            "b\x1B[2Jc\x7F'"),
            "can't use 'a\\x01b\\x1b[2Jc\\x7f'");
  EXPECT_EQ(PrintableReason(std::string("cut\0here", 8)), "cut\\x00here");
  EXPECT_EQ(PrintableReason("one\rtwo\nthree"), "one\ntwo\nthree");
  EXPECT_EQ(PrintableReason("\xC9\xCD caf\xC3\xA9"),
            "\xC9\xCD caf\xC3\xA9");  // bytes above 0x7F pass

  const std::string path =
      "can't read 'd:\\" + std::string(1'000'000, 'x') + "\xC3\xA9\\end': too long";
  const std::string shown = PrintableReason(path);
  EXPECT_LT(shown.size(), 2100u);
  EXPECT_TRUE(shown.starts_with("can't read 'd:\\xxx"));
  EXPECT_TRUE(shown.ends_with("\xC3\xA9\\end': too long"));
  EXPECT_NE(shown.find("bytes ...]"), std::string::npos);
  // A cut never splits a character.
  const std::string accents = std::string(1, 'a') + [] {
    std::string s;
    for (int i = 0; i < 3000; ++i) s += "\xC3\xA9";
    return s;
  }();
  const std::string cut = PrintableReason(accents);
  const size_t mark = cut.find("[... ");
  ASSERT_NE(mark, std::string::npos);
  EXPECT_EQ(static_cast<unsigned char>(cut[mark - 1]), 0xA9);
  EXPECT_EQ(static_cast<unsigned char>(cut[cut.find("...]") + 4]), 0xC3);
}

}  // namespace kelvo
