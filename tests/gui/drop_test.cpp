// Files dropped on the real window, wherever they land on it.
#include <QDropEvent>
#include <QMimeData>

#include "gui_fixture.h"
#include "scripts/job_script.h"

namespace kelvo::gui {
namespace {

// Drags the host paths over `target` and drops them there; true when the
// window took the drop.
bool DropOn(QWidget* target, const std::vector<std::string>& hostPaths) {
  QMimeData data;
  QList<QUrl> urls;
  for (const auto& path : hostPaths) urls << QUrl::fromLocalFile(QString::fromStdString(path));
  data.setUrls(urls);
  data.setText(urls.isEmpty() ? QString() : urls.first().toString());
  const QPoint at = target->rect().center();
  QDragEnterEvent enter(at, Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &enter);
  if (!enter.isAccepted()) return false;
  QDropEvent drop(QPointF(at), Qt::CopyAction, &data, Qt::LeftButton, Qt::NoModifier);
  QApplication::sendEvent(target, &drop);
  return drop.isAccepted();
}

TEST(WindowDrop, ASourceLandsOnTheSourcePanelAndTheIsoBoxFollows) {
  GuiApp app;
  TempDrives::WriteFile(app.drives.Host('d', "Games/setup.exe"), std::string(1000, 's'));
  TempDrives::WriteFile(app.drives.Host('d', "CD/Game.iso"), std::string(2048, 'i'));
  app.Click(NavItem::Source);

  ASSERT_TRUE(DropOn(app.window.source->sourcePath, {app.drives.Host('d', "Games")}));
  EXPECT_EQ(app.window.source->sourcePath->text(), "d:\\games");  // not the file's address
  EXPECT_EQ(app.window.source->sourceSize->text(), "1,000 bytes in 1 file");
  EXPECT_FALSE(app.window.source->iso->isChecked());

  app.ui.messageAnswers.push_back(MessageResult::Yes);
  ASSERT_TRUE(DropOn(app.window.source, {app.drives.Host('d', "CD/Game.iso")}));
  EXPECT_TRUE(app.window.source->iso->isChecked());
  EXPECT_EQ(app.window.source->sourcePath->text(), "d:\\cd\\game.iso");
  EXPECT_FALSE(app.window.dropNotice->isVisible());
}

TEST(WindowDrop, ARefusedDropSaysWhyUnderThePanel) {
  GuiApp app;
  TempDrives::WriteFile(app.drives.Host('d', "a.nfo"), "a");
  TempDrives::WriteFile(app.drives.Host('d', "b.nfo"), "b");
  app.Click(NavItem::Nfo);
  ASSERT_TRUE(
      DropOn(app.window.nfo, {app.drives.Host('d', "a.nfo"), app.drives.Host('d', "b.nfo")}));
  EXPECT_TRUE(app.window.dropNotice->isVisible());
  EXPECT_EQ(app.window.dropNotice->text(), "Drop one item at a time");
  EXPECT_EQ(app.ctx.job.NfoPath, "");

  app.Click(NavItem::Diz);
  EXPECT_FALSE(app.window.dropNotice->isVisible());
}

TEST(WindowDrop, AScriptDroppedOnATextBoxOpensAndTypesNothing) {
  GuiApp app;
  JobSettings saved;
  saved.ZipBaseName = "ORBIT";
  TempDrives::WriteFile(app.drives.Host('d', "jobs/Orbit.kvo"), ScriptText(saved, app.clock.Now()));
  app.Click(NavItem::Zip);
  ASSERT_TRUE(DropOn(app.window.zip->baseName, {app.drives.Host('d', "jobs/Orbit.kvo")}));
  EXPECT_EQ(app.window.windowTitle(), "Kelvo32 - orbit.kvo");
  EXPECT_EQ(app.window.zip->baseName->text(), "ORBIT");
  EXPECT_TRUE(app.ui.dialogs.empty());
}

TEST(WindowDrop, NothingIsTakenWhileAnActionIsUnderWay) {
  GuiApp app;
  TempDrives::WriteFile(app.drives.Host('d', "Games/setup.exe"), "s");
  TempDrives::WriteFile(app.drives.Host('d', "CD/Game.iso"), "i");
  std::optional<bool> taken;
  // The measurement of a browsed source processes events, as a run does.
  app.duringRun = [&] {
    if (!taken) taken = DropOn(app.window.source, {app.drives.Host('d', "CD/Game.iso")});
  };
  app.ui.folderAnswers.push_back({{}, "d:\\Games"});
  app.Click(NavItem::Source);
  app.Click(app.window.source->browse);
  app.duringRun = nullptr;
  ASSERT_TRUE(taken.has_value());
  EXPECT_FALSE(*taken);
  EXPECT_EQ(app.ctx.job.SourcePath, "d:\\games");
  EXPECT_FALSE(app.ctx.job.SourceIsImage);
}

}  // namespace
}  // namespace kelvo::gui
