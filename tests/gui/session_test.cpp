// The figures that follow from the job are those of the job now: after a
// script is opened, at start-up with a job on the command line, and in the
// DIZ preview's stamp.
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSettings>
#include <QSpinBox>

#include "gui_fixture.h"
#include "run/zip_test_util.h"
#include "scripts/job_script.h"
#include "tools/file_tree.h"
#include "ui/settings_store.h"
#include "ui/text_preview.h"

namespace kelvo::gui {

namespace {

// The numbering goes to column 9 of line 2.
const std::string kDiz = "DEMO RELEASE\r\n|  disk xx/xx of set  |\r\n";

// A complete job whose source holds `bytes` bytes, at `archiveSize`, saved
// as c:\jobs\small.kvo.
void WriteSmallJob(const GuiApp& app, std::size_t bytes, std::int16_t archiveSize) {
  testing::WriteTree(
      app.drives.Host('d', "release"),
      {{"readme.txt", std::string(1000, 'r')}, {"data.bin", testing::NoiseBytes(bytes - 1000, 9)}});
  TempDrives::WriteFile(app.drives.Host('c', "rel/file_id.diz"), kDiz);
  TempDrives::WriteFile(app.drives.Host('c', "rel/demo.nfo"), "notes\r\n");
  std::filesystem::create_directories(app.drives.Host('e', "zips"));
  JobSettings job;
  job.SourcePath = "d:\\release";
  job.DizPath = "c:\\rel\\file_id.diz";
  job.DizNumbering = true;
  job.DizColumn = "9";
  job.DizLine = "2";
  job.NfoPath = "c:\\rel\\demo.nfo";
  job.ZipStorageDir = "e:\\zips";
  job.ZipBaseName = "DEMO";
  job.ArchiveSize = archiveSize;
  job.Compression = 0;
  TempDrives::WriteFile(app.drives.Host('c', "jobs/small.kvo"), ScriptText(job, app.clock.Now()));
}

// The job before: a source of 445.78 MB in 1,000,000-byte volumes, as the
// Zip panel's scroll bar leaves it.
void LargeJobBefore(GuiApp& app, std::int16_t archiveSize) {
  app.ctx.job.SourceSize = 445.78f;
  app.Click(NavItem::Zip);
  app.window.zip->archiveSize->setValue(archiveSize);
}

}  // namespace

// (a) "&Open script..." shows the estimate of the job it loaded, not the
// one the job before left.
TEST(DerivedFigures, OpenScriptShowsTheEstimateOfTheLoadedJob) {
  GuiApp app;
  WriteSmallJob(app, 1'200'000, kFloppyArchiveSize);
  LargeJobBefore(app, 2);
  ASSERT_EQ(app.window.zip->estimate->text(), "445.78 files");

  app.ui.fileAnswers.push_back("c:\\jobs\\small.kvo");
  app.window.openScript->trigger();
  ASSERT_TRUE(app.ctx.LoadCheckPassed);
  EXPECT_FLOAT_EQ(app.ctx.job.SourceSize, 1.2f);
  EXPECT_EQ(app.window.zip->sizeText->text(), "1.44 M");
  // 0.8 volumes: one file, spelled as for a newly measured source.
  EXPECT_EQ(app.window.zip->estimate->text(), "1.00 file");
  EXPECT_EQ(app.window.zip->baseName->maxLength(), 6);
  EXPECT_EQ(app.ui.MessageTexts(), std::vector<std::string>{});
}

// (b) The DIZ preview stamps what the zips of this job get: its digits and
// its total, not those of the job before.
TEST(DerivedFigures, TheDizPreviewStampsWhatTheZipsGet) {
  GuiApp app;
  WriteSmallJob(app, 2'500'000, 2);
  LargeJobBefore(app, 1);
  ASSERT_TRUE(app.ctx.job.ThreeDigitNumbering);

  app.ui.fileAnswers.push_back("c:\\jobs\\small.kvo");
  app.window.openScript->trigger();
  ASSERT_TRUE(app.ctx.LoadCheckPassed);
  EXPECT_EQ(app.window.zip->estimate->text(), "2.50 files");
  EXPECT_FALSE(app.ctx.job.ThreeDigitNumbering);

  app.Click(NavItem::Diz);
  auto* diz = app.window.diz;
  // The check's sample, in the width this job numbers with.
  EXPECT_EQ(diz->previewNote->text(), "Stamp 01/99 at line 2, column 9");
  diz->previewZip->stepUp();
  const texts::TextPreview& shown = diz->preview->Shown();
  ASSERT_TRUE(shown.stamp);
  const std::string previewed(shown.Line(1));
  EXPECT_EQ(previewed, "|  disk 01/03 of set  |");
  EXPECT_EQ(diz->previewNote->text(), "Stamp 01/03 at line 2, column 9");

  // The run stamps the first zip so.
  app.Click(NavItem::Kelvo);
  ASSERT_EQ(app.window.run->status->text(), "Ripping complete");
  const std::string zip = app.drives.Host('e', "zips/DEMO01.zip");
  EXPECT_EQ(testing::EntryMap(zip)["file_id.diz"], "DEMO RELEASE\r\n" + previewed + "\r\n");
  EXPECT_EQ(testing::FileNames(app.drives.Host('e', "zips")).size(), 3u);
}

// (c) A job named on the command line shows its estimate once the window
// is up, before anything is touched.
TEST(DerivedFigures, AJobOnTheCommandLineShowsItsEstimateAtStart) {
  GuiApp app("c:\\jobs\\small.kvo",
             [](GuiApp& before) { WriteSmallJob(before, 2'200'000, kFloppyArchiveSize); });
  ASSERT_TRUE(app.ctx.LoadCheckPassed);
  EXPECT_EQ(app.window.windowTitle(), "Kelvo32 - small.kvo");
  EXPECT_EQ(app.window.zip->estimate->text(), "1.47 files");
  app.Click(NavItem::Zip);
  EXPECT_EQ(app.window.zip->estimate->text(), "1.47 files");
}

// A render reads the model and changes nothing: not the view, not the job,
// and no file is read again for it.
TEST(WindowRender, ChangesNothingAndReadsNothing) {
  GuiApp app;
  TempDrives::WriteFile(app.drives.Host('c', "rel/file_id.diz"), "first\r\n");
  TempDrives::WriteFile(app.drives.Host('c', "rel/demo.nfo"), "notes\r\n");
  app.Act([&] {
    app.ctx.job.DizPath = "c:\\rel\\file_id.diz";
    app.ctx.job.NfoPath = "c:\\rel\\demo.nfo";
    app.ctx.job.SourceSize = 445.78f;
    ShowPanel(app.ctx.view, Panel::Diz);
  });
  ASSERT_EQ(app.window.diz->preview->Shown().Line(0), "first");

  app.ctx.view.Focus = FocusBox::DizColumn;
  const ViewState view = app.ctx.view;
  const JobSettings job = app.ctx.job;
  const ProgramSettings prefs = app.ctx.prefs;
  TempDrives::WriteFile(app.drives.Host('c', "rel/file_id.diz"), "second, longer\r\n");
  for (auto panel :
       {Panel::Source, Panel::Skip, Panel::Diz, Panel::Nfo, Panel::Zip, Panel::Run, Panel::About}) {
    app.ctx.view.VisiblePanel = panel;
    app.window.Render();
    app.window.RenderShown();
  }
  app.ctx.view.VisiblePanel = view.VisiblePanel;
  app.window.Render();
  EXPECT_TRUE(app.ctx.view == view);
  EXPECT_EQ(app.ctx.job, job);
  EXPECT_EQ(app.ctx.prefs.WriteSfv, prefs.WriteSfv);
  EXPECT_EQ(app.ctx.prefs.LastFolders, prefs.LastFolders);
  // The focus request waits for the session; the old text stays drawn.
  EXPECT_FALSE(app.window.diz->column->hasFocus());
  EXPECT_EQ(app.window.diz->preview->Shown().Line(0), "first");

  // The next action reads the file again and hands the focus over.
  app.Act([] {});
  EXPECT_EQ(app.window.diz->preview->Shown().Line(0), "second, longer");
  EXPECT_EQ(app.ctx.view.Focus, FocusBox::None);
  EXPECT_TRUE(app.window.diz->column->hasFocus());
}

// While an action runs no other starts, and the figures are refreshed once
// it has returned.
TEST(Session, OneActionAtATime) {
  GuiApp app;
  int inner = 0;
  app.Act([&] {
    EXPECT_TRUE(app.session.Busy());
    app.Act([&] { ++inner; });
    app.window.openScript->trigger();  // no dialog: nothing starts
    app.ctx.job.SourceSize = 3.0f;
  });
  EXPECT_EQ(inner, 0);
  EXPECT_FALSE(app.session.Busy());
  EXPECT_TRUE(app.ui.dialogs.empty());
  EXPECT_EQ(app.window.zip->estimate->text(), "2.00 files");
}

// The settings file is read by the session before the splash shows; the
// end's clean-up and saving are the session's too.
TEST(Session, ACopyThatRemovesNothingSavesNothing) {
  QSettings("kelvo32", "kelvo32").clear();
  GuiApp app;
  app.ctx.prefs.WriteSfv = true;
  TempDrives::WriteFile(app.drives.Host('c', "skip.txt"), "kept\r\n");
  app.ctx.NoteWritten("c:\\skip.txt");
  app.session.SetRemovesNothing(true);
  app.window.close();
  EXPECT_TRUE(app.session.ShutDown());
  EXPECT_EQ(TempDrives::ReadFile(app.drives.Host('c', "skip.txt")), "kept\r\n");
  ProgramSettings prefs;
  ui::LoadProgramSettings(prefs);
  EXPECT_FALSE(prefs.WriteSfv);

  // A window that closes as the user's removes what it wrote and saves.
  GuiApp own;
  own.ctx.prefs.WriteSfv = true;
  TempDrives::WriteFile(own.drives.Host('c', "skip.txt"), "gone\r\n");
  own.ctx.NoteWritten("c:\\skip.txt");
  own.window.close();
  EXPECT_FALSE(std::filesystem::exists(own.drives.Host('c', "skip.txt")));
  ui::LoadProgramSettings(prefs);
  EXPECT_TRUE(prefs.WriteSfv);
  QSettings("kelvo32", "kelvo32").clear();
}

// Focus requests of the logic are handed to the window once, after the
// render.
TEST(Session, AFocusRequestIsTakenOnce) {
  GuiApp app;
  app.Act([&] { ShowPanel(app.ctx.view, Panel::Zip, FocusBox::ZipBaseName); });
  EXPECT_EQ(app.Shown(), app.window.zip);
  EXPECT_TRUE(app.window.zip->baseName->hasFocus());
  EXPECT_EQ(app.ctx.view.Focus, FocusBox::None);
  app.window.zip->sfv->setFocus();
  app.Act([] {});
  EXPECT_TRUE(app.window.zip->sfv->hasFocus());
}

}  // namespace kelvo::gui
