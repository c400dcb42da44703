// A set interrupted at any point and then resumed is the set an
// uninterrupted run makes; a record that no longer matches is refused.
//
// An interruption in the process is taken as a snapshot: the work folder and
// the zip folder copied at that instant are exactly what a kill then would
// leave, while the run goes on to make the set to compare with.
#include "run/resume.h"

#include <fcntl.h>
#include <spawn.h>
#include <sys/wait.h>
#include <zlib.h>

#include <gtest/gtest.h>

#include <chrono>
#include <csignal>
#include <filesystem>
#include <map>
#include <thread>

#include "core/exit_status.h"
#include "host/host_error.h"
#include "run/leftovers.h"
#include "run/run_driver.h"
#include "run/sfv.h"
#include "run/zip_test_util.h"
#include "support/temp_drives.h"
#include "tools/file_tree.h"

extern char** environ;

namespace kelvo {

using testing::NoiseBytes;
using testing::TempDrives;

namespace {

namespace fs = std::filesystem;

const std::string kDiz = "DEMO RELEASE\r\ndisk xx/xx of set\r\n";

std::uint32_t FileCrc(const std::string& hostPath) {
  const std::string bytes = TempDrives::ReadFile(hostPath);
  return static_cast<std::uint32_t>(
      crc32(0, reinterpret_cast<const Bytef*>(bytes.data()), static_cast<uInt>(bytes.size())));
}

// A finished set as a downloader sees it: each zip's entries and bytes (the
// DIZ stamps among them) and the SFV's names. Every SFV line must hold its
// zip's CRC; the CRC itself depends on file times and is not compared.
struct MadeSet {
  std::map<std::string, std::map<std::string, std::string>> zips;
  std::vector<std::string> sfvNames;
  bool operator==(const MadeSet&) const = default;
};

MadeSet ReadSet(const std::string& hostDir) {
  MadeSet set;
  for (const auto& name : testing::FileNames(hostDir)) {
    if (name.ends_with(".zip")) {
      set.zips[name] = testing::EntryMap(hostDir + "/" + name);
    } else if (name.ends_with(".sfv")) {
      auto lines = ParseSfv(TempDrives::ReadFile(hostDir + "/" + name));
      EXPECT_TRUE(lines) << name;
      if (!lines) continue;
      for (const SfvLine& line : *lines) {
        set.sfvNames.push_back(line.name);
        EXPECT_EQ(SfvCrc(line.crc), SfvCrc(FileCrc(hostDir + "/" + line.name))) << line.name;
      }
    } else {
      ADD_FAILURE() << "left in the zip folder: " << name;
    }
  }
  return set;
}

void CopyTree(const std::string& from, const std::string& to) {
  fs::remove_all(to);
  fs::copy(from, to, fs::copy_options::recursive);
}

// Seven volumes of 500,000 bytes, each zip with its stamped DIZ.
struct ResumeFixture : testing::TestApp {
  ResumeFixture() : driver(ctx) {
    testing::TreeMap tree;
    for (int i = 0; i < 6; ++i) tree["f" + std::to_string(i) + ".bin"] = NoiseBytes(520'000, i + 1);
    tree["notes/readme.txt"] = "read me\r\n";
    testing::WriteTree(drives.Host('d', "src"), tree);
    TempDrives::WriteFile(drives.Host('c', "rel/file_id.diz"), kDiz);
    TempDrives::WriteFile(drives.Host('c', "rel/demo.nfo"), "notes\r\n");
    fs::create_directories(drives.Host('e', "zips"));
    JobSettings& job = ctx.job;
    job.SourcePath = "d:\\src";
    job.DizPath = "c:\\rel\\file_id.diz";
    job.DizNumbering = true;
    job.DizColumn = "6";
    job.DizLine = "2";
    job.NfoPath = "c:\\rel\\demo.nfo";
    job.NfoFirstZipOnly = true;
    job.Compression = 0;
    job.ArchiveSize = 1;
    job.SourceSize = 3.2f;
    job.ZipStorageDir = "e:\\zips";
    job.ZipBaseName = "DEMO";
    ctx.prefs.WriteSfv = true;
  }

  std::string Work() const { return drives.Host('c', "Kelvo001"); }
  std::string ZipDir() const { return drives.Host('e', "zips"); }

  // Runs the job whole, copying the work and zip folders the first time
  // `now` holds; returns the set it made.
  MadeSet RunAndSnapshot(const std::function<bool()>& now) {
    bool taken = false;
    ui.onProcessEvents = [&] {
      if (taken || !now()) return;
      taken = true;
      CopyTree(Work(), drives.Host('c', "snap_work"));
      CopyTree(ZipDir(), drives.Host('e', "snap_zips"));
    };
    driver.RunJob();
    ui.onProcessEvents = nullptr;
    EXPECT_TRUE(taken);
    EXPECT_EQ(ctx.view.StatusLine, "Ripping complete") << LastReport();
    EXPECT_FALSE(fs::exists(Work()));
    return ReadSet(ZipDir());
  }

  // Puts back what the snapshot holds, as a kill would have left it.
  void Interrupt() {
    CopyTree(drives.Host('c', "snap_work"), Work());
    CopyTree(drives.Host('e', "snap_zips"), ZipDir());
  }

  std::string LastReport() const { return ui.reports.empty() ? "" : ui.reports.back(); }
  bool Reported(const std::string& text) const {
    for (const auto& line : ui.reports)
      if (line.find(text) != std::string::npos) return true;
    return false;
  }

  RunDriver driver;
};

}  // namespace

TEST(ResumeSet, InterruptedAnywhereGivesTheUninterruptedSet) {
  struct Point {
    const char* name;
    std::function<bool(ResumeFixture&)> now;
  };
  const std::vector<Point> points = {
      {"during the archiver", [](ResumeFixture& app) { return app.ctx.view.WindowMinimised; }},
      {"after zip 1", [](ResumeFixture& app) { return app.ctx.run.VolumeNumber == 2; }},
      // Some events into zip 5: its volume is being read, its temporary
      // written.
      {"in the middle of zip 5",
       [](ResumeFixture& app) {
         return app.ctx.run.VolumeNumber == 5 && app.ctx.view.Progress > 0;
       }},
  };
  for (const Point& point : points) {
    SCOPED_TRACE(point.name);
    ResumeFixture app;
    const MadeSet whole = app.RunAndSnapshot([&] { return point.now(app); });
    ASSERT_EQ(whole.zips.size(), 7u);
    ASSERT_EQ(whole.sfvNames.size(), 7u);
    EXPECT_EQ(whole.zips.at("DEMO05.zip").at("file_id.diz"),
              "DEMO RELEASE\r\ndisk 05/07 of set\r\n");

    app.Interrupt();
    // The run panel would offer "&Resume" now; stopped in the archiver, the
    // record has no volumes yet and the archiver runs again.
    const auto record = SetRecord::Read(app.ctx, "c:\\Kelvo001");
    ASSERT_TRUE(record);
    EXPECT_EQ(record->HasVolumes(), point.name != std::string("during the archiver"));
    EXPECT_EQ(app.driver.ResumeJob(), kExitComplete) << app.LastReport();
    EXPECT_EQ(app.ctx.view.StatusLine, "Ripping complete");
    EXPECT_FALSE(app.ctx.view.Resumable);
    EXPECT_FALSE(fs::exists(app.Work()));
    EXPECT_EQ(ReadSet(app.ZipDir()), whole);
  }
}

// What follows the zips follows a resumed set too: its recovery files cover
// the zips made before the stop and after it.
TEST(ResumeSet, AResumedSetGetsItsRecoveryFiles) {
  ResumeFixture app;
  app.ctx.prefs.WriteRecovery = true;
  app.ui.onProcessEvents = [&] {
    if (app.ctx.run.VolumeNumber == 3) app.driver.AbortRun();
  };
  EXPECT_EQ(app.driver.RunJob(), kExitZipFailed);
  app.ui.onProcessEvents = nullptr;
  EXPECT_FALSE(fs::exists(app.ZipDir() + "/DEMO.par2"));
  EXPECT_EQ(app.driver.ResumeJob(), kExitComplete) << app.LastReport();
  ASSERT_TRUE(fs::exists(app.ZipDir() + "/DEMO.par2"));
  testing::HostRun verify = testing::RunHost(
      "cd " + testing::Quote(app.ZipDir()) +
      " && par2 verify DEMO.par2 | grep -o 'Target: \"DEMO0.\\.zip\" - found' | wc -l");
  EXPECT_EQ(verify.output, "7\n");
}

TEST(ResumeSet, DatedNamesKeepTheDayTheSetWasBegun) {
  ResumeFixture app;
  app.ctx.batchMode = BatchMode::Dated;
  app.ui.unattended = true;
  const MadeSet whole = app.RunAndSnapshot([&] { return app.ctx.run.VolumeNumber == 3; });
  ASSERT_TRUE(whole.zips.contains("DEMO1279803.zip"));
  app.Interrupt();
  app.clock.time.tm_mday = 9;  // resumed two days later
  EXPECT_EQ(app.driver.ResumeJob(), kExitComplete) << app.LastReport();
  EXPECT_EQ(ReadSet(app.ZipDir()), whole);
}

TEST(ResumeSet, ChangesAreRefusedWithTheirReasonAndTheSetStaysResumable) {
  ResumeFixture app;
  app.ui.unattended = true;
  // Aborted while zip 3 is written: zips 1 and 2 are made.
  app.ui.onProcessEvents = [&] {
    if (app.ctx.run.VolumeNumber == 3) app.driver.AbortRun();
  };
  EXPECT_EQ(app.driver.RunJob(), kExitZipFailed);
  app.ui.onProcessEvents = nullptr;
  EXPECT_TRUE(app.ctx.view.Resumable);
  ASSERT_EQ(testing::FileNames(app.ZipDir()),
            (std::vector<std::string>{"DEMO01.zip", "DEMO02.zip"}));

  // A source file with other bytes (and time).
  const std::string changed = app.drives.Host('d', "src/f4.bin");
  const std::string bytes = TempDrives::ReadFile(changed);
  const auto time = fs::last_write_time(changed);
  TempDrives::WriteFile(changed, NoiseBytes(520'000, 99));
  EXPECT_EQ(app.driver.ResumeJob(), kExitJobIncomplete);
  EXPECT_EQ(app.LastReport(),
            "Can't resume from c:\\Kelvo001: d:\\src\\f4.bin has changed since the set was begun");
  EXPECT_TRUE(app.ctx.view.Resumable);
  EXPECT_EQ(app.ctx.view.LeftVolumes.folder, "c:\\Kelvo001");
  TempDrives::WriteFile(changed, bytes);
  fs::last_write_time(changed, time);

  // A new source file counts as much.
  TempDrives::WriteFile(app.drives.Host('d', "src/notes/late.txt"), "late");
  EXPECT_EQ(app.driver.ResumeJob(), kExitJobIncomplete);
  EXPECT_EQ(app.LastReport(),
            "Can't resume from c:\\Kelvo001: d:\\src\\notes\\late.txt is new since the set was "
            "begun");
  fs::remove(app.drives.Host('d', "src/notes/late.txt"));

  // A setting that shapes the set.
  app.ctx.job.DizLine = "1";
  EXPECT_EQ(app.driver.ResumeJob(), kExitJobIncomplete);
  EXPECT_EQ(app.LastReport(),
            "Can't resume from c:\\Kelvo001: the job's DIZ line is not the one the set was begun "
            "with (was \"2\", now \"1\")");
  app.ctx.job.DizLine = "2";

  // A zip made and recorded, its volume gone.
  const std::string zip = app.drives.Host('e', "zips/DEMO02.zip");
  fs::rename(zip, zip + ".away");
  EXPECT_EQ(app.driver.ResumeJob(), kExitJobIncomplete);
  EXPECT_EQ(app.LastReport(),
            "Can't resume from c:\\Kelvo001: the zip e:\\zips\\DEMO02.zip the run made is "
            "missing, and its volume is gone");
  // One with other bytes is no better.
  TempDrives::WriteFile(zip, "PK not ours");
  EXPECT_EQ(app.driver.ResumeJob(), kExitJobIncomplete);
  EXPECT_TRUE(app.Reported("DEMO02.zip is not the one the run made"));
  fs::rename(zip + ".away", zip);

  // A volume still to be zipped that is gone.
  const std::string volume = app.Work() + "/DEMO.7z.006";
  fs::rename(volume, volume + ".away");
  EXPECT_EQ(app.driver.ResumeJob(), kExitJobIncomplete);
  EXPECT_EQ(app.LastReport(), "Can't resume from c:\\Kelvo001: the volume DEMO.7z.006 is missing");
  fs::rename(volume + ".away", volume);

  // Each refusal left everything as it was: the set is finished now.
  EXPECT_EQ(app.driver.ResumeJob(), kExitComplete) << app.LastReport();
  const MadeSet set = ReadSet(app.ZipDir());
  EXPECT_EQ(set.zips.size(), 7u);
  EXPECT_EQ(set.zips.at("DEMO03.zip").at("file_id.diz"), "DEMO RELEASE\r\ndisk 03/07 of set\r\n");
  EXPECT_FALSE(set.zips.at("DEMO03.zip").contains("demo.nfo"));
  EXPECT_TRUE(set.zips.at("DEMO01.zip").contains("demo.nfo"));

  EXPECT_FALSE(app.ctx.view.Resumable);
  EXPECT_TRUE(app.ctx.view.LeftVolumes.folder.empty());

  // Nothing is left to resume.
  EXPECT_EQ(app.driver.ResumeJob(), kExitJobIncomplete);
  EXPECT_EQ(app.LastReport(),
            "Nothing to resume: no run of the set e:\\zips\\DEMO was left unfinished on c:");
}

TEST(ResumeSet, ARecordedZipWhoseVolumeIsStillThereIsMadeAgain) {
  ResumeFixture app;
  app.ui.unattended = true;
  const MadeSet whole = app.RunAndSnapshot([&] { return app.ctx.run.VolumeNumber == 4; });
  const std::string volume = whole.zips.at("DEMO03.zip").at("DEMO.7z.003");
  // Killed after zip 3's line was written, before its volume was deleted:
  // the zip stands, the volume goes.
  app.Interrupt();
  TempDrives::WriteFile(app.Work() + "/DEMO.7z.003", volume);
  EXPECT_EQ(app.driver.ResumeJob(), kExitComplete) << app.LastReport();
  EXPECT_FALSE(fs::exists(app.Work()));
  EXPECT_EQ(ReadSet(app.ZipDir()), whole);

  // The same, and zip 3 lost since.
  app.Interrupt();
  fs::remove(app.ZipDir() + "/DEMO03.zip");
  // A volume of another size is not the one the archiver made.
  TempDrives::WriteFile(app.Work() + "/DEMO.7z.003", volume.substr(1));
  EXPECT_EQ(app.driver.ResumeJob(), kExitJobIncomplete);
  EXPECT_EQ(app.LastReport(),
            "Can't resume from c:\\Kelvo001: the zip e:\\zips\\DEMO03.zip the run made is "
            "missing, and its volume has changed");
  TempDrives::WriteFile(app.Work() + "/DEMO.7z.003", volume);
  EXPECT_EQ(app.driver.ResumeJob(), kExitComplete) << app.LastReport();
  EXPECT_EQ(ReadSet(app.ZipDir()), whole);
}

TEST(SetRecordFile, ACutAnywhereReadsAsTheLinesBeforeIt) {
  ResumeFixture app;
  fs::create_directories(app.Work());
  app.ctx.run.WorkFolder = "c:\\Kelvo001";
  TempDrives::WriteFile(app.Work() + "/DEMO.7z.001", "one");
  TempDrives::WriteFile(app.Work() + "/DEMO.7z.002", "two!");
  SetRecord record = SetRecord::Begin(app.ctx);
  const std::string path = app.Work() + "/" + kSetRecordName;
  const std::size_t begun = fs::file_size(path);
  record.NoteVolumes(app.ctx, VolumesIn(app.ctx, "c:\\Kelvo001"));
  const std::size_t listed = fs::file_size(path);
  TempDrives::WriteFile(app.ZipDir() + "/DEMO01.zip", "zip one");
  TempDrives::WriteFile(app.ZipDir() + "/DEMO02.zip", "zip two");
  record.NoteZip(app.ctx, {"DEMO01.zip", 0x12345678, 1000});
  const std::size_t oneZip = fs::file_size(path);
  record.NoteZip(app.ctx, {"DEMO02.zip", 0x9ABCDEF0, 2000});
  // A zip that isn't there can't be put on the disk: it is not recorded.
  EXPECT_THROW(record.NoteZip(app.ctx, {"DEMO03.zip", 1, 1}), host::HostError);
  const std::string whole = TempDrives::ReadFile(path);

  auto full = SetRecord::Read(app.ctx, "c:\\Kelvo001");
  ASSERT_TRUE(full);
  EXPECT_EQ(full->Settings(), SetShapingSettings(app.ctx));
  EXPECT_EQ(full->Fingerprint(), SetFingerprint(app.ctx));
  ASSERT_EQ(full->Volumes().size(), 2u);
  EXPECT_EQ(full->Volumes()[1].name, "DEMO.7z.002");
  EXPECT_EQ(full->Volumes()[1].bytes, 4u);
  ASSERT_EQ(full->Zips().size(), 2u);
  EXPECT_EQ(full->Zips()[1].crc, 0x9ABCDEF0u);
  EXPECT_EQ(full->Zips()[1].bytes, 2000u);

  for (std::size_t cut = 0; cut < whole.size(); ++cut) {
    TempDrives::WriteFile(path, whole.substr(0, cut));
    auto read = SetRecord::Read(app.ctx, "c:\\Kelvo001");
    SCOPED_TRACE(cut);
    if (cut < begun) {
      ASSERT_FALSE(read);
      continue;
    }
    ASSERT_TRUE(read);
    EXPECT_EQ(read->HasVolumes(), cut >= listed);
    EXPECT_EQ(read->Volumes().size(), cut >= listed ? 2u : 0u);
    EXPECT_EQ(read->Zips().size(), cut >= whole.size() ? 2u : cut >= oneZip ? 1u : 0u);
  }
  // A flipped byte in a line ends the record there.
  std::string damaged = whole;
  damaged[oneZip + 6] ^= 0x20;
  TempDrives::WriteFile(path, damaged);
  auto read = SetRecord::Read(app.ctx, "c:\\Kelvo001");
  ASSERT_TRUE(read);
  EXPECT_EQ(read->Zips().size(), 1u);
  // The listing of volumes leaves the record out.
  EXPECT_EQ(VolumesIn(app.ctx, "c:\\Kelvo001"),
            (std::vector<std::string>{"DEMO.7z.001", "DEMO.7z.002"}));
}

TEST(ResumeSet, AnOfferToRemoveLeftoversNamesTheOnesThatCanBeResumed) {
  ResumeFixture app;
  app.ui.unattended = true;
  app.ui.onProcessEvents = [&] {
    if (app.ctx.run.VolumeNumber == 2) app.driver.AbortRun();
  };
  app.driver.RunJob();
  app.ui.onProcessEvents = nullptr;
  ASSERT_TRUE(app.ctx.view.Resumable);
  app.ctx.run.WorkFolder.clear();  // as a new run finds them
  fs::create_directories(app.drives.Host('c', "Kelvo002"));
  TempDrives::WriteFile(app.drives.Host('c', "Kelvo002/OTHER.7z.001"), "x");
  const auto leftovers = FindLeftovers(app.ctx);
  ASSERT_EQ(leftovers.size(), 2u);
  EXPECT_TRUE(leftovers[0].resumable);
  EXPECT_FALSE(leftovers[1].resumable);
  const RemovalOffer offer = LeftoverOffer(leftovers);
  EXPECT_NE(offer.items[0].find(", can be resumed)"), std::string::npos) << offer.items[0];
  EXPECT_EQ(offer.items[1].find("resumed"), std::string::npos) << offer.items[1];
  // A run without a window removes none of them, and a complete run of the
  // job leaves the resumable one alone.
  std::filesystem::remove_all(app.ZipDir());
  fs::create_directories(app.ZipDir());
  EXPECT_EQ(app.driver.RunJob(), kExitComplete);
  EXPECT_FALSE(app.ctx.view.Resumable);
  EXPECT_TRUE(HasSetRecord(app.ctx, "c:\\Kelvo001"));
}

namespace {

// The program's folder copied to c:\app, run on a job with the test drives.
pid_t StartProgram(const TempDrives& drives, std::vector<std::string> args) {
  return testing::StartWithDrives(drives, drives.Host('c', "app/kelvo32"), std::move(args));
}

}  // namespace

TEST(ResumeSet, AProgramKilledMidSetIsFinishedByResume) {
  TempDrives drives;
  testing::TreeMap tree;
  for (int i = 0; i < 12; ++i) tree["f" + std::to_string(i) + ".bin"] = NoiseBytes(1'000'000, i);
  testing::WriteTree(drives.Host('d', "src"), tree);
  TempDrives::WriteFile(drives.Host('c', "rel/file_id.diz"), "DEMO xx/xx of set\r\n");
  TempDrives::WriteFile(drives.Host('c', "rel/demo.nfo"), "notes\r\n");
  fs::copy(KELVO_APP_BUILD_DIR, drives.Host('c', "app"),
           fs::copy_options::recursive | fs::copy_options::overwrite_existing);
  TempDrives::WriteFile(drives.Host('c', "job.kvo"),
                        "Kelvo32 script\r\nSource: d:\\src\r\nSkip: \r\n\r\n"
                        "Diz: c:\\rel\\file_id.diz\r\nAutoN: True\r\nCol: 6\r\nLin: 1\r\n"
                        "Nfo: c:\\rel\\demo.nfo\r\n 1st: 0\r\n File:False\r\n Extra:\r\n"
                        "Zip: e:\\zips\r\n name:DEMO\r\n Size: 1\r\n Solid: 0\r\n Extra: 0\r\n");
  const std::string zips = drives.Host('e', "zips");
  fs::create_directories(zips);
  ASSERT_EQ(testing::WaitForExit(StartProgram(drives, {"!c:\\job.kvo"})), 0);
  const auto whole = ReadSet(zips);
  ASSERT_GE(whole.zips.size(), 20u);
  fs::remove_all(zips);
  fs::create_directories(zips);

  // SIGKILL as soon as the third zip is there: nothing of the program's
  // own runs after it.
  const pid_t pid = StartProgram(drives, {"!c:\\job.kvo"});
  ASSERT_GT(pid, 0);
  const auto started = std::chrono::steady_clock::now();
  while (!fs::exists(zips + "/DEMO03.zip") &&
         std::chrono::steady_clock::now() - started < std::chrono::seconds(60))
    std::this_thread::sleep_for(std::chrono::milliseconds(1));
  ::kill(pid, SIGKILL);
  ASSERT_EQ(testing::WaitForExit(pid), 256 + SIGKILL);
  ASSERT_TRUE(fs::exists(drives.Host('c', "Kelvo001/kelvo.rsm")));
  ASSERT_LT(testing::FileNames(zips).size(), whole.zips.size());

  // A fresh run would begin anew; --resume finishes this one.
  EXPECT_EQ(testing::WaitForExit(StartProgram(drives, {"--resume", "!c:\\job.kvo"})), 0);
  EXPECT_FALSE(fs::exists(drives.Host('c', "Kelvo001")))
      << testing::FileNames(drives.Host('c', "Kelvo001")).front();
  EXPECT_EQ(ReadSet(zips), whole);
  // Nothing is left: a second one refuses.
  EXPECT_EQ(testing::WaitForExit(StartProgram(drives, {"--resume", "!c:\\job.kvo"})),
            kExitJobIncomplete);
  // And it takes only a batch job.
  EXPECT_EQ(testing::WaitForExit(StartProgram(drives, {"--resume", "c:\\job.kvo"})), 1);
}

}  // namespace kelvo
