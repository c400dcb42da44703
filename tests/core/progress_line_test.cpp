// The batch run's progress line, and the minimised window's title.
#include "core/progress_line.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <string>

#include "core/view_state.h"

namespace kelvo {

namespace {

std::string Written(std::FILE* file) {
  std::fflush(file);
  std::rewind(file);
  std::string bytes;
  for (int c; (c = std::fgetc(file)) != EOF;) bytes += static_cast<char>(c);
  return bytes;
}

}  // namespace

TEST(ProgressLine, RewritesOneLineInPlaceAndEndsItOnce) {
  std::FILE* file = std::tmpfile();
  ProgressLine line(file, true);
  line.End();  // nothing shown yet: no empty line
  line.Show("Archiving   5%");
  line.Show("Archiving 100%");
  line.Show("Done");  // a shorter text blanks out what is left
  line.End();
  line.End();
  line.Show("again");
  line.End();
  EXPECT_EQ(Written(file),
            "\rArchiving   5%\rArchiving 100%\rDone          \n"
            "\ragain\n");
  std::fclose(file);
}

TEST(ProgressLine, AStreamThatIsNoTerminalGetsTheMilestonesAsLines) {
  std::FILE* file = std::tmpfile();
  ProgressLine line(file, false);
  line.Show("Archiving  30%");
  line.Show("Archiving  37%", false);
  line.End();
  line.Show("Zipping 1 of 3: DEMO01.zip");
  EXPECT_EQ(Written(file), "Archiving  30%\nZipping 1 of 3: DEMO01.zip\n");
  std::fclose(file);
}

TEST(ShownWindowTitle, LeadsWithThePercentageOnlyWhileMinimised) {
  ViewState view;
  view.WindowTitle = "Kelvo32 - orbit.kvo";
  view.TitleProgress = 37;
  EXPECT_EQ(ShownWindowTitle(view), "Kelvo32 - orbit.kvo");
  view.WindowMinimised = true;
  EXPECT_EQ(ShownWindowTitle(view), "37% Kelvo32 - orbit.kvo");
  view.TitleProgress = 0;  // a first report, not the lack of one
  EXPECT_EQ(ShownWindowTitle(view), "0% Kelvo32 - orbit.kvo");
  view.TitleProgress = -1;
  EXPECT_EQ(ShownWindowTitle(view), "Kelvo32 - orbit.kvo");
}

}  // namespace kelvo
