#include "run/leftovers.h"

#include <gtest/gtest.h>

#include <cstdio>
#include <filesystem>
#include <string>
#include <vector>

#include "core/exit_status.h"
#include "core/unattended_ui.h"
#include "host/directory_lock.h"
#include "run/run_driver.h"
#include "support/held_elsewhere.h"
#include "support/temp_drives.h"
#include "tools/file_tree.h"

namespace kelvo {

using testing::HeldElsewhere;
using testing::TempDrives;
using testing::TestApp;

namespace {

namespace fs = std::filesystem;

std::vector<std::string> Paths(const std::vector<Leftover>& leftovers) {
  std::vector<std::string> paths;
  for (const auto& leftover : leftovers) paths.push_back(leftover.dosPath);
  return paths;
}

// A release of 1.3 MB in 500,000-byte volumes (three), zipped into e:\zips
// as DEMO.
void SetUpJob(TempDrives& drives, JobSettings& job) {
  testing::WriteTree(drives.Host('d', "src"), {{"readme.txt", "read me\r\n"},
                                               {"data.bin", testing::NoiseBytes(1'300'000, 4)}});
  TempDrives::WriteFile(drives.Host('c', "rel/file_id.diz"), "DEMO RELEASE\r\n");
  TempDrives::WriteFile(drives.Host('c', "rel/demo.nfo"), "notes\r\n");
  fs::create_directories(drives.Host('e', "zips"));
  job.SourcePath = "d:\\src";
  job.SourceSize = 1.3f;
  job.DizPath = "c:\\rel\\file_id.diz";
  job.NfoPath = "c:\\rel\\demo.nfo";
  job.ZipStorageDir = "e:\\zips";
  job.ZipBaseName = "DEMO";
  job.Compression = 0;
  job.ArchiveSize = 1;
}

struct RunApp : TestApp {
  RunApp() : driver(ctx) { SetUpJob(drives, ctx.job); }
  // A work folder as a killed run leaves it: volumes of `bytes` each.
  void LeaveFolder(const std::string& name, std::vector<std::size_t> sizes) {
    fs::create_directories(drives.Host('c', name));
    for (std::size_t i = 0; i < sizes.size(); ++i)
      TempDrives::WriteFile(drives.Host('c', name + "/DEMO.7z.00" + std::to_string(i + 1)),
                            std::string(sizes[i], 'v'));
  }
  std::vector<std::string> Zips() const { return testing::FileNames(drives.Host('e', "zips")); }
  RunDriver driver;
};

// The lines an UnattendedUi wrote to its stream.
std::vector<std::string> Lines(std::FILE* stream) {
  std::rewind(stream);
  std::vector<std::string> lines;
  char buffer[4096];
  while (std::fgets(buffer, sizeof buffer, stream)) {
    std::string line = buffer;
    if (!line.empty() && line.back() == '\n') line.pop_back();
    lines.push_back(line);
  }
  return lines;
}

}  // namespace

// Only folders of our names that hold nothing but files are leftovers:
// never the run's own, one another run holds, one with a folder, a link or
// a device in it, nor a name we never make.
TEST(FindLeftovers, OnlyUnheldFoldersOfVolumes) {
  RunApp app;
  app.LeaveFolder("Kelvo001", {1'500'000, 100});
  app.LeaveFolder("Kelvo002", {10});
  fs::create_directories(app.drives.Host('c', "Kelvo002/sub"));
  fs::create_directories(app.drives.Host('c', "Kelvo003"));  // killed before the archiver
  app.LeaveFolder("Kelvo004", {10});                         // a live run of another process
  app.LeaveFolder("Kelvo005", {10});                         // this run's own
  app.ctx.run.WorkFolder = "c:\\Kelvo005";
  app.LeaveFolder("Kelvo006", {10});
  fs::create_symlink(app.drives.Host('c', "rel/demo.nfo"), app.drives.Host('c', "Kelvo006/link"));
  app.LeaveFolder("Kelvo0007", {10});
  app.LeaveFolder("kelvo008", {10});
  app.LeaveFolder("Kelvo009x", {10});
  TempDrives::WriteFile(app.drives.Host('c', "Kelvo010"), "a file");
  fs::create_directory_symlink(app.drives.Host('c', "Kelvo001"), app.drives.Host('c', "Kelvo011"));
  app.LeaveFolder("Kelvo012", {10});  // held by a claim of this process
  app.LeaveFolder("Kelvo1000", {7});
  app.LeaveFolder("Kelvo000", {10});
  HeldElsewhere other(app.drives.Host('c', "Kelvo004"));
  host::DirectoryLock claim(app.drives.Host('c', "Kelvo012"), host::DirectoryLock::NoWait{});
  ASSERT_TRUE(claim.held());

  const auto leftovers = FindLeftovers(app.ctx);
  EXPECT_EQ(Paths(leftovers),
            (std::vector<std::string>{"c:\\Kelvo001", "c:\\Kelvo003", "c:\\Kelvo1000"}));
  ASSERT_EQ(leftovers.size(), 3u);
  EXPECT_EQ(leftovers[0].hostPath, app.drives.Host('c', "Kelvo001"));
  EXPECT_EQ(leftovers[0].bytes, 1'500'100u);
  EXPECT_EQ(leftovers[1].bytes, 0u);
  EXPECT_EQ(leftovers[2].bytes, 7u);

  // Once the other run ends its folder is a leftover too; the work drive is
  // the job's.
  other.Release();
  EXPECT_EQ(
      Paths(FindLeftovers(app.ctx)),
      (std::vector<std::string>{"c:\\Kelvo001", "c:\\Kelvo003", "c:\\Kelvo004", "c:\\Kelvo1000"}));
  app.ctx.job.WorkDrive = 'e';
  EXPECT_TRUE(FindLeftovers(app.ctx).empty());
}

TEST(LeftoverOffer, NamesEachFolderWithItsHostPathAndSize) {
  EXPECT_EQ(LeftoverSizeText(0), "0 bytes");
  EXPECT_EQ(LeftoverSizeText(1), "1 byte");
  EXPECT_EQ(LeftoverSizeText(999'999), "999,999 bytes");
  EXPECT_EQ(LeftoverSizeText(1'000'000), "1.0 MB");
  EXPECT_EQ(LeftoverSizeText(90'149'999), "90.1 MB");
  EXPECT_EQ(LeftoverSizeText(90'150'000), "90.2 MB");
  EXPECT_EQ(LeftoverSizeText(1'234'567'890'123), "1,234,567.9 MB");

  const RemovalOffer one =
      LeftoverOffer({{"c:\\Kelvo004", "/home/u/drive_c/Kelvo004", 90'100'000}});
  EXPECT_EQ(one.question,
            "An earlier run left volumes in:\r\r/home/u/drive_c/Kelvo004  (c:\\Kelvo004, 90.1 MB)"
            "\r\rRemove them?");
  EXPECT_EQ(one.items, std::vector<std::string>{"an earlier run left volumes in c:\\Kelvo004 "
                                                "(/home/u/drive_c/Kelvo004, 90.1 MB)"});

  // Twenty killed runs: the box lists eight and the total, the warnings all.
  std::vector<Leftover> many;
  for (int i = 1; i <= 20; ++i)
    many.push_back(
        {"c:\\Kelvo0" + std::to_string(10 + i), "/d/Kelvo0" + std::to_string(10 + i), 50'000'000});
  const RemovalOffer offer = LeftoverOffer(many);
  EXPECT_TRUE(offer.question.starts_with("Earlier runs left volumes in:\r\r/d/Kelvo011  "));
  EXPECT_NE(offer.question.find("/d/Kelvo018  (c:\\Kelvo018, 50.0 MB)\rand 12 more\r\r"
                                "Together 1,000.0 MB.\r\rRemove them?"),
            std::string::npos)
      << offer.question;
  EXPECT_EQ(offer.question.find("Kelvo019"), std::string::npos);
  ASSERT_EQ(offer.items.size(), 20u);
  EXPECT_NE(offer.items.back().find("c:\\Kelvo030 (/d/Kelvo030, 50.0 MB)"), std::string::npos);
}

// In the window the run asks once before the archiver; Yes removes every
// leftover, No keeps them all. Either way the run goes on into its own folder.
TEST(LeftoversBeforeARun, YesRemovesThemNoKeepsThem) {
  for (MessageResult answer : {MessageResult::No, MessageResult::Yes}) {
    RunApp app;
    app.LeaveFolder("Kelvo001", {500'000, 500'000});
    app.LeaveFolder("Kelvo003", {20});
    app.ui.messageAnswers.push_back(answer);
    app.driver.RunJob();
    EXPECT_EQ(app.ctx.view.StatusLine, "Ripping complete");
    EXPECT_EQ(app.Zips(), (std::vector<std::string>{"DEMO01.zip", "DEMO02.zip", "DEMO03.zip"}));
    ASSERT_EQ(app.ui.removalOffers.size(), 1u);
    const std::string& question = app.ui.removalOffers[0].question;
    EXPECT_NE(question.find(app.drives.Host('c', "Kelvo001") + "  (c:\\Kelvo001, 1.0 MB)"),
              std::string::npos)
        << question;
    EXPECT_NE(question.find("c:\\Kelvo003, 20 bytes"), std::string::npos) << question;
    // The run's own folder (Kelvo002) was made first and is never offered.
    EXPECT_EQ(question.find("Kelvo002"), std::string::npos) << question;
    const bool kept = answer == MessageResult::No;
    EXPECT_EQ(fs::exists(app.drives.Host('c', "Kelvo001")), kept);
    EXPECT_EQ(fs::exists(app.drives.Host('c', "Kelvo003")), kept);
    if (kept) {
      EXPECT_EQ(testing::FileNames(app.drives.Host('c', "Kelvo001")).size(), 2u);
    }
    EXPECT_FALSE(fs::exists(app.drives.Host('c', "Kelvo002")));
    EXPECT_TRUE(app.ui.messages.empty());
  }
}

// A folder that changed while the question was open, or that a run took
// meanwhile, is kept; what could not be removed is said after the run.
TEST(LeftoversBeforeARun, RemovalKeepsAFolderThatChangedOrIsHeld) {
  TestApp app;
  const auto make = [&](const std::string& name) {
    fs::create_directories(app.drives.Host('c', name));
    TempDrives::WriteFile(app.drives.Host('c', name + "/DEMO.7z.001"), "v");
    return Leftover{"c:\\" + name, app.drives.Host('c', name), 1};
  };
  const Leftover changed = make("Kelvo001");
  fs::create_directories(app.drives.Host('c', "Kelvo001/new"));
  EXPECT_EQ(RemoveLeftover(changed), "kept c:\\Kelvo001: it holds more than volumes now");
  EXPECT_TRUE(fs::exists(app.drives.Host('c', "Kelvo001/DEMO.7z.001")));

  const Leftover held = make("Kelvo002");
  {
    HeldElsewhere other(held.hostPath);
    EXPECT_EQ(RemoveLeftover(held), "");
    EXPECT_TRUE(fs::exists(app.drives.Host('c', "Kelvo002/DEMO.7z.001")));
  }
  EXPECT_EQ(RemoveLeftover(held), "");
  EXPECT_FALSE(fs::exists(held.hostPath));
}

// Without a window nothing is asked and nothing removed: each folder is one
// warning line on stderr, and the status is the run's own.
TEST(LeftoversBeforeARun, UnattendedNamesEachAndRemovesNothing) {
  TempDrives drives;
  host::FileSystem fileSystem(drives.table);
  host::CommandRunner runner(fileSystem, drives.programs);
  std::FILE* stderrLines = std::tmpfile();
  ASSERT_NE(stderrLines, nullptr);
  UnattendedUi quiet(stderrLines, false);
  testing::FixedClock clock;
  Context ctx(fileSystem, runner, quiet, clock, "c:\\app");
  ctx.batchMode = BatchMode::Plain;
  SetUpJob(drives, ctx.job);
  RunDriver driver(ctx);
  for (const char* name : {"Kelvo001", "Kelvo004"}) {
    fs::create_directories(drives.Host('c', name));
    TempDrives::WriteFile(drives.Host('c', std::string(name) + "/DEMO.7z.001"),
                          std::string(2'000'000, 'v'));
  }
  EXPECT_EQ(driver.RunJob(), kExitComplete);
  EXPECT_EQ(
      Lines(stderrLines),
      (std::vector<std::string>{"warning: an earlier run left volumes in c:\\Kelvo001 (" +
                                    drives.Host('c', "Kelvo001") + ", 2.0 MB)",
                                "warning: an earlier run left volumes in c:\\Kelvo004 (" +
                                    drives.Host('c', "Kelvo004") + ", 2.0 MB)",
                                // A log keeps the steps as lines of their own.
                                "Archiving   0%", "Archiving 100%", "Zipping 1 of 3: DEMO01.zip",
                                "Zipping 2 of 3: DEMO02.zip", "Zipping 3 of 3: DEMO03.zip"}));
  EXPECT_TRUE(fs::exists(drives.Host('c', "Kelvo001/DEMO.7z.001")));
  EXPECT_TRUE(fs::exists(drives.Host('c', "Kelvo004/DEMO.7z.001")));
  std::fclose(stderrLines);
}

TEST(ZipTemporaries, OnlyTheSetsOwnShape) {
  struct Case {
    const char* name;
    bool temporary;
  } cases[] = {
      {"DEMO01.zip.a1B2c3", true},   {"DEMO.zip.Zz9y8x", true},
      {"demo001.zip.abcdef", true},  {"DEMO1279801.zip.QWERTY", true},
      {"DEMO01.zip", false},         {"DEMO.zip.tmp", false},
      {"DEMO01.zip.abc12", false},   {"DEMO01.zip.abc1234", false},
      {"DEMO01.zip.abc-12", false},  {"OTHER01.zip.abc123", false},
      {"DEMOX01.zip.abc123", false}, {"DEM01.zip.abc123", false},
      {"DEMO01.ZIP.abc123", false},  {"DEMO01.zip.abc123.zip", false},
      {"DEMO01.sfv.abc123", false},  {"xDEMO01.zip.abc123", false},
  };
  for (const auto& c : cases) EXPECT_EQ(IsZipTemporaryOf(c.name, "DEMO"), c.temporary) << c.name;
  EXPECT_FALSE(IsZipTemporaryOf(".zip.abc123", ""));
}

// A zip write killed mid-way leaves its temporary beside the zips: the next
// run of that set removes it, and nothing else of the storage directory.
TEST(ZipTemporaries, TheNextRunOfTheSetRemovesThem) {
  RunApp app;
  const std::vector<std::string> dead = {"DEMO01.zip.a1B2c3", "DEMO.zip.Zz9y8x",
                                         "DEMO12798003.zip.abcdef"};
  const std::vector<std::string> kept = {"DEMO01.zip",         "DEMO.zip.tmp", "OTHER01.zip.abc123",
                                         "DEMO01.zip.abc1234", "readme.txt",   "DEMO02.zip.dir123"};
  for (const auto& name : dead) TempDrives::WriteFile(app.drives.Host('e', "zips/" + name), "t");
  for (const auto& name : kept)
    if (name != "DEMO02.zip.dir123")
      TempDrives::WriteFile(app.drives.Host('e', "zips/" + name), "k");
  fs::create_directories(app.drives.Host('e', "zips/DEMO02.zip.dir123"));
  fs::create_symlink(app.drives.Host('e', "zips/readme.txt"),
                     app.drives.Host('e', "zips/DEMO03.zip.link12"));
  RemoveZipTemporaries(app.ctx);
  for (const auto& name : dead)
    EXPECT_FALSE(fs::exists(app.drives.Host('e', "zips/" + name))) << name;
  for (const auto& name : kept)
    EXPECT_TRUE(fs::exists(app.drives.Host('e', "zips/" + name))) << name;
  EXPECT_TRUE(fs::is_symlink(app.drives.Host('e', "zips/DEMO03.zip.link12")));
  EXPECT_TRUE(app.ui.removalOffers.empty());

  // A set without zips has no storage directory to tidy.
  TempDrives::WriteFile(app.drives.Host('e', "zips/DEMO01.zip.a1B2c3"), "t");
  app.ctx.job.SaveAsZips = false;
  RemoveZipTemporaries(app.ctx);
  EXPECT_TRUE(fs::exists(app.drives.Host('e', "zips/DEMO01.zip.a1B2c3")));

  // A whole run does it before its checks: a temporary alone is no zip of
  // the set to ask about.
  app.ctx.job.SaveAsZips = true;
  fs::remove(app.drives.Host('e', "zips/DEMO01.zip"));
  fs::remove(app.drives.Host('e', "zips/DEMO.zip.tmp"));
  fs::remove(app.drives.Host('e', "zips/DEMO01.zip.abc1234"));
  fs::remove(app.drives.Host('e', "zips/DEMO02.zip.dir123"));
  fs::remove(app.drives.Host('e', "zips/DEMO03.zip.link12"));
  app.driver.RunJob();
  EXPECT_TRUE(app.ui.messages.empty());
  EXPECT_EQ(app.ctx.view.StatusLine, "Ripping complete");
  EXPECT_FALSE(fs::exists(app.drives.Host('e', "zips/DEMO01.zip.a1B2c3")));
  EXPECT_TRUE(fs::exists(app.drives.Host('e', "zips/OTHER01.zip.abc123")));
}

// From its work folder's making to the run's end, the folder is held: no
// other run could take it for a leftover.
TEST(LeftVolumes, TheRunHoldsItsWorkFolderToItsEnd) {
  RunApp app;
  app.ctx.job.SaveAsZips = false;
  int seenHeld = 0, seenFree = 0;
  app.ui.onProcessEvents = [&] {
    if (app.ctx.run.WorkFolder.empty()) return;
    host::DirectoryLock claim(app.drives.Host('c', "Kelvo001"), host::DirectoryLock::NoWait{});
    (claim.busy() ? seenHeld : seenFree)++;
  };
  app.driver.RunJob();
  EXPECT_GT(seenHeld, 0);
  EXPECT_EQ(seenFree, 0);
  // Kept on purpose, it is free once the run has ended.
  EXPECT_TRUE(
      host::DirectoryLock(app.drives.Host('c', "Kelvo001"), host::DirectoryLock::NoWait{}).held());
}

// Where a run's volumes stay is named at its end: on the run panel, and on
// stderr without a window. A run that leaves none names nothing, and a run
// that starts forgets the last one's.
TEST(LeftVolumes, NamedWhenTheWorkFolderStays) {
  {
    // Aborted in the zip step: the volumes not yet zipped stay.
    RunApp app;
    app.ui.onProcessEvents = [&] {
      if (app.ctx.run.VolumeNumber == 2) app.driver.AbortRun();
    };
    app.driver.RunJob();
    EXPECT_EQ(app.ctx.view.StatusLine, "Aborted");
    EXPECT_EQ(app.ctx.view.LeftVolumes.folder, "c:\\Kelvo001");
    EXPECT_EQ(app.ctx.view.LeftVolumes.hostFolder, app.drives.Host('c', "Kelvo001"));
    EXPECT_FALSE(testing::FileNames(app.drives.Host('c', "Kelvo001")).empty());

    // The next run is refused by a check: nothing of the last one stays.
    app.ui.onProcessEvents = nullptr;
    app.ctx.job.ZipBaseName.clear();
    app.driver.RunJob();
    EXPECT_TRUE(app.ctx.view.LeftVolumes.folder.empty());
    EXPECT_TRUE(app.ctx.view.LeftVolumes.hostFolder.empty());
  }
  {
    // Failed in the zip step, unattended: a line says where they stay.
    RunApp app;
    app.ctx.batchMode = BatchMode::Plain;
    app.ui.unattended = true;
    app.ui.onProcessEvents = [&] {
      if (app.ctx.run.VolumeNumber == 2) {
        std::error_code ec;
        fs::remove(app.drives.Host('c', "rel/demo.nfo"), ec);
      }
    };
    EXPECT_EQ(app.driver.RunJob(), kExitRunError);
    ASSERT_FALSE(app.ui.reports.empty());
    EXPECT_EQ(app.ui.reports.back(),
              "the volumes stay in c:\\Kelvo001 (" + app.drives.Host('c', "Kelvo001") + ")");
    EXPECT_EQ(app.ctx.view.LeftVolumes.hostFolder, app.drives.Host('c', "Kelvo001"));
  }
  {
    // Without zips they stay on purpose; with zips nothing stays.
    RunApp app;
    app.ctx.job.SaveAsZips = false;
    app.driver.RunJob();
    EXPECT_EQ(app.ctx.view.LeftVolumes.folder, "c:\\Kelvo001");
    app.ctx.job.SaveAsZips = true;
    app.ui.messageAnswers.push_back(MessageResult::No);  // the folder above
    app.driver.RunJob();
    EXPECT_EQ(app.ctx.view.StatusLine, "Ripping complete");
    EXPECT_TRUE(app.ctx.view.LeftVolumes.folder.empty());
    EXPECT_FALSE(fs::exists(app.drives.Host('c', "Kelvo002")));
  }
}

}  // namespace kelvo
