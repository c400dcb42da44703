#include "archiver/par2_progress.h"

#include <gtest/gtest.h>

namespace kelvo::archiver {

TEST(Par2Progress, OnlyTheRecoveryWorkCountsInWhateverPiecesItComes) {
  Par2Progress parser;
  // par2's create output: the matrix first, which must not run the bar.
  EXPECT_EQ(parser.Feed("Opening: DEMO01.zip\nConstructing: 0.0%\rConstructing: 100.0%\r\n"),
            std::vector<int>{});
  EXPECT_EQ(parser.Feed("Processing: 0.1%\rProcessing: 0.2%\rProcess"), std::vector<int>{0});
  EXPECT_EQ(parser.Feed("ing: 37.5%\rProcessing: 37.9%\rProcessing: 100.0%\r\nDone\n"),
            (std::vector<int>{37, 100}));
  // repair reports its own way; a name with digits and a percent is no progress.
  Par2Progress repair;
  EXPECT_EQ(repair.Feed("Target: \"Processing: 50%.zip\" - found.\nRepairing: 12.0%\r"),
            std::vector<int>{12});
  EXPECT_EQ(repair.Feed("Repairing: 250.0%\rRepairing: x%\rRepairing: 5x\r"), std::vector<int>{});
}

}  // namespace kelvo::archiver
