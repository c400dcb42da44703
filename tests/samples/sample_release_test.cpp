// The bundled sample release: its texts keep their bytes, its job is laid
// out for any place, and packaging it gives stamped zips with the comment.
#include "sample_release.h"

#include <gtest/gtest.h>

#include <filesystem>

#include "core/exit_status.h"
#include "run/run_driver.h"
#include "run/zip_test_util.h"
#include "scripts/job_script.h"
#include "shell/unattended.h"
#include "support/temp_drives.h"
#include "texts/diz_numbering.h"
#include "texts/zip_comment.h"
#include "tools/file_tree.h"

namespace kelvo {

using samples::SampleLayout;
using testing::TempDrives;

namespace {

const std::string kSamples = KELVO_SAMPLES_DIR;

std::string Sample(const std::string& name) {
  return TempDrives::ReadFile(kSamples + "/" + name);
}

std::vector<std::string> LinesOf(const std::string& bytes) {
  std::vector<std::string> lines;
  for (size_t at = 0; at < bytes.size();) {
    size_t end = bytes.find("\r\n", at);
    if (end == std::string::npos) end = bytes.size();
    lines.push_back(bytes.substr(at, end - at));
    at = end + 2;
  }
  return lines;
}

// The repository's samples folder is drive s:, the demo folder lies on d:,
// the application directory is c:\app.
struct SampleApp {
  TempDrives drives;
  host::FileSystem fs{WithSamplesDrive(drives.table)};
  host::CommandRunner runner{fs, drives.programs};
  testing::ScriptedUi ui;
  testing::FixedClock clock;
  Context ctx{fs, runner, ui, clock, "c:\\app"};
  RunDriver driver{ctx};
  SampleLayout layout{kSamples, drives.Host('d', "demo")};

  static host::DriveTable WithSamplesDrive(host::DriveTable table) {
    table.Map('s', kSamples);
    return table;
  }
};

}  // namespace

TEST(SampleTexts, KeepCp437ArtAndCrLfLineEnds) {
  for (const char* name : {"file_id.diz", "orbit.nfo", "banner.txt", "bbs.txt"}) {
    std::string bytes = Sample(name);
    ASSERT_TRUE(bytes.ends_with("\r\n")) << name;
    for (size_t i = 0; i < bytes.size(); ++i) {
      bool crlf = bytes[i] == '\r'   ? i + 1 < bytes.size() && bytes[i + 1] == '\n'
                  : bytes[i] == '\n' ? i > 0 && bytes[i - 1] == '\r'
                                     : true;
      ASSERT_TRUE(crlf) << name << ": a lone CR or LF at byte " << i;
    }
    EXPECT_TRUE(std::any_of(bytes.begin(), bytes.end(),
                            [](char c) { return static_cast<unsigned char>(c) >= 0x80; }))
        << name << " has no CP437 art";
  }
  for (const auto& line : LinesOf(Sample("file_id.diz"))) EXPECT_LE(line.size(), 45u) << line;
  EXPECT_NE(Sample("orbit.nfo").find("\xC9\xCD\xCD"), std::string::npos);
  EXPECT_LE(Sample("banner.txt").size(), texts::kMaxZipCommentBytes);

  // The stamp's place is blank and closed, so that "01/99" fits and reads
  // as a number in brackets.
  auto diz = LinesOf(Sample("file_id.diz"));
  size_t line = std::stoul(samples::kStampLine), column = std::stoul(samples::kStampColumn);
  ASSERT_LE(line, diz.size());
  ASSERT_LT(column + 5, diz[line - 1].size());
  EXPECT_EQ(diz[line - 1].substr(column - 1, 5), "     ");
  EXPECT_NE(diz[line - 1][column - 2], ' ');
  EXPECT_NE(diz[line - 1][column + 4], ' ');
}

TEST(SampleLayout, PreparingGivesTheSameTreeEachTimeAndEmptyZips) {
  TempDrives drives;
  SampleLayout first{kSamples, drives.Host('d', "one")}, second{kSamples, drives.Host('d', "two")};
  samples::PrepareSource(first);
  TempDrives::WriteFile(first.SourceDir() + "/stale.txt", "left from before");
  TempDrives::WriteFile(first.ZipDir() + "/OLD01.zip", "old zip");
  samples::PrepareSource(first);
  samples::PrepareSource(second);

  auto tree = testing::ReadTree(first.SourceDir());
  EXPECT_EQ(tree, testing::ReadTree(second.SourceDir()));
  EXPECT_EQ(tree.count("stale.txt"), 0u);
  EXPECT_TRUE(testing::FileNames(first.ZipDir()).empty());
  EXPECT_TRUE(std::filesystem::is_directory(first.ZipDir()));
  // The committed tree comes over whole, and the data adds up to its size.
  for (const auto& [rel, content] : testing::ReadTree(kSamples + "/orbit"))
    EXPECT_EQ(tree[rel], content) << rel;
  std::uintmax_t data = tree["DATA/SECTORS.DAT"].size() + tree["DATA/SHIPS.DAT"].size();
  EXPECT_EQ(data, samples::kDataBytes);
  EXPECT_NE(tree["DATA/SECTORS.DAT"].substr(0, 4096), tree["DATA/SHIPS.DAT"].substr(0, 4096));
}

TEST(SampleLayout, PathsNoDriveHoldsOrNoDosNameAreRefused) {
  TempDrives drives;  // c:, d:, e: only
  host::FileSystem fs(drives.table);
  EXPECT_EQ(samples::DosPath(fs, drives.Host('d', "Demo/orbit.kvo")), "d:\\Demo\\orbit.kvo")
      << "a name whose lower case names nothing keeps its case";
  std::filesystem::create_directories(drives.Host('d', "demo"));
  EXPECT_EQ(samples::DosPath(fs, drives.Host('d', "Demo/../demo/")), "d:\\demo");
  try {
    samples::DosPath(fs, "/usr/share");
    ADD_FAILURE() << "no drive holds /usr/share";
  } catch (const std::runtime_error& e) {
    EXPECT_NE(std::string(e.what()).find("/usr/share"), std::string::npos) << e.what();
  }
  SampleLayout odd{kSamples, drives.Host('d', "a>b")};
  EXPECT_THROW(samples::SampleJob(fs, odd), std::runtime_error);
}

TEST(SampleRun, PackagesIntoStampedZipsWithTheRememberedComment) {
  SampleApp app;
  samples::PrepareSource(app.layout);
  std::string comment = samples::InstallComment(app.fs, app.layout, app.drives.Host('c', "app"));
  JobSettings job = samples::SampleJob(app.fs, app.layout);
  TempDrives::WriteFile(app.layout.JobFile(), ScriptText(job, app.clock.Now()));

  // As the program starts: the settings file turns the comment on.
  texts::ReadSettingsFile(app.ctx);
  texts::SetZipCommentAtStart(app.ctx);
  ASSERT_TRUE(app.ctx.job.ZipCommentEnabled);
  EXPECT_EQ(app.ctx.job.ZipCommentPath, comment);
  EXPECT_EQ(TempDrives::ReadFile(*app.fs.HostPath(comment)), Sample("banner.txt"));

  app.ctx.batchMode = BatchMode::Plain;

  app.ui.unattended = true;
  app.ctx.ScriptPath = samples::DosPath(app.fs, app.layout.JobFile());
  ASSERT_EQ(shell::RunUnattended(app.ctx, app.driver), kExitComplete)
      << ::testing::PrintToString(app.ui.reports);
  EXPECT_EQ(ScriptText(app.ctx.job, app.clock.Now()), ScriptText(job, app.clock.Now()))
      << "the script reads back as the job it was written from";

  auto zips = testing::FileNames(app.layout.ZipDir());
  ASSERT_GE(zips.size(), 2u) << "the data is there to fill several volumes";
  std::string volumes = app.drives.Host('e', "volumes");
  std::string diz = Sample("file_id.diz");
  size_t stampAt = 0;
  for (size_t n = 1; n < std::stoul(samples::kStampLine); ++n)
    stampAt = diz.find("\r\n", stampAt) + 2;
  stampAt += std::stoul(samples::kStampColumn) - 1;
  for (size_t i = 0; i < zips.size(); ++i) {
    char name[32];
    std::snprintf(name, sizeof name, "ORBIT%02zu.zip", i + 1);
    ASSERT_EQ(zips[i], name);
    std::string path = app.layout.ZipDir() + "/" + zips[i];
    auto entries = testing::EntryMap(path);
    std::string stamped = diz;
    stamped.replace(stampAt, 5, texts::DizStamp(int(i) + 1, int(zips.size()), false));
    EXPECT_EQ(entries["file_id.diz"], stamped) << zips[i];
    EXPECT_TRUE(entries["orbit.nfo"].starts_with(Sample("orbit.nfo"))) << zips[i];
    EXPECT_EQ(entries["bbs.txt"], Sample("bbs.txt")) << zips[i];
    EXPECT_EQ(testing::ZipComment(path), Sample("banner.txt")) << zips[i];
    char volume[32];
    std::snprintf(volume, sizeof volume, "ORBIT.7z.%03zu", i + 1);
    ASSERT_EQ(entries.count(volume), 1u) << zips[i];
    TempDrives::WriteFile(volumes + "/" + volume, entries[volume]);
  }

  // Unpacked, the volumes give the release without the skipped WORK folder.
  ASSERT_EQ(testing::Unpack(volumes + "/ORBIT.7z.001", app.drives.Host('e', "out")), 0);
  auto release = testing::ReadTree(app.layout.SourceDir());
  std::erase_if(release, [](const auto& entry) { return entry.first.starts_with("WORK"); });
  EXPECT_EQ(testing::ReadTree(app.drives.Host('e', "out/orbit")), release);
}

}  // namespace kelvo
