#include "ui/text_preview.h"

#include <QFontInfo>
#include <QFontMetricsF>
#include <QMouseEvent>
#include <QPainter>
#include <QScrollBar>
#include <algorithm>
#include <cmath>

#include "art/picture.h"
#include "texts/cp437.h"

namespace kelvo::ui {

namespace {

constexpr const char* kVgaFamily = "Px IBM VGA8";

QFont PreviewFont() {
  QFont font(kVgaFamily);
  // The font's own cell height: its box and shade glyphs meet at 16 pixels.
  font.setPixelSize(16);
  font.setStyleHint(QFont::Monospace);
  if (QFontInfo(font).family() != kVgaFamily) {
    font.setFamily("DejaVu Sans Mono");
    font.setPixelSize(15);
  }
  font.setKerning(false);
  return font;
}

// The pictures' glyphs (art::GlyphSheet) as a mask: the preview draws the
// very pixels a picture of the text has. Null when libansilove drew nothing.
const QImage& GlyphMask() {
  static const QImage mask = [] {
    const std::string png = art::GlyphSheet();
    QImage sheet;
    sheet.loadFromData(reinterpret_cast<const uchar*>(png.data()),
                       static_cast<qsizetype>(png.size()), "PNG");
    if (sheet.size() != QSize(256 * art::kGlyphWidth, art::kGlyphHeight)) return QImage();
    sheet = sheet.convertToFormat(QImage::Format_RGB32);
    QImage lit(sheet.size(), QImage::Format_ARGB32);
    for (int y = 0; y < sheet.height(); ++y)
      for (int x = 0; x < sheet.width(); ++x)
        lit.setPixel(x, y,
                     sheet.pixel(x, y) == qRgb(0, 0, 0) ? qRgba(0, 0, 0, 0) : qRgba(0, 0, 0, 255));
    return lit;
  }();
  return mask;
}

}  // namespace

TextPreviewPane::TextPreviewPane(QWidget* parent) : QAbstractScrollArea(parent) {
  setFont(PreviewFont());
  QFontMetricsF metrics(font());
  // Whole pixels, so that cells tile without seams and clicks map exactly.
  if (!GlyphMask().isNull()) {
    cellWidth_ = art::kGlyphWidth;
    lineHeight_ = art::kGlyphHeight;
  } else {
    cellWidth_ = std::max(1, static_cast<int>(std::lround(metrics.horizontalAdvance(QChar('M')))));
    lineHeight_ = std::max(1, static_cast<int>(std::ceil(metrics.height())));
  }
  setBackgroundRole(QPalette::Base);
  viewport()->setBackgroundRole(QPalette::Base);
  horizontalScrollBar()->setSingleStep(cellWidth_);
  verticalScrollBar()->setSingleStep(lineHeight_);
  setFocusPolicy(Qt::NoFocus);
}

void TextPreviewPane::Show(texts::TextPreview model) {
  model_ = std::move(model);
  viewport()->setCursor(onCellClicked && model_.text ? Qt::CrossCursor : Qt::ArrowCursor);
  UpdateScrollBars();
  // A new stamp or reason is brought into view once; after that the user
  // scrolls freely.
  std::optional<texts::PreviewSpan> mark = model_.stamp ? model_.stamp : model_.reasonAt;
  auto same = [](const std::optional<texts::PreviewSpan>& a,
                 const std::optional<texts::PreviewSpan>& b) {
    return a.has_value() == b.has_value() &&
           (!a || (a->line == b->line && a->column == b->column && a->length == b->length));
  };
  if (!same(mark, marked_)) {
    marked_ = mark;
    if (mark) ShowSpan(*mark);
  }
  viewport()->update();
}

void TextPreviewPane::ShowSpan(const texts::PreviewSpan& span) {
  auto bring = [](QScrollBar* bar, qint64 first, qint64 end, int shown) {
    const qint64 value = bar->value();
    if (end > value + shown) bar->setValue(static_cast<int>(std::min<qint64>(end - shown, first)));
    if (first < bar->value()) bar->setValue(static_cast<int>(first));
  };
  const QSize area = viewport()->size();
  bring(horizontalScrollBar(), static_cast<qint64>(span.column) * cellWidth_,
        static_cast<qint64>(span.column + span.length) * cellWidth_, area.width());
  bring(verticalScrollBar(), static_cast<qint64>(span.line) * lineHeight_,
        static_cast<qint64>(span.line + 1) * lineHeight_, area.height());
}

QRect TextPreviewPane::CellRect(std::size_t line, std::size_t column) const {
  return QRect(static_cast<int>(column) * cellWidth_ - horizontalScrollBar()->value(),
               static_cast<int>(line) * lineHeight_ - verticalScrollBar()->value(), cellWidth_,
               lineHeight_);
}

QSize TextPreviewPane::sizeHint() const {
  // A DIZ's 45 columns and a few lines, with the frame.
  return QSize(46 * cellWidth_ + 2 * frameWidth(), 9 * lineHeight_ + 2 * frameWidth());
}

void TextPreviewPane::UpdateScrollBars() {
  const QSize area = viewport()->size();
  // Room for one more line and cell: a reason below the last line shows.
  const qint64 lines = static_cast<qint64>(model_.LineCount()) + 1;
  const qint64 width = static_cast<qint64>(model_.Widest()) + 1;
  auto limit = [](qint64 content, int shown) {
    return static_cast<int>(std::clamp<qint64>(content - shown, 0, 1 << 30));
  };
  verticalScrollBar()->setRange(0, limit(lines * lineHeight_, area.height()));
  verticalScrollBar()->setPageStep(area.height());
  horizontalScrollBar()->setRange(0, limit(width * cellWidth_, area.width()));
  horizontalScrollBar()->setPageStep(area.width());
}

void TextPreviewPane::resizeEvent(QResizeEvent* event) {
  QAbstractScrollArea::resizeEvent(event);
  UpdateScrollBars();
}

const QImage& TextPreviewPane::Inked(const QColor& ink) const {
  auto [at, added] = inked_.try_emplace(ink.rgba());
  if (added) {
    QImage glyphs(GlyphMask().size(), QImage::Format_ARGB32_Premultiplied);
    glyphs.fill(ink);
    QPainter cut(&glyphs);
    cut.setCompositionMode(QPainter::CompositionMode_DestinationIn);
    cut.drawImage(0, 0, GlyphMask());
    at->second = glyphs;
  }
  return at->second;
}

void TextPreviewPane::DrawCell(QPainter& painter, const QRect& cell, unsigned char byte,
                               const QColor& ink) const {
  if (!GlyphMask().isNull() && !art::IsLayoutControl(byte)) {
    painter.drawImage(cell.topLeft(), Inked(ink),
                      QRect(byte * art::kGlyphWidth, 0, art::kGlyphWidth, art::kGlyphHeight));
    return;
  }
  // The few bytes the pictures take as controls, and every byte when the
  // pictures' glyphs are missing, come from the VGA font.
  // The block elements as rectangles: whole pixels, no seams between cells.
  const int halfWidth = cell.width() / 2;
  const int halfHeight = cell.height() / 2;
  switch (byte) {
    case 0xDB:
      return painter.fillRect(cell, ink);
    case 0xDC:
      return painter.fillRect(cell.adjusted(0, halfHeight, 0, 0), ink);
    case 0xDD:
      return painter.fillRect(QRect(cell.left(), cell.top(), halfWidth, cell.height()), ink);
    case 0xDE:
      return painter.fillRect(cell.adjusted(halfWidth, 0, 0, 0), ink);
    case 0xDF:
      return painter.fillRect(QRect(cell.left(), cell.top(), cell.width(), halfHeight), ink);
    case ' ':
    case 0x00:
    case 0xFF:
      return;  // blank on a DOS screen
    default:
      break;
  }
  painter.setPen(ink);
  painter.drawText(cell, Qt::AlignLeft | Qt::AlignTop, QString(QChar(texts::Cp437Glyph(byte))));
}

void TextPreviewPane::paintEvent(QPaintEvent* event) {
  QPainter painter(viewport());
  const QPalette& colours = palette();
  painter.fillRect(event->rect(), colours.color(QPalette::Base));
  if (!model_.problem.empty()) {
    painter.setFont(parentWidget()->font());  // the panel's words, not the DOS font
    painter.setPen(colours.color(QPalette::PlaceholderText));
    painter.drawText(
        viewport()->rect().adjusted(8, 8, -8, -8), Qt::AlignCenter | Qt::TextWordWrap,
        QString::fromUtf8(model_.problem.data(), static_cast<qsizetype>(model_.problem.size())));
    return;
  }
  painter.setFont(font());
  const QRect area = event->rect();
  const int top = verticalScrollBar()->value();
  const int left = horizontalScrollBar()->value();
  const std::size_t firstLine = static_cast<std::size_t>((top + area.top()) / lineHeight_);
  const std::size_t endLine = static_cast<std::size_t>((top + area.bottom()) / lineHeight_) + 1;
  const std::size_t firstColumn = static_cast<std::size_t>((left + area.left()) / cellWidth_);
  const std::size_t endColumn = static_cast<std::size_t>((left + area.right()) / cellWidth_) + 1;

  const QColor text = colours.color(QPalette::Text);
  const std::size_t count = model_.LineCount();
  for (std::size_t line = firstLine; line < std::min(endLine, count); ++line) {
    if (model_.Added(line)) {
      // The lines the copy gains, marked across the whole width.
      QRect row = CellRect(line, 0);
      row.setLeft(0);
      row.setRight(viewport()->width());
      // The highlight, faint enough for the text to stay readable on it.
      QColor mark = colours.color(QPalette::Highlight);
      mark.setAlpha(64);
      painter.fillRect(row, mark);
    }
    const std::string_view bytes = model_.Line(line);
    for (std::size_t column = firstColumn; column < std::min(endColumn, bytes.size()); ++column)
      DrawCell(painter, CellRect(line, column), static_cast<unsigned char>(bytes[column]), text);
  }
  if (model_.stamp) {
    const texts::PreviewSpan& stamp = *model_.stamp;
    const std::string_view bytes = model_.Line(stamp.line);
    for (std::size_t i = 0; i < stamp.length && stamp.column + i < bytes.size(); ++i) {
      QRect cell = CellRect(stamp.line, stamp.column + i);
      painter.fillRect(cell, colours.color(QPalette::Highlight));
      DrawCell(painter, cell, static_cast<unsigned char>(bytes[stamp.column + i]),
               colours.color(QPalette::HighlightedText));
    }
  }
  if (model_.reasonAt) {
    // The reason itself in the cells where the stamp would have gone,
    // in the text colour turned inside out.
    const texts::PreviewSpan& at = *model_.reasonAt;
    for (std::size_t i = 0; i < at.length && i < model_.reason.size(); ++i) {
      QRect cell = CellRect(at.line, at.column + i);
      painter.fillRect(cell, text);
      DrawCell(painter, cell, static_cast<unsigned char>(model_.reason[i]),
               colours.color(QPalette::Base));
    }
  }
}

void TextPreviewPane::mousePressEvent(QMouseEvent* event) {
  if (event->button() != Qt::LeftButton || !onCellClicked || !model_.problem.empty()) {
    QAbstractScrollArea::mousePressEvent(event);
    return;
  }
  const QPoint at = event->position().toPoint();
  const int x = at.x() + horizontalScrollBar()->value();
  const int y = at.y() + verticalScrollBar()->value();
  if (x < 0 || y < 0) return;
  onCellClicked(static_cast<std::size_t>(y / lineHeight_),
                static_cast<std::size_t>(x / cellWidth_));
}

}  // namespace kelvo::ui
