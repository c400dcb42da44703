// A line of text and pictures that scrolls across its widget from right to
// left. "<IMG 1>" in the text stands for the marquee's picture.
#pragma once

#include <QBasicTimer>
#include <QPixmap>
#include <QWidget>

namespace kelvo::ui {

class Marquee : public QWidget {
 public:
  explicit Marquee(QWidget* parent);
  void SetText(const QString& text);
  QString Text() const { return text_; }
  // How far the line has moved since it was set, in pixels.
  int Offset() const { return offset_; }

  QSize sizeHint() const override;

 protected:
  void paintEvent(QPaintEvent*) override;
  void timerEvent(QTimerEvent* event) override;
  void showEvent(QShowEvent*) override;
  void hideEvent(QHideEvent*) override;

 private:
  int LineWidth() const;

  QString text_;
  QPixmap picture_;
  QBasicTimer timer_;
  int offset_ = 0;
};

}  // namespace kelvo::ui
