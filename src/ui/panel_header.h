// The header line above the panels: the logo and the name of the panel.
#pragma once

#include <QFrame>
#include <functional>

class QLabel;

namespace kelvo::ui {

class PanelHeader : public QFrame {
 public:
  explicit PanelHeader(QWidget* parent);
  void SetText(const QString& text);

  QLabel* logo;
  QLabel* text;
  // A mouse button pressed on the logo.
  std::function<void(Qt::MouseButton, QPoint globalPos)> onLogoPressed;

 protected:
  bool eventFilter(QObject* watched, QEvent* event) override;
};

}  // namespace kelvo::ui
