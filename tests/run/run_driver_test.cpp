#include "run/run_driver.h"

#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/file.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <csignal>
#include <cstdlib>
#include <filesystem>
#include <map>
#include <optional>
#include <stdexcept>

#include "art/png_header.h"
#include "core/exit_status.h"
#include "core/shared_files.h"
#include "host/stop_signal.h"
#include "run/recovery.h"
#include "run/resume.h"
#include "run/zip_test_util.h"
#include "scripts/job_script.h"
#include "shell/unattended.h"
#include "source/measure.h"
#include "support/held_elsewhere.h"
#include "support/temp_drives.h"
#include "texts/diz_nfo.h"
#include "tools/file_tree.h"

namespace kelvo {

using testing::kDirMark;
using testing::NoiseBytes;
using testing::ReadTree;
using testing::TempDrives;
using testing::TestApp;
using testing::TreeMap;

namespace {

struct ZipContent {
  std::map<std::string, std::string> entries;
  std::string comment;
};

ZipContent ReadZip(const std::string& path) {
  return {testing::EntryMap(path), testing::ZipComment(path)};
}

const std::string kDiz =
    "\xDA\xC4\xC4 DEMO RELEASE \xC4\xC4\xBF\r\n"
    "\xB3  disk xx/xx of set  \xB3\r\n"
    "\xC0\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xC4\xD9";
const std::string kComment = "\xC9\xCD\xCD\xBB Kelvo \xB0\xB1\xB2\r\n.\r\nline \x1A three\r\n";

// A whole job over the test drives: source d:\src, zips to e:\zips, DIZ
// and NFO in c:\rel, an extra directory and a CP437 comment.
struct RunFixture : TestApp {
  RunFixture() : driver(ctx) {
    source = {
        {"readme.txt", "read me\r\n"},
        {"empty.dat", ""},
        {"empty dir", kDirMark},
        {"with space/na\xC3\xAFve \xC3\xA9t\xC3\xA9.txt", "utf-8 name"},
        {"skipme", kDirMark},
        {"skipme/a.bin", NoiseBytes(2000, 9)},
        {"skipme/deep/b.bin", "b"},
        {"keep/drop.txt", "dropped file"},
        {"keep/kept.txt", "kept file"},
    };
    for (int i = 0; i < 200; ++i)
      source["many/f" + std::to_string(i) + ".txt"] = std::string(i, 'x');
    source["big1.bin"] = NoiseBytes(1'200'000, 1);
    source["big2.bin"] = NoiseBytes(900'000, 2);
    testing::WriteTree(drives.Host('d', "src"), source);
    TempDrives::WriteFile(drives.Host('c', "rel/file_id.diz"), kDiz);
    TempDrives::WriteFile(drives.Host('c', "rel/demo.nfo"),
                          "The release notes\r\n\xB0\xB1\xB2\r\n");
    TempDrives::WriteFile(drives.Host('c', "rel/extras/viewer.txt"), "viewer");
    TempDrives::WriteFile(drives.Host('c', "rel/extras/pic.gif"), "GIF89a");
    TempDrives::WriteFile(drives.Host('c', "app/temp/comment.txt"), kComment);
    std::filesystem::create_directories(drives.Host('e', "zips"));

    JobSettings& job = ctx.job;
    job.SourcePath = "d:\\src";
    job.SkipEntries = "d:\\src\\skipme\\*.*\r\nd:\\src\\keep\\drop.txt\r\n";
    job.DizPath = "c:\\rel\\file_id.diz";
    job.DizNumbering = true;
    job.DizColumn = "9";
    job.DizLine = "2";
    job.NfoPath = "c:\\rel\\demo.nfo";
    job.NfoFirstZipOnly = true;
    job.ExtraKind = ExtraKindChoice::Directory;
    job.ExtraPath = "c:\\rel\\extras";
    job.ZipCommentEnabled = true;
    job.ZipCommentPath = "c:\\app\\temp\\comment.txt";
    job.Compression = 0;
    job.ArchiveSize = 1;  // 500,000-byte volumes
    job.SourceSize = 2.2f;
    job.ZipStorageDir = "e:\\zips";
    job.ZipBaseName = "DEMO";
  }

  // The source as the volumes should give it back, skipped entries left out.
  TreeMap Expected() const {
    TreeMap tree;
    for (const auto& [rel, content] : source) {
      if (rel.starts_with("skipme") || rel == "keep/drop.txt") continue;
      tree["src/" + rel] = content;
      for (auto pos = rel.find('/'); pos != std::string::npos; pos = rel.find('/', pos + 1))
        tree["src/" + rel.substr(0, pos)] = kDirMark;
    }
    tree["src"] = kDirMark;
    return tree;
  }

  std::vector<std::string> Zips() const { return testing::FileNames(drives.Host('e', "zips")); }

  // "&Kelvo": the status an unattended run ends with is kept only for one.
  void Kelvo() {
    int status = driver.RunJob();
    if (ui.unattended) ended = status;
  }

  TreeMap source;
  RunDriver driver;
  std::optional<int> ended;
};

}  // namespace

TEST(RunJobEndToEnd, PackagesAWholeRelease) {
  RunFixture app;
  app.Kelvo();

  ASSERT_EQ(app.ctx.view.StatusLine, "Ripping complete") << app.ctx.view.StatusLine;
  const auto zips = app.Zips();
  ASSERT_GE(zips.size(), 3u);
  const size_t count = zips.size();
  std::string volumesDir = app.drives.Host('e', "volumes");
  std::filesystem::create_directories(volumesDir);
  for (size_t i = 0; i < count; ++i) {
    char name[64];
    std::snprintf(name, sizeof name, "DEMO%02zu.zip", i + 1);
    ASSERT_EQ(zips[i], name);
    ZipContent zip = ReadZip(app.drives.Host('e', "zips/" + zips[i]));
    EXPECT_EQ(zip.comment, kComment) << zips[i];
    char stamp[64];
    std::snprintf(stamp, sizeof stamp, "%02zu/%02zu", i + 1, count);
    std::string diz = kDiz + "\r\n";
    diz.replace(diz.find("xx/xx"), 5, stamp);
    EXPECT_EQ(zip.entries.at("file_id.diz"), diz) << zips[i];
    bool first = i == 0;
    EXPECT_EQ(zip.entries.count("demo.nfo"), first ? 1u : 0u);
    EXPECT_EQ(zip.entries.count("viewer.txt"), first ? 1u : 0u);
    EXPECT_EQ(zip.entries.count("pic.gif"), first ? 1u : 0u);
    EXPECT_EQ(zip.entries.size(), first ? 5u : 2u);
    for (const auto& [entry, data] : zip.entries) {
      if (entry.starts_with("DEMO.7z.")) TempDrives::WriteFile(volumesDir + "/" + entry, data);
    }
  }
  ZipContent first = ReadZip(app.drives.Host('e', "zips/DEMO01.zip"));
  EXPECT_EQ(first.entries.at("demo.nfo"),
            "The release notes\r\n\xB0\xB1\xB2\r\n\r\n" + texts::NfoTagLine() + "\r\n");

  // Every zip held its own volume; joined again they give the source.
  EXPECT_EQ(testing::FileNames(volumesDir).size(), count);
  ASSERT_EQ(testing::Unpack(volumesDir + "/DEMO.7z.001", app.drives.Host('e', "out")), 0);
  EXPECT_EQ(ReadTree(app.drives.Host('e', "out")), app.Expected());

  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
  EXPECT_EQ(app.ctx.view.CounterLine,
            NumberText(static_cast<int>(count)) + " of" + NumberText(static_cast<int>(count)));
  EXPECT_EQ(app.ctx.view.CurrentZipLine, "");
  EXPECT_EQ(app.ctx.view.Progress, 100);
  EXPECT_FALSE(app.ctx.view.RunInProgress);
  EXPECT_EQ(app.ctx.run.VolumeCount, 0);
  EXPECT_EQ(app.ctx.run.VolumeNumber, 0);
  EXPECT_EQ(app.ctx.job.SourcePath, "d:\\src");
  EXPECT_TRUE(app.ctx.view.NavigationBarEnabled);
  EXPECT_FALSE(app.ctx.view.BusyPointer);
  EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::Run);
  EXPECT_EQ(app.ctx.view.PanelHeader, " Kelvo!");
  EXPECT_EQ(app.ctx.view.CheckedMenuItem, Panel::Run);
  ASSERT_EQ(app.ui.sounds.size(), 1u);
  EXPECT_TRUE(app.ui.sounds[0].ends_with("/kvo.wav"));
  EXPECT_TRUE(app.ui.messages.empty());
  EXPECT_EQ(TempDrives::ReadFile(app.drives.Host('c', "skip.txt")),
            "d:\\src\\skipme\\*.*\r\nd:\\src\\keep\\drop.txt\r\n\r\n");
}

TEST(RunJobEndToEnd, WithoutZipsTheVolumesStayAndTheNextRunTakesTheNextFolder) {
  RunFixture app;
  app.ctx.job.SaveAsZips = false;
  app.ctx.job.DizPath.clear();
  app.ctx.job.NfoPath.clear();
  app.ctx.job.ZipStorageDir.clear();
  app.Kelvo();
  EXPECT_EQ(app.ctx.view.StatusLine, "Ripping complete\r\rRar's are in c:\\Kelvo001");
  size_t volumes = testing::FileNames(app.drives.Host('c', "Kelvo001")).size();
  EXPECT_GE(volumes, 3u);
  EXPECT_EQ(app.ctx.view.CounterLine, NumberText(static_cast<int>(volumes)) + " Rar's");
  EXPECT_TRUE(app.Zips().empty());

  // The first set is offered for removal, and kept.
  app.ctx.job.Archiver = ArchiverKind::Ace;
  app.ui.messageAnswers.push_back(MessageResult::No);
  app.Kelvo();
  EXPECT_EQ(app.ctx.view.StatusLine, "Ripping complete\r\rAce's are in c:\\Kelvo002");
  EXPECT_EQ(testing::FileNames(app.drives.Host('c', "Kelvo002")).size(), volumes);
}

TEST(RunJobEndToEnd, AnArchiverThatWritesNothingEndsInAborted) {
  RunFixture app;
  app.runner.Programs().Set("wrar", app.drives.Host('e', "no-such-program"));
  app.ctx.batchMode = BatchMode::Plain;
  app.ui.unattended = true;
  app.Kelvo();
  EXPECT_EQ(app.ctx.view.StatusLine, "Aborted");
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
  EXPECT_TRUE(app.ui.sounds.empty());
  EXPECT_EQ(app.ended, kExitArchiverFailed);
}

TEST(RunJobChecks, EachMissingSettingShowsItsPanel) {
  struct Case {
    std::function<void(JobSettings&)> change;
    Panel panel;
    FocusBox focus;
  } cases[] = {
      {[](JobSettings& j) { j.SourcePath.clear(); }, Panel::Source, FocusBox::None},
      {[](JobSettings& j) { j.DizPath.clear(); }, Panel::Diz, FocusBox::None},
      {[](JobSettings& j) { j.DizColumn.clear(); }, Panel::Diz, FocusBox::DizColumn},
      {[](JobSettings& j) { j.DizLine.clear(); }, Panel::Diz, FocusBox::DizLine},
      {[](JobSettings& j) { j.NfoPath.clear(); }, Panel::Nfo, FocusBox::None},
      {[](JobSettings& j) { j.ZipStorageDir.clear(); }, Panel::Zip, FocusBox::None},
      {[](JobSettings& j) { j.ZipBaseName.clear(); }, Panel::Zip, FocusBox::ZipBaseName},
      {[](JobSettings& j) { j.ZipBaseName = "DE MO"; }, Panel::Zip, FocusBox::ZipBaseName},
      {[](JobSettings& j) { j.DizColumn = "30"; }, Panel::Diz, FocusBox::DizColumn},
      {[](JobSettings& j) { j.SourceSize = 500.0f; }, Panel::Run, FocusBox::None},
  };
  for (auto& c : cases) {
    for (BatchMode mode : {BatchMode::None, BatchMode::Plain}) {
      RunFixture app;
      app.ctx.batchMode = mode;
      app.ui.unattended = mode != BatchMode::None;
      c.change(app.ctx.job);
      app.Kelvo();
      EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
      EXPECT_TRUE(app.Zips().empty());
      if (mode == BatchMode::None) {
        EXPECT_EQ(app.ctx.view.VisiblePanel, c.panel);
        EXPECT_EQ(app.ctx.view.Focus, c.focus);
        EXPECT_FALSE(app.ended);
      } else {
        EXPECT_TRUE(app.ui.messages.empty());
        EXPECT_TRUE(app.ended);
        EXPECT_NE(app.ended, kExitComplete);
      }
    }
  }
}

TEST(RunJobChecks, MessagesOfTheChecks) {
  RunFixture space;
  space.ctx.job.ZipBaseName = "A B";
  space.Kelvo();
  ASSERT_EQ(space.ui.messages.size(), 1u);
  EXPECT_EQ(space.ui.messages[0].text, "Spaces aren't allowed in filename");
  EXPECT_EQ(space.ui.messages[0].title, "Kelvo32 error");
  EXPECT_EQ(space.ui.messages[0].icon, MessageIcon::Exclamation);

  RunFixture tooMany;
  tooMany.ctx.job.SourceSize = 500.0f;  // 1,000 volumes of 500,000 bytes
  tooMany.Kelvo();
  ASSERT_EQ(tooMany.ui.messages.size(), 1u);
  EXPECT_EQ(tooMany.ui.messages[0].title, "Kelvo error");

  // Without zips the DIZ, NFO and storage settings do not matter.
  RunFixture noZips;
  noZips.ctx.job.SaveAsZips = false;
  noZips.ctx.job.DizPath.clear();
  noZips.ctx.job.NfoPath.clear();
  noZips.Kelvo();
  EXPECT_TRUE(noZips.ctx.view.StatusLine.starts_with("Ripping complete"));
}

TEST(RunJobChecks, DuplicateZipNameAsksFirst) {
  RunFixture app;
  TempDrives::WriteFile(app.drives.Host('e', "zips/demo.txt"), "not a zip");
  app.ui.messageAnswers.push_back(MessageResult::Cancel);
  app.Kelvo();
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].text, "Duplicate zip name in zip directory\nOverwrite?");
  EXPECT_EQ(app.ui.messages[0].buttons, MessageButtons::OkCancel);
  EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::Run);
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
  EXPECT_EQ(app.Zips(), std::vector<std::string>{"demo.txt"});

  app.ui.messageAnswers.push_back(MessageResult::Ok);
  app.Kelvo();
  EXPECT_EQ(app.ctx.view.StatusLine, "Ripping complete");

  // Batch mode does not ask.
  RunFixture batch;
  batch.ctx.batchMode = BatchMode::Plain;
  batch.ui.unattended = true;
  TempDrives::WriteFile(batch.drives.Host('e', "zips/DEMO01.zip"), "");
  batch.Kelvo();
  EXPECT_TRUE(batch.ui.messages.empty());
}

TEST(RunJobAbort, AbortDuringTheSecondZipKeepsWhatIsDone) {
  RunFixture app;
  app.ctx.job.ZipCommentEnabled = false;
  app.ui.onProcessEvents = [&] {
    if (app.ctx.run.VolumeNumber == 2) app.driver.AbortRun();
  };
  app.Kelvo();
  EXPECT_EQ(app.Zips(), std::vector<std::string>{"DEMO01.zip"});
  ZipContent first = ReadZip(app.drives.Host('e', "zips/DEMO01.zip"));
  EXPECT_EQ(first.entries.size(), 5u);
  EXPECT_EQ(first.entries.at("DEMO.7z.001").size(), 500'000u);
  auto left = testing::FileNames(app.drives.Host('c', "Kelvo001"));
  ASSERT_FALSE(left.empty());
  EXPECT_EQ(left.front(), "DEMO.7z.002");
  EXPECT_EQ(app.ctx.run.VolumeCount, 0);
  EXPECT_EQ(app.ctx.run.VolumeNumber, 0);
  EXPECT_EQ(app.ctx.view.Progress, 0);
  EXPECT_TRUE(app.ctx.view.NavigationBarEnabled);
  EXPECT_EQ(app.ctx.view.StatusLine, "Aborted");
  EXPECT_EQ(app.ctx.view.CurrentZipLine, "");
  EXPECT_TRUE(app.ui.sounds.empty());

  // The same job runs again at once, into the next work folder; the
  // volumes left are offered for removal, and kept.
  app.ui.onProcessEvents = nullptr;
  std::filesystem::remove(app.drives.Host('e', "zips/DEMO01.zip"));
  app.ui.messageAnswers.push_back(MessageResult::No);
  app.Kelvo();
  EXPECT_EQ(app.ctx.view.StatusLine, "Ripping complete");
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo002")));
}

// Enough for 7-Zip at "Maximum!" to take some seconds and report on the way.
void MakeArchiverSlow(RunFixture& app) {
  testing::WriteTree(app.drives.Host('d', "src/slow"), {{"big.bin", NoiseBytes(12'000'000, 3)}});
  app.ctx.job.SourceSize = 14.2f;
  app.ctx.job.Compression = 5;
}

TEST(RunJobArchiverProgress, ReachesAllOnTheRunPanelAndInTheMinimisedTitle) {
  RunFixture app;
  app.ctx.view.WindowTitle = "Kelvo32 - orbit.kvo";
  std::vector<int> seen;
  std::vector<std::string> titles;
  app.ui.onProcessEvents = [&] {
    const ViewState& view = app.ctx.view;
    if (view.TitleProgress < 0) return;
    EXPECT_TRUE(view.WindowMinimised);
    EXPECT_EQ(view.Progress, view.TitleProgress);
    if (seen.empty() || seen.back() != view.Progress) {
      seen.push_back(view.Progress);
      titles.push_back(ShownWindowTitle(view));
    }
  };
  app.Kelvo();
  ASSERT_EQ(app.ctx.view.StatusLine, "Ripping complete");
  ASSERT_FALSE(seen.empty());
  EXPECT_TRUE(std::is_sorted(seen.begin(), seen.end()));
  EXPECT_EQ(seen.back(), 100);
  EXPECT_EQ(titles.back(), "100% Kelvo32 - orbit.kvo");
  // Restored, the title is the job's again and the bar waits for the zips.
  EXPECT_EQ(ShownWindowTitle(app.ctx.view), "Kelvo32 - orbit.kvo");
  EXPECT_EQ(app.ctx.view.TitleProgress, -1);
  // A run with a window writes no progress line.
  EXPECT_TRUE(app.ui.progressReports.empty());

  // Unattended: one line, rewritten as the percentage grows, ended once.
  RunFixture batch;
  MakeArchiverSlow(batch);
  batch.ctx.job.SaveAsZips = false;
  batch.ctx.job.ArchiveSize = 40;
  batch.ctx.batchMode = BatchMode::Plain;
  batch.ui.unattended = true;
  batch.Kelvo();
  ASSERT_EQ(batch.ended, kExitComplete) << batch.ctx.view.StatusLine;
  const auto& lines = batch.ui.progressReports;
  ASSERT_GE(lines.size(), 3u);
  EXPECT_EQ(lines.back(), "<end>");
  EXPECT_EQ(lines[lines.size() - 2], "Archiving 100%");
  EXPECT_EQ(std::count(lines.begin(), lines.end(), "<end>"), 1);
  // A log keeps the first percentage of each tenth; a terminal sees all.
  const std::string passing = " (passing)";
  std::string before;
  int loggedTenth = -1;
  for (size_t i = 0; i + 1 < lines.size(); ++i) {
    const bool milestone = !lines[i].ends_with(passing);
    const std::string text =
        milestone ? lines[i] : lines[i].substr(0, lines[i].size() - passing.size());
    ASSERT_EQ(text.size(), 14u) << text;
    const int tenth = std::stoi(text.substr(10, 3)) / 10;
    EXPECT_EQ(milestone, tenth != loggedTenth) << text;
    if (milestone) loggedTenth = tenth;
    EXPECT_LT(before, text);
    before = text;
  }
}

TEST(RunJobArchiverAbort, AbortAtAThirdLeavesNoVolumeNoFolderAndTheJobAsItWas) {
  RunFixture app;
  MakeArchiverSlow(app);
  const JobSettings before = app.ctx.job;
  int abortedAt = -1;
  std::optional<std::vector<std::string>> leftByArchiver;
  std::chrono::steady_clock::time_point abortTime;
  app.ui.onProcessEvents = [&] {
    if (abortedAt < 0 && app.ctx.view.TitleProgress >= 30) {
      abortedAt = app.ctx.view.TitleProgress;
      abortTime = std::chrono::steady_clock::now();
      app.driver.AbortRun();
    }
    // The first events after the archiver has ended: what it left is
    // still as it left it.
    if (abortedAt >= 0 && app.ctx.view.TitleProgress < 0 && !leftByArchiver)
      leftByArchiver = VolumesIn(app.ctx, "c:\\Kelvo001");
  };
  app.Kelvo();
  ASSERT_GE(abortedAt, 30);
  // 7-Zip really stopped, soon, and the stand-in took its partial set: a
  // finished archiver would have left the whole set.
  ASSERT_TRUE(leftByArchiver);
  EXPECT_EQ(*leftByArchiver, std::vector<std::string>{});
  EXPECT_LT(std::chrono::steady_clock::now() - abortTime, std::chrono::seconds(5));

  EXPECT_EQ(app.ctx.view.StatusLine, "Aborted");
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
  EXPECT_TRUE(app.Zips().empty());
  EXPECT_FALSE(app.ctx.view.WindowMinimised);
  EXPECT_EQ(app.ctx.view.Progress, 0);
  EXPECT_EQ(app.ctx.view.TitleProgress, -1);
  EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::Run);
  EXPECT_TRUE(app.ui.sounds.empty());
  // The settings are the job's own again (the derived volume values are
  // the run's).
  JobSettings after = app.ctx.job;
  after.VolumeBytes = before.VolumeBytes;
  after.ThreeDigitNumbering = before.ThreeDigitNumbering;
  EXPECT_TRUE(after == before) << after.SourcePath;

  // An abort request of a run without a window (a stop) ends it the same way.
  RunFixture batch;
  MakeArchiverSlow(batch);
  batch.ctx.batchMode = BatchMode::Plain;
  batch.ui.unattended = true;
  batch.ui.onProcessEvents = [&] {
    if (batch.ctx.view.TitleProgress >= 10 && !batch.ctx.programExit) batch.driver.ExitFromRun();
  };
  batch.Kelvo();
  EXPECT_EQ(batch.ended, kExitArchiverFailed);
  EXPECT_EQ(batch.ctx.view.StatusLine, "Aborted");
  EXPECT_FALSE(std::filesystem::exists(batch.drives.Host('c', "Kelvo001")));
  EXPECT_EQ(batch.ui.progressReports.back(), "<end>");
}

// Archivers that leave their volumes behind on "&Abort": one that lets the
// stop pass and ends by itself with its set written, one that the stop ends
// before it can clear up.
TEST(RunJobArchiverAbort, VolumesAnArchiverLeftAreRemoved) {
  for (const std::string onStop : {"trap '' TERM", ""}) {
    RunFixture app;
    const std::string work = app.drives.Host('c', "Kelvo001");
    const std::string script = app.drives.Host('c', "leaves_volumes.sh");
    TempDrives::WriteFile(script, "#!/bin/sh\n" + onStop + "\nprintf 1 > '" + work +
                                      "/DEMO.7z.001'\nprintf 2 > '" + work +
                                      "/DEMO.7z.002'\nsleep 2\n");
    std::filesystem::permissions(script, std::filesystem::perms::owner_all);
    app.runner.Programs().Set("wrar", script);
    // "&Abort" once the archiver has written its volumes.
    bool aborted = false;
    app.ui.onProcessEvents = [&] {
      if (!aborted && app.ctx.view.WindowMinimised &&
          VolumesIn(app.ctx, "c:\\Kelvo001").size() == 2) {
        aborted = true;
        app.driver.AbortRun();
      }
    };
    app.Kelvo();
    ASSERT_TRUE(aborted) << onStop;
    EXPECT_EQ(app.ctx.view.StatusLine, "Aborted") << onStop;
    EXPECT_FALSE(std::filesystem::exists(work)) << onStop;
    EXPECT_TRUE(app.Zips().empty()) << onStop;
  }
}

TEST(RunJobErrors, AVanishedNfoEndsTheRunAndSaysWhy) {
  RunFixture app;
  app.ctx.batchMode = BatchMode::Plain;
  app.ui.unattended = true;
  app.ctx.job.NfoFirstZipOnly = false;
  // Gone once zip 1 is being written (its copy of the NFO is made by then).
  app.ui.onProcessEvents = [&] {
    if (app.ctx.view.CurrentZipLine == "DEMO01.zip" && !app.ctx.view.StatusLine.empty()) {
      std::error_code ec;
      std::filesystem::remove(app.drives.Host('c', "rel/demo.nfo"), ec);
    }
  };
  app.Kelvo();
  EXPECT_EQ(app.ended, kExitRunError);
  EXPECT_NE(app.ctx.view.StatusLine.find("demo.nfo"), std::string::npos) << app.ctx.view.StatusLine;
  EXPECT_EQ(app.Zips(), std::vector<std::string>{"DEMO01.zip"});
  EXPECT_EQ(ReadZip(app.drives.Host('e', "zips/DEMO01.zip")).entries.size(), 5u);
  EXPECT_FALSE(testing::FileNames(app.drives.Host('c', "Kelvo001")).empty());
  EXPECT_EQ(app.ctx.job.SourcePath, "d:\\src");
  EXPECT_TRUE(app.ctx.view.NavigationBarEnabled);
}

TEST(RunJobNames, DatedBatchAndThreeDigitSets) {
  RunFixture app;
  app.ctx.batchMode = BatchMode::Dated;
  app.ui.unattended = true;
  app.ctx.job.SourceSize = 200.0f;  // estimated 400 volumes: three digits
  app.ctx.job.ZipBaseName = "DEMO";
  app.ctx.job.DizColumn = "7";  // room for 001/999
  app.Kelvo();
  EXPECT_EQ(app.ended, kExitComplete);
  auto zips = app.Zips();
  ASSERT_GE(zips.size(), 3u);
  EXPECT_EQ(zips[0], "DEMO12798001.zip");
  EXPECT_EQ(zips[2], "DEMO12798003.zip");
  char stamp[64];
  std::snprintf(stamp, sizeof stamp, "003/%03zu", zips.size());
  EXPECT_NE(ReadZip(app.drives.Host('e', "zips/" + zips[2])).entries.at("file_id.diz").find(stamp),
            std::string::npos);
}

TEST(RunJobNames, OneArchiveHasNoDigits) {
  RunFixture app;
  app.ctx.job.ArchiveSize = 0;
  app.ctx.job.ZipBaseName = "ALONGERBASENAME";
  app.Kelvo();
  EXPECT_EQ(app.ctx.view.StatusLine, "Ripping complete");
  EXPECT_EQ(app.Zips(), std::vector<std::string>{"ALONGERBASENAME.zip"});
}

TEST(RunJobHostileNames, NoPathIsEverARedirectionOrASecondArgument) {
  // Each of these would once have written or packed something outside the
  // job's folders; now each is refused before anything is made.
  struct Case {
    std::function<void(JobSettings&)> change;
    Panel panel;
    const char* problem;
  } cases[] = {
      {[](JobSettings& j) { j.ZipBaseName = "a>e:x"; }, Panel::Zip,
       "can't use 'a>e:x': a DOS name can't hold '>'"},
      {[](JobSettings& j) { j.ZipStorageDir = "e:\\zips|x"; }, Panel::Zip,
       "can't use 'e:\\zips|x': a DOS name can't hold '|'"},
      {[](JobSettings& j) { j.SourcePath = "d:\\src\" \"d:\\secret"; }, Panel::Source,
       "can't use 'd:\\src\" \"d:\\secret': a DOS name can't hold '\"'"},
      {[](JobSettings& j) { j.NfoPath = "c:\\rel\\*.nfo"; }, Panel::Nfo,
       "can't use 'c:\\rel\\*.nfo': a DOS name can't hold '*'"},
      {[](JobSettings& j) { j.ZipCommentPath = "c:\\app\\temp\\comment.txt<e:\\x"; }, Panel::Zip,
       "can't use 'c:\\app\\temp\\comment.txt<e:\\x': a DOS name can't hold '<'"},
      {[](JobSettings& j) { j.ZipBaseName = "..\\..\\x"; }, Panel::Zip,
       "can't use '..\\..\\x': a DOS name can't hold '\\'"},
  };
  for (auto& c : cases) {
    for (BatchMode mode : {BatchMode::None, BatchMode::Plain}) {
      RunFixture app;
      app.ctx.batchMode = mode;
      app.ui.unattended = mode != BatchMode::None;
      std::filesystem::create_directories(app.drives.Host('d', "secret"));
      TempDrives::WriteFile(app.drives.Host('d', "secret/s.txt"), "secret");
      c.change(app.ctx.job);
      app.Kelvo();
      EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001"))) << c.problem;
      EXPECT_TRUE(app.Zips().empty());
      EXPECT_FALSE(std::filesystem::exists(app.drives.Host('e', "x")));
      if (mode == BatchMode::None) {
        EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{c.problem});
        EXPECT_EQ(app.ctx.view.VisiblePanel, c.panel) << c.problem;
      } else {
        EXPECT_EQ(app.ui.reports, std::vector<std::string>{c.problem});
        EXPECT_EQ(app.ended, kExitJobIncomplete);
      }
    }
  }
}

TEST(RunJobHostileNames, TheNfoCopyStaysInTheApplicationDirectory) {
  RunFixture app;
  app.ctx.batchMode = BatchMode::Plain;
  app.ui.unattended = true;
  // "/" separates as "\" does: the copy is named "target", in c:\app.
  TempDrives::WriteFile(app.drives.Host('c', "etc/target"), "precious\r\n");
  app.ctx.job.NfoPath = "c:\\rel\\x/../../etc/target";
  app.Kelvo();
  EXPECT_EQ(app.ended, kExitComplete) << app.ctx.view.StatusLine;
  EXPECT_EQ(TempDrives::ReadFile(app.drives.Host('c', "etc/target")), "precious\r\n");
  EXPECT_EQ(app.ctx.run.NfoCopyName, "target");
  EXPECT_TRUE(ReadZip(app.drives.Host('e', "zips/DEMO01.zip")).entries.count("target"));

  // A path that names no file of its own is refused before anything is
  // made, never written through.
  RunFixture dots;
  dots.ctx.batchMode = BatchMode::Plain;
  dots.ui.unattended = true;
  dots.ctx.job.NfoPath = "c:\\rel\\..";
  dots.Kelvo();
  EXPECT_EQ(dots.ended, kExitScriptRejected);
  EXPECT_EQ(dots.ui.reports, std::vector<std::string>{"The nfo 'c:\\rel\\..' is missing"});
  EXPECT_FALSE(std::filesystem::exists(dots.drives.Host('c', "Kelvo001")));
}

TEST(RunJobComment, PathsWithBlanksAndAFailedCommentStep) {
  // A storage directory and a comment file with blanks: every zip has the comment.
  RunFixture blanks;
  std::filesystem::create_directories(blanks.drives.Host('e', "my zips"));
  TempDrives::WriteFile(blanks.drives.Host('c', "app/temp/my comment.txt"), kComment);
  blanks.ctx.job.ZipStorageDir = "e:\\my zips";
  blanks.ctx.job.ZipCommentPath = "c:\\app\\temp\\my comment.txt";
  blanks.Kelvo();
  ASSERT_EQ(blanks.ctx.view.StatusLine, "Ripping complete");
  auto zips = testing::FileNames(blanks.drives.Host('e', "my zips"));
  ASSERT_GE(zips.size(), 3u);
  for (const auto& zip : zips)
    EXPECT_EQ(ReadZip(blanks.drives.Host('e', "my zips/" + zip)).comment, kComment) << zip;

  // A missing comment file is found before the archiver runs.
  RunFixture missing;
  missing.ctx.batchMode = BatchMode::Plain;
  missing.ui.unattended = true;
  missing.ctx.job.ZipCommentPath = "c:\\app\\temp\\gone.txt";
  missing.Kelvo();
  EXPECT_EQ(missing.ended, kExitScriptRejected);
  EXPECT_EQ(missing.ui.reports,
            std::vector<std::string>{"The zip comment 'c:\\app\\temp\\gone.txt' is missing"});
  EXPECT_TRUE(missing.Zips().empty());
  EXPECT_FALSE(std::filesystem::exists(missing.drives.Host('c', "Kelvo001")));

  // One that goes while the zips are made ends the run before the volume
  // goes.
  RunFixture vanished;
  vanished.ctx.batchMode = BatchMode::Plain;
  vanished.ui.unattended = true;
  vanished.ui.onProcessEvents = [&] {
    if (vanished.ctx.run.VolumeCount > 0)
      std::filesystem::remove(vanished.drives.Host('c', "app/temp/comment.txt"));
  };
  vanished.Kelvo();
  EXPECT_EQ(vanished.ended, kExitRunError);
  EXPECT_NE(vanished.ctx.view.StatusLine, "Ripping complete");
  EXPECT_EQ(vanished.ui.reports,
            (std::vector<std::string>{"can't add the comment to 'e:\\zips\\DEMO01.zip': can't open "
                                      "'c:\\app\\temp\\comment.txt': No such file or directory",
                                      "the volumes stay in c:\\Kelvo001 (" +
                                          vanished.drives.Host('c', "Kelvo001") + ")"}));
  EXPECT_EQ(vanished.Zips(), std::vector<std::string>{"DEMO01.zip"});
  EXPECT_EQ(testing::FileNames(vanished.drives.Host('c', "Kelvo001")).front(), "DEMO.7z.001");

  // The zip program fails: its status is the reason.
  RunFixture failing;
  failing.ctx.batchMode = BatchMode::Plain;
  failing.ui.unattended = true;
  std::string record = failing.drives.Host('c', "pkzip.rec");
  failing.runner.Programs().Set("pkzip", std::string(KELVO_TEST_BIN_DIR) + "/argv_recorder");
  ::setenv("KELVO_RECORD", record.c_str(), 1);
  ::setenv("KELVO_EXIT", "1", 1);
  failing.Kelvo();
  ::unsetenv("KELVO_EXIT");
  EXPECT_EQ(failing.ended, kExitRunError);
  EXPECT_EQ(
      failing.ui.reports,
      (std::vector<std::string>{
          "can't add the comment to 'e:\\zips\\DEMO01.zip': pkzip.exe ended with status 1",
          "the volumes stay in c:\\Kelvo001 (" + failing.drives.Host('c', "Kelvo001") + ")"}));

  // With the comment off the zip program is never started.
  RunFixture off;
  std::string offRecord = off.drives.Host('c', "off.rec");
  off.runner.Programs().Set("pkzip", std::string(KELVO_TEST_BIN_DIR) + "/argv_recorder");
  ::setenv("KELVO_RECORD", offRecord.c_str(), 1);
  off.ctx.job.ZipCommentEnabled = false;
  off.Kelvo();
  ::unsetenv("KELVO_RECORD");
  EXPECT_EQ(off.ctx.view.StatusLine, "Ripping complete");
  EXPECT_FALSE(TempDrives::FileExists(offRecord));
  EXPECT_TRUE(TempDrives::FileExists(record));
}

TEST(RunJobExtras, AFileExtraLosesItsReadOnlyBit) {
  RunFixture app;
  std::string extra = app.drives.Host('c', "rel/extras/viewer.txt");
  ::chmod(extra.c_str(), 0444);
  app.ctx.job.ExtraKind = ExtraKindChoice::File;
  app.ctx.job.ExtraPath = "c:\\rel\\extras\\viewer.txt";
  app.Kelvo();
  EXPECT_EQ(app.ctx.view.StatusLine, "Ripping complete");
  EXPECT_NE(std::filesystem::status(extra).permissions() & std::filesystem::perms::owner_write,
            std::filesystem::perms::none);
  EXPECT_EQ(ReadZip(app.drives.Host('e', "zips/DEMO01.zip")).entries.at("viewer.txt"), "viewer");
}

TEST(RunJobAbort, AStaleRequestIsClearedAndAFreshOneStands) {
  RunFixture stale;
  stale.ctx.job.ArchiveSize = 0;
  stale.Kelvo();
  ASSERT_EQ(stale.ctx.view.StatusLine, "Ripping complete");
  stale.driver.AbortRun();  // pressed after the run had ended
  std::filesystem::remove(stale.drives.Host('e', "zips/DEMO.zip"));
  stale.Kelvo();
  EXPECT_EQ(stale.ctx.view.StatusLine, "Ripping complete");

  // "&Abort" taken in the events processed just before the zipping begins.
  RunFixture early;
  early.ctx.batchMode = BatchMode::Plain;
  early.ui.unattended = true;
  early.ui.onProcessEvents = [&] {
    if (early.ctx.view.BusyPointer && early.ctx.run.VolumeNumber == 0) early.driver.AbortRun();
  };
  early.Kelvo();
  EXPECT_EQ(early.ended, kExitZipFailed);
  EXPECT_TRUE(early.Zips().empty());
}

TEST(RunJobChecks, NoCompressionLevelIsRefused) {
  RunFixture app;
  app.ctx.job.Compression = -1;
  app.Kelvo();
  EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{"Choose a compression level"});
  EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::Zip);
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
}

// Unattended runs: every row of the README's status table.
struct UnattendedFixture : RunFixture {
  UnattendedFixture() {
    ctx.batchMode = BatchMode::Plain;
    ui.unattended = true;
    ctx.ScriptPath = "c:\\job.kvo";
  }
  int Run() {
    TempDrives::WriteFile(drives.Host('c', "job.kvo"), ScriptText(ctx.job, clock.Now()));
    return shell::RunUnattended(ctx, driver);
  }
  int RunScript(const std::string& text) {
    TempDrives::WriteFile(drives.Host('c', "job.kvo"), text);
    return shell::RunUnattended(ctx, driver);
  }
  bool MadeNothing() const {
    return Zips().empty() && !std::filesystem::exists(drives.Host('c', "Kelvo001"));
  }
};

namespace {

// A comment program that changes every volume still in the work folder,
// between the zip being written and its check.
void VolumesChangedByTheCommentStep(RunFixture& app) {
  std::string script = app.drives.Host('c', "grow.sh");
  TempDrives::WriteFile(script, "#!/bin/sh\ncat >/dev/null\nfor f in '" +
                                    app.drives.Host('c', "Kelvo001") +
                                    "'/*; do printf x >> \"$f\"; done\n");
  std::filesystem::permissions(script, std::filesystem::perms::owner_all);
  app.runner.Programs().Set("pkzip", script);
}

std::vector<std::string> ZipsOnly(const std::vector<std::string>& names) {
  std::vector<std::string> zips;
  for (const auto& name : names)
    if (name.ends_with(".zip")) zips.push_back(name);
  return zips;
}

}  // namespace

TEST(RunJobCheck, AVolumeChangedBeforeItsZipIsCheckedStaysAndTheRunFails) {
  const std::string reason =
      "can't check 'e:\\zips\\DEMO01.zip': DEMO.7z.001 differs from the file on disk "
      "(500000 bytes in the zip, 500001 on disk)";
  RunFixture batch;
  batch.ctx.batchMode = BatchMode::Plain;
  batch.ui.unattended = true;
  batch.ctx.prefs.WriteSfv = true;
  VolumesChangedByTheCommentStep(batch);
  batch.Kelvo();
  EXPECT_EQ(batch.ended, kExitZipFailed);
  EXPECT_EQ(batch.ui.reports,
            (std::vector<std::string>{reason, "the volumes stay in c:\\Kelvo001 (" +
                                                  batch.drives.Host('c', "Kelvo001") + ")"}));
  EXPECT_EQ(batch.Zips(), std::vector<std::string>{"DEMO01.zip"});  // and no SFV
  auto kept = testing::FileNames(batch.drives.Host('c', "Kelvo001"));
  ASSERT_FALSE(kept.empty());
  EXPECT_EQ(kept.front(), "DEMO.7z.001");

  // In the window the reason is the run panel's status line.
  RunFixture window;
  VolumesChangedByTheCommentStep(window);
  window.Kelvo();
  EXPECT_EQ(window.ctx.view.StatusLine, reason);
  EXPECT_TRUE(window.ctx.view.NavigationBarEnabled);
  EXPECT_FALSE(window.ctx.view.BusyPointer);
  EXPECT_EQ(testing::FileNames(window.drives.Host('c', "Kelvo001")).front(), "DEMO.7z.001");
}

TEST(RunJobSfv, TheSetsSfvHoldsEveryZipWithItsCrc) {
  RunFixture app;
  app.ctx.prefs.WriteSfv = true;
  app.Kelvo();
  ASSERT_EQ(app.ctx.view.StatusLine, "Ripping complete");
  const std::vector<std::string> zips = ZipsOnly(app.Zips());
  ASSERT_GE(zips.size(), 3u);
  const std::string zipDir = app.drives.Host('e', "zips");
  const std::string sfv = TempDrives::ReadFile(zipDir + "/DEMO.sfv");

  // Every line ends in CR LF; comments first, then "name CRC" per zip.
  std::vector<std::string> lines;
  for (std::size_t at = 0; at < sfv.size();) {
    std::size_t end = sfv.find("\r\n", at);
    ASSERT_NE(end, std::string::npos) << "the last line has no CR LF";
    lines.push_back(sfv.substr(at, end - at));
    at = end + 2;
  }
  EXPECT_EQ(sfv.find('\n'), sfv.find("\r\n") + 1);
  ASSERT_EQ(lines.size(), zips.size() + 2);
  EXPECT_EQ(lines[0], "; Generated by Kelvo32 on 1998-12-07 at 21:05.09");
  EXPECT_EQ(lines[1], ";");

  // The CRCs as Python's zlib computes them from the zips on disk.
  std::string script = app.drives.Host('c', "crc.py");
  TempDrives::WriteFile(script,
                        "import os, sys, zlib\n"
                        "for p in sys.argv[1:]:\n"
                        "    data = open(p, 'rb').read()\n"
                        "    print('%s %08X' % (os.path.basename(p), zlib.crc32(data)))\n");
  std::string command = "python3 " + testing::Quote(script);
  for (const auto& zip : zips) command += " " + testing::Quote(zipDir + "/" + zip);
  testing::HostRun python = testing::RunHost(command);
  ASSERT_EQ(python.status, 0) << python.output;
  std::string expected;
  for (std::size_t i = 2; i < lines.size(); ++i) expected += lines[i] + "\n";
  EXPECT_EQ(python.output, expected);

  // A run that fails writes none.
  RunFixture failed;
  failed.ctx.prefs.WriteSfv = true;
  failed.ctx.job.NfoPath = "c:\\rel\\gone.nfo";
  failed.Kelvo();
  EXPECT_NE(failed.ctx.view.StatusLine, "Ripping complete");
  EXPECT_FALSE(TempDrives::FileExists(failed.drives.Host('e', "zips/DEMO.sfv")));
  // Nor one without the box.
  RunFixture off;
  off.Kelvo();
  ASSERT_EQ(off.ctx.view.StatusLine, "Ripping complete");
  EXPECT_EQ(ZipsOnly(off.Zips()), off.Zips());
}

TEST(RunJobSfv, AnSfvCheckerAcceptsTheSetAndNoticesAChangedZip) {
  if (testing::RunHost("command -v cksfv").status != 0)
    GTEST_SKIP() << "cksfv is not installed (scripts/install-deps.sh installs it)";
  RunFixture app;
  app.ctx.prefs.WriteSfv = true;
  app.Kelvo();
  ASSERT_EQ(app.ctx.view.StatusLine, "Ripping complete");
  const std::string zipDir = testing::Quote(app.drives.Host('e', "zips"));
  testing::HostRun good = testing::RunHost("cd " + zipDir + " && cksfv -q -f DEMO.sfv");
  EXPECT_EQ(good.status, 0) << good.output;
  std::string second = app.drives.Host('e', "zips/DEMO02.zip");
  std::string bytes = TempDrives::ReadFile(second);
  bytes[bytes.size() / 2] ^= 1;
  TempDrives::WriteFile(second, bytes);
  testing::HostRun bad = testing::RunHost("cd " + zipDir + " && cksfv -q -f DEMO.sfv");
  EXPECT_NE(bad.status, 0) << bad.output;
  EXPECT_NE(bad.output.find("DEMO02.zip"), std::string::npos) << bad.output;
}

// "NFO p&icture": the NFO drawn beside the zips, only when asked and only
// for a run that made them; a picture that can't be drawn fails the run.
TEST(RunJobNfoPicture, TheNfoIsDrawnBesideTheZips) {
  RunFixture app;
  app.ctx.prefs.WriteNfoPicture = true;
  app.Kelvo();
  ASSERT_EQ(app.ctx.view.StatusLine, "Ripping complete");
  const std::string picture = app.drives.Host('e', "zips/DEMO-nfo.png");
  ASSERT_TRUE(TempDrives::FileExists(picture));
  // The two lines of demo.nfo, 80 columns of the 8x16 font.
  EXPECT_EQ(testing::PngSize(TempDrives::ReadFile(picture)),
            (std::pair<std::uint32_t, std::uint32_t>(640, 32)));

  RunFixture off;
  off.Kelvo();
  ASSERT_EQ(off.ctx.view.StatusLine, "Ripping complete");
  EXPECT_FALSE(TempDrives::FileExists(off.drives.Host('e', "zips/DEMO-nfo.png")));

  // A job without zips needs no NFO, and gets no picture.
  RunFixture noZips;
  noZips.ctx.prefs.WriteNfoPicture = true;
  noZips.ctx.job.SaveAsZips = false;
  noZips.ctx.job.NfoPath.clear();
  noZips.Kelvo();
  ASSERT_TRUE(noZips.ctx.view.StatusLine.starts_with("Ripping complete"));
  EXPECT_FALSE(TempDrives::FileExists(noZips.drives.Host('e', "zips/DEMO-nfo.png")));

  RunFixture tall;
  tall.ctx.prefs.WriteNfoPicture = true;
  TempDrives::WriteFile(tall.drives.Host('c', "rel/demo.nfo"), std::string(300000, '\n'));
  tall.Kelvo();
  EXPECT_NE(tall.ctx.view.StatusLine.find("too large for a picture"), std::string::npos)
      << tall.ctx.view.StatusLine;
  EXPECT_FALSE(TempDrives::FileExists(tall.drives.Host('e', "zips/DEMO-nfo.png")));
}

TEST(UnattendedRun, StatusTable) {
  {
    UnattendedFixture app;  // 0: every volume made and zipped
    EXPECT_EQ(app.Run(), kExitComplete);
    EXPECT_GE(app.Zips().size(), 3u);
    EXPECT_TRUE(app.ui.reports.empty());
    EXPECT_TRUE(app.ui.messages.empty());
  }
  {
    UnattendedFixture app;  // 2: the script can't be read
    app.ctx.ScriptPath = "c:\\missing.kvo";
    EXPECT_EQ(shell::RunUnattended(app.ctx, app.driver), kExitScriptRejected);
    EXPECT_EQ(app.ui.reports,
              std::vector<std::string>{"can't read 'c:\\missing.kvo': no such file"});
  }
  {
    // 2: a script broken at or after " Size:" is never packaged with the
    // values read before.
    for (const char* bad : {" Size: 200", " Solid: 6"}) {
      UnattendedFixture app;
      std::string text = ScriptText(app.ctx.job, app.clock.Now());
      std::string key = std::string(bad).substr(0, std::string(bad).find(':') + 1);
      auto at = text.find(key);
      text.replace(at, text.find("\r\n", at) - at, bad);
      EXPECT_EQ(app.RunScript(text), kExitScriptRejected) << bad;
      EXPECT_TRUE(app.MadeNothing());
      ASSERT_EQ(app.ui.reports.size(), 1u);
      EXPECT_NE(app.ui.reports[0].find(" is not "), std::string::npos) << app.ui.reports[0];
    }
    UnattendedFixture cut;
    std::string text = ScriptText(cut.ctx.job, cut.clock.Now());
    EXPECT_EQ(cut.RunScript(text.substr(0, text.rfind(" Extra:"))), kExitScriptRejected);
    EXPECT_TRUE(cut.MadeNothing());
  }
  {
    UnattendedFixture app;  // 2: a file the script names is missing
    std::filesystem::remove(app.drives.Host('c', "rel/demo.nfo"));
    EXPECT_EQ(app.Run(), kExitScriptRejected);
    EXPECT_EQ(app.ui.reports, std::vector<std::string>{"The nfo 'c:\\rel\\demo.nfo' is missing"});
    EXPECT_TRUE(app.MadeNothing());
  }
  {
    UnattendedFixture app;  // 3: a base name with a space
    app.ctx.job.ZipBaseName = "DE MO";
    EXPECT_EQ(app.Run(), kExitJobIncomplete);
    EXPECT_TRUE(app.MadeNothing());
  }
  {
    UnattendedFixture app;  // 3: a DIZ position that does not fit
    app.ctx.job.DizColumn = "30";
    EXPECT_EQ(app.Run(), kExitJobIncomplete);
    EXPECT_EQ(app.ui.reports, std::vector<std::string>{"Column number too high"});
    EXPECT_TRUE(app.MadeNothing());
  }
  {
    UnattendedFixture app;  // 4: more than 999 volumes (a sparse source of 600 MB)
    std::filesystem::resize_file(app.drives.Host('d', "src/big1.bin"), 600'000'000);
    EXPECT_EQ(app.Run(), kExitTooManyVolumes);
    EXPECT_TRUE(app.MadeNothing());
  }
  {
    UnattendedFixture app;  // 5: the archiver made no volume, and says why
    app.runner.Programs().Set("wrar", app.drives.Host('e', "no-such-program"));
    EXPECT_EQ(app.Run(), kExitArchiverFailed);
    EXPECT_TRUE(app.MadeNothing());
    ASSERT_EQ(app.ui.reports.size(), 1u);
    EXPECT_TRUE(app.ui.reports[0].starts_with("can't start wrar.exe")) << app.ui.reports[0];
  }
  {
    UnattendedFixture app;  // 5: it ran and left nothing
    app.runner.Programs().Set("wrar", "/bin/true");
    EXPECT_EQ(app.Run(), kExitArchiverFailed);
    EXPECT_EQ(app.ui.reports,
              std::vector<std::string>{"the archiver made no volume in "
                                       "c:\\Kelvo001 (wrar.exe ended with status 0)"});
  }
  {
    UnattendedFixture app;  // 2: a file the check itself writes is a folder
    std::filesystem::create_directories(app.drives.Host('c', "app/text.tmp"));
    EXPECT_EQ(app.Run(), kExitScriptRejected);
    EXPECT_TRUE(app.MadeNothing());
    ASSERT_EQ(app.ui.reports.size(), 1u);
    EXPECT_TRUE(app.ui.reports[0].starts_with("can't create 'c:\\app\\text.tmp'"))
        << app.ui.reports[0];
  }
  {
    UnattendedFixture app;  // 6: a zip could not be written
    TempDrives::WriteFile(app.drives.Host('e', "zips/DEMO02.zip"), "not a zip");
    EXPECT_EQ(app.Run(), kExitZipFailed);
    ASSERT_EQ(app.ui.reports.size(), 2u);
    EXPECT_NE(app.ui.reports[0].find("DEMO02"), std::string::npos) << app.ui.reports[0];
    EXPECT_EQ(app.ui.reports[1],
              "the volumes stay in c:\\Kelvo001 (" + app.drives.Host('c', "Kelvo001") + ")");
    EXPECT_EQ(TempDrives::ReadFile(app.drives.Host('e', "zips/DEMO02.zip")), "not a zip");
  }
  {
    UnattendedFixture app;  // 6: "E&xit" while the zips are made
    app.ui.onProcessEvents = [&] {
      if (app.ctx.run.VolumeNumber == 2) app.driver.ExitFromRun();
    };
    EXPECT_EQ(app.Run(), kExitZipFailed);
    EXPECT_EQ(app.Zips(), std::vector<std::string>{"DEMO01.zip"});
  }
  {
    UnattendedFixture app;  // 7: a file operation failed
    app.ui.onProcessEvents = [&] {
      if (app.ctx.run.VolumeCount > 0)
        std::filesystem::remove(app.drives.Host('c', "app/temp/comment.txt"));
    };
    EXPECT_EQ(app.Run(), kExitRunError);
    ASSERT_EQ(app.ui.reports.size(), 2u);
    EXPECT_TRUE(app.ui.reports[0].starts_with("can't add the comment to")) << app.ui.reports[0];
    EXPECT_TRUE(app.ui.reports[1].starts_with("the volumes stay in c:\\Kelvo001 ("))
        << app.ui.reports[1];
  }
}

TEST(UnattendedRun, SigtermDiscardsTheZipBeingWrittenAndEndsWithItsOwnStatus) {
  host::InstallStopHandlers();
  for (int stopAt : {1, 2, 3}) {
    UnattendedFixture app;
    app.ui.onProcessEvents = [&] {
      // While a zip is being written: the component is adding a file.
      if (app.ctx.run.VolumeNumber == stopAt && !app.ctx.view.StatusLine.empty() &&
          !host::StopSignal())
        std::raise(SIGTERM);
    };
    EXPECT_EQ(app.Run(), 128 + SIGTERM) << stopAt;
    host::ClearStopSignal();
    ASSERT_FALSE(app.ui.reports.empty());
    EXPECT_TRUE(app.ui.reports.back().starts_with("stopped by SIGTERM")) << app.ui.reports.back();
    // No temporary zip stays, and every zip that stays has its comment.
    auto names = testing::FileNames(app.drives.Host('e', "zips"));
    EXPECT_EQ(names.size(), static_cast<size_t>(stopAt - 1)) << stopAt;
    for (const auto& name : names) {
      EXPECT_TRUE(name.ends_with(".zip")) << name;
      EXPECT_EQ(ReadZip(app.drives.Host('e', "zips/" + name)).comment, kComment) << name;
    }
  }
}

using testing::HeldElsewhere;

TEST(RunJobSharedFiles, ASecondRunWaitsForTheExchangeFilesAndTheStorageAndSaysWhy) {
  for (char drive : {'c', 'e'}) {
    RunFixture app;
    app.ctx.batchMode = BatchMode::Plain;
    app.ui.unattended = true;
    const std::string held = drive == 'c' ? app.drives.Host('c') : app.drives.Host('e', "zips");
    HeldElsewhere other(held);
    // The other run ends a while after this one starts to wait.
    bool released = false;
    app.ui.onProcessEvents = [&] {
      if (!released && !app.ui.reports.empty()) {
        released = true;
        other.Release();
      }
    };
    app.Kelvo();
    EXPECT_TRUE(released) << drive;
    EXPECT_EQ(app.ended, kExitComplete) << drive;
    ASSERT_FALSE(app.ui.reports.empty());
    EXPECT_EQ(app.ui.reports[0], drive == 'c' ? std::string(kWaitingForExchangeFiles)
                                              : WaitingForZipStorageText("e:\\zips"));
    EXPECT_GE(app.Zips().size(), 3u);
  }
  // In the window the run panel says it; an "&Abort" while waiting ends the
  // run before anything is made.
  RunFixture app;
  HeldElsewhere other(app.drives.Host('c'));
  app.ui.onProcessEvents = [&] {
    if (app.ctx.view.StatusLine == kWaitingForExchangeFiles) app.driver.RequestAbort();
  };
  app.Kelvo();
  EXPECT_EQ(app.ctx.view.StatusLine, "Aborted");
  EXPECT_TRUE(app.Zips().empty());
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
}

TEST(RunJobSharedFiles, ExchangeFilesAreNeverWrittenThroughALink) {
  RunFixture app;
  app.ctx.batchMode = BatchMode::Plain;
  app.ui.unattended = true;
  const std::string victim = app.drives.Host('e', "victim.txt");
  TempDrives::WriteFile(victim, "precious");
  for (const char* name : {"skip.txt", "~kelvo.diz", "size.txt"})
    std::filesystem::create_symlink(victim, app.drives.Host('c', name));
  MeasureSource(app.ctx, true);
  app.Kelvo();
  EXPECT_EQ(app.ended, kExitComplete) << app.ctx.view.StatusLine;
  EXPECT_EQ(TempDrives::ReadFile(victim), "precious");
  EXPECT_FALSE(std::filesystem::is_symlink(app.drives.Host('c', "skip.txt")));
  EXPECT_EQ(TempDrives::ReadFile(app.drives.Host('c', "skip.txt")),
            app.ctx.job.SkipEntries + "\r\n");
}

TEST(RunJobHostileNames, AnNfoNamedLikeAProgramFileLeavesTheProgramAlone) {
  for (const std::string name : {"wrar", "kelvo32", "Kelvo32.ini", "kvo.wav", "file_id.diz"}) {
    RunFixture app;
    app.ctx.batchMode = BatchMode::Plain;
    app.ui.unattended = true;
    TempDrives::WriteFile(app.drives.Host('c', "app/" + name), "program file");
    TempDrives::WriteFile(app.drives.Host('c', "rel/" + name), "the notes\r\n");
    app.ctx.job.NfoPath = "c:\\rel\\" + name;
    app.Kelvo();
    EXPECT_EQ(TempDrives::ReadFile(app.drives.Host('c', "app/" + name)), "program file") << name;
    if (name == "file_id.diz") {
      // Beside the DIZ it would replace it in every zip.
      EXPECT_EQ(app.ended, kExitJobIncomplete);
      EXPECT_EQ(app.ui.reports, std::vector<std::string>{"The nfo can't be named file_id.diz"});
      EXPECT_TRUE(app.Zips().empty());
      continue;
    }
    EXPECT_EQ(app.ended, kExitComplete) << name << app.ctx.view.StatusLine;
    auto entries = ReadZip(app.drives.Host('e', "zips/DEMO01.zip")).entries;
    EXPECT_TRUE(entries.count(name)) << name;
    EXPECT_EQ(entries["file_id.diz"].substr(0, 5), kDiz.substr(0, 5)) << name;
  }
}

TEST(RunJobExtras, ALinkOutOfTheExtraDirectoryIsLeftOutAndSaid) {
  RunFixture app;
  app.ctx.batchMode = BatchMode::Plain;
  app.ui.unattended = true;
  TempDrives::WriteFile(app.drives.Host('e', "secret/shadow"), "root:x");
  std::filesystem::create_symlink(app.drives.Host('e', "secret/shadow"),
                                  app.drives.Host('c', "rel/extras/shadow"));
  // A link to a file of the directory itself is as good as the file.
  std::filesystem::create_symlink("viewer.txt", app.drives.Host('c', "rel/extras/readme.txt"));
  app.Kelvo();
  EXPECT_EQ(app.ended, kExitComplete) << app.ctx.view.StatusLine;
  auto entries = ReadZip(app.drives.Host('e', "zips/DEMO01.zip")).entries;
  EXPECT_FALSE(entries.count("shadow"));
  EXPECT_EQ(entries["readme.txt"], "viewer");
  EXPECT_EQ(app.ui.reports, std::vector<std::string>{"warning: left out c:\\rel\\extras\\shadow: a "
                                                     "link to a file outside c:\\rel\\extras"});
}

TEST(RunJobSource, DevicesFifosAndSocketsInTheSourceAreNamedInAWarning) {
  RunFixture app;
  ASSERT_EQ(::mkfifo(app.drives.Host('d', "src/keep/pipe").c_str(), 0600), 0);
  app.Kelvo();
  EXPECT_EQ(app.ctx.view.StatusLine, "Ripping complete");
  // The window tells once, after the run.
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].text,
            "1 file of the source is no ordinary file and goes into the set as an empty file:"
            "\rd:\\src\\keep\\pipe (a FIFO)");
}

// A stop noted while the archiver works, and one noted just after it ended
// by itself with the whole set written: neither leaves a volume, and the run
// panel says the run was stopped, not aborted.
TEST(RunJobArchiverAbort, ASignalWhileOrJustAfterArchivingLeavesNoVolumeAndSaysStopped) {
  host::InstallStopHandlers();
  for (bool whileArchiving : {true, false}) {
    UnattendedFixture app;
    if (whileArchiving) MakeArchiverSlow(app);
    bool minimised = false;
    int stoppedAt = -1;
    std::vector<std::string> leftAtTheStop;
    app.ui.onProcessEvents = [&] {
      const ViewState& view = app.ctx.view;
      if (host::StopSignal()) return;
      if (whileArchiving ? view.TitleProgress >= 30 : minimised && !view.WindowMinimised) {
        stoppedAt = view.TitleProgress;
        leftAtTheStop = testing::FileNames(app.drives.Host('c', "Kelvo001"));
        std::raise(SIGTERM);
      }
      minimised = minimised || view.WindowMinimised;
    };
    const int status = app.Run();
    host::ClearStopSignal();
    EXPECT_EQ(status, 128 + SIGTERM) << whileArchiving;
    if (whileArchiving) {
      EXPECT_GE(stoppedAt, 30);
    } else {
      // The archiver had ended and left its whole set.
      EXPECT_EQ(stoppedAt, -1);
      EXPECT_GE(leftAtTheStop.size(), 3u);
    }
    EXPECT_EQ(app.ctx.view.StatusLine, "Stopped") << whileArchiving;
    EXPECT_EQ(app.ctx.view.VisiblePanel, Panel::Run) << whileArchiving;
    EXPECT_FALSE(app.ctx.view.WindowMinimised) << whileArchiving;
    EXPECT_TRUE(app.MadeNothing()) << whileArchiving;
  }
}

namespace {

std::vector<std::string> RecoveryFiles(const RunFixture& app) {
  std::vector<std::string> files;
  for (const auto& name : app.Zips())
    if (name.ends_with(".par2")) files.push_back(name);
  return files;
}

// A PATH where the stand-ins find 7-Zip but no par2.
struct PathWithoutPar2 {
  explicit PathWithoutPar2(const TempDrives& drives) : dir(drives.Host('c', "bin")) {
    std::filesystem::create_directories(dir);
    const std::string sevenZip = testing::RunHost("command -v 7zz").output;
    std::filesystem::create_symlink(sevenZip.substr(0, sevenZip.find('\n')), dir + "/7zz");
    old = std::getenv("PATH");
    ::setenv("PATH", dir.c_str(), 1);
  }
  ~PathWithoutPar2() { ::setenv("PATH", old.c_str(), 1); }
  std::string dir, old;
};

}  // namespace

TEST(RunJobRecovery, TheSetVerifiesAndIsRepairedUpToItsRedundancy) {
  RunFixture app;
  app.ctx.prefs.WriteRecovery = true;
  app.ctx.prefs.RecoveryPercent = 50;
  app.ctx.prefs.WriteSfv = true;
  // An earlier set's recovery file of the same name is no part of this one.
  TempDrives::WriteFile(app.drives.Host('e', "zips/DEMO.vol99+01.par2"), "old");
  app.ui.messageAnswers.push_back(MessageResult::Ok);  // "Duplicate zip name ... Overwrite?"
  app.Kelvo();
  ASSERT_EQ(app.ctx.view.StatusLine, "Ripping complete");
  EXPECT_EQ(app.ctx.view.Progress, 100);
  const std::vector<std::string> zips = ZipsOnly(app.Zips());
  ASSERT_GE(zips.size(), 3u);
  const std::vector<std::string> recovery = RecoveryFiles(app);
  ASSERT_GE(recovery.size(), 2u);
  EXPECT_EQ(recovery.front(), "DEMO.par2");
  EXPECT_EQ(std::count(recovery.begin(), recovery.end(), "DEMO.vol99+01.par2"), 0);
  // Each recovery file goes where a zip goes.
  std::uintmax_t largest = 0;
  for (const auto& zip : zips)
    largest = std::max(largest, std::filesystem::file_size(app.drives.Host('e', "zips/" + zip)));
  for (const auto& file : recovery)
    EXPECT_LE(std::filesystem::file_size(app.drives.Host('e', "zips/" + file)), largest) << file;

  const std::string dir = testing::Quote(app.drives.Host('e', "zips"));
  testing::HostRun verify = testing::RunHost("cd " + dir + " && par2 verify -q -q DEMO.par2");
  EXPECT_EQ(verify.status, 0) << verify.output;
  // One zip changed and another gone: half the set's size in recovery data
  // brings both back byte for byte.
  const std::string first = TempDrives::ReadFile(app.drives.Host('e', "zips/DEMO01.zip"));
  const std::string second = TempDrives::ReadFile(app.drives.Host('e', "zips/DEMO02.zip"));
  std::string changed = first;
  for (std::size_t at = 1000; at < 1100; ++at) changed[at] = static_cast<char>(~changed[at]);
  TempDrives::WriteFile(app.drives.Host('e', "zips/DEMO01.zip"), changed);
  std::filesystem::remove(app.drives.Host('e', "zips/DEMO02.zip"));
  testing::HostRun repair = testing::RunHost("cd " + dir + " && par2 repair -q -q DEMO.par2");
  EXPECT_EQ(repair.status, 0) << repair.output;
  EXPECT_EQ(TempDrives::ReadFile(app.drives.Host('e', "zips/DEMO01.zip")), first);
  EXPECT_EQ(TempDrives::ReadFile(app.drives.Host('e', "zips/DEMO02.zip")), second);
}

TEST(RunJobRecovery, AnAbortInTheRecoveryStepLeavesTheZipsAndNoRecoveryFile) {
  UnattendedFixture app;
  app.ctx.prefs.WriteRecovery = true;
  app.ctx.prefs.RecoveryPercent = 100;
  bool sawProgress = false;
  app.ui.onProcessEvents = [&app, &sawProgress] {
    if (app.ctx.view.StatusLine != "Making recovery files") return;
    EXPECT_EQ(app.ctx.view.CurrentZipLine, "DEMO.par2");
    sawProgress = true;
    app.driver.AbortRun();
  };
  EXPECT_EQ(app.Run(), kExitZipFailed);
  EXPECT_TRUE(sawProgress);
  EXPECT_EQ(app.ctx.view.StatusLine, "Aborted");
  EXPECT_EQ(app.ctx.view.RunEnding, RunEnd::Aborted);
  EXPECT_TRUE(RecoveryFiles(app).empty());
  EXPECT_EQ(ZipsOnly(app.Zips()).size(), 5u);
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "Kelvo001")));
}

TEST(RunJobRecovery, WithoutPar2TheChoiceIsGreyedAndAFailedStepEndsWithItsReason) {
  UnattendedFixture app;
  app.ctx.prefs.WriteRecovery = true;
  {
    PathWithoutPar2 path(app.drives);
    EXPECT_EQ(RecoveryToolProblem(app.runner),
              "par2 is not installed: the recovery files need Debian's package par2");
    // par2 gone after the start: the step fails, the zips stay.
    EXPECT_EQ(app.Run(), kExitRecoveryFailed);
  }
  EXPECT_EQ(app.ctx.view.StatusLine,
            "can't make 'e:\\zips\\DEMO.par2': par2 ended with status 127");
  EXPECT_EQ(app.ctx.view.RunEnding, RunEnd::Failed);
  EXPECT_TRUE(app.ctx.view.NavigationBarEnabled);
  EXPECT_TRUE(RecoveryFiles(app).empty());
  EXPECT_EQ(ZipsOnly(app.Zips()).size(), 5u);
  EXPECT_EQ(RecoveryToolProblem(app.runner), "");

  // Known missing at the start: the run says so and makes the set without.
  UnattendedFixture noted;
  noted.ctx.prefs.WriteRecovery = true;
  noted.ctx.view.RecoveryUnavailable = "par2 is not installed";
  EXPECT_FALSE(RecoveryChosen(noted.ctx));
  EXPECT_EQ(noted.Run(), kExitComplete);
  EXPECT_TRUE(RecoveryFiles(noted).empty());
  EXPECT_EQ(std::count(noted.ui.reports.begin(), noted.ui.reports.end(),
                       "warning: par2 is not installed: the set gets no recovery files"),
            1);
}

}  // namespace kelvo
