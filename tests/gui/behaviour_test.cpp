// What the window starts and shows beyond its panels: the help viewer and
// the link launcher with their command lines, F1, the links' highlight and
// the logo's two buttons.
#include <filesystem>

#include "gui_fixture.h"
#include "run/zip_test_util.h"
#include "zip/write.h"

namespace kelvo::gui {

namespace {
using Arguments = std::vector<std::string>;
}  // namespace

TEST(WindowHelp, F1AndTheHelpMenuStartTheViewer) {
  GuiApp app;
  const Arguments file{"c:\\app\\kelvo32.hlp"};
  EXPECT_EQ(app.StartedWith("winhelp", [&] { QTest::keyClick(&app.window, Qt::Key_F1); }), file);
  // Only the key counts: shifted, and from inside a box, it is the same F1.
  app.Click(NavItem::Zip);
  app.window.zip->baseName->setFocus();
  EXPECT_EQ(app.StartedWith(
                "winhelp",
                [&] { QTest::keyClick(app.window.zip->baseName, Qt::Key_F1, Qt::ShiftModifier); }),
            file);
  EXPECT_EQ(app.ctx.job.ZipBaseName, "");

  EXPECT_EQ(app.StartedWith("winhelp", [&] { app.window.helpContents->trigger(); }),
            Arguments{"c:\\app\\Kelvo32.HLP"});
  EXPECT_EQ(app.StartedWith("winhelp", [&] { app.window.helpIndex->trigger(); }),
            (Arguments{"-index", "c:\\app\\Kelvo32.HLP"}));
  // The help leaves the panel and the job alone.
  EXPECT_EQ(app.Shown(), app.window.zip);
}

TEST(WindowLinks, MenuItemsAndLinkPanelsStartTheLauncher) {
  GuiApp app;
  const Arguments web{"$https://kelvo32.example.org/"};
  const Arguments mail{">mailto:kelvo32@example.org"};
  EXPECT_EQ(app.StartedWith("webdial", [&] { app.window.webPage->trigger(); }), web);
  EXPECT_EQ(app.StartedWith("webdial", [&] { app.window.email->trigger(); }), mail);

  app.Click(NavItem::About);
  auto* panel = app.window.aboutPanel;
  EXPECT_EQ(app.StartedWith("webdial", [&] { QTest::mouseClick(panel->webPage, Qt::LeftButton); }),
            web);
  EXPECT_EQ(app.StartedWith("webdial", [&] { QTest::mouseClick(panel->email, Qt::LeftButton); }),
            mail);
  // A right click on a link starts nothing and shows no menu.
  EXPECT_FALSE(app.RightClickShowsMenu(panel->webPage));
}

TEST(WindowLinks, ALinkTurnsBlueUnderTheMouse) {
  GuiApp app;
  app.Click(NavItem::About);
  QLabel* link = app.window.aboutPanel->email;
  const QColor normal = link->palette().color(QPalette::WindowText);
  QEnterEvent enter(QPointF(2, 2), QPointF(2, 2), link->mapToGlobal(QPointF(2, 2)));
  QApplication::sendEvent(link, &enter);
  EXPECT_EQ(link->palette().color(QPalette::WindowText), QColor(0, 0, 192));
  QEvent leave(QEvent::Leave);
  QApplication::sendEvent(link, &leave);
  EXPECT_EQ(link->palette().color(QPalette::WindowText), normal);
}

TEST(WindowLogo, LeftButtonShowsTheAboutBoxRightButtonTheMenu) {
  GuiApp app;
  std::vector<int> intervals;
  app.window.showAboutBox = [&](int intervalMs) { intervals.push_back(intervalMs); };
  QLabel* logo = app.window.header->logo;
  QTest::mousePress(logo, Qt::LeftButton);
  EXPECT_EQ(intervals, std::vector<int>{2000});
  EXPECT_FALSE(app.window.panelMenu->isVisible());

  QTest::mousePress(logo, Qt::RightButton);
  EXPECT_TRUE(app.window.panelMenu->isVisible());
  app.window.panelMenu->hide();
  EXPECT_EQ(intervals.size(), 1u);

  app.window.about->trigger();
  EXPECT_EQ(intervals, (std::vector<int>{2000, 4000}));
  // The logo has a pointer of its own.
  EXPECT_EQ(logo->cursor().shape(), Qt::BitmapCursor);
}

TEST(WindowTooltips, PathDisplaysShowTheirWholeTextAndTheBaseNameItsOwn) {
  GuiApp app;
  const std::string longPath = "d:\\releases\\a rather long folder name\\and deeper still\\disk1";
  app.ctx.job.SourcePath = longPath;
  app.ctx.job.ZipBaseName = "DEMO";
  app.window.Render();
  EXPECT_EQ(app.window.source->sourcePath->toolTip().toStdString(), longPath);
  EXPECT_EQ(app.window.zip->baseName->toolTip(), "DEMO");
  EXPECT_EQ(app.window.source->sourceSize->toolTip(), "Total source size");
  EXPECT_EQ(app.window.source->freeSpace->toolTip(), "Drive free space");
  EXPECT_EQ(app.window.source->iso->toolTip(), "To choose a .iso file");

  // Under the DOS path, where it lies on this computer; and each drive's
  // host directory on its entry.
  std::filesystem::create_directories(app.drives.Host('d', "rel"));
  app.session.Act([&] { app.ctx.job.SourcePath = "d:\\rel"; });
  EXPECT_EQ(app.window.source->sourcePath->toolTip().toStdString(),
            "d:\\rel\n" + app.drives.Host('d', "rel"));
  auto* drives = app.window.source->driveList;
  const int c = drives->findText("c:", Qt::MatchStartsWith);
  ASSERT_GE(c, 0);
  EXPECT_TRUE(app.drives.Host('c').starts_with(
      drives->itemData(c, Qt::ToolTipRole).toString().toStdString()))
      << drives->itemData(c, Qt::ToolTipRole).toString().toStdString();
  EXPECT_FALSE(drives->itemData(c, Qt::ToolTipRole).toString().isEmpty());

  // The estimate keeps saying what it is once it shows a figure.
  app.ctx.view.EstimateText = "2.97 files";
  app.window.Render();
  EXPECT_EQ(app.window.zip->estimate->text(), "2.97 files");
  EXPECT_EQ(app.window.zip->estimate->toolTip(), "Calculated Rar's if no compression");
}

}  // namespace kelvo::gui

namespace kelvo::gui {

// "&Test set..." of the File menu: a set chosen by its SFV, its verdict
// shown, a damaged zip named.
TEST(WindowTestSet, TheFileMenuTestsAChosenSet) {
  GuiApp app;
  const std::string dir = app.drives.Host('e', "zips");
  std::filesystem::create_directories(dir);
  zip::Writer writer;
  for (const char* name : {"DEMO01.zip", "DEMO02.zip"}) {
    std::vector<zip::Input> inputs;
    inputs.push_back(zip::TakeBytes("demo.7z.001", testing::TextBytes(50'000), 6, 0).value);
    ASSERT_TRUE(writer.Write({dir + "/" + name, name}, inputs, {}));
  }
  std::string bytes = TempDrives::ReadFile(dir + "/DEMO02.zip");
  bytes[200] = static_cast<char>(bytes[200] ^ 1);
  TempDrives::WriteFile(dir + "/DEMO02.zip", bytes);
  app.Act([&] { app.ctx.job.ZipStorageDir = "e:\\zips"; });

  app.ui.fileAnswers.push_back("e:\\zips\\DEMO01.zip");
  app.ui.messageAnswers.push_back(MessageResult::Ok);
  app.window.testSet->trigger();
  ASSERT_EQ(app.ui.dialogs.size(), 1u);
  EXPECT_EQ(app.ui.dialogs[0].title, "Test set");
  EXPECT_EQ(app.ui.dialogs[0].initialDir, "e:\\zips");
  ASSERT_EQ(app.ui.messages.size(), 1u);
  EXPECT_EQ(app.ui.messages[0].title, "Test set");
  EXPECT_EQ(app.ui.messages[0].icon, MessageIcon::Critical);
  EXPECT_TRUE(app.ui.messages[0].text.starts_with("DEMO01.zip: OK\rDEMO02.zip: demo.7z.001: "))
      << app.ui.messages[0].text;
  EXPECT_TRUE(app.ui.messages[0].text.ends_with("\r2 zips: 1 not sound"));
}

}  // namespace kelvo::gui
