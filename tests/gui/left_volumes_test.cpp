// The run panel names the folder where a run's volumes stay, and opens it.

#include <QDesktopServices>
#include <QTextBrowser>
#include <QUrl>

#include "gui_fixture.h"
#include "tools/file_tree.h"

namespace kelvo::gui {

namespace {

// A release of 1.3 MB in 500,000-byte volumes, zipped into e:\zips.
struct LeftApp : GuiApp {
  LeftApp() {
    testing::WriteTree(
        drives.Host('d', "release"),
        {{"readme.txt", "read me\r\n"}, {"data.bin", testing::NoiseBytes(1'300'000, 5)}});
    TempDrives::WriteFile(drives.Host('c', "rel/file_id.diz"), "DEMO RELEASE\r\n");
    TempDrives::WriteFile(drives.Host('c', "rel/demo.nfo"), "notes\r\n");
    std::filesystem::create_directories(drives.Host('e', "zips"));
    JobSettings& job = ctx.job;
    job.SourcePath = "d:\\release";
    job.SourceSize = 1.3f;
    job.DizPath = "c:\\rel\\file_id.diz";
    job.NfoPath = "c:\\rel\\demo.nfo";
    job.ZipStorageDir = "e:\\zips";
    job.ZipBaseName = "DEMO";
    job.Compression = 0;
    job.ArchiveSize = 1;
    window.Render();
  }
};

// Takes what the desktop would be asked to open: any object with a slot
// that takes a QUrl will do.
struct OpenedUrls {
  OpenedUrls() { QDesktopServices::setUrlHandler("file", &browser, "setSource"); }
  ~OpenedUrls() { QDesktopServices::unsetUrlHandler("file"); }
  QUrl Last() const { return browser.source(); }
  QTextBrowser browser;
};

}  // namespace

// A run aborted in the zip step leaves its volumes: the panel names the
// host folder, and "&Open folder" (a click or Alt+O) hands it to the
// desktop. The next run starts without it.
TEST(RunPanelLeftVolumes, NamesTheFolderAndOpensIt) {
  LeftApp app;
  ui::RunPanel& run = *app.window.run;
  EXPECT_FALSE(run.leftVolumes->isVisible());
  EXPECT_FALSE(run.openFolder->isVisible());

  bool aborted = false;
  app.duringRun = [&] {
    if (!aborted && app.ctx.run.VolumeNumber == 2 && !app.ctx.view.CurrentZipLine.empty()) {
      aborted = true;
      // Nothing is named while the run goes on.
      EXPECT_FALSE(run.openFolder->isVisible());
      app.Click(run.abort);
    }
  };
  app.Click(NavItem::Kelvo);
  app.duringRun = nullptr;
  ASSERT_TRUE(aborted);
  EXPECT_EQ(run.status->text(), "Aborted");
  const std::string folder = app.drives.Host('c', "Kelvo001");
  EXPECT_FALSE(testing::FileNames(folder).empty());
  EXPECT_TRUE(run.leftVolumes->isVisible());
  EXPECT_EQ(run.leftVolumes->text().toStdString(), "The volumes stay in " + folder);
  ASSERT_TRUE(run.openFolder->isVisible());
  EXPECT_EQ(run.openFolder->text(), "&Open folder");

  {
    OpenedUrls opened;
    app.Click(run.openFolder);
    EXPECT_EQ(opened.Last(), QUrl::fromLocalFile(QString::fromStdString(folder)));
    opened.browser.setSource(QUrl());
    app.Alt(Qt::Key_O);
    EXPECT_EQ(opened.Last(), QUrl::fromLocalFile(QString::fromStdString(folder)));
  }

  // The next run asks about that folder (kept here), and names none itself.
  app.ui.messageAnswers.push_back(MessageResult::No);
  std::filesystem::remove(app.drives.Host('e', "zips/DEMO01.zip"));
  app.Click(NavItem::Zip);
  app.Click(NavItem::Kelvo);
  EXPECT_EQ(run.status->text(), "Ripping complete");
  ASSERT_EQ(app.ui.removalOffers.size(), 1u);
  EXPECT_NE(app.ui.removalOffers[0].question.find(folder), std::string::npos);
  EXPECT_FALSE(run.leftVolumes->isVisible());
  EXPECT_FALSE(run.openFolder->isVisible());
  EXPECT_TRUE(std::filesystem::exists(folder));
}

}  // namespace kelvo::gui
