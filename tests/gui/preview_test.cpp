// The Diz and Nfo panels' previews in the real window: what they draw, and
// clicks on the DIZ filling the numbering boxes.
#include <QImage>
#include <QLabel>
#include <QLineEdit>
#include <QScrollBar>
#include <QSpinBox>

#include "gui_fixture.h"
#include "texts/diz_nfo.h"
#include "texts/diz_numbering.h"
#include "ui/text_preview.h"

namespace kelvo::gui {

namespace {

const std::string kWide = "wide " + std::string(115, '\xDB');

struct DizApp : GuiApp {
  DizApp() {
    TempDrives::WriteFile(drives.Host('c', "rel/file_id.diz"), "ab\r\n" + kWide + "\r\nthree\r\n");
    ctx.job.DizPath = "c:\\rel\\file_id.diz";
    Click(NavItem::Diz);
    GuiApp::Click(window.diz->substitute);
  }
  ui::TextPreviewPane* Pane() const { return window.diz->preview; }
  void ClickCell(std::size_t line, std::size_t column) {
    QTest::mouseClick(Pane()->viewport(), Qt::LeftButton, {},
                      Pane()->CellRect(line, column).center());
  }
  QColor Pixel(QPoint at) const { return Pane()->viewport()->grab().toImage().pixelColor(at); }
};

}  // namespace

TEST(DizPreview, ClickFillsTheBoxesAndTheStampFollows) {
  DizApp app;
  auto* diz = app.window.diz;
  app.ClickCell(1, 9);
  EXPECT_EQ(diz->line->text(), "2");
  EXPECT_EQ(diz->column->text(), "10");
  EXPECT_EQ(app.ctx.job.DizLine, "2");
  EXPECT_EQ(app.ctx.job.DizColumn, "10");
  const texts::TextPreview& shown = app.Pane()->Shown();
  ASSERT_TRUE(shown.stamp);
  EXPECT_EQ(shown.stamp->line, 1u);
  EXPECT_EQ(shown.stamp->column, 9u);
  EXPECT_EQ(shown.Line(1).substr(9, 5), "01/99");
  EXPECT_EQ(diz->previewNote->text(), "Stamp 01/99 at line 2, column 10");

  // Far right on the wide line, once scrolled there.
  app.Pane()->horizontalScrollBar()->setValue(app.Pane()->horizontalScrollBar()->maximum());
  app.ClickCell(1, 110);
  EXPECT_EQ(diz->column->text(), "111");
  EXPECT_EQ(app.Pane()->Shown().stamp->column, 110u);

  // Past the end of the narrow line: taken as clicked, and refused in place.
  app.Pane()->horizontalScrollBar()->setValue(0);
  app.ClickCell(0, 20);
  EXPECT_EQ(diz->line->text(), "1");
  EXPECT_EQ(diz->column->text(), "21");
  EXPECT_FALSE(app.Pane()->Shown().stamp);
  EXPECT_EQ(app.Pane()->Shown().reason, texts::kColumnTooHigh);
  EXPECT_EQ(diz->previewNote->text(), texts::kColumnTooHigh);

  // Below the last line: nothing changes.
  app.ClickCell(3, 2);
  EXPECT_EQ(diz->line->text(), "1");
  EXPECT_EQ(diz->column->text(), "21");

  // Typing moves the stamp as clicking does; the check's flag is not touched.
  app.ctx.run.DizCheckPassed = false;
  diz->line->setFocus();
  QTest::keyClick(diz->line, Qt::Key_Backspace);
  QTest::keyClicks(diz->line, "3");
  diz->column->setFocus();
  QTest::keyClick(diz->column, Qt::Key_Backspace);
  QTest::keyClick(diz->column, Qt::Key_Backspace);
  EXPECT_EQ(app.Pane()->Shown().reason, texts::NumberingBoxProblem(FocusBox::DizColumn));
  EXPECT_EQ(diz->previewNote->text().toStdString(),
            texts::NumberingBoxProblem(FocusBox::DizColumn));
  QTest::keyClicks(diz->column, "5");
  EXPECT_EQ(app.Pane()->Shown().reason, texts::kColumnTooHigh);  // "three" is too short
  EXPECT_FALSE(app.ctx.run.DizCheckPassed);

  // Numbering off: clicks are ignored.
  app.GuiApp::Click(diz->none);
  app.ClickCell(1, 1);
  EXPECT_EQ(app.ctx.job.DizLine, "3");
}

// A line below the DIZ is refused beside the DIZ, not instead of it: the
// text stays drawn so that the line can be picked from it.
TEST(DizPreview, ALineBelowTheDizKeepsTheDizInView) {
  DizApp app;
  auto* diz = app.window.diz;
  diz->column->setFocus();
  QTest::keyClicks(diz->column, "1");
  diz->line->setFocus();
  QTest::keyClicks(diz->line, "9");
  const texts::TextPreview& shown = app.Pane()->Shown();
  EXPECT_TRUE(shown.problem.empty());
  EXPECT_EQ(shown.LineCount(), 3u);
  EXPECT_EQ(shown.reason, texts::kLineTooHigh);
  EXPECT_EQ(diz->previewNote->text(), texts::kLineTooHigh);
  const QColor text = app.Pane()->palette().color(QPalette::Text);
  const QRect block = app.Pane()->CellRect(1, 20);
  ASSERT_TRUE(app.Pane()->viewport()->rect().contains(block));
  EXPECT_EQ(app.Pixel(block.topLeft()), text);

  app.ClickCell(1, 0);
  EXPECT_EQ(diz->line->text(), "2");
  EXPECT_EQ(app.Pane()->Shown().reason, "");
  EXPECT_TRUE(app.Pane()->Shown().stamp);
}

TEST(DizPreview, ChosenZipAndDrawnCells) {
  DizApp app;
  auto* diz = app.window.diz;
  app.ClickCell(1, 5);
  diz->previewZip->stepUp();
  diz->previewZip->stepUp();
  EXPECT_EQ(app.ctx.view.DizPreviewZip, 2);
  const texts::TextPreview& shown = app.Pane()->Shown();
  EXPECT_EQ(shown.Line(1).substr(5, 5), "02/02");

  // The stamp's cells in the highlight; the full blocks solid up to their
  // common edge, so block art shows no seams.
  const QPalette colours = app.Pane()->palette();
  EXPECT_EQ(app.Pixel(app.Pane()->CellRect(1, 5).topLeft()), colours.color(QPalette::Highlight));
  const QRect block = app.Pane()->CellRect(1, 20);
  for (QPoint at : {block.topLeft(), block.bottomRight(), block.topRight() + QPoint(1, 0)})
    EXPECT_EQ(app.Pixel(at), colours.color(QPalette::Text));
  EXPECT_EQ(app.Pixel(app.Pane()->CellRect(0, 30).center()), colours.color(QPalette::Base));
}

TEST(DizPreview, NoDizIsSaidInPlace) {
  GuiApp app;
  app.Click(NavItem::Diz);
  EXPECT_EQ(app.window.diz->preview->Shown().problem, "No file_id.diz chosen");
  app.Act([&] { app.ctx.job.DizPath = "c:\\rel\\missing.diz"; });
  EXPECT_NE(app.window.diz->preview->Shown().problem.find("missing.diz"), std::string::npos);
}

TEST(NfoPreview, ShowsTheCopyWithTheTagLineMarked) {
  GuiApp app;
  TempDrives::WriteFile(app.drives.Host('c', "rel/demo.nfo"), "\xC9\xCD\xBB\r\n\xC8\xCD\xBC\r\n");
  app.ctx.job.NfoPath = "c:\\rel\\demo.nfo";
  app.Click(NavItem::Nfo);
  const texts::TextPreview& shown = app.window.nfo->preview->Shown();
  ASSERT_EQ(shown.LineCount(), 4u);
  EXPECT_EQ(shown.Line(0), "\xC9\xCD\xBB");
  EXPECT_EQ(shown.Line(3), texts::NfoTagLine());
  EXPECT_TRUE(shown.Added(2));
  EXPECT_FALSE(shown.Added(1));
  EXPECT_EQ(app.window.nfo->previewNote->text(), "The marked lines close the copy in every zip");
  // A click on the NFO fills nothing.
  QTest::mouseClick(app.window.nfo->preview->viewport(), Qt::LeftButton, {},
                    app.window.nfo->preview->CellRect(0, 1).center());
  EXPECT_EQ(app.ctx.job.DizLine, "");
}

}  // namespace kelvo::gui
