// How a set's recovery data is cut: checked against par2 itself, which must
// accept the plan and write files no larger than the set's largest zip.
#include "run/recovery.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "run/zip_test_util.h"
#include "support/temp_drives.h"
#include "tools/file_tree.h"

namespace kelvo {

using testing::TempDrives;

TEST(RecoveryPlan, BlocksAreFewPerZipAndTheRedundancyIsKept) {
  const std::vector<SetFile> floppies(30, SetFile{"DEMO01.zip", 1'457'664});
  const RecoveryPlan plan = PlanRecovery(floppies, 10);
  EXPECT_EQ(plan.blockSize % 4, 0u);
  EXPECT_EQ(plan.sourceBlocks, 30u * 7);  // 200 over 30 zips
  EXPECT_EQ(plan.recoveryBlocks, 21u);
  EXPECT_GE(plan.files, 3u);  // 10% of 30 floppies needs three at least
  // One zip: still many blocks to choose from; the redundancy rounds up.
  const RecoveryPlan one = PlanRecovery({{"A.zip", 1000}}, 1);
  EXPECT_EQ(one.blockSize, 8u);
  EXPECT_EQ(one.sourceBlocks, 125u);
  EXPECT_EQ(one.recoveryBlocks, 2u);
  EXPECT_EQ(PlanRecovery({{"A.zip", 10}}, 1).recoveryBlocks, 1u);
  EXPECT_EQ(RecoveryCommandLine({44, 200, 2, 1}, "MY SET.par2", {{"MY SET01.zip", 5}}),
            "par2.exe c -s44 -c2 -n1 -u -- \"MY SET.par2\" \"MY SET01.zip\"");
}

TEST(RecoveryPlan, Par2WritesFilesNoLargerThanTheLargestZip) {
  struct Shape {
    std::vector<std::uint64_t> sizes;
    int percent;
  };
  const Shape shapes[] = {
      {{300'000}, 10},
      {{500'000, 500'000, 200'000}, 10},
      {{500'000, 500'000, 200'000}, 100},
      {std::vector<std::uint64_t>(12, 100'000), 30},
      {{100'000, 100'000, 100'000, 100'000, 5'000}, 50},
  };
  for (const Shape& shape : shapes) {
    TempDrives dir;
    std::vector<SetFile> zips;
    for (std::size_t i = 0; i < shape.sizes.size(); ++i) {
      const std::string name = "SET" + std::to_string(10 + i) + ".zip";
      TempDrives::WriteFile(dir.Host('c', name), testing::RandomBytes(shape.sizes[i], i + 1));
      zips.push_back({name, shape.sizes[i]});
    }
    const RecoveryPlan plan = PlanRecovery(zips, shape.percent);
    // The program's line, run by par2 itself in place of the stand-in.
    const std::string line = RecoveryCommandLine(plan, "SET.par2", zips);
    ASSERT_TRUE(line.starts_with("par2.exe c ")) << line;
    const std::string command = "cd " + testing::Quote(dir.Host('c')) + " && par2 c -q -q " +
                                line.substr(std::string("par2.exe c ").size());
    testing::HostRun made = testing::RunHost(command);
    ASSERT_EQ(made.status, 0) << command << "\n" << made.output;

    std::uint32_t files = 0;
    for (const auto& name : testing::FileNames(dir.Host('c'))) {
      if (!name.ends_with(".par2") || name == "SET.par2") continue;
      ++files;
      EXPECT_LE(std::filesystem::file_size(dir.Host('c', name)),
                *std::max_element(shape.sizes.begin(), shape.sizes.end()))
          << name << " for " << shape.sizes.size() << " zips at " << shape.percent << "%";
    }
    EXPECT_EQ(files, plan.files);
    testing::HostRun verify =
        testing::RunHost("cd " + testing::Quote(dir.Host('c')) + " && par2 v -q -q SET.par2");
    EXPECT_EQ(verify.status, 0) << verify.output;
  }
}

}  // namespace kelvo
