#include "ui/marquee.h"

#include <QPainter>
#include <QTimerEvent>

#include "ui/pictures.h"

namespace kelvo::ui {

namespace {
constexpr int kStepMs = 30;
constexpr int kStepPixels = 1;
const QString kPictureTag = "<IMG 1>";
}  // namespace

Marquee::Marquee(QWidget* parent) : QWidget(parent) {
  picture_ = MarqueePicture(fontMetrics().height() + 6);
  setMinimumHeight(picture_.height() + 6);
}

QSize Marquee::sizeHint() const {
  return {300, picture_.height() + 6};
}

void Marquee::SetText(const QString& text) {
  if (text == text_) return;
  text_ = text;
  offset_ = 0;
  update();
}

int Marquee::LineWidth() const {
  QStringList parts = text_.split(kPictureTag);
  int width = 0;
  for (const QString& part : parts) width += fontMetrics().horizontalAdvance(part);
  return width + (parts.size() - 1) * (picture_.width() + 8);
}

void Marquee::paintEvent(QPaintEvent*) {
  QPainter p(this);
  int lineWidth = LineWidth();
  int cycle = width() + lineWidth;
  // The line starts at the left edge, leaves it, and comes back from the right.
  int x = cycle > 0 ? width() - (offset_ + width()) % cycle : 0;
  int baseline = (height() + fontMetrics().ascent() - fontMetrics().descent()) / 2;
  const QStringList parts = text_.split(kPictureTag);
  for (qsizetype i = 0; i < parts.size(); ++i) {
    p.drawText(x, baseline, parts[i]);
    x += fontMetrics().horizontalAdvance(parts[i]);
    if (i + 1 < parts.size()) {
      p.drawPixmap(x + 4, (height() - picture_.height()) / 2, picture_);
      x += picture_.width() + 8;
    }
  }
}

void Marquee::timerEvent(QTimerEvent* event) {
  if (event->timerId() != timer_.timerId()) return QWidget::timerEvent(event);
  offset_ += kStepPixels;
  update();
}

void Marquee::showEvent(QShowEvent*) {
  timer_.start(kStepMs, this);
}

void Marquee::hideEvent(QHideEvent*) {
  timer_.stop();
}

}  // namespace kelvo::ui
