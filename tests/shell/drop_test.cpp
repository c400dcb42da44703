#include "shell/drop.h"

#include <gtest/gtest.h>

#include "scripts/job_script.h"
#include "source/drives.h"
#include "source/source_select.h"
#include "support/temp_drives.h"

namespace kelvo::shell {
namespace {

using testing::TempDrives;
using testing::TestApp;

class DropTest : public ::testing::Test {
 protected:
  void SetUp() override {
    TempDrives::WriteFile(app.drives.Host('d', "Games/setup.exe"), std::string(600000, 's'));
    TempDrives::WriteFile(app.drives.Host('d', "Games/data/level1.dat"), std::string(634567, 'l'));
    TempDrives::WriteFile(app.drives.Host('d', "CD/Game.ISO"), std::string(4096, 'i'));
    TempDrives::WriteFile(app.drives.Host('d', "rel/FILE_ID.DIZ"), "Orbit \xb0\xb1\xb2\r\n");
    TempDrives::WriteFile(app.drives.Host('d', "rel/Orbit.NFO"), "\xc9\xcd\xbb\r\n");
    TempDrives::WriteFile(app.drives.Host('d', "rel/notes.txt"), "notes\r\n");
    InitWorkDrive(ctx);
  }
  void Drop(const std::string& hostPath) { DropOnWindow(ctx, {hostPath}); }
  void Show(Panel panel) { ShowPanel(ctx.view, panel); }

  TestApp app;
  Context& ctx = app.ctx;
  JobSettings& job = ctx.job;
  ViewState& view = ctx.view;
};

TEST_F(DropTest, ADirectoryOnTheSourcePanelIsBrowsedWithoutItsDialog) {
  ToggleImageSource(ctx, true);
  job.SaveAsZips = false;
  Show(Panel::Source);
  Drop(app.drives.Host('d', "Games"));

  EXPECT_TRUE(app.ui.dialogs.empty());
  EXPECT_FALSE(job.SourceIsImage);  // the box follows what was dropped
  EXPECT_TRUE(job.SaveAsZips);
  EXPECT_EQ(job.SourcePath, "d:\\games");
  EXPECT_EQ(view.SourceSizeText, "1,234,567 bytes in 2 files");
  EXPECT_EQ(view.EstimateText, "1.00 file");
  EXPECT_TRUE(ctx.DriveCheckSuppressed);
  EXPECT_EQ(view.DropNotice, "");
}

TEST_F(DropTest, AnImageOnTheSourcePanelChecksIsoAndAsksAboutZips) {
  Show(Panel::Source);
  app.ui.messageAnswers.push_back(MessageResult::No);
  Drop(app.drives.Host('d', "CD/Game.ISO"));

  EXPECT_TRUE(app.ui.dialogs.empty());
  EXPECT_TRUE(job.SourceIsImage);
  EXPECT_EQ(job.SourcePath, "d:\\cd\\game.iso");
  EXPECT_EQ(view.SourceSizeText, "4,096 Total bytes");
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].title, "Save as Zip's or Rar's/Ace's");
  EXPECT_FALSE(job.SaveAsZips);
  EXPECT_FALSE(view.ZipControlsEnabled);
}

TEST_F(DropTest, TheDizAndNfoPanelsTakeTheirOwnKindOfFile) {
  Show(Panel::Diz);
  Drop(app.drives.Host('d', "rel/FILE_ID.DIZ"));
  EXPECT_EQ(job.DizPath, "d:\\rel\\file_id.diz");
  // As "&Browse" does, the DIZ is copied at once, bytes unchanged.
  EXPECT_EQ(TempDrives::ReadFile(*app.fs.HostPath(testing::WorkCopyPath("c:\\app", "file_id.diz"))),
            "Orbit \xb0\xb1\xb2\r\n");

  Show(Panel::Nfo);
  Drop(app.drives.Host('d', "rel/Orbit.NFO"));
  EXPECT_EQ(job.NfoPath, "d:\\rel\\orbit.nfo");
  EXPECT_EQ(view.DropNotice, "");

  Drop(app.drives.Host('d', "rel/notes.txt"));
  EXPECT_EQ(view.DropNotice, "Drop a .nfo file on the Nfo panel");
  EXPECT_EQ(job.NfoPath, "d:\\rel\\orbit.nfo");
  Show(Panel::Diz);
  EXPECT_EQ(view.DropNotice, "");  // a panel switch clears it
  Drop(app.drives.Host('d', "rel/Orbit.NFO"));
  EXPECT_EQ(view.DropNotice, "Drop a .diz file on the Diz panel");
  EXPECT_EQ(job.DizPath, "d:\\rel\\file_id.diz");
  EXPECT_TRUE(app.ui.dialogs.empty());
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST_F(DropTest, RefusedDropsSayWhyAndChangeNothing) {
  Show(Panel::Source);
  const struct {
    std::vector<std::string> items;
    const char* notice;
  } cases[] = {
      {{app.drives.Host('d', "Games"), app.drives.Host('d', "CD/Game.ISO")},
       "Drop one item at a time"},
      {{""}, "Only files and folders of this computer can be dropped"},
      {{app.drives.Host('d', "rel/notes.txt")},
       "Drop a directory or a .iso file on the Source panel"},
      {{app.drives.Host('d', "missing.iso")},
       "Drop a directory or a .iso file on the Source panel"},
  };
  for (const auto& c : cases) {
    DropOnWindow(ctx, c.items);
    EXPECT_EQ(view.DropNotice, c.notice);
    EXPECT_EQ(job.SourcePath, "");
    EXPECT_FALSE(job.SourceIsImage);
  }
  // A name no DOS program could be given is refused for the reason a
  // dialog's choice would be.
  TempDrives::WriteFile(app.drives.Host('d', "a>b/x.iso"), "i");
  Drop(app.drives.Host('d', "a>b"));
  EXPECT_NE(view.DropNotice.find('>'), std::string::npos) << view.DropNotice;
  EXPECT_EQ(job.SourcePath, "");
  // A host folder "a\b" would read as the DOS path of another folder, "a/b".
  TempDrives::WriteFile(app.drives.Host('d', "a\\b/x.dat"), "slash");
  TempDrives::WriteFile(app.drives.Host('d', "a/b/y.dat"), "other");
  const std::string slashed = app.drives.Host('d', "a\\b");
  Drop(slashed);
  EXPECT_EQ(view.DropNotice, "can't use '" + slashed + "': a DOS name can't hold '\\'");
  EXPECT_EQ(job.SourcePath, "");

  Show(Panel::Zip);
  Drop(app.drives.Host('d', "Games"));
  EXPECT_EQ(view.DropNotice, "Drop a job script here, or a source, DIZ or NFO on its own panel");
  EXPECT_EQ(job.SourcePath, "");
  EXPECT_TRUE(app.ui.messages.empty());
}

TEST_F(DropTest, PanelsOfAJobWithoutZipsTakeNothing) {
  EnableZipControls(ctx, false);
  Show(Panel::Diz);
  Drop(app.drives.Host('d', "rel/FILE_ID.DIZ"));
  EXPECT_EQ(view.DropNotice, "This job makes no zips: the panel takes nothing");
  EXPECT_EQ(job.DizPath, "");
}

TEST_F(DropTest, AScriptOpensOnAnyPanel) {
  JobSettings saved;
  saved.SourcePath = "d:\\games";
  saved.ZipBaseName = "ORBIT";
  TempDrives::WriteFile(app.drives.Host('d', "jobs/Orbit.kvo"), ScriptText(saved, app.clock.Now()));
  job.SkipEntries = "d:\\games\\data\r\n";
  Show(Panel::Zip);
  Drop(app.drives.Host('d', "jobs/Orbit.kvo"));

  EXPECT_TRUE(app.ui.dialogs.empty());
  EXPECT_EQ(ctx.ScriptPath, "d:\\jobs\\orbit.kvo");
  EXPECT_EQ(job.ZipBaseName, "ORBIT");
  EXPECT_EQ(job.SourcePath, "d:\\games");
  EXPECT_EQ(job.SkipEntries, "");  // as "&Open script..." clears it
  EXPECT_EQ(view.WindowTitle, "Kelvo32 - orbit.kvo");
}

}  // namespace
}  // namespace kelvo::shell
