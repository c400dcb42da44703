#include "ui/splash_screen.h"

#include <QGuiApplication>
#include <QLabel>
#include <QMouseEvent>
#include <QPainter>
#include <QScreen>

#include "shell/startup.h"
#include "ui/pictures.h"

namespace kelvo::ui {

SplashScreen::SplashScreen(Context& ctx, QWidget* mainWindow)
    : QWidget(nullptr, Qt::SplashScreen | Qt::FramelessWindowHint | Qt::WindowStaysOnTopHint),
      ctx_(ctx),
      mainWindow_(mainWindow) {
  setAttribute(Qt::WA_TranslucentBackground);
  picture_ = SplashPicture();
  setFixedSize(picture_.size());
  versionLabel = new QLabel(shell::kVersionText, this);
  versionLabel->setStyleSheet("color: white; font-weight: bold;");
  versionLabel->adjustSize();
  versionLabel->move(width() - versionLabel->width() - 24, height() - versionLabel->height() - 16);
  versionLabel->installEventFilter(this);
  connect(&timer, &QTimer::timeout, this, [this] { Tick(); });
  if (QScreen* screen = QGuiApplication::primaryScreen())
    move(screen->geometry().center() - rect().center());
}

void SplashScreen::OpenStartRole() {
  state_.AboutRole = false;
  state_.open = true;
  show();
  setMask(SplashOutline());
  repaint();
}

void SplashScreen::OpenAboutRole(int intervalMs) {
  bool opens = shell::OpenAbout(state_, intervalMs);
  timer.start(state_.IntervalMs);
  if (!opens) return;
  show();
  setMask(SplashOutline());
  raise();
  repaint();
  ctx_.PlayAppSound("thunder.wav", true);
  if (mainWindow_) mainWindow_->update();
}

void SplashScreen::CloseSplash() {
  timer.stop();
  state_.open = false;
  state_.AboutRole = false;
  hide();
}

void SplashScreen::Tick() {
  if (shell::SplashTick(state_) == shell::SplashAction::Close) {
    timer.stop();
    hide();
    if (mainWindow_) {
      mainWindow_->raise();
      mainWindow_->activateWindow();
    }
  }
}

void SplashScreen::paintEvent(QPaintEvent*) {
  QPainter p(this);
  p.drawPixmap(0, 0, picture_);
}

void SplashScreen::mousePressEvent(QMouseEvent*) {
  shell::SplashClicked(state_);
}

bool SplashScreen::eventFilter(QObject* watched, QEvent* event) {
  if (watched == versionLabel && event->type() == QEvent::MouseButtonPress)
    shell::SplashClicked(state_);
  return QWidget::eventFilter(watched, event);
}

}  // namespace kelvo::ui
