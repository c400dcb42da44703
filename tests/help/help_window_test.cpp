// The help window on the real manual: at its contents, at its index, the
// search box filtering the index and entries jumping to their headings.
#include <gtest/gtest.h>

#include <QApplication>
#include <QFile>
#include <QFileInfo>
#include <QLineEdit>
#include <QListWidget>
#include <QScrollBar>
#include <QTest>
#include <QTextBrowser>

#include "manual.h"
#include "viewer/help_window.h"

namespace kelvo::help {
namespace {

QStringList ShownRows(const QListWidget* list) {
  QStringList rows;
  for (int row = 0; row < list->count(); ++row)
    if (!list->item(row)->isHidden()) rows << list->item(row)->text();
  return rows;
}

QListWidgetItem* Row(const QListWidget* list, const QString& text) {
  auto found = list->findItems(text, Qt::MatchExactly);
  return found.isEmpty() ? nullptr : found.front();
}

struct Shown {
  explicit Shown(bool atIndex)
      : window(Manual(), KELVO_HELP_FILE, atIndex) {
    window.show();
    window.activateWindow();
    EXPECT_TRUE(QTest::qWaitForWindowExposed(&window));
  }
  HelpWindow window;
};

TEST(HelpWindowTest, OpensAtTheContents) {
  Shown shown(false);
  auto& w = shown.window;
  EXPECT_FALSE(w.IndexPane()->isVisible());
  EXPECT_TRUE(w.Browser()->isVisible());
  EXPECT_EQ(w.Browser()->verticalScrollBar()->value(), 0);
  const QString text = w.Browser()->toPlainText();
  EXPECT_TRUE(text.startsWith("Kelvo32 Help")) << text.left(40).toStdString();
  // Where the manual lies on this computer.
  EXPECT_EQ(w.windowTitle(), QString("Kelvo32 Help (%1)").arg(KELVO_HELP_FILE));
  EXPECT_TRUE(text.contains("Contents"));
  // The manual is long enough for the jumps below to scroll.
  EXPECT_GT(w.Browser()->verticalScrollBar()->maximum(), 0);
}

TEST(HelpWindowTest, OpensAtTheIndexWithEveryEntryAndAnEmptySearch) {
  Shown shown(true);
  auto& w = shown.window;
  EXPECT_TRUE(w.IndexPane()->isVisible());
  EXPECT_TRUE(w.SearchBox()->text().isEmpty());
  EXPECT_EQ(QApplication::focusWidget(), w.SearchBox());
  EXPECT_EQ(ShownRows(w.IndexList()).size(), ParseIndex(Manual()).size());
  EXPECT_TRUE(Row(w.IndexList(), "Zip panel"));
}

TEST(HelpWindowTest, SearchFiltersTheIndexAndClearingShowsAllAgain) {
  Shown shown(true);
  auto& w = shown.window;
  const int all = w.IndexList()->count();

  QTest::keyClicks(w.SearchBox(), "PANEL");
  const QStringList panels = ShownRows(w.IndexList());
  EXPECT_EQ(panels.size(), 8) << panels.join(", ").toStdString();  // Source..About, context menu
  for (const auto& row : panels) EXPECT_TRUE(row.contains("panel", Qt::CaseInsensitive));

  w.SearchBox()->setText("zip  panel");
  EXPECT_EQ(ShownRows(w.IndexList()), QStringList({"Zip panel"}));

  w.SearchBox()->setText("no such words");
  EXPECT_TRUE(ShownRows(w.IndexList()).isEmpty());

  w.SearchBox()->clear();
  EXPECT_EQ(ShownRows(w.IndexList()).size(), all);
}

TEST(HelpWindowTest, EntriesJumpToTheirHeadingsAndContentsGoesBackToTheTop) {
  Shown shown(true);
  auto& w = shown.window;
  auto* bar = w.Browser()->verticalScrollBar();
  auto* last = Row(w.IndexList(), "Files Kelvo32 leaves");
  auto* middle = Row(w.IndexList(), "Unattended runs");
  ASSERT_TRUE(last && middle);

  QTest::mouseClick(w.IndexList()->viewport(), Qt::LeftButton, {},
                    w.IndexList()->visualItemRect(middle).center());
  const int atMiddle = bar->value();
  EXPECT_GT(atMiddle, 0);
  EXPECT_EQ(w.IndexList()->currentItem(), middle);

  // Return in the search box takes the first entry left by the filter.
  QTest::keyClicks(w.SearchBox(), "leaves");
  QTest::keyClick(w.SearchBox(), Qt::Key_Return);
  EXPECT_EQ(w.IndexList()->currentItem(), last);
  EXPECT_GT(bar->value(), atMiddle);

  w.ShowContents();
  EXPECT_EQ(bar->value(), 0);
  EXPECT_FALSE(w.IndexPane()->isVisible());
  w.ShowIndex();
  EXPECT_TRUE(w.IndexPane()->isVisible());
  EXPECT_TRUE(w.SearchBox()->text().isEmpty());
}

}  // namespace
}  // namespace kelvo::help
