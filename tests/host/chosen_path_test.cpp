#include "host/chosen_path.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "support/temp_drives.h"

namespace kelvo::host {

using testing::TempDrives;

class ChosenPathTest : public ::testing::Test {
 protected:
  TempDrives t;
  FileSystem fs{t.table};
};

TEST_F(ChosenPathTest, LowersWhatStillNamesTheSameEntry) {
  std::filesystem::create_directories(t.Host('d', "Games/MyGame"));
  TempDrives::WriteFile(t.Host('d', "Games/MyGame/ReadMe.TXT"), "x");
  EXPECT_EQ(LowerChosenPath(fs, "D:\\Games\\MyGame"), "d:\\games\\mygame");
  EXPECT_EQ(LowerChosenPath(fs, "D:\\Games\\MyGame\\ReadMe.TXT"), "d:\\games\\mygame\\readme.txt");
  EXPECT_EQ(LowerChosenPath(fs, "D:\\"), "d:\\");
  // Nothing there: nothing to misname.
  EXPECT_EQ(LowerChosenPath(fs, "D:\\Games\\New\\*.*"), "d:\\games\\new\\*.*");
  EXPECT_EQ(LowerChosenPath(fs, "Q:\\Unmapped"), "q:\\unmapped");
  EXPECT_EQ(LowerChosenPath(fs, "relative\\Path"), "relative\\path");
  EXPECT_EQ(LowerChosenPath(fs, ""), "");
}

TEST_F(ChosenPathTest, KeepsTheCaseWhereLoweringWouldNameAnotherEntry) {
  std::filesystem::create_directories(t.Host('d', "Src/Save"));
  std::filesystem::create_directories(t.Host('d', "Src/save"));
  std::filesystem::create_directories(t.Host('d', "Src/Only"));
  TempDrives::WriteFile(t.Host('d', "Src/Save/A.txt"), "x");
  EXPECT_EQ(LowerChosenPath(fs, "D:\\SRC\\Save\\A.txt"), "d:\\src\\Save\\a.txt");
  EXPECT_EQ(LowerChosenPath(fs, "D:\\SRC\\save"), "d:\\src\\save");
  // Two spellings, neither lower: each keeps its own.
  std::filesystem::create_directories(t.Host('e', "X/Dup"));
  std::filesystem::create_directories(t.Host('e', "X/DUP"));
  EXPECT_EQ(LowerChosenPath(fs, "e:\\X\\DUP"), "e:\\x\\DUP");
  EXPECT_EQ(LowerChosenPath(fs, "e:\\X\\Dup"), "e:\\x\\Dup");
  EXPECT_EQ(LowerChosenPath(fs, "d:\\Src\\Only"), "d:\\src\\only");
}

}  // namespace kelvo::host
