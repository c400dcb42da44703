// The job rules row by row: the same fault refused with the same status and
// the same reason by the load check and by the run, in the window and
// without one, before anything is made; and the README's status table says
// what each status covers.
#include "scripts/job_rules.h"

#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <functional>
#include <map>
#include <sstream>

#include "core/exit_status.h"
#include "run/run_driver.h"
#include "scripts/job_script.h"
#include "support/temp_drives.h"
#include "tools/file_tree.h"

namespace kelvo {
namespace {

using testing::TempDrives;

struct RulesFixture : testing::TestApp {
  explicit RulesFixture(bool unattended) : driver(ctx) {
    ui.unattended = unattended;
    if (unattended) ctx.batchMode = BatchMode::Plain;
    TempDrives::WriteFile(drives.Host('d', "src/a.txt"), "a");
    TempDrives::WriteFile(drives.Host('c', "rel/file_id.diz"), "DEMO\r\n  xx/xx........\r\n");
    TempDrives::WriteFile(drives.Host('c', "rel/demo.nfo"), "nfo\r\n");
    TempDrives::WriteFile(drives.Host('c', "rel/extras/x.txt"), "x");
    std::filesystem::create_directories(drives.Host('e', "zips"));
    JobSettings& job = ctx.job;
    job.SourcePath = "d:\\src";
    job.DizPath = "c:\\rel\\file_id.diz";
    job.NfoPath = "c:\\rel\\demo.nfo";
    job.ExtraKind = ExtraKindChoice::Directory;
    job.ExtraPath = "c:\\rel\\extras";
    job.ZipStorageDir = "e:\\zips";
    job.ZipBaseName = "DEMO";
    job.Compression = 1;
  }
  bool MadeNothing() const {
    return testing::FileNames(drives.Host('e', "zips")).empty() &&
           !std::filesystem::exists(drives.Host('c', "Kelvo001"));
  }
  RunDriver driver;
};

struct Fault {
  const char* name;
  std::function<void(RulesFixture&)> make;
  int status;
  std::string reason;  // the start of it
  Panel panel;
};

std::vector<Fault> Faults() {
  auto set = [](std::string JobSettings::*field, std::string value) {
    return [field, value](RulesFixture& f) { f.ctx.job.*field = value; };
  };
  return {
      {"source no DOS name", set(&JobSettings::SourcePath, "d:\\src>x"), kExitJobIncomplete,
       "can't use 'd:\\src>x'", Panel::Source},
      {"no source", set(&JobSettings::SourcePath, ""), kExitScriptRejected, "No source is chosen",
       Panel::Source},
      {"relative source", set(&JobSettings::SourcePath, "src"), kExitJobIncomplete,
       "The source 'src' names no drive", Panel::Source},
      {"missing source", set(&JobSettings::SourcePath, "d:\\gone"), kExitScriptRejected,
       "The source 'd:\\gone' is missing or empty", Panel::Source},
      {"skip entry matching nothing", set(&JobSettings::SkipEntries, "d:\\src\\nothing*\r\n"),
       kExitScriptRejected, "The skip entry 'd:\\src\\nothing*' is missing", Panel::Skip},
      {"relative diz", set(&JobSettings::DizPath, "rel\\file_id.diz"), kExitJobIncomplete,
       "The file_id.diz 'rel\\file_id.diz' names no drive", Panel::Diz},
      {"missing diz", set(&JobSettings::DizPath, "c:\\rel\\gone.diz"), kExitScriptRejected,
       "The file_id.diz 'c:\\rel\\gone.diz' is missing", Panel::Diz},
      {"empty numbering column",
       [](RulesFixture& f) {
         f.ctx.job.DizNumbering = true;
         f.ctx.job.DizLine = "2";
       },
       kExitScriptRejected, "No column is given for the numbering", Panel::Diz},
      {"nfo named file_id.diz",
       [](RulesFixture& f) {
         TempDrives::WriteFile(f.drives.Host('c', "rel/FILE_ID.DIZ"), "x");
         f.ctx.job.NfoPath = "c:\\rel\\FILE_ID.DIZ";
       },
       kExitJobIncomplete, "The nfo can't be named file_id.diz", Panel::Nfo},
      {"relative zip directory", set(&JobSettings::ZipStorageDir, "zips"), kExitJobIncomplete,
       "The zip directory 'zips' names no drive", Panel::Zip},
      {"extra directory that is a file",
       [](RulesFixture& f) { f.ctx.job.ExtraPath = "c:\\rel\\extras\\x.txt"; }, kExitScriptRejected,
       "The extra 'c:\\rel\\extras\\x.txt' is a file, not a directory", Panel::Nfo},
      {"extra file that is a directory",
       [](RulesFixture& f) { f.ctx.job.ExtraKind = ExtraKindChoice::File; }, kExitScriptRejected,
       "The extra 'c:\\rel\\extras' is a directory, not a file", Panel::Nfo},
      {"missing zip comment",
       [](RulesFixture& f) {
         f.ctx.job.ZipCommentEnabled = true;
         f.ctx.job.ZipCommentPath = "c:\\app\\temp\\gone.txt";
       },
       kExitScriptRejected, "The zip comment 'c:\\app\\temp\\gone.txt' is missing", Panel::Zip},
      {"zip name with a space", set(&JobSettings::ZipBaseName, "DE MO"), kExitJobIncomplete,
       "Spaces aren't allowed in filename", Panel::Zip},
      {"no compression level", [](RulesFixture& f) { f.ctx.job.Compression = -1; },
       kExitJobIncomplete, "Choose a compression level", Panel::Zip},
      {"DIZ position beyond its line",
       [](RulesFixture& f) {
         f.ctx.job.DizNumbering = true;
         f.ctx.job.DizColumn = "30";
         f.ctx.job.DizLine = "2";
       },
       kExitJobIncomplete, "Column number too high", Panel::Diz},
  };
}

// What the window told: the box, or the line under the panel.
std::string WindowReason(const RulesFixture& f) {
  return f.ui.messages.empty() ? f.ctx.view.DropNotice : f.ui.messages.back().text;
}

TEST(JobRules, TheSameFaultIsRefusedAlikeAtLoadAndAtRunInBothModes) {
  for (const Fault& fault : Faults()) {
    SCOPED_TRACE(fault.name);
    // Without a window: the load check and the run end with the row's status.
    RulesFixture loaded(true);
    fault.make(loaded);
    auto refusal = CheckLoadedJob(loaded.ctx);
    ASSERT_TRUE(refusal);
    EXPECT_EQ(refusal->status, fault.status);
    ASSERT_EQ(loaded.ui.reports.size(), 1u);
    EXPECT_TRUE(loaded.ui.reports[0].starts_with(fault.reason)) << loaded.ui.reports[0];

    RulesFixture run(true);
    fault.make(run);
    EXPECT_EQ(run.driver.RunJob(), fault.status);
    ASSERT_FALSE(run.ui.reports.empty());
    EXPECT_EQ(run.ui.reports[0], loaded.ui.reports[0]);
    EXPECT_TRUE(run.ui.messages.empty());
    EXPECT_TRUE(run.MadeNothing());

    // In the window: the same reason, on the panel to fix, nothing made.
    RulesFixture window(false);
    fault.make(window);
    window.driver.RunJob();
    EXPECT_EQ(WindowReason(window), loaded.ui.reports[0]);
    EXPECT_EQ(window.ctx.view.VisiblePanel, fault.panel);
    EXPECT_TRUE(window.MadeNothing());
  }
}

TEST(JobRules, ASoundJobPassesAndAnUnwritableZipDirectoryIsFoundBeforeTheArchiver) {
  RulesFixture sound(true);
  EXPECT_FALSE(CheckJob(sound.ctx, CheckMoment::Load));
  EXPECT_FALSE(CheckJob(sound.ctx, CheckMoment::Run));
  // The probe leaves nothing behind.
  EXPECT_TRUE(testing::FileNames(sound.drives.Host('e', "zips")).empty());

  // A folder no one may write into, even root: the load can't tell, the
  // run finds it before any volume is made.
  RulesFixture app(true);
  std::filesystem::remove(app.drives.Host('e', "zips"));
  std::filesystem::create_directory_symlink("/proc/1", app.drives.Host('e', "zips"));
  EXPECT_FALSE(CheckJob(app.ctx, CheckMoment::Load));
  EXPECT_EQ(app.driver.RunJob(), kExitJobIncomplete);
  ASSERT_FALSE(app.ui.reports.empty());
  EXPECT_TRUE(app.ui.reports[0].starts_with("The zip directory 'e:\\zips' can't be written: "))
      << app.ui.reports[0];
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
  EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::Zip);
}

TEST(JobRules, ASourceLargerThanTheZipDrivesFreeSpaceIsWarnedOfAndStillRuns) {
  RulesFixture app(true);
  app.ctx.job.ArchiveSize = 0;
  app.ctx.job.SourceSize = 1e9f;  // megabytes: more than any test machine's disk
  EXPECT_EQ(app.driver.RunJob(), kExitComplete);
  ASSERT_FALSE(app.ui.reports.empty());
  EXPECT_TRUE(app.ui.reports[0].starts_with("warning: The zips may not fit in e:\\zips"))
      << app.ui.reports[0];
  EXPECT_EQ(testing::FileNames(app.drives.Host('e', "zips")), std::vector<std::string>{"DEMO.zip"});

  RulesFixture fits(true);
  fits.ctx.job.ArchiveSize = 0;
  fits.ctx.job.SourceSize = 1.0f;
  EXPECT_EQ(fits.driver.RunJob(), kExitComplete);
  EXPECT_TRUE(fits.ui.reports.empty());
}

TEST(JobRules, TheLoadCheckEmptiesTheRefusedFieldAndTheRunLeavesIt) {
  RulesFixture load(false);
  load.ctx.job.DizPath = "c:\\rel\\gone.diz";
  CheckLoadedJob(load.ctx);
  EXPECT_EQ(load.ctx.job.DizPath, "");
  RulesFixture run(false);
  run.ctx.job.DizPath = "c:\\rel\\gone.diz";
  run.driver.RunJob();
  EXPECT_EQ(run.ctx.job.DizPath, "c:\\rel\\gone.diz");
}

TEST(JobRules, TheReadmeStatusTableNamesEveryRow) {
  std::ifstream in(KELVO_README);
  ASSERT_TRUE(in) << KELVO_README;
  std::map<int, std::string> rows;
  std::string line;
  while (std::getline(in, line)) {
    int status = 0;
    char bar = 0;
    std::istringstream cells(line);
    if (line.starts_with("| ") && (cells >> bar >> status) && status > 0) rows[status] = line;
  }
  ASSERT_FALSE(rows.empty());
  for (const JobRule& rule : JobRules()) {
    ASSERT_TRUE(rows.count(rule.status)) << rule.what;
    EXPECT_NE(rows[rule.status].find(rule.what), std::string::npos)
        << "status " << rule.status << " does not name \"" << rule.what << "\"";
  }
}

}  // namespace
}  // namespace kelvo
