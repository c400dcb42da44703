#include "run/zip_names.h"

#include <gtest/gtest.h>

#include "support/temp_drives.h"

namespace kelvo {

TEST(ZipNames, DigitsFollowTheSet) {
  EXPECT_EQ(VolumeDigits(1, 1, 3, false), "");  // one volume
  EXPECT_EQ(VolumeDigits(1, 5, 0, false), "");  // one archive
  EXPECT_EQ(VolumeDigits(2, 12, 3, false), "02");
  EXPECT_EQ(VolumeDigits(7, 120, 3, true), "007");
  EXPECT_EQ(VolumeDigits(100, 120, 3, true), "100");
  EXPECT_EQ(VolumeDigits(100, 101, 3, false), "100");  // wider than the pattern keeps its digits
}

TEST(ZipNames, DateStampAndStoragePrefix) {
  std::tm day{};
  day.tm_year = 98;
  day.tm_mon = 11;
  day.tm_mday = 7;
  EXPECT_EQ(DateStamp(BatchMode::Dated, day), "12798");
  day.tm_year = 126;
  day.tm_mon = 0;
  day.tm_mday = 31;
  EXPECT_EQ(DateStamp(BatchMode::Dated, day), "013126");
  EXPECT_EQ(DateStamp(BatchMode::Plain, day), "");
  EXPECT_EQ(DateStamp(BatchMode::None, day), "");
  EXPECT_EQ(StoragePrefix("D:\\"), "D:");
  EXPECT_EQ(StoragePrefix("d:\\zips"), "d:\\zips");
}

TEST(ZipNames, PathAndShownName) {
  testing::TestApp app;
  app.ctx.job.ZipBaseName = "DEMO";
  app.ctx.job.ZipStorageDir = "D:\\ZIPS";
  app.ctx.run.VolumeCount = 12;
  ZipName second = ZipNameFor(app.ctx, 2);
  EXPECT_EQ(second.path, "D:\\ZIPS\\DEMO02");
  EXPECT_EQ(second.shown, "DEMO02.zip");

  app.ctx.batchMode = BatchMode::Dated;

  app.ui.unattended = true;
  app.ctx.job.ZipStorageDir = "e:\\";
  EXPECT_EQ(ZipNameFor(app.ctx, 3).path, "e:\\DEMO1279803");
  EXPECT_EQ(ZipNameFor(app.ctx, 3).shown, "DEMO1279803.zip");
}

}  // namespace kelvo
