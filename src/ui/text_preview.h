// A DIZ or NFO drawn as a DOS screen showed it: every byte a cell of the VGA
// font, in the very pixels a picture of the text has (art::GlyphSheet), the
// numbering stamp and the reasons marked in place. It draws a
// texts::TextPreview and reports clicked cells; it keeps nothing but what it
// last drew and its glyphs in the inks it drew with.
#pragma once

#include <QAbstractScrollArea>
#include <QImage>
#include <functional>
#include <map>
#include <optional>

#include "texts/text_preview.h"

namespace kelvo::ui {

class TextPreviewPane : public QAbstractScrollArea {
 public:
  explicit TextPreviewPane(QWidget* parent);

  // Draws this model from now on; the scroll position is kept.
  void Show(texts::TextPreview model);
  const texts::TextPreview& Shown() const { return model_; }

  // A left click on a cell, 0-based; cells past a line's end and below the
  // last line count too. Null: the pane takes no clicks.
  std::function<void(std::size_t line, std::size_t column)> onCellClicked;

  int CellWidth() const { return cellWidth_; }
  int LineHeight() const { return lineHeight_; }
  // The cell's rectangle in viewport coordinates, at the current scroll.
  QRect CellRect(std::size_t line, std::size_t column) const;

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent* event) override;
  void mousePressEvent(QMouseEvent* event) override;
  void resizeEvent(QResizeEvent* event) override;

 private:
  void UpdateScrollBars();
  // Scrolls the least that shows the cells, when they are not all shown.
  void ShowSpan(const texts::PreviewSpan& span);
  void DrawCell(QPainter& painter, const QRect& cell, unsigned char byte, const QColor& ink) const;
  // The pictures' glyphs in one ink, made on first use.
  const QImage& Inked(const QColor& ink) const;

  texts::TextPreview model_;
  std::optional<texts::PreviewSpan> marked_;  // the mark last scrolled to
  mutable std::map<QRgb, QImage> inked_;
  int cellWidth_ = 8;
  int lineHeight_ = 16;
};

}  // namespace kelvo::ui
