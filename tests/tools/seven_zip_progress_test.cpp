// 7-Zip's progress output as 7zz 26.02 prints it with "-bso0 -bsp1".
#include "archiver/seven_zip_progress.h"

#include <gtest/gtest.h>

#include <string>

namespace kelvo::archiver {

namespace {

using Percentages = std::vector<int>;

// One update as 7zz writes it: the old text rubbed out (backspaces, blanks,
// backspaces), then the new one.
std::string Update(const std::string& text, size_t old) {
  return std::string(old, '\b') + std::string(old, ' ') + std::string(old, '\b') + text;
}

// The start of a real run, byte for byte.
const std::string kRealStart =
    "  0M Scan  \b\b\b\b\b\b\b\b\b\b\b           \b\b\b\b\b\b\b\b\b\b\b  0%"
    "\b\b\b\b    \b\b\b\b  0% + src/a.bin" +
    Update("  1% + src/a.bin", 16) + Update("  2% + src/a.bin", 16);

}  // namespace

TEST(SevenZipProgress, ReadsTheUpdatesOfARealRun) {
  SevenZipProgress progress;
  // 7-Zip repeats a value while the name after it changes: one report each.
  EXPECT_EQ(progress.Feed(kRealStart), (Percentages{0, 1, 2}));
  EXPECT_EQ(progress.Feed(Update(" 97% 2 + src/b.bin", 16) + Update("100% 2 + src/b.bin", 18) +
                          Update("100% 2 Header creation", 18) + Update("", 22)),
            (Percentages{97, 100}));
}

TEST(SevenZipProgress, AnyPieceOfTheStreamMayEndAnywhere) {
  const std::string stream = kRealStart + Update(" 37% 1 + src/b.bin", 16) +
                             Update(" 38% 1 + src/b.bin", 18) + Update("100% 2 + src/b.bin", 18);
  for (size_t piece = 1; piece <= 7; ++piece) {
    SevenZipProgress progress;
    Percentages seen;
    for (size_t at = 0; at < stream.size(); at += piece) {
      auto more = progress.Feed(stream.substr(at, piece));
      seen.insert(seen.end(), more.begin(), more.end());
    }
    EXPECT_EQ(seen, (Percentages{0, 1, 2, 37, 38, 100})) << "pieces of " << piece;
  }
}

TEST(SevenZipProgress, DigitsAndPercentSignsInNamesAreNoProgress) {
  SevenZipProgress progress;
  EXPECT_EQ(progress.Feed("  5% + src/50% off.txt"), Percentages{5});
  EXPECT_EQ(progress.Feed(Update(" 60% + src/99% done/take 12% off.txt", 22)), Percentages{60});
  // Not an update's percentage: too many digits, over 100, a count, a scan.
  EXPECT_EQ(progress.Feed(Update("1000% + x", 22) + Update("101% + x", 9) + Update(" 12 files", 8) +
                          Update("  3M Scan", 9) + Update("  7 %", 9)),
            Percentages{});
  EXPECT_EQ(progress.Feed("\r 61%\n 62%"), (Percentages{61, 62}));
}

}  // namespace kelvo::archiver
