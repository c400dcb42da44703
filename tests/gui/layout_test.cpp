// The window on large, small and scaled screens, and the keyboard's way
// through each panel.
#include <QFileDialog>
#include <QListWidget>
#include <QScreen>
#include <QScrollArea>
#include <QScrollBar>
#include <QStackedWidget>

#include "gui_fixture.h"
#include "ui/qt_ui.h"

namespace kelvo::gui {

namespace {

// The focusable, visible controls of `panel`, in the order Tab visits them
// from the first.
std::vector<QWidget*> TabChain(QWidget* panel) {
  std::vector<QWidget*> chain;
  for (QWidget* at = panel->nextInFocusChain(); at != panel; at = at->nextInFocusChain()) {
    if (!panel->isAncestorOf(at)) continue;
    if (at->isVisible() && at->isEnabled() && (at->focusPolicy() & Qt::TabFocus))
      chain.push_back(at);
  }
  return chain;
}

}  // namespace

// Maximised on a wide screen, the Zip panel's controls keep their sizes and
// their places beside each other.
TEST(WindowLayout, AWideWindowKeepsTheZipPanelTogether) {
  GuiApp app;
  app.Act([&] { shell::NavigateTo(app.ctx, NavItem::Zip, {}); });
  app.window.resize(1800, 1000);
  QApplication::processEvents();
  ui::ZipPanel* zip = app.window.zip;
  ASSERT_GT(app.window.panels->width(), 1500);
  EXPECT_LT(zip->baseName->width(), 3 * zip->baseName->sizeHint().width()) << "a six-letter box";
  EXPECT_LT(zip->storageDir->width(), 700);
  // The level list stays beside the archive size, not at the far edge.
  EXPECT_LT(zip->compression->geometry().right() - zip->sizeText->geometry().right(), 200);
  EXPECT_LT(zip->compression->geometry().right(), 800);
}

// Twice as large on a 1280x900 screen leaves 640x450: the window fits, its
// panels scrolling where they need more.
TEST(WindowLayout, TheWindowFitsAScreenTwiceAsLarge) {
  GuiApp app;
  const QSize halved(640, 450);
  const QSize frame(16, 48);
  EXPECT_LE(app.window.minimumSizeHint().width(), (halved - frame).width());
  EXPECT_LE(app.window.minimumSizeHint().height(), (halved - frame).height());
  const QSize screen = app.window.screen()->availableGeometry().size();
  EXPECT_EQ(app.window.RestoredSize(), QSize(620, 470).boundedTo(screen - frame));
  for (NavItem item : {NavItem::Source, NavItem::Zip, NavItem::Kelvo}) {
    app.Act([&] { shell::NavigateTo(app.ctx, item, {}); });
    app.window.resize(halved - frame);
    QApplication::processEvents();
    EXPECT_LE(app.window.height(), (halved - frame).height());
    // What does not fit can be scrolled to.
    QScrollArea* scroll = app.window.panelScroll;
    QWidget* shown = app.window.panels->currentWidget();
    EXPECT_LE(shown->minimumSizeHint().height(),
              scroll->viewport()->height() + scroll->verticalScrollBar()->maximum() + 1);
  }
}

TEST(WindowLayout, FileDialogsOpenWideEnoughForTheirColumns) {
  GuiApp app;
  FileDialogRequest request;
  request.title = "DIZ file";
  request.filter = "DIZ (*.diz)|*.diz|";
  QFileDialog dialog;
  ui::PrepareFileDialog(dialog, app.drives.table, request, false);
  const QSize room = dialog.screen()->availableGeometry().size() - QSize(16, 48);
  EXPECT_EQ(dialog.width(), std::min(820, room.width()));
  EXPECT_GE(dialog.width(), std::min(780, room.width()));
}

// Tab reaches every control of a panel once, top to bottom and left to
// right, and shows where it is.
TEST(WindowKeyboard, TabGoesThroughEachPanelInReadingOrder) {
  GuiApp app;
  for (NavItem item : {NavItem::Source, NavItem::Skip, NavItem::Diz, NavItem::Nfo, NavItem::Zip}) {
    app.Act([&] { shell::NavigateTo(app.ctx, item, {}); });
    QWidget* panel = app.window.panels->currentWidget();
    std::vector<QWidget*> chain = TabChain(panel);
    ASSERT_GE(chain.size(), 3u) << static_cast<int>(item);
    QPoint before(-1, -1);
    for (QWidget* w : chain) {
      const QPoint at = w->mapTo(panel, QPoint(0, w->height() / 2));
      // The next control is further down, or on the same line further right.
      const bool sameLine = std::abs(at.y() - before.y()) <= 12;
      EXPECT_TRUE(sameLine ? at.x() > before.x() : at.y() > before.y())
          << w->metaObject()->className() << " " << w->objectName().toStdString() << " at "
          << at.x() << "," << at.y() << " after " << before.x() << "," << before.y();
      before = at;
    }
  }
  // The archive size is set with the arrow keys once Tab has reached it.
  app.Act([&] { shell::NavigateTo(app.ctx, NavItem::Zip, {}); });
  std::vector<QWidget*> zip = TabChain(app.window.panels->currentWidget());
  EXPECT_NE(std::find(zip.begin(), zip.end(), app.window.zip->archiveSize), zip.end());
}

}  // namespace kelvo::gui

namespace kelvo::gui {

// The archive size, reached by Tab, shows that it has the keyboard.
TEST(WindowKeyboard, TheArchiveSizeShowsItHasTheKeyboard) {
  GuiApp app;
  app.Act([&] { shell::NavigateTo(app.ctx, NavItem::Zip, {}); });
  QWidget* size = app.window.zip->archiveSize;
  const QImage before = size->grab().toImage();
  app.window.zip->baseName->setFocus();
  QTest::keyClick(app.window.zip->baseName, Qt::Key_Tab);
  ASSERT_TRUE(size->hasFocus());
  EXPECT_NE(size->grab().toImage(), before);
  // The arrow keys then change the job's size.
  const auto sizeBefore = app.ctx.job.ArchiveSize;
  QTest::keyClick(size, Qt::Key_Right);
  EXPECT_NE(app.ctx.job.ArchiveSize, sizeBefore);
}

}  // namespace kelvo::gui
