// The splash screen: a window shaped to its picture with the version label.
// In its start role it is shown while the main window starts; in its About
// role it plays its sound and stays in front for a few ticks.
#pragma once

#include <QPixmap>
#include <QTimer>
#include <QWidget>

#include "core/context.h"
#include "shell/splash.h"

class QLabel;

namespace kelvo::ui {

class SplashScreen : public QWidget {
 public:
  SplashScreen(Context& ctx, QWidget* mainWindow);

  // The start role: shown and painted. The settings file has been read
  // before (Session::ReadSettings).
  void OpenStartRole();
  // "&About" (4000 ms) or the logo (2000 ms).
  void OpenAboutRole(int intervalMs);
  void CloseSplash();

  const shell::SplashState& State() const { return state_; }
  QLabel* versionLabel;
  QTimer timer;

 protected:
  void paintEvent(QPaintEvent*) override;
  void mousePressEvent(QMouseEvent*) override;
  bool eventFilter(QObject* watched, QEvent* event) override;

 private:
  void Tick();

  Context& ctx_;
  QWidget* mainWindow_;
  shell::SplashState state_;
  QPixmap picture_;
};

}  // namespace kelvo::ui
