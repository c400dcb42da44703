// kelvo_peak: the benchmarks' measure of a program's own peak memory.
#include <gtest/gtest.h>

#include <string>

#include "support/temp_drives.h"
#include "tools/file_tree.h"

namespace kelvo {

using testing::TempDrives;

namespace {

const std::string kPeak = std::string(KELVO_BENCH_BIN_DIR) + "/kelvo_peak";

// A shell script that holds a string of `mb` MB, then ends with `status`.
std::string Hog(const TempDrives& dir, int mb, int status) {
  std::string path = dir.root() + "/hog" + std::to_string(mb) + ".sh";
  TempDrives::WriteFile(path, "x=$(head -c " + std::to_string(mb) +
                                  "000000 /dev/zero | tr '\\0' a)\nexit " + std::to_string(status) +
                                  "\n");
  return path;
}

struct Measured {
  int status;
  long peakKib;
};

Measured Measure(const TempDrives& dir, const std::vector<std::string>& command) {
  std::vector<std::string> argv{kPeak, "-o", dir.root() + "/peak"};
  argv.insert(argv.end(), command.begin(), command.end());
  int status = testing::RunProgram(argv);
  return {status, std::stol(TempDrives::ReadFile(dir.root() + "/peak"))};
}

}  // namespace

TEST(OwnPeak, CountsTheProgramAndNotWhatItRuns) {
  TempDrives dir;
  // A program that itself holds 20 MB.
  Measured big = Measure(dir, {"/bin/bash", Hog(dir, 20, 0)});
  EXPECT_EQ(big.status, 0);
  EXPECT_GE(big.peakKib, 20'000);
  // A small program that runs that one: getrusage would report the child's
  // 20 MB as its own.
  Measured small = Measure(dir, {"/bin/bash", "-c", "/bin/bash " + Hog(dir, 20, 0) + "; exit 3"});
  EXPECT_EQ(small.status, 3);
  EXPECT_GT(small.peakKib, 0);
  EXPECT_LT(small.peakKib, 10'000);
}

TEST(OwnPeak, PassesOnHowTheProgramEnded) {
  TempDrives dir;
  Measured killed = Measure(dir, {"/bin/bash", "-c", "kill -TERM $$"});
  EXPECT_EQ(killed.status, 128 + SIGTERM);
  EXPECT_GT(killed.peakKib, 0);
  // A wrapper that execs the program: the program's peak, not the wrapper's.
  Measured wrapped = Measure(dir, {"/bin/sh", "-c", "exec /bin/bash " + Hog(dir, 15, 5)});
  EXPECT_EQ(wrapped.status, 5);
  EXPECT_GE(wrapped.peakKib, 15'000);
  EXPECT_EQ(testing::RunProgram({kPeak, "-o", dir.root() + "/peak", dir.root() + "/none"}), 127);
  EXPECT_EQ(TempDrives::ReadFile(dir.root() + "/peak"), "-1\n");
}

}  // namespace kelvo
