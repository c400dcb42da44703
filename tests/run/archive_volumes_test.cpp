#include "run/archive_volumes.h"

#include <gtest/gtest.h>
#include <sys/stat.h>

#include <cstdlib>
#include <filesystem>

#include "host/host_error.h"
#include "host/text_file.h"
#include "support/temp_drives.h"
#include "tools/file_tree.h"

namespace kelvo {

using testing::TempDrives;
using testing::TestApp;
using Words = std::vector<std::string>;

TEST(ArchiverOptions, SizeStepsFloppyAndLevel) {
  struct Row {
    std::int16_t size;
    const char* rar;
    const char* ace;
  };
  const Row rows[] = {
      {0, "-v0000b -m3", " -m3"},          {1, "-v500000b -m3", "-v500 -m3"},
      {2, "-v1000000b -m3", "-v1000 -m3"}, {3, "-v1440000b -m3", "-v1440 -m3"},
      {4, "-v2000000b -m3", "-v2000 -m3"}, {199, "-v99500000b -m3", "-v99500 -m3"},
  };
  for (const auto& row : rows) {
    EXPECT_EQ(ArchiverOptions(ArchiverKind::Rar, row.size, 3), row.rar) << row.size;
    EXPECT_EQ(ArchiverOptions(ArchiverKind::Ace, row.size, 3), row.ace) << row.size;
  }
  // Only size 3 is the floppy: every other step is a multiple of 500,000.
  for (std::int16_t size = 0; size <= kMaxArchiveSize; ++size) {
    if (size == 3) continue;
    EXPECT_EQ(VolumeSwitch(ArchiverKind::Rar, size), "-v" + std::to_string(size * 500) + "000b");
  }
  EXPECT_EQ(ArchiverOptions(ArchiverKind::Rar, 3, 0), "-v1440000b -m0");
  EXPECT_EQ(ArchiverOptions(ArchiverKind::Ace, 10, 5), "-v5000 -m5");
}

TEST(ArchiverCommandLine, ByteForByte) {
  // The default job: RAR, Normal, the floppy, skip entries, first folder.
  EXPECT_EQ(ArchiverCommandLine(ArchiverKind::Rar, "-v1440000b -m3", "c:\\Kelvo001\\DEMO.rar",
                                "\"d:\\src\"", "-x@c:\\skip.txt"),
            "wrar.exe a -r -v1440000b -m3 -y c:\\Kelvo001\\DEMO.rar \"d:\\src\" -x@c:\\skip.txt");
  // Without skip entries the line ends in the switch's blank.
  EXPECT_EQ(ArchiverCommandLine(ArchiverKind::Ace, " -m3", "e:\\Kelvo002\\REL.ace", "d:\\", ""),
            "wace.pif a -r -y  -m3 e:\\Kelvo002\\REL.ace d:\\ ");
}

class ArchiveStepTest : public ::testing::Test {
 protected:
  TestApp app;
  Context& ctx = app.ctx;
};

TEST_F(ArchiveStepTest, EstimateEdgesInSinglePrecision) {
  struct Row {
    ArchiverKind archiver;
    std::int16_t size;
    float sourceSize;
    bool goesOn;
    bool threeDigits;
    const char* extension;
  };
  const Row rows[] = {
      // Size 2 is 1,000,000 bytes a volume: the estimate is the source size.
      {ArchiverKind::Rar, 2, 99.0f, true, false, ".rar"},
      {ArchiverKind::Rar, 2, 99.01f, true, true, ".001"},
      {ArchiverKind::Ace, 2, 99.0f, true, false, ".ace"},
      {ArchiverKind::Ace, 2, 99.01f, true, true, ".ace"},
      {ArchiverKind::Rar, 2, 999.0f, true, true, ".001"},
      {ArchiverKind::Rar, 2, 999.01f, false, true, ".001"},
      {ArchiverKind::Ace, 2, 999.01f, false, true, ".ace"},
      // The estimate takes 1,500,000 bytes for the floppy step.
      {ArchiverKind::Rar, 3, 1498.5f, true, true, ".001"},
      {ArchiverKind::Rar, 3, 1498.6f, false, true, ".001"},
      // Unmeasured (or small) sources never reach a limit.
      {ArchiverKind::Rar, 1, 0.0f, true, false, ".rar"},
      // One archive: no limit, no three digits, whatever the source.
      {ArchiverKind::Rar, 0, 50000.0f, true, false, ".rar"},
      {ArchiverKind::Ace, 0, 50000.0f, true, false, ".ace"},
  };
  for (const auto& row : rows) {
    SCOPED_TRACE(std::to_string(row.size) + " " + std::to_string(row.sourceSize));
    ctx.job.Archiver = row.archiver;
    ctx.job.ArchiveSize = row.size;
    ctx.job.SourceSize = row.sourceSize;
    ctx.job.ThreeDigitNumbering = !row.threeDigits;
    ctx.job.VolumeBytes = 123.0f;
    app.ui.messages.clear();
    auto step = CheckVolumeEstimate(ctx);
    EXPECT_EQ(step.has_value(), row.goesOn);
    EXPECT_EQ(ctx.job.ThreeDigitNumbering, row.threeDigits);
    EXPECT_EQ(ctx.job.VolumeBytes, row.size == 0 ? 123.0f : row.size * 500000.0f);
    if (step) {
      EXPECT_EQ(step->Extension, row.extension);
      EXPECT_EQ(step->Options, ArchiverOptions(row.archiver, row.size, 3));
      EXPECT_TRUE(app.ui.messages.empty());
    } else {
      ASSERT_EQ(app.ui.messages.size(), 1u);
      const auto& m = app.ui.messages[0];
      EXPECT_EQ(m.text,
                "Can't have more than 999 files in the set\rRaise the achive size, or choose a "
                "source with a smaller size");
      EXPECT_EQ(m.title, "Kelvo error");
      EXPECT_EQ(m.icon, MessageIcon::Critical);
      EXPECT_EQ(m.buttons, MessageButtons::Ok);
    }
  }
}

TEST_F(ArchiveStepTest, BatchModeRefusesWithoutAMessage) {
  ctx.batchMode = BatchMode::Plain;
  app.ui.unattended = true;
  ctx.job.ArchiveSize = 1;
  ctx.job.SourceSize = 600.0f;
  EXPECT_FALSE(CheckVolumeEstimate(ctx));
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST_F(ArchiveStepTest, SkipFileIsTheListPlusOneLineEnd) {
  ArchiveStep step;
  const std::string skip = app.drives.Host('c', "skip.txt");
  // Bytes above 0x80 stay as they are.
  ctx.job.SkipEntries = "d:\\src\\save\\*.*\r\nd:\\src\\\x81\xB0.txt\r\n";
  WriteSkipFile(ctx, step);
  EXPECT_EQ(step.ExcludeSwitch, "-x@c:\\skip.txt");
  EXPECT_EQ(TempDrives::ReadFile(skip), "d:\\src\\save\\*.*\r\nd:\\src\\\x81\xB0.txt\r\n\r\n");

  // A shorter list truncates the old file.
  ctx.job.SkipEntries = "d:\\a";
  WriteSkipFile(ctx, step);
  EXPECT_EQ(TempDrives::ReadFile(skip), "d:\\a\r\n");

  // An empty list writes nothing and leaves the old file.
  ctx.job.SkipEntries.clear();
  WriteSkipFile(ctx, step);
  EXPECT_EQ(step.ExcludeSwitch, "");
  EXPECT_EQ(TempDrives::ReadFile(skip), "d:\\a\r\n");

  // A file that cannot be written is a run-time error for the run to end on.
  ::chmod(skip.c_str(), 0444);
  ctx.job.SkipEntries = "d:\\b\r\n";
  EXPECT_THROW(WriteSkipFile(ctx, step), host::HostError);
  EXPECT_EQ(TempDrives::ReadFile(skip), "d:\\a\r\n");
}

TEST_F(ArchiveStepTest, WorkFoldersAreTheFirstFreeNumber) {
  ctx.job.WorkDrive = 'e';
  MakeWorkFolder(ctx);
  EXPECT_EQ(ctx.run.WorkFolder, "e:\\Kelvo001");
  MakeWorkFolder(ctx);  // the next run, the first folder still there
  EXPECT_EQ(ctx.run.WorkFolder, "e:\\Kelvo002");
  EXPECT_TRUE(std::filesystem::is_directory(app.drives.Host('e', "Kelvo002")));

  // A file of that name, or a folder in other case, takes the number too.
  TempDrives::WriteFile(app.drives.Host('e', "Kelvo003"), "");
  std::filesystem::create_directories(app.drives.Host('e', "KELVO004"));
  MakeWorkFolder(ctx);
  EXPECT_EQ(ctx.run.WorkFolder, "e:\\Kelvo005");

  // A gap is filled first; past 999 the number grows a digit.
  std::filesystem::remove(app.drives.Host('e', "Kelvo002"));
  MakeWorkFolder(ctx);
  EXPECT_EQ(ctx.run.WorkFolder, "e:\\Kelvo002");
  for (int i = 6; i <= 999; ++i) {
    char name[16];
    std::snprintf(name, sizeof name, "Kelvo%03d", i);
    std::filesystem::create_directory(app.drives.Host('e', name));
  }
  MakeWorkFolder(ctx);
  EXPECT_EQ(ctx.run.WorkFolder, "e:\\Kelvo1000");

  ctx.job.WorkDrive = 'q';  // not mapped
  EXPECT_THROW(MakeWorkFolder(ctx), host::HostError);
  EXPECT_EQ(ctx.run.WorkFolder, "e:\\Kelvo1000");
}

class RunArchiverTest : public ArchiveStepTest {
 protected:
  void SetUp() override {
    // Only 7zz on the PATH: the stand-ins write 7z sets.
    bin = app.drives.root() + "/bin";
    std::filesystem::create_directories(bin);
    std::filesystem::create_symlink(testing::OnPath("7zz"), bin + "/7zz");
    savedPath = std::getenv("PATH");
    ::setenv("PATH", bin.c_str(), 1);
    ctx.job.ZipBaseName = "DEMO";
    ctx.job.ArchiveSize = 1;
    ctx.job.Compression = 0;
  }
  void TearDown() override { ::setenv("PATH", savedPath.c_str(), 1); }

  std::string bin, savedPath;
};

TEST_F(RunArchiverTest, RarQuotesTheSourceAndTheSetLandsInTheWorkFolder) {
  testing::TreeMap tree = {{"a b", testing::kDirMark},
                           {"a b/noise.bin", testing::NoiseBytes(700000, 5)},
                           {"skip me", testing::kDirMark},
                           {"skip me/x.txt", "x"}};
  testing::WriteTree(app.drives.Host('d', "my src"), tree);
  ctx.job.SourcePath = "d:\\my src";
  ctx.job.SkipEntries = "d:\\my src\\skip me\\*.*\r\n";
  auto step = CheckVolumeEstimate(ctx);
  ASSERT_TRUE(step);
  WriteSkipFile(ctx, *step);
  MakeWorkFolder(ctx);
  auto result = RunArchiver(ctx, *step);
  EXPECT_TRUE(result.started) << result.error;
  EXPECT_EQ(result.exitStatus, 0);
  EXPECT_EQ(ctx.job.SourcePath, "d:\\my src");  // quoted only on the command line
  EXPECT_EQ(ArchiverLine(ctx, *step),
            "wrar.exe a -r -v500000b -m0 -y c:\\Kelvo001\\DEMO.rar \"d:\\my src\" "
            "-x@c:\\skip.txt");
  EXPECT_EQ(testing::FileNames(app.drives.Host('c', "Kelvo001")),
            (Words{"DEMO.7z.001", "DEMO.7z.002"}));
  std::string out = app.drives.Host('e', "out");
  ASSERT_EQ(testing::Unpack(app.drives.Host('c', "Kelvo001/DEMO.7z.001"), out), 0);
  tree.erase("skip me");
  tree.erase("skip me/x.txt");
  EXPECT_EQ(testing::ReadTree(out + "/my src"), tree);
}

TEST_F(RunArchiverTest, AceKeepsTheSourceTextAndStillTakesASourceWithBlanks) {
  testing::WriteTree(app.drives.Host('d', "my src"), {{"f.txt", "f"}});
  ctx.job.Archiver = ArchiverKind::Ace;
  ctx.job.ArchiveSize = 0;
  ctx.job.SourcePath = "d:\\my src";
  auto step = CheckVolumeEstimate(ctx);
  ASSERT_TRUE(step);
  WriteSkipFile(ctx, *step);
  MakeWorkFolder(ctx);
  EXPECT_EQ(ArchiverLine(ctx, *step),
            "wace.pif a -r -y  -m0 c:\\Kelvo001\\DEMO.ace \"d:\\my src\" ");
  RunArchiver(ctx, *step);
  EXPECT_EQ(ctx.job.SourcePath, "d:\\my src");
  EXPECT_EQ(testing::FileNames(app.drives.Host('c', "Kelvo001")), Words{"DEMO.7z"});

  ctx.job.SourcePath = "d:\\";
  EXPECT_EQ(ArchiverLine(ctx, *step), "wace.pif a -r -y  -m0 c:\\Kelvo001\\DEMO.ace d:\\ ");
}

TEST_F(RunArchiverTest, AMissingArchiverOrSourceLeavesTheFolderEmpty) {
  ctx.job.SourcePath = "d:\\gone";
  auto step = CheckVolumeEstimate(ctx);
  ASSERT_TRUE(step);
  MakeWorkFolder(ctx);
  auto result = RunArchiver(ctx, *step);
  EXPECT_TRUE(result.started);
  EXPECT_NE(result.exitStatus, 0);
  EXPECT_EQ(testing::FileNames(app.drives.Host('c', "Kelvo001")), Words{});

  app.runner.Programs().Set("wrar", app.drives.Host('c', "no-such-program"));
  ctx.job.SourcePath = "d:\\gone";
  result = RunArchiver(ctx, *step);
  EXPECT_FALSE(result.started);
  EXPECT_EQ(testing::FileNames(app.drives.Host('c', "Kelvo001")), Words{});
}

}  // namespace kelvo
