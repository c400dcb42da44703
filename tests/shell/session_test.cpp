// The session without a window: one action at a time, every figure
// refreshed after each, the start-up's settings file and the end's
// clean-up and saving.
#include "shell/session.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <vector>

#include "run/run_driver.h"
#include "scripts/job_script.h"
#include "support/temp_drives.h"
#include "tools/file_tree.h"

namespace kelvo::shell {

using testing::TempDrives;
using testing::TestApp;

namespace {

// A session whose window only counts what it is asked.
struct SessionApp : TestApp {
  SessionApp() : driver(ctx), session(ctx, driver) {
    session.render = [this] { calls.push_back("render"); };
    session.focus = [this](FocusBox box) { calls.push_back("focus " + std::to_string(int(box))); };
    session.close = [this] { calls.push_back("close"); };
  }
  RunDriver driver;
  Session session;
  std::vector<std::string> calls;
};

}  // namespace

TEST(Session, AnActionIsRefreshedThenRendered) {
  SessionApp app;
  std::filesystem::create_directories(app.drives.Host('e', "zips"));
  app.session.Act([&] {
    app.ctx.job.SourceSize = 445.78f;
    app.ctx.job.ZipBaseName = "SIXSIX";
    app.ctx.job.ZipStorageDir = "e:\\zips";
    ShowPanel(app.ctx.view, Panel::Zip, FocusBox::ZipBaseName);
  });
  const ViewState& view = app.ctx.view;
  EXPECT_EQ(view.EstimateText, "297.19 files");
  EXPECT_TRUE(app.ctx.job.ThreeDigitNumbering);
  EXPECT_EQ(view.BaseNameLimit, 5);
  EXPECT_EQ(app.ctx.job.ZipBaseName, "SIXSI");
  EXPECT_TRUE(view.ZipDriveFreeText.starts_with("Free space ")) << view.ZipDriveFreeText;
  EXPECT_NE(view.ZipDriveFreeText, "Free space: ");
  EXPECT_TRUE(view.WorkDriveFreeText.starts_with("Free space on - \r")) << view.WorkDriveFreeText;
  EXPECT_EQ(view.DizPreview.problem, "No file_id.diz chosen");
  EXPECT_EQ(view.NfoPreview.problem, "No nfo chosen");
  // The focus request goes to the window once, after the render.
  EXPECT_EQ(app.calls, (std::vector<std::string>{"render", "focus 3"}));
  EXPECT_EQ(view.Focus, FocusBox::None);
}

TEST(Session, WhileAnActionRunsNoOtherStarts) {
  SessionApp app;
  int inner = 0;
  app.session.Act([&] {
    EXPECT_TRUE(app.session.Busy());
    app.session.Act([&] { ++inner; });
    // A direct action acts, and renders without a refresh.
    app.session.Direct([&] { app.ctx.view.DropNotice = "direct"; });
  });
  EXPECT_EQ(inner, 0);
  EXPECT_FALSE(app.session.Busy());
  EXPECT_EQ(app.calls, (std::vector<std::string>{"render", "render"}));

  // An operation that throws leaves the session free.
  EXPECT_THROW(app.session.Act([] { throw std::runtime_error("x"); }), std::runtime_error);
  EXPECT_FALSE(app.session.Busy());
}

TEST(Session, AnExitDuringAnActionClosesOnceItReturned) {
  SessionApp app;
  app.session.Act([&] {
    app.session.Exit();
    EXPECT_EQ(std::count(app.calls.begin(), app.calls.end(), "close"), 0);
  });
  EXPECT_EQ(app.calls, (std::vector<std::string>{"render", "close"}));
  app.calls.clear();
  app.session.Exit();  // idle: at once
  EXPECT_EQ(app.calls, (std::vector<std::string>{"close"}));
}

// Start-up: the settings file before the splash, and a job named on the
// command line shown with its figures.
TEST(Session, StartReadsTheSettingsAndEndsWithTheRefresh) {
  SessionApp app;
  TempDrives::WriteFile(app.drives.Host('c', "app/Kelvo32.ini"),
                        "one\r\ntwo\r\nthree\r\nc:\\app\\temp\\banner.txt\r\n");
  app.session.ReadSettings();
  EXPECT_EQ(app.ctx.settings.Line1, "one");
  EXPECT_EQ(app.ctx.job.ZipCommentPath, "c:\\app\\temp\\banner.txt");

  testing::WriteTree(app.drives.Host('d', "src"),
                     {{"data.bin", testing::NoiseBytes(2'200'000, 3)}});
  TempDrives::WriteFile(app.drives.Host('c', "rel/file_id.diz"), "DEMO RELEASE\r\n");
  TempDrives::WriteFile(app.drives.Host('c', "rel/demo.nfo"), "notes\r\n");
  std::filesystem::create_directories(app.drives.Host('e', "zips"));
  JobSettings job;
  job.SourcePath = "d:\\src";
  job.DizPath = "c:\\rel\\file_id.diz";
  job.NfoPath = "c:\\rel\\demo.nfo";
  job.ZipStorageDir = "e:\\zips";
  job.ZipBaseName = "DEMO";
  TempDrives::WriteFile(app.drives.Host('c', "jobs/demo.kvo"), ScriptText(job, app.clock.Now()));
  std::vector<std::string> shown;
  StartHooks hooks;
  hooks.showWindow = [&] { shown.push_back(app.ctx.view.WindowTitle); };
  app.session.Start("c:\\jobs\\demo.kvo", hooks);
  EXPECT_TRUE(app.ctx.LoadCheckPassed);
  EXPECT_EQ(shown, std::vector<std::string>{"Kelvo32 - demo.kvo"});
  EXPECT_EQ(app.ctx.view.EstimateText, "1.47 files");
  EXPECT_EQ(app.ctx.view.DizPreview.problem, "");
  EXPECT_EQ(app.calls, std::vector<std::string>{"render"});
}

TEST(Session, TheEndRemovesWhatThisCopyWroteAndSavesOnce) {
  SessionApp app;
  TempDrives::WriteFile(app.drives.Host('c', "skip.txt"), "ours\r\n");
  app.ctx.NoteWritten("c:\\skip.txt");
  int saved = 0;
  app.session.Shutdown([&] { ++saved; });
  app.session.Shutdown([&] { ++saved; });
  EXPECT_EQ(saved, 1);
  EXPECT_TRUE(app.session.ShutDown());
  EXPECT_FALSE(std::filesystem::exists(app.drives.Host('c', "skip.txt")));
}

TEST(Session, ASecondCopyOrADriveRootRemovesAndSavesNothing) {
  SessionApp app;
  TempDrives::WriteFile(app.drives.Host('c', "skip.txt"), "ours\r\n");
  app.ctx.NoteWritten("c:\\skip.txt");
  app.session.SetRemovesNothing(true);
  int saved = 0;
  app.session.Shutdown([&] { ++saved; });
  EXPECT_EQ(saved, 0);
  EXPECT_TRUE(std::filesystem::exists(app.drives.Host('c', "skip.txt")));

  TestApp rooted;
  Context atRoot(rooted.fs, rooted.runner, rooted.ui, rooted.clock, "c:\\");
  RunDriver driver(atRoot);
  Session session(atRoot, driver);
  TempDrives::WriteFile(rooted.drives.Host('c', "skip.txt"), "ours\r\n");
  atRoot.NoteWritten("c:\\skip.txt");
  session.Shutdown([&] { ++saved; });
  EXPECT_TRUE(std::filesystem::exists(rooted.drives.Host('c', "skip.txt")));
}

}  // namespace kelvo::shell
