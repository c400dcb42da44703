#include "shell/startup.h"
#include "shell/unattended.h"

#include <gtest/gtest.h>
#include <sys/stat.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <filesystem>
#include <functional>

#include "core/exit_status.h"
#include "run/run_driver.h"
#include "scripts/job_script.h"
#include "support/temp_drives.h"
#include "tools/file_tree.h"

namespace kelvo::shell {

using testing::TempDrives;
using testing::TestApp;

TEST(CommandLine, PrefixesAndPaths) {
  const struct {
    const char* line;
    BatchMode mode;
    const char* path;
  } cases[] = {
      {"", BatchMode::None, ""},
      {"c:\\jobs\\demo.kvo", BatchMode::None, "c:\\jobs\\demo.kvo"},
      {"!c:\\jobs\\demo.kvo", BatchMode::Plain, "c:\\jobs\\demo.kvo"},
      {"$c:\\jobs\\demo.kvo", BatchMode::Dated, "c:\\jobs\\demo.kvo"},
      {"!", BatchMode::Plain, ""},
      {"$", BatchMode::Dated, ""},
      {"\"c:\\jobs\\demo.kvo\"", BatchMode::None, "\"c:\\jobs\\demo.kvo\""},
      {"!\"c:\\my jobs\\demo.kvo\"", BatchMode::Plain, "\"c:\\my jobs\\demo.kvo\""},
      {"c:\\jobs\\!demo.kvo", BatchMode::None, "c:\\jobs\\!demo.kvo"},
      {" !c:\\demo.kvo", BatchMode::None, " !c:\\demo.kvo"},
      {"!$c:\\demo.kvo ", BatchMode::Plain, "$c:\\demo.kvo "},
      {"$!c:\\demo.kvo", BatchMode::Dated, "!c:\\demo.kvo"},
  };
  for (const auto& c : cases) {
    CommandLineJob job = ReadCommandLine(c.line);
    EXPECT_EQ(job.batchMode, c.mode) << c.line;
    EXPECT_EQ(job.scriptPath, c.path) << c.line;
  }
}

TEST(CommandLine, ArgumentsAreJoinedBySingleBlanks) {
  const char* none[] = {"kelvo32"};
  EXPECT_EQ(JoinArguments(1, none), "");
  const char* split[] = {"kelvo32", "!c:\\my", "jobs\\demo.kvo"};
  EXPECT_EQ(JoinArguments(3, split), "!c:\\my jobs\\demo.kvo");
  const char* blanks[] = {"kelvo32", " a ", "", "b"};
  EXPECT_EQ(JoinArguments(4, blanks), " a   b");
}

TEST(CommandLine, AHostPathOfAnExistingScriptBecomesItsDosPath) {
  testing::TempDrives drives;
  TempDrives::WriteFile(drives.Host('d', "my jobs/demo.kvo"), "Kelvo32 script\r\n");
  const std::string host = drives.Host('d', "my jobs/demo.kvo");
  EXPECT_EQ(ScriptOnDrives(host, drives.table), "d:\\my jobs\\demo.kvo");
  EXPECT_EQ(ScriptOnDrives("!" + host, drives.table), "!d:\\my jobs\\demo.kvo");
  EXPECT_EQ(ScriptOnDrives("$" + host, drives.table), "$d:\\my jobs\\demo.kvo");
  // DOS paths, missing files, folders and quoted paths stay as written.
  for (const std::string& kept :
       {std::string("d:\\my jobs\\demo.kvo"), host + ".gone", drives.Host('d', "my jobs"),
        "\"" + host + "\"", std::string("!"), std::string()})
    EXPECT_EQ(ScriptOnDrives(kept, drives.table), kept);
}

TEST(CommandLine, ScriptFileNameAndDriveRoot) {
  EXPECT_EQ(ScriptFileName("c:\\jobs\\demo.kvo"), "demo.kvo");
  EXPECT_EQ(ScriptFileName("\"c:\\jobs\\demo.kvo\""), "demo.kvo\"");
  // The window title shows the same name.
  for (const char* path : {"c:\\jobs\\demo.kvo", "c:\\jobs/demo.kvo", "demo.kvo", "c:\\jobs\\"})
    EXPECT_EQ("Kelvo32 - " + ScriptFileName(path), ScriptWindowTitle(path)) << path;
  EXPECT_EQ(ScriptFileName("demo.kvo"), "");
  EXPECT_EQ(ScriptFileName("c:\\jobs\\"), "");

  TestApp app;
  EXPECT_FALSE(RunsFromDriveRoot(app.ctx));
  Context atRoot(app.fs, app.runner, app.ui, app.clock, "c:\\");
  EXPECT_TRUE(RunsFromDriveRoot(atRoot));
}

namespace {

// A complete job saved as c:\jobs\demo.kvo: a small source, a DIZ, an NFO and
// a zip storage directory. The window starts with an empty job.
struct StartFixture : TestApp {
  StartFixture() : driver(ctx) {
    testing::WriteTree(drives.Host('d', "src"), {{"readme.txt", "read me\r\n"},
                                                 {"data.bin", testing::NoiseBytes(20000, 3)}});
    TempDrives::WriteFile(drives.Host('c', "rel/file_id.diz"), "DEMO RELEASE\r\n");
    TempDrives::WriteFile(drives.Host('c', "rel/demo.nfo"), "notes \xB0\xB1\xB2\r\n");
    std::filesystem::create_directories(drives.Host('e', "zips"));
    JobSettings job;
    job.SourcePath = "d:\\src";
    job.DizPath = "c:\\rel\\file_id.diz";
    job.NfoPath = "c:\\rel\\demo.nfo";
    job.ZipStorageDir = "e:\\zips";
    job.ZipBaseName = "DEMO";
    job.Compression = 1;
    TempDrives::WriteFile(drives.Host('c', "jobs/demo.kvo"), ScriptText(job, clock.Now()));
    hooks.closeSplash = [this] { calls.push_back("closeSplash"); };
    hooks.showWindow = [this] { calls.push_back("showWindow " + ctx.view.WindowTitle); };
  }

  void Start(std::string_view commandLine) { StartMainWindow(ctx, commandLine, hooks); }
  int StartWithoutWindow(std::string_view commandLine) {
    ui.unattended = true;
    return StartUnattended(ctx, driver, commandLine);
  }
  std::vector<std::string> Zips() const { return testing::FileNames(drives.Host('e', "zips")); }
  bool MadeNothing() const {
    return Zips().empty() && !std::filesystem::exists(drives.Host('c', "Kelvo001"));
  }

  RunDriver driver;
  StartHooks hooks;
  std::vector<std::string> calls;
};

}  // namespace

TEST(StartMainWindow, WithoutACommandLineOnlyTheInitialValuesAreSet) {
  StartFixture app;
  app.ctx.job.Compression = -1;
  app.ctx.job.ZipCommentPath = "c:\\app\\temp\\comment.txt";
  TempDrives::WriteFile(app.drives.Host('c', "app/temp/comment.txt"), "comment");
  app.Start("");
  EXPECT_TRUE(app.calls.empty());
  EXPECT_EQ(app.ctx.view.WindowTitle, "Kelvo32");
  EXPECT_EQ(app.ctx.job.Compression, 3);
  EXPECT_TRUE(app.ctx.job.ZipCommentEnabled);
  EXPECT_EQ(app.ctx.view.WorkDriveShown, "c: [" + app.drives.Host('c') + "]");
  EXPECT_EQ(app.ctx.job.WorkDrive, 'c');
  EXPECT_TRUE(app.ctx.view.WorkDriveFreeText.starts_with("Free space on - \r"));
  EXPECT_EQ(app.ctx.view.MarqueeText, MarqueeText(kVersionText));
  EXPECT_TRUE(app.ctx.view.MarqueeText.starts_with("Kelvo32 v3.17 "));
  EXPECT_TRUE(app.ctx.view.MarqueeText.ends_with("<IMG 1>"));
  EXPECT_EQ(app.ctx.batchMode, BatchMode::None);
  EXPECT_EQ(app.ctx.ScriptPath, "");
  EXPECT_EQ(app.ctx.job.SourcePath, "");
  EXPECT_FALSE(app.ctx.programExit);

  // A remembered comment file that is gone leaves the comment off.
  StartFixture gone;
  gone.ctx.job.ZipCommentPath = "c:\\app\\temp\\comment.txt";
  gone.Start("");
  EXPECT_FALSE(gone.ctx.job.ZipCommentEnabled);
}

TEST(StartMainWindow, AScriptIsLoadedCheckedAndMeasuredButNotRun) {
  StartFixture app;
  app.Start("C:\\Jobs\\Demo.KVO");
  EXPECT_EQ(app.calls, (std::vector<std::string>{"closeSplash", "showWindow Kelvo32 - Demo.KVO"}));
  EXPECT_EQ(app.ctx.ScriptPath, "C:\\Jobs\\Demo.KVO");  // case as given
  EXPECT_EQ(app.ctx.batchMode, BatchMode::None);
  EXPECT_EQ(app.ctx.job.SourcePath, "d:\\src");
  EXPECT_EQ(app.ctx.job.NfoPath, "c:\\rel\\demo.nfo");
  EXPECT_EQ(app.ctx.job.Compression, 1);  // the script's, not the start value
  EXPECT_TRUE(app.ctx.LoadCheckPassed);
  EXPECT_NE(app.ctx.view.SourceSizeText, "- Source size -");
  EXPECT_TRUE(app.ctx.view.ZipDriveFreeText.starts_with("Free space "))
      << app.ctx.view.ZipDriveFreeText;
  EXPECT_NE(app.ctx.view.ZipDriveFreeText, "Free space: ");
  EXPECT_TRUE(app.ui.messages.empty());
  EXPECT_TRUE(app.MadeNothing());
  EXPECT_FALSE(app.ctx.programExit);
}

TEST(StartMainWindow, AQuotedPathIsNoScript) {
  StartFixture app;
  app.Start("\"c:\\jobs\\demo.kvo\"");
  EXPECT_EQ(app.ctx.ScriptPath, "\"c:\\jobs\\demo.kvo\"");
  EXPECT_EQ(app.ctx.view.WindowTitle, "Kelvo32 - demo.kvo\"");
  ASSERT_FALSE(app.ui.messages.empty());
  EXPECT_TRUE(app.ui.messages[0].text.starts_with("Error in Kelvo script\r"));
  EXPECT_EQ(app.ctx.job.SourcePath, "");
  EXPECT_FALSE(app.ctx.LoadCheckPassed);
  EXPECT_FALSE(app.ctx.programExit);
  EXPECT_TRUE(app.MadeNothing());
}

TEST(StartUnattended, BatchJobsArePackagedWithoutAWordOrAWindow) {
  StartFixture plain;
  EXPECT_EQ(plain.StartWithoutWindow("!c:\\jobs\\demo.kvo"), kExitComplete);
  EXPECT_EQ(plain.Zips(), std::vector<std::string>{"DEMO.zip"});
  EXPECT_TRUE(plain.calls.empty());
  EXPECT_TRUE(plain.ui.messages.empty());
  EXPECT_TRUE(plain.ui.reports.empty());
  EXPECT_EQ(plain.ctx.job.Compression, 1);  // the script's, over the start-up value

  StartFixture dated;
  EXPECT_EQ(dated.StartWithoutWindow("$c:\\jobs\\demo.kvo"), kExitComplete);
  EXPECT_EQ(dated.ctx.batchMode, BatchMode::Dated);
  EXPECT_EQ(dated.Zips(), std::vector<std::string>{"DEMO12798.zip"});
  EXPECT_TRUE(dated.ui.messages.empty());
}

TEST(StartUnattended, ABatchJobThatFailsItsCheckEndsWithNothingMade) {
  StartFixture missingNfo;
  std::filesystem::remove(missingNfo.drives.Host('c', "rel/demo.nfo"));
  EXPECT_EQ(missingNfo.StartWithoutWindow("!c:\\jobs\\demo.kvo"), kExitScriptRejected);
  EXPECT_TRUE(missingNfo.MadeNothing());
  EXPECT_TRUE(missingNfo.ui.messages.empty());
  EXPECT_EQ(missingNfo.ui.reports,
            std::vector<std::string>{"The nfo 'c:\\rel\\demo.nfo' is missing"});

  StartFixture bare;
  EXPECT_EQ(bare.StartWithoutWindow("!"), kExitScriptRejected);
  EXPECT_EQ(bare.ctx.batchMode, BatchMode::Plain);
  EXPECT_EQ(bare.ctx.ScriptPath, "");
  EXPECT_TRUE(bare.MadeNothing());
  EXPECT_TRUE(bare.ui.messages.empty());
}

TEST(ExitProgram, StopsTheZipStepOfARunningJob) {
  StartFixture app;
  bool exited = false;
  app.ui.onProcessEvents = [&] {
    // Once the volumes are made, just before the zipping; a request raised
    // while the source was measured would be stale by then.
    if (!exited && app.ctx.view.BusyPointer && app.ctx.run.VolumeCount > 0) {
      exited = true;
      int before = app.ui.eventsProcessed;
      ExitProgram(app.ctx, app.driver);
      EXPECT_EQ(app.ui.eventsProcessed, before + 1);
    }
  };
  EXPECT_EQ(app.StartWithoutWindow("!c:\\jobs\\demo.kvo"), kExitZipFailed);
  EXPECT_TRUE(exited);
  EXPECT_TRUE(app.Zips().empty());
}

namespace {

// The exchange files and work copies this process wrote, and files that
// must survive the clean-up.
struct CleanUpFixture : TestApp {
  CleanUpFixture() {
    const std::string work = "app/temp/~kelvo" + std::to_string(::getpid());
    ctx.WorkCopyFolder = "c:\\app\\temp\\~kelvo" + std::to_string(::getpid());
    removed = {"skip.txt", "size.txt", "~kelvo.diz", work + "/file_id.diz", work + "/demo.nfo"};
    for (const auto& rel : removed) {
      TempDrives::WriteFile(drives.Host('c', rel), "x");
      ctx.NoteWritten(Dos(rel));
    }
    for (const char* rel : kKept) TempDrives::WriteFile(drives.Host('c', rel), "x");
    TempDrives::WriteFile(drives.Host('d', "demo.nfo"), "x");
    ctx.run.NfoCopyName = "demo.nfo";
  }
  static std::string Dos(std::string rel) {
    std::replace(rel.begin(), rel.end(), '/', '\\');
    return "c:\\" + rel;
  }
  bool Exists(const std::string& rel) const {
    return TempDrives::FileExists(drives.Host('c', rel));
  }
  bool AllKept() const {
    for (const char* rel : kKept)
      if (!Exists(rel)) return false;
    return TempDrives::FileExists(drives.Host('d', "demo.nfo"));
  }

  std::vector<std::string> removed;
  // The places the work copies once had beside the program files are no
  // longer touched, whatever their names.
  static constexpr const char* kKept[] = {
      "app/temp/draft.nfo", "app/temp/file_id.diz", "app/other.nfo", "victim.txt",
      "app/Kelvo32.ini",    "app/file_id.diz",      "app/demo.nfo",  "app/wrar"};
};

}  // namespace

TEST(CleanUpAtExit, RemovesWhatThisProcessWroteOnly) {
  CleanUpFixture app;
  CleanUpAtExit(app.ctx, false);
  for (const auto& rel : app.removed) EXPECT_FALSE(app.Exists(rel)) << rel;
  EXPECT_FALSE(std::filesystem::exists(
      app.drives.Host('c', "app/temp/~kelvo" + std::to_string(::getpid()))));
  EXPECT_TRUE(app.AllKept());
  // Nothing left to remove is no failure.
  CleanUpAtExit(app.ctx, false);
  EXPECT_TRUE(app.AllKept());
}

TEST(CleanUpAtExit, AnExchangeFileAnotherRunWroteSinceStays) {
  CleanUpFixture app;
  // Another run replaced both after this one wrote them (a new file each,
  // as every exchange file is written); one never written here stays too.
  for (const char* rel : {"skip.txt", "size.txt"}) {
    const std::string host = app.drives.Host('c', rel);
    TempDrives::WriteFile(host + ".new", "the other run's");
    std::filesystem::rename(host + ".new", host);
  }
  TestApp fresh;
  TempDrives::WriteFile(fresh.drives.Host('c', "skip.txt"), "not ours");
  CleanUpAtExit(app.ctx, false);
  EXPECT_EQ(TempDrives::ReadFile(app.drives.Host('c', "skip.txt")), "the other run's");
  EXPECT_EQ(TempDrives::ReadFile(app.drives.Host('c', "size.txt")), "the other run's");
  EXPECT_FALSE(app.Exists("~kelvo.diz"));
  CleanUpAtExit(fresh.ctx, false);
  EXPECT_EQ(TempDrives::ReadFile(fresh.drives.Host('c', "skip.txt")), "not ours");
}

TEST(CleanUpAtExit, ASecondCopyOrADriveRootRemovesNothing) {
  CleanUpFixture app;
  CleanUpAtExit(app.ctx, true);
  for (const auto& rel : app.removed) EXPECT_TRUE(app.Exists(rel)) << rel;

  TempDrives::WriteFile(app.drives.Host('c', "file_id.diz"), "x");
  Context atRoot(app.fs, app.runner, app.ui, app.clock, "c:\\");
  atRoot.run.NfoCopyName = "victim.txt";
  CleanUpAtExit(atRoot, false);
  for (const auto& rel : app.removed) EXPECT_TRUE(app.Exists(rel)) << rel;
  EXPECT_TRUE(app.Exists("file_id.diz"));
  EXPECT_TRUE(app.AllKept());
}

TEST(CleanUpAtExit, AnNfoCopyNameNeverLeavesTheWorkCopyFolder) {
  for (const char* hostile :
       {"..\\victim.txt", "c:\\victim.txt", "..", ".", "../victim.txt", "\\victim.txt",
        "d:\\demo.nfo", "temp\\draft.nfo", "temp", "wrar", "Kelvo32.ini", "file_id.diz"}) {
    CleanUpFixture app;
    app.ctx.run.NfoCopyName = hostile;
    CleanUpAtExit(app.ctx, false);
    EXPECT_TRUE(app.AllKept()) << hostile;
    EXPECT_TRUE(std::filesystem::exists(app.drives.Host('c', "app/temp"))) << hostile;
    // The rest still goes.
    EXPECT_FALSE(app.Exists("skip.txt")) << hostile;
    EXPECT_FALSE(app.Exists(app.removed[3])) << hostile;
  }
}

TEST(CleanUpAtExit, AFileThatCannotBeDeletedIsSkipped) {
  CleanUpFixture app;
  const std::string c = app.drives.Host('c'), appDir = app.drives.Host('c', "app");
  // c:\ can't be written, the application directory can.
  const std::string work =
      app.drives.Host('c', app.removed[3].substr(0, app.removed[3].rfind('/')));
  for (const std::string& dir : {app.drives.root(), appDir, appDir + "/temp", work})
    ::chmod(dir.c_str(), 0777);
  ::chmod(c.c_str(), 0555);
  std::function<bool()> check = [&] {
    CleanUpAtExit(app.ctx, false);
    return app.Exists("skip.txt") && app.Exists("size.txt") && !app.Exists(app.removed[3]) &&
           !app.Exists(app.removed[4]);
  };
  if (::geteuid() != 0) {
    EXPECT_TRUE(check());
  } else {
    // Root deletes anything: the clean-up runs as an ordinary user.
    pid_t child = ::fork();
    ASSERT_GE(child, 0);
    if (child == 0) {
      if (::setgid(65534) != 0 || ::setuid(65534) != 0) ::_exit(2);
      ::_exit(check() ? 0 : 1);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    ASSERT_TRUE(WIFEXITED(status));
    EXPECT_EQ(WEXITSTATUS(status), 0);
  }
  ::chmod(c.c_str(), 0755);
}

}  // namespace kelvo::shell
